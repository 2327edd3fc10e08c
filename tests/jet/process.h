// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace jettest {

struct ProcessResult {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program (looked up in PATH) with its arguments, no shell involved, and collects what it
// writes to standard output and standard error.
ProcessResult runProcess(const std::vector<std::string>& argv);

} // namespace jettest
