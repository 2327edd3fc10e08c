// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace tenderdb {

// tenderdb generate --lots N --positions M [--seed S] [--description OUT.json] [--force]
//                   OUT.mdb
// Writes a realistic tender of that size; with --description also the JSON it was built from.
// Throws std::invalid_argument on wrong usage.
void generateCommand(const std::vector<std::string>& args);

} // namespace tenderdb
