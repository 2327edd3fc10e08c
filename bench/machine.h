// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/utsname.h>
#include <unistd.h>

namespace bench {

// The machine a benchmark ran on, for its results: processor, cores, kernel and how busy the
// machine was.
inline std::string machine() {
    std::string cpu = "unknown processor";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    utsname name{};
    ::uname(&name);
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    char text[512];
    std::snprintf(text, sizeof text, "%s, %ld cores, Linux %s; load average %.2f %.2f %.2f",
                  cpu.c_str(), ::sysconf(_SC_NPROCESSORS_ONLN), name.release, load[0], load[1],
                  load[2]);
    return text;
}

} // namespace bench
