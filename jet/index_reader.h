// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_file.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <optional>
#include <vector>

namespace jet {

// The entries of one index page, each whole again (the bytes the page's entries share put back
// in front of all but the first), in the order the page holds them. Throws Error when the page's
// map of entry ends leads past the page.
std::vector<Bytes> indexPageEntries(const Page& page, const std::string& where);

// Where the row an index entry (the key, then the row id) stands for lies: its last four bytes,
// page big-endian then row number.
RowId indexEntryRow(const Bytes& entry);

// The index of `table` that covers `column` alone, if it has one.
const RealIndex* singleColumnIndex(const TableDef& table, const Column& column);

// The ids of the rows of `table` whose `column` holds `value` (not null), found by walking
// `index`, an index over that column alone, from its root down to the leaves that hold the key;
// in the index's order. std::nullopt when the index cannot answer: its key type or the value
// is one the key encoder does not know, or its pages do not hold together (a page of another
// kind or table, entries out of order, a chain that loops). The caller then scans; a row an
// answer names is still to be checked when it is read, since an index may lag behind its table.
std::optional<std::vector<RowId>> findInIndex(const PageFile& file, const TableDef& table,
                                              const RealIndex& index, const Column& column,
                                              const Value& value);

} // namespace jet
