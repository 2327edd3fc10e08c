// SPDX-License-Identifier: Apache-2.0
#include "tools/check_command.h"

#include "jet/check.h"

#include <iostream>

namespace tenderdb {

int checkCommand(const std::string& path) {
    std::vector<std::string> notes;
    std::vector<std::string> problems = jet::checkDatabase(path, &notes);
    for (const std::string& note : notes)
        std::cout << note << '\n';
    for (const std::string& problem : problems)
        std::cout << problem << '\n';
    if (problems.empty())
        std::cout << path << ": sound\n";
    return problems.empty() ? 0 : 1;
}

} // namespace tenderdb
