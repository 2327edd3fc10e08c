// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

class PageFile;

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Numeric = 0x10,
    Complex = 0x12,
};

std::string_view columnTypeName(ColumnType type);

// Bytes a value of a fixed-length type takes in a row (a yes/no is counted as one, though its
// value lives in the null mask); 0 for the variable-length types.
std::uint16_t fixedValueSize(ColumnType type);

// Column flags of the definition page.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoNumber = 0x04;

// The sort order of text columns in Access's "General" order, the one Jet 4 files use.
inline constexpr std::uint16_t kGeneralSortOrder = 0x0409;

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    // The column's number counts deleted columns too; it is its bit in a row's null mask.
    std::uint16_t number = 0;
    // Slot in a row's variable-offset table (variable-length columns only).
    std::uint16_t variableIndex = 0;
    // Offset in a row's fixed area (fixed-length columns only).
    std::uint16_t fixedOffset = 0;
    // Width in bytes: a text(255) is 510.
    std::uint16_t length = 0;
    std::uint8_t flags = 0;
    bool compressedUnicode = false;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    // For text and memo: the sort order its index keys follow (the bytes of precision and scale).
    std::uint16_t sortOrder = 0;

    bool isFixed() const { return (flags & kColumnFixed) != 0; }
    bool isAutoNumber() const { return (flags & kColumnAutoNumber) != 0; }
    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
};

// A usage map is a row somewhere in the file: this is where.
struct MapLocation {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
};

// An index as the file stores its keys: the numbers of the columns it covers, where its pages
// are listed and which of them is the root of its tree.
struct RealIndex {
    std::vector<std::uint16_t> columnNumbers;
    std::vector<bool> ascending; // for each of columnNumbers
    std::uint8_t flags = 0;      // 0x01 unique, 0x02 ignores nulls, 0x08 required
    MapLocation pages;
    std::uint32_t rootPage = 0;
};

// The maps of the long-value pages that hold one memo or OLE column's values.
struct LongValueMaps {
    std::uint16_t columnNumber = 0;
    MapLocation owned;
    MapLocation freeSpace;
};

// An index as the user named it; several may share one real index.
struct LogicalIndex {
    std::string name;
    std::uint32_t realIndex = 0;
    std::uint8_t kind = 0; // 1 primary key, 2 foreign key reference
};

struct TableDef {
    std::string name;
    std::uint32_t definitionPage = 0;
    std::uint32_t rowCount = 0;
    std::uint32_t nextAutoNumber = 0;
    // How many column numbers rows of this table carry (deleted columns included): the column
    // count written at the start of every row and the width of its null mask.
    std::uint16_t maxColumnCount = 0;
    std::uint16_t variableColumnCount = 0;
    // Columns in the order of their numbers, as readers list them.
    std::vector<Column> columns;
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> logicalIndexes;
    MapLocation ownedPages;
    MapLocation freeSpacePages;
    std::vector<LongValueMaps> longValueMaps; // where the definition records them

    const Column* find(std::string_view columnName) const;
    const Column& column(std::string_view columnName) const; // throws when absent
    bool isIndexed(const Column& column) const;
};

// Jet compares table and column names without regard to case.
bool sameName(std::string_view a, std::string_view b);

// Reads the definition that starts on `page`, following its continuation pages.
TableDef readTableDef(const PageFile& file, std::uint32_t page, std::string name);

} // namespace jet
