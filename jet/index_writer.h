#pragma once

#include "jet/page_store.h"
#include "jet/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace jet {

// One row's entry in an index over one long integer column: its key (nullopt for null) and
// where the row is.
struct IndexEntry {
    std::optional<std::int32_t> key;
    RowId row;
};

// The bytes of an ascending index entry for a long integer key: a flag byte (0x7F for a value,
// 0x00 for null, so nulls sort first), the key big-endian with its sign bit flipped so that
// bytes compare as numbers do, then the row's page (3 bytes) and row number, big-endian.
Bytes encodeIndexEntry(const IndexEntry& entry);

// Writes the entries of an index of the table defined on `definitionPage` as one leaf page,
// which is then the index's root. Returns std::nullopt when they do not fit one page: trees of
// node and leaf pages are not written.
std::optional<std::uint32_t> writeSingleLeafIndex(PageStore& store, std::uint32_t definitionPage,
                                                  const std::vector<IndexEntry>& entries);

} // namespace jet
