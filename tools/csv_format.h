// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/table_def.h"
#include "jet/value.h"

#include <string>

namespace tenderdb {

// One value in the CSV form that mdb-export prints by default, so that the two tools' output
// can be compared line by line: texts and dates in double quotes (inner quotes doubled), yes/no
// as 1 or 0, currency with four decimals, dates as MM/DD/YY HH:MM:SS, null as nothing. Unlike
// mdb-export, an empty text prints as "" so that it stays distinct from null.
std::string csvValue(const jet::Column& column, const jet::Value& value);

// The column names as a header line.
std::string csvHeader(const jet::TableDef& table);

} // namespace tenderdb
