// SPDX-License-Identifier: Apache-2.0
#include "jet/table_def.h"

#include "jet/bytes.h"
#include "jet/long_value_writer.h"
#include "jet/page_file.h"
#include "jet/text_codec.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <set>

namespace jet {

namespace {

constexpr std::uint8_t kDefinitionPageType = 0x02;
constexpr std::size_t kContinuationHeader = 8;

// Offsets in a Jet 4 definition.
constexpr std::size_t kNextPage = 4;
constexpr std::size_t kDefinitionLength = 8;
constexpr std::size_t kRowCount = 16;
constexpr std::size_t kAutoNumber = 20;
constexpr std::size_t kMaxColumnCount = 41;
constexpr std::size_t kVariableColumnCount = 43;
constexpr std::size_t kColumnCount = 45;
constexpr std::size_t kLogicalIndexCount = 47;
constexpr std::size_t kRealIndexCount = 51;
constexpr std::size_t kOwnedPagesMap = 55;
constexpr std::size_t kFreeSpaceMap = 59;
constexpr std::size_t kRealIndexEntries = 63;
constexpr std::size_t kRealIndexEntrySize = 12;
constexpr std::size_t kColumnDescriptorSize = 25;
constexpr std::size_t kRealIndexBlockSize = 52;
constexpr std::size_t kIndexSlots = 10;
constexpr std::size_t kLogicalIndexEntrySize = 28;
constexpr std::size_t kLongValueMapsSize = 10;

// Jet refuses more than 255 columns and far fewer indexes; bigger counts mean a corrupt page.
constexpr std::size_t kMaxColumns = 256;
constexpr std::size_t kMaxIndexes = 1024;
// The widest text or binary value Jet stores: 255 characters of two bytes.
constexpr std::uint16_t kMaxVariableWidth = 510;

MapLocation mapLocation(std::uint32_t pointer) {
    return {pointer >> 8, static_cast<std::uint16_t>(pointer & 0xFF)};
}

std::vector<std::uint8_t> readDefinitionBytes(const PageFile& file, std::uint32_t first) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t pageCount = file.pageCount();
    std::uint32_t page = first;
    for (std::uint32_t visited = 0; page != 0; ++visited) {
        if (visited >= pageCount)
            throw Error(file.where(first) + ": the table definition's page chain loops");
        if (page >= pageCount)
            throw Error(file.where(page) + ": table definition page out of range (" +
                        std::to_string(pageCount) + " pages)");
        Page data = file.read(page);
        if (data[0] != kDefinitionPageType)
            throw Error(file.where(page) + ": not a table definition page (type " +
                        std::to_string(data[0]) + ")");
        std::size_t skip = bytes.empty() ? 0 : kContinuationHeader;
        bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(skip), data.end());
        page = ByteView(data, file.where(page)).u32(kNextPage);
    }
    return bytes;
}

std::string readName(const ByteView& view, std::size_t& at) {
    std::uint16_t length = view.u16(at);
    auto raw = view.slice(at + 2, length);
    at += 2u + length;
    return decodeText(raw);
}

Column readColumn(const ByteView& view, std::size_t at) {
    Column column;
    column.type = static_cast<ColumnType>(view.u8(at));
    column.number = view.u16(at + 5);
    column.variableIndex = view.u16(at + 7);
    column.precision = view.u8(at + 11);
    column.scale = view.u8(at + 12);
    column.sortOrder = view.u16(at + 11);
    column.flags = view.u8(at + 15);
    column.compressedUnicode = (view.u8(at + 16) & 0x01) != 0;
    column.fixedOffset = view.u16(at + 21);
    column.length = view.u16(at + 23);
    return column;
}

// Type bytes Jet does not use: 0, 0x0E and those past 0x14.
bool unknownType(ColumnType type) {
    auto code = static_cast<std::uint8_t>(type);
    return code == 0 || code == 0x0E || code > 0x14;
}

