// SPDX-License-Identifier: Apache-2.0
#include "jet/table_def_writer.h"

#include "jet/bytes.h"
#include "jet/text_codec.h"

#include <algorithm>

namespace jet {

namespace {

// Constants every Jet 4 definition carries in these places.
constexpr std::uint32_t kDefinitionMagic = 1625;
constexpr std::uint32_t kRealIndexMagic = 1923;
constexpr std::uint8_t kDefinitionPageType = 0x02;

constexpr std::size_t kHeaderSize = 63;
constexpr std::size_t kRealIndexEntrySize = 12;
constexpr std::size_t kColumnDescriptorSize = 25;
constexpr std::size_t kRealIndexBlockSize = 52;
constexpr std::size_t kLogicalIndexEntrySize = 28;
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::size_t kContinuationHeader = 8;
// The page's free-space count leaves these bytes out, as Access counts it.
constexpr std::size_t kFreeSpaceReserve = 8;

constexpr std::uint8_t kIndexUnique = 0x01;
constexpr std::uint8_t kIndexRequired = 0x08;
constexpr std::uint8_t kIndexAlwaysSet = 0x80;
constexpr std::uint8_t kPrimaryKeyKind = 1;
constexpr std::uint8_t kAscending = 0x01;

std::uint32_t mapPointer(MapLocation location) {
    return location.page << 8 | location.row;
}

void appendName(Bytes& out, const std::string& name) {
    Bytes encoded = encodeText(name, false);
    std::size_t at = out.size();
    out.resize(at + 2);
    putU16(out, at, static_cast<std::uint16_t>(encoded.size()));
    out.insert(out.end(), encoded.begin(), encoded.end());
}

} // namespace

TableDef layoutTable(const std::string& name, std::span<const NewColumn> columns) {
    TableDef def;
    def.name = name;
    std::uint16_t fixedOffset = 0;
    for (const NewColumn& asked : columns) {
        Column column;
        column.name = asked.name;
        column.type = asked.type;
        column.number = static_cast<std::uint16_t>(def.columns.size());
        column.flags = kColumnNullable;
        std::uint16_t fixed = fixedValueSize(asked.type);
        if (fixed > 0) {
            column.flags |= kColumnFixed;
            column.length = fixed;
            // Yes/no values live in the null mask and take no room in the fixed area.
            if (asked.type != ColumnType::Boolean) {
                column.fixedOffset = fixedOffset;
                fixedOffset = static_cast<std::uint16_t>(fixedOffset + fixed);
            }
            column.variableIndex = def.variableColumnCount;
        } else if (asked.type == ColumnType::Text || asked.type == ColumnType::Binary) {
            if (asked.width == 0 || asked.width > 255)
                throw Error("table " + name + ", column " + asked.name + ": width " +
                            std::to_string(asked.width) + " is outside 1..255");
            bool text = asked.type == ColumnType::Text;
            column.length = static_cast<std::uint16_t>(text ? asked.width * 2 : asked.width);
            column.compressedUnicode = text && asked.compressed;
            column.variableIndex = def.variableColumnCount++;
        } else if (asked.type == ColumnType::Memo || asked.type == ColumnType::Ole) {
            column.compressedUnicode = asked.type == ColumnType::Memo && asked.compressed;
            column.variableIndex = def.variableColumnCount++;
        } else {
            throw Error("table " + name + ", column " + asked.name +
                        ": a new table cannot have a " + std::string(columnTypeName(asked.type)) +
                        " column");
        }
        if (asked.autoNumber) {
            if (asked.type != ColumnType::Long)
                throw Error("table " + name + ", column " + asked.name +
                            ": only a long integer column can be an autonumber");
            column.flags |= kColumnAutoNumber;
        }
        def.columns.push_back(std::move(column));
    }
    def.maxColumnCount = static_cast<std::uint16_t>(def.columns.size());
    return def;
}

Bytes encodeTableDefinition(const TableDef& def, const DefinitionPlacement& placement) {
    if (placement.indexes.size() != def.realIndexes.size())
        throw Error("table " + def.name + ": index pages given for " +
                    std::to_string(placement.indexes.size()) + " of " +
                    std::to_string(def.realIndexes.size()) + " indexes");
    bool hasAutoNumber = std::any_of(def.columns.begin(), def.columns.end(),
                                     [](const Column& c) { return c.isAutoNumber(); });
    Bytes out(kHeaderSize, 0);
    out[0] = kDefinitionPageType;
    out[1] = 0x01;
    putU32(out, 12, kDefinitionMagic);
    putU32(out, 16, def.rowCount);
    putU32(out, 20, def.nextAutoNumber);
    // Access assigns autonumbers only in tables that carry this mark.
    out[24] = hasAutoNumber ? 1 : 0;
    out[40] = placement.tableType;
    putU16(out, 41, def.maxColumnCount);
    putU16(out, 43, def.variableColumnCount);
    putU16(out, 45, static_cast<std::uint16_t>(def.columns.size()));
    putU32(out, 47, static_cast<std::uint32_t>(def.logicalIndexes.size()));
    putU32(out, 51, static_cast<std::uint32_t>(def.realIndexes.size()));
    putU32(out, 55, mapPointer(def.ownedPages));
    putU32(out, 59, mapPointer(def.freeSpacePages));

    for (const auto& index : placement.indexes) {
        std::size_t at = out.size();
        out.resize(at + kRealIndexEntrySize, 0);
        putU32(out, at + 4, index.entryCount);
    }
    for (const Column& column : def.columns) {
        std::size_t at = out.size();
        out.resize(at + kColumnDescriptorSize, 0);
        out[at] = static_cast<std::uint8_t>(column.type);
        putU32(out, at + 1, kDefinitionMagic);
        putU16(out, at + 5, column.number);
        putU16(out, at + 7, column.variableIndex);
        putU16(out, at + 9, column.number);
        if (column.type == ColumnType::Text || column.type == ColumnType::Memo)
            putU16(out, at + 11, kGeneralSortOrder);
        out[at + 15] = column.flags;
        out[at + 16] = column.compressedUnicode ? 0x01 : 0x00;
        putU16(out, at + 21, column.fixedOffset);
        putU16(out, at + 23, column.length);
    }
    for (const Column& column : def.columns)
        appendName(out, column.name);

    bool primary = false;
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
        const RealIndex& index = def.realIndexes[i];
        if (index.columnNumbers.empty() || index.columnNumbers.size() > kIndexColumnSlots)
            throw Error("table " + def.name + ": an index covers 1 to 10 columns");
        std::size_t at = out.size();
        out.resize(at + kRealIndexBlockSize, 0);
        putU32(out, at, kRealIndexMagic);
        for (std::size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
            bool used = slot < index.columnNumbers.size();
            putU16(out, at + 4 + slot * 3, used ? index.columnNumbers[slot] : 0xFFFF);
            out[at + 6 + slot * 3] = used ? kAscending : 0;
        }
        putU32(out, at + 34, mapPointer(placement.indexes[i].map));
        putU32(out, at + 38, placement.indexes[i].rootPage);
        out[at + 46] = static_cast<std::uint8_t>(index.flags | kIndexAlwaysSet);
    }
    for (std::size_t i = 0; i < def.logicalIndexes.size(); ++i) {
        const LogicalIndex& index = def.logicalIndexes[i];
        std::size_t at = out.size();
        out.resize(at + kLogicalIndexEntrySize, 0);
        putU32(out, at, kDefinitionMagic);
        putU32(out, at + 4, static_cast<std::uint32_t>(i));
        putU32(out, at + 8, index.realIndex);
        putU32(out, at + 13, 0xFFFFFFFF); // no relationship
        out[at + 23] = index.kind;
        if (index.kind == kPrimaryKeyKind) {
            if (primary)
                throw Error("table " + def.name + " has two primary keys");
            primary = true;
            if (index.realIndex >= def.realIndexes.size() ||
                (def.realIndexes[index.realIndex].flags & (kIndexUnique | kIndexRequired)) !=
                    (kIndexUnique | kIndexRequired))
                throw Error("table " + def.name +
                            ": the primary key's index must be unique and "
                            "required");
        }
    }
    for (const LogicalIndex& index : def.logicalIndexes)
        appendName(out, index.name);

