// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_store.h"
#include "jet/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace jet {

inline constexpr std::uint8_t kIndexNodePageType = 0x03;
inline constexpr std::uint8_t kIndexLeafPageType = 0x04;
// An index page's header: the definition page of its table, its neighbours on the same level of
// the tree (0 at either end) and, in an intermediate page, the child that holds the keys past
// its last entry.
inline constexpr std::size_t kIndexOwnerAt = 4;
inline constexpr std::size_t kIndexPreviousPageAt = 12;
inline constexpr std::size_t kIndexNextPageAt = 16;
inline constexpr std::size_t kIndexTailPageAt = 20;
// Then a bitmap marking where each entry ends, then the entries.
inline constexpr std::size_t kIndexEntryMaskAt = 27;
inline constexpr std::size_t kIndexEntryMaskSize = 453;
inline constexpr std::size_t kIndexEntriesAt = kIndexEntryMaskAt + kIndexEntryMaskSize;
inline constexpr std::size_t kIndexEntrySpace =
    kIndexEntryMaskSize * 8 < kPageSize - kIndexEntriesAt ? kIndexEntryMaskSize * 8
                                                          : kPageSize - kIndexEntriesAt;
// An intermediate entry ends in its child's page number, big-endian.
inline constexpr std::size_t kIndexChildSize = 4;

// One row's entry in an index over one long integer column: its key (nullopt for null) and
// where the row is.
struct IndexEntry {
    std::optional<std::int32_t> key;
    RowId row;
};

// The bytes of an ascending index entry for a long integer key: the key as encodeIndexKey makes
// it, then the row's page (3 bytes) and row number, big-endian.
Bytes encodeIndexEntry(const IndexEntry& entry);

// Where a written index lies: the root of its tree and every page of it.
struct WrittenIndex {
    std::uint32_t rootPage = 0;
    std::vector<std::uint32_t> pages;
};

// Writes the entries of an index of the table defined on `definitionPage` as a tree, as Access
// lays one out: leaves filled in key order and chained both ways; over them, while a level has
// more than one page, a level of intermediate pages whose entries each hold the last entry under
// a child followed by the child's page, a page's last child being its tail, named in its header.
WrittenIndex writeIndex(PageStore& store, std::uint32_t definitionPage,
                        const std::vector<IndexEntry>& entries);

} // namespace jet