// A column whose place lies outside what a row of its table can hold would be read as null, or
// from another column's bytes, and a post would write it there; one of a type Jet does not have
// reads as raw bytes. Either way the definition is damaged.
void checkColumn(const TableDef& def, const Column& column, const std::string& context) {
    auto damaged = [&](const std::string& why) {
        throw Error(context + ": column " + column.name + " " + why);
    };
    if (unknownType(column.type))
        damaged("has type " + std::to_string(static_cast<int>(column.type)) +
                ", which Jet does not have");
    if (column.number >= def.maxColumnCount)
        damaged("has number " + std::to_string(column.number) + ", outside the table's " +
                std::to_string(def.maxColumnCount) + " columns");
    if (column.type == ColumnType::Boolean)
        return; // its value is its null-mask bit
    if (column.isFixed()) {
        std::uint16_t size = fixedValueSize(column.type);
        if (size > 0 && column.length != size)
            damaged("is " + std::to_string(column.length) + " bytes long, a " +
                    std::string(columnTypeName(column.type)) + " takes " + std::to_string(size));
        if (2u + column.fixedOffset + column.length > kMaxRowSize)
            damaged("has " + std::to_string(column.length) + " bytes at fixed offset " +
                    std::to_string(column.fixedOffset) + ", past the longest row of " +
                    std::to_string(kMaxRowSize) + " bytes");
    } else if (column.variableIndex >= def.variableColumnCount) {
        damaged("has variable slot " + std::to_string(column.variableIndex) +
                ", outside the table's " + std::to_string(def.variableColumnCount));
    }
    if ((column.type == ColumnType::Text || column.type == ColumnType::Binary) &&
        column.length > kMaxVariableWidth)
        damaged("is " + std::to_string(column.length) + " bytes wide, more than the " +
                std::to_string(kMaxVariableWidth) + " a " +
                std::string(columnTypeName(column.type)) + " column holds");
}

// Two columns with one number share a null-mask bit, two with one variable slot or with
// overlapping fixed bytes share their value: a post of one would change the other.
void checkColumnsApart(const TableDef& def, const std::string& context) {
    std::set<std::uint16_t> numbers;
    std::set<std::uint16_t> slots;
    std::map<std::uint16_t, const Column*> fixedStarts;
    for (const Column& column : def.columns) {
        auto shared = [&](const std::string& what) {
            throw Error(context + ": column " + column.name + " shares its " + what +
                        " with another column");
        };
        if (!numbers.insert(column.number).second)
            shared("number " + std::to_string(column.number));
        if (column.type == ColumnType::Boolean)
            continue;
        if (!column.isFixed()) {
            if (!slots.insert(column.variableIndex).second)
                shared("variable slot " + std::to_string(column.variableIndex));
        } else if (column.length > 0) {
            auto [at, fresh] = fixedStarts.emplace(column.fixedOffset, &column);
            auto next = std::next(at);
            bool overlaps =
                !fresh ||
                (at != fixedStarts.begin() &&
                 std::prev(at)->first + std::prev(at)->second->length > column.fixedOffset) ||
                (next != fixedStarts.end() && column.fixedOffset + column.length > next->first);
            if (overlaps)
                shared("fixed bytes at offset " + std::to_string(column.fixedOffset));
        }
    }
}

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::uint16_t fixedValueSize(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
        return 1;
    case ColumnType::Integer:
        return 2;
    case ColumnType::Long:
    case ColumnType::Single:
        return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
        return 8;
    case ColumnType::Guid:
        return 16;
    case ColumnType::Numeric:
        return 17;
    default:
        return 0;
    }
}

std::string_view columnTypeName(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean:
        return "yes/no";
    case ColumnType::Byte:
        return "byte";
    case ColumnType::Integer:
        return "integer";
    case ColumnType::Long:
        return "long integer";
    case ColumnType::Currency:
        return "currency";
    case ColumnType::Single:
        return "single";
    case ColumnType::Double:
        return "double";
    case ColumnType::DateTime:
        return "date/time";
    case ColumnType::Binary:
        return "binary";
    case ColumnType::Text:
        return "text";
    case ColumnType::Ole:
        return "OLE";
    case ColumnType::Memo:
        return "memo";
    case ColumnType::Guid:
        return "replication ID";
    case ColumnType::Numeric:
        return "decimal";
    case ColumnType::Complex:
        return "complex";
    }
    return "unknown";
}

const Column* TableDef::find(std::string_view columnName) const {
    for (const Column& c : columns)
        if (sameName(c.name, columnName))
            return &c;
    return nullptr;
}

