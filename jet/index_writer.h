#pragma once

#include "jet/page_store.h"
#include "jet/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace jet {

inline constexpr std::uint8_t kIndexNodePageType = 0x03;
inline constexpr std::uint8_t kIndexLeafPageType = 0x04;
// An index page: a header, a bitmap marking where each entry ends, then the entries.
inline constexpr std::size_t kIndexEntryMaskAt = 27;
inline constexpr std::size_t kIndexEntryMaskSize = 453;
inline constexpr std::size_t kIndexEntriesAt = kIndexEntryMaskAt + kIndexEntryMaskSize;
inline constexpr std::size_t kIndexEntrySpace =
    kIndexEntryMaskSize * 8 < kPageSize - kIndexEntriesAt ? kIndexEntryMaskSize * 8
                                                          : kPageSize - kIndexEntriesAt;
// The size of a long integer key's entry, and of a null's, which has no key bytes.
inline constexpr std::size_t kIndexKeyEntrySize = 9;
inline constexpr std::size_t kIndexNullEntrySize = 5;

// One row's entry in an index over one long integer column: its key (nullopt for null) and
// where the row is.
struct IndexEntry {
    std::optional<std::int32_t> key;
    RowId row;
};

// The bytes of an ascending index entry for a long integer key: the key as encodeIndexKey makes
// it, then the row's page (3 bytes) and row number, big-endian.
Bytes encodeIndexEntry(const IndexEntry& entry);

// Writes the entries of an index of the table defined on `definitionPage` as one leaf page,
// which is then the index's root. Returns std::nullopt when they do not fit one page: trees of
// node and leaf pages are not written.
std::optional<std::uint32_t> writeSingleLeafIndex(PageStore& store, std::uint32_t definitionPage,
                                                  const std::vector<IndexEntry>& entries);

} // namespace jet
