// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_store.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jet {

inline constexpr std::uint8_t kUserTable = 0x4E;
inline constexpr std::uint8_t kSystemTable = 0x53;

// A column of a table to be created.
struct NewColumn {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t width = 0; // characters for text, bytes for binary
    bool autoNumber = false;
    // Text and memo values in Access's compressed form where they allow it; the catalog's own
    // text columns are not marked so.
    bool compressed = true;
};

// The definition of a new table whose columns are given in their order: numbers, variable
// slots and fixed offsets as Access assigns them, every column nullable. Throws Error for a type
// a new table cannot have or a text or binary width outside 1..255.
TableDef layoutTable(const std::string& name, std::span<const NewColumn> columns);

// What a definition records beside its columns and indexes: the table's kind, where the pages
// of each real index are, and the usage maps of its memo and OLE columns.
struct DefinitionPlacement {
    std::uint8_t tableType = kUserTable;
    struct IndexPages {
        MapLocation map;
        std::uint32_t rootPage = 0;
        std::uint32_t entryCount = 0;
    };
    std::vector<IndexPages> indexes; // one per real index of the definition
    std::vector<LongValueMaps> longValueColumns;
};

// The bytes of a Jet 4 table definition as one run, before it is split into pages.
Bytes encodeTableDefinition(const TableDef& def, const DefinitionPlacement& placement);

// How many pages a definition of `size` bytes takes.
std::size_t definitionPageCount(std::size_t size);

// Writes a definition onto `pages` (as many as definitionPageCount), chaining them.
void placeTableDefinition(PageStore& store, std::span<const std::uint32_t> pages,
                          const Bytes& definition);

} // namespace jet
