// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace tenderdb {

// tenderdb update FILE TABLE (--where COLUMN=VALUE | --where-null COLUMN)
//                 (--set COLUMN=VALUE | --set-null COLUMN)...
// Posts the changes to every row of TABLE whose COLUMN holds VALUE (or is null) and prints how
// many rows it changed. Values are read by their column's type: whole numbers for integer
// columns, numbers with a decimal point for doubles, true or false for yes/no, text as given.
// Every value is checked against its column before the first row is written. Throws
// jet::Error when the file refuses the change; std::invalid_argument on wrong usage.
void updateCommand(const std::vector<std::string>& args);

} // namespace tenderdb
