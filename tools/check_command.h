// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace tenderdb {

// tenderdb check FILE: prints each problem the walk over the file finds, one a line, and
// returns the exit status: 0 when the file is sound, 1 when something does not add up.
int checkCommand(const std::string& path);

} // namespace tenderdb
