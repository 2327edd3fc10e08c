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
    std::span<const std::uint8_t> bytes;                  // the whole row
    std::vector<std::span<const std::uint8_t>> variable; // by variable index
    std::span<const std::uint8_t> nullMask;

    bool bit(std::uint16_t columnNumber) const;
    // Raw bytes of a column, or an empty span when the row has none for it.
    std::span<const std::uint8_t> fixedBytes(const Column& column) const;
    std::span<const std::uint8_t> variableBytes(const Column& column) const;
};

// Splits a row into its parts; every offset is checked against the row.
RowLayout parseRow(std::span<const std::uint8_t> row, const std::string& where);

// Decodes one column. Memo and OLE values are read from their long-value pages in `file`.
Value decodeValue(const PageFile& file, const Column& column, const RowLayout& layout,
                  const std::string& where);

// Decodes every column of `def`, in the order of def.columns.
Row decodeRow(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
              const std::string& where);

} // namespace jet