const Column& TableDef::column(std::string_view columnName) const {
    if (const Column* c = find(columnName))
        return *c;
    throw Error("table " + name + " has no column " + std::string(columnName));
}

bool TableDef::isIndexed(const Column& c) const {
    return std::any_of(realIndexes.begin(), realIndexes.end(), [&](const RealIndex& index) {
        return std::find(index.columnNumbers.begin(), index.columnNumbers.end(), c.number) !=
               index.columnNumbers.end();
    });
}

TableDef readTableDef(const PageFile& file, std::uint32_t page, std::string name) {
    std::vector<std::uint8_t> bytes = readDefinitionBytes(file, page);
    ByteView view(bytes, file.where(page) + ": table definition of " + name);

    TableDef def;
    def.name = std::move(name);
    def.definitionPage = page;
    def.rowCount = view.u32(kRowCount);
    def.nextAutoNumber = view.u32(kAutoNumber);
    def.maxColumnCount = view.u16(kMaxColumnCount);
    def.variableColumnCount = view.u16(kVariableColumnCount);
    std::size_t columnCount = view.u16(kColumnCount);
    std::size_t logicalIndexCount = view.u32(kLogicalIndexCount);
    std::size_t realIndexCount = view.u32(kRealIndexCount);
    def.ownedPages = mapLocation(view.u32(kOwnedPagesMap));
    def.freeSpacePages = mapLocation(view.u32(kFreeSpaceMap));
    if (columnCount > kMaxColumns || realIndexCount > kMaxIndexes ||
        logicalIndexCount > kMaxIndexes)
        throw Error(view.context() + ": implausible counts (" + std::to_string(columnCount) +
                    " columns, " + std::to_string(realIndexCount) + " indexes)");
    // The column count of rows counts deleted columns too, so it bounds the others; a row built
    // with more variable columns than that would not fit its page.
    if (columnCount > def.maxColumnCount || def.variableColumnCount > def.maxColumnCount)
        throw Error(view.context() + ": " + std::to_string(columnCount) + " columns, " +
                    std::to_string(def.variableColumnCount) + " of variable length, in rows of " +
                    std::to_string(def.maxColumnCount));

    std::size_t at = kRealIndexEntries + realIndexCount * kRealIndexEntrySize;
    for (std::size_t i = 0; i < columnCount; ++i, at += kColumnDescriptorSize)
        def.columns.push_back(readColumn(view, at));
    for (Column& column : def.columns) {
        column.name = readName(view, at);
        checkColumn(def, column, view.context());
    }
    checkColumnsApart(def, view.context());

    for (std::size_t i = 0; i < realIndexCount; ++i, at += kRealIndexBlockSize) {
        RealIndex index;
        for (std::size_t slot = 0; slot < kIndexSlots; ++slot) {
            std::uint16_t number = view.u16(at + 4 + slot * 3);
            if (number != 0xFFFF) {
                index.columnNumbers.push_back(number);
                index.ascending.push_back((view.u8(at + 6 + slot * 3) & 0x01) != 0);
            }
        }
        index.pages = mapLocation(view.u32(at + 34));
        index.rootPage = view.u32(at + 38);
        index.flags = view.u8(at + 46);
        def.realIndexes.push_back(std::move(index));
    }
    for (std::size_t i = 0; i < logicalIndexCount; ++i, at += kLogicalIndexEntrySize) {
        LogicalIndex index;
        index.realIndex = view.u32(at + 8);
        index.kind = view.u8(at + 23);
        def.logicalIndexes.push_back(std::move(index));
    }
    for (LogicalIndex& index : def.logicalIndexes)
        index.name = readName(view, at);

    // Then, within the definition's recorded length, the maps of each long-value column's
    // pages, ended by 0xFFFF.
    std::size_t end = std::min<std::size_t>(view.u32(kDefinitionLength), view.size());
    while (at + kLongValueMapsSize <= end && view.u16(at) != 0xFFFF) {
        def.longValueMaps.push_back(
            {view.u16(at), mapLocation(view.u32(at + 2)), mapLocation(view.u32(at + 6))});
        at += kLongValueMapsSize;
    }

    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    return def;
}

} // namespace jet
