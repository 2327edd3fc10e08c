// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jet {

class PageFile;

// The parts of a stored Jet 4 row: a column count, the fixed area, the variable-length values,
// their offset table in reverse order, and the null mask (bit = column number, 1 = not null).
struct RowLayout {
    std::uint16_t columnCount = 0;
    std::span<const std::uint8_t> bytes;     // the whole row
    std::span<const std::uint8_t> fixedArea; // after the column count, up to the variable data
    std::vector<std::span<const std::uint8_t>> variable; // by variable index
    std::span<const std::uint8_t> nullMask;

    bool bit(std::uint16_t columnNumber) const;
    // Raw bytes of a column, or an empty span when the row has none for it.
    std::span<const std::uint8_t> fixedBytes(const Column& column) const;
    std::span<const std::uint8_t> variableBytes(const Column& column) const;
};

// Splits a row into its parts; every offset is checked against the row. Rows of a table without
// variable-length columns carry no offset table.
RowLayout parseRow(std::span<const std::uint8_t> row, bool hasVariableColumns,
                   const std::string& where);

// Decodes one column. Memo and OLE values are read from their long-value pages in `file`.
Value decodeValue(const PageFile& file, const Column& column, const RowLayout& layout,
                  const std::string& where, TextForm texts = TextForm::Utf8);

// The stored form of one column value: its null-mask bit (for yes/no the value itself) and its
// bytes in the fixed area or the variable data.
struct StoredValue {
    bool present = false;
    Bytes bytes;
};

// Encodes a value of any column type but memo and OLE, checking that it fits the column: a
// text no longer than its width, an integer in its range. Throws Error naming the column.
StoredValue encodeValue(const Column& column, const Value& value);

// The stored form of one column exactly as an existing row holds it (memo pointers included).
StoredValue storedValue(const Column& column, const RowLayout& layout);

// Builds a row from stored values given in the order of def.columns: the column count, the
// fixed area (zeros for nulls), the variable data, the offset table and the null mask. Given the
// row being replaced, its fixed area is the starting point, so bytes of columns that were
// deleted from the table stay as Access left them.
Bytes encodeRow(const TableDef& def, const std::vector<StoredValue>& values,
                const RowLayout* replaced = nullptr);

// Decodes every column of `def`, in the order of def.columns.
Row decodeRow(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
              const std::string& where);

// Decodes the columns of `def` at `indexes` into `values`, in that order, reusing its storage
// from row to row; the other columns are not looked at.
void decodeColumns(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
                   std::span<const std::size_t> indexes, Row& values, const std::string& where,
                   TextForm texts = TextForm::Utf8);

} // namespace jet
