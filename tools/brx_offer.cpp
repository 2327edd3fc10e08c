// SPDX-License-Identifier: Apache-2.0
// brx-offer: the offer of one lot without a window, for bidders who prepare many tenders and
// for scripted checks. Each subcommand runs the same workflow as the client's button, with the
// answers to its questions taken from the arguments.
//
// This program loads no Qt: it answers --help and --version itself and hands every command, in
// the same process, to the program that runs it, which loads what that command uses alone. Qt's
// GUI libraries, which paint the printed offer, GnuTLS, which signs, and the zip library of XLSX
// files, which the price commands share, each cost more to load than a whole command that needs
// none of them.

#include "tools/brx_offer_usage.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The folder of this program file, with its last slash.
std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "./";
    const std::string file(path, static_cast<std::size_t>(length));
    return file.substr(0, file.rfind('/') + 1);
}

// The program that runs brx-offer's commands: beside this one in a build, in lib/brx-client
// beside the bin folder once installed. When neither holds it, the path beside this one, so that
// the error names where it was looked for first.
std::string helperPath(const char* name) {
    const std::string folder = programFolder();
    const std::string beside = folder + name;
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    const std::string installed = folder + "../lib/brx-client/" + name;
    if (::access(installed.c_str(), X_OK) == 0)
        return installed;
    return beside;
}

// The commands hold a lot's positions, and the offer made of them, in memory: for a large lot
// tens of megabytes, touched about once each, at a page fault per 4 KiB page, which a virtual
// machine charges dearly. glibc's malloc takes its memory in transparent huge pages, where the
// kernel gives them on request, when the program is told so at its start; whatever else the
// caller tells glibc stays as it is.
void askForHugePages() {
    static constexpr char kHugePages[] = "glibc.malloc.hugetlb=1";
    const char* const tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables == nullptr || *tunables == '\0') {
        ::setenv("GLIBC_TUNABLES", kHugePages, 1);
        return;
    }
    if (std::strstr(tunables, "glibc.malloc.hugetlb") == nullptr)
        ::setenv("GLIBC_TUNABLES", (std::string(tunables) + ':' + kHugePages).c_str(), 1);
}

// The program that runs `command`; brx-offer-core runs xml and check, and answers a command
// line that names no command it knows.
const char* programOf(const char* command) {
    struct Runner {
        const char* command;
        const char* program;
    };
    static constexpr Runner kRunners[] = {
        {"pdf", "brx-offer-pdf"},       {"template", "brx-offer-prices"},
        {"import", "brx-offer-prices"}, {"carry", "brx-offer-prices"},
        {"sign", "brx-offer-sign"},     {"verify", "brx-offer-sign"},
    };
    for (const Runner& runner : kRunners)
        if (std::strcmp(command, runner.command) == 0)
            return runner.program;
    return "brx-offer-core";
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kBrxOfferUsage, stdout);
            return 0;
        }
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("brx-offer " BRX_VERSION "\n", stdout);
        return 0;
    }
    const std::string helper = helperPath(programOf(argc > 1 ? argv[1] : ""));
    askForHugePages();
    std::fflush(stdout);
    ::execv(helper.c_str(), argv);
    std::fprintf(stderr,
                 "Програмата „%s“, която изпълнява командата, липсва или не може да бъде "
                 "стартирана.\n",
                 helper.c_str());
    return 1;
}
