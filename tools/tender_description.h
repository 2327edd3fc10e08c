// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tools/tender_schema.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace tender {

// A tender described as JSON, the form tests, scripts and `tenderdb create` use:
//
//   {"SPECS": [row, ...], "PREDLOGENIA": [row, ...]}
//
// a row being an object from column name to null, number, boolean or string. Columns left out
// are null; SPECS.CODE is numbered when absent. A string fits a text or memo column, a whole
// number an integer column, any number a double, a boolean a yes/no column. Values of columns
// the schema changes left out are ignored.
//
// A test builds its file in a few lines:
//
//   nlohmann::json tender = {{"SPECS", {{{"IME_NA_KONKURSA", "Доставка"}, {"KP1_TIP", 3}}}},
//                            {"PREDLOGENIA", {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", "1"}}}}};
//   tender::writeTender(tender, dir / "DB.mdb");
//
// Anything that does not fit (an unknown table or column, a value of the wrong kind, a text
// longer than its column) throws jet::Error naming the table, the row (counted from 1) and the
// column, and no file is written.
std::vector<jet::NewTable> tenderTables(const nlohmann::json& description,
                                        const SchemaChanges& changes = {});

// Builds the tables and writes them to a new file at `path`; returns what the engine noted.
jet::CreateResult writeTender(const nlohmann::json& description, const std::string& path,
                              const SchemaChanges& changes = {},
                              const jet::CreateOptions& options = {});

} // namespace tender