    for (const auto& maps : placement.longValueColumns) {
        std::size_t at = out.size();
        out.resize(at + 10, 0);
        putU16(out, at, maps.columnNumber);
        putU32(out, at + 2, mapPointer(maps.owned));
        putU32(out, at + 6, mapPointer(maps.freeSpace));
    }
    std::size_t end = out.size();
    out.resize(end + 2);
    putU16(out, end, 0xFFFF);
    putU32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::size_t definitionPageCount(std::size_t size) {
    if (size <= kPageSize)
        return 1;
    std::size_t perPage = kPageSize - kContinuationHeader;
    return 1 + (size - kPageSize + perPage - 1) / perPage;
}

void placeTableDefinition(PageStore& store, std::span<const std::uint32_t> pages,
                          const Bytes& definition) {
    if (pages.size() != definitionPageCount(definition.size()))
        throw Error("table definition of " + std::to_string(definition.size()) + " bytes given " +
                    std::to_string(pages.size()) + " pages");
    // Readers join the pages: the whole first page, then each continuation after its header.
    std::size_t taken = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        Page& page = store[pages[i]];
        std::size_t header = i == 0 ? 0 : kContinuationHeader;
        std::size_t chunk = std::min(definition.size() - taken, kPageSize - header);
        std::copy_n(definition.begin() + static_cast<std::ptrdiff_t>(taken), chunk,
                    page.begin() + static_cast<std::ptrdiff_t>(header));
        taken += chunk;
        page[0] = kDefinitionPageType;
        page[1] = 0x01;
        std::size_t unused = kPageSize - header - chunk;
        putU16(page, 2,
               static_cast<std::uint16_t>(unused > kFreeSpaceReserve ? unused - kFreeSpaceReserve
                                                                     : 0));
        putU32(page, 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    }
}

} // namespace jet
