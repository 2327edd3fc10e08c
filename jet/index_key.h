// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/table_def.h"
#include "jet/value.h"

#include <optional>
#include <string>
#include <variant>

namespace jet {

// The bytes by which an index orders a row, as Jet writes them before the row's id: for each
// column of the index a flag byte (a null sorts first in an ascending column, last in a
// descending one), then the value encoded so that the bytes compare as the values sort, and
// inverted for a descending column. Text follows Access's General sort order.
//
// Returns the key, or the reason it cannot be encoded here (a key type or a character the
// encoder does not know), which means the index cannot be checked, not that it is damaged.
using IndexKey = std::variant<Bytes, std::string>;
IndexKey encodeIndexKey(const TableDef& def, const RealIndex& index, const Row& row);

// The part of a key that one column's value makes, appended to `out`. Returns why it cannot be
// encoded, if it cannot; `out` then holds an unfinished key.
std::optional<std::string> appendIndexKey(const Column& column, const Value& value, bool ascending,
                                          Bytes& out);

} // namespace jet
