// SPDX-License-Identifier: Apache-2.0
#include "jet/index_writer.h"

#include "jet/bytes.h"
#include "jet/index_key.h"

#include <algorithm>

namespace jet {

namespace {

// The pages of one level of a tree, in key order, with the last entry under each.
struct Level {
    std::vector<std::uint32_t> pages;
    std::vector<Bytes> lastEntries;
};

std::uint32_t writeIndexPage(PageStore& store, std::uint8_t type, std::uint32_t definitionPage,
                             const std::vector<Bytes>& entries, std::uint32_t tail) {
    std::uint32_t number = store.allocate();
    Page& page = store[number];
    page[0] = type;
    page[1] = 0x01;
    putU32(page, kIndexOwnerAt, definitionPage);
    putU32(page, kIndexTailPageAt, tail);
    std::size_t end = 0;
    for (const Bytes& entry : entries) {
        std::copy(entry.begin(), entry.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(kIndexEntriesAt + end));
        end += entry.size();
        page[kIndexEntryMaskAt + end / 8] |= static_cast<std::uint8_t>(1u << (end % 8));
    }
    putU16(page, 2, static_cast<std::uint16_t>(kPageSize - kIndexEntriesAt - end));
    return number;
}

// Chains the pages of one level both ways, as a reader walking the level along expects.
void link(PageStore& store, const std::vector<std::uint32_t>& pages) {
    for (std::size_t i = 1; i < pages.size(); ++i) {
        putU32(store[pages[i - 1]], kIndexNextPageAt, pages[i]);
        putU32(store[pages[i]], kIndexPreviousPageAt, pages[i - 1]);
    }
}

// Splits entries, in order, into runs that each fit one page.
std::vector<std::vector<Bytes>> fillPages(std::vector<Bytes> entries) {
    std::vector<std::vector<Bytes>> runs(1);
    std::size_t used = 0;
    for (Bytes& entry : entries) {
        if (used + entry.size() > kIndexEntrySpace) {
            runs.emplace_back();
            used = 0;
        }
        used += entry.size();
        runs.back().push_back(std::move(entry));
    }
    return runs;
}

Level writeLeaves(PageStore& store, std::uint32_t definitionPage, std::vector<Bytes> entries) {
    Level level;
    for (const std::vector<Bytes>& run : fillPages(std::move(entries))) {
        level.pages.push_back(writeIndexPage(store, kIndexLeafPageType, definitionPage, run, 0));
        level.lastEntries.push_back(run.empty() ? Bytes{} : run.back());
    }
    link(store, level.pages);
    return level;
}

// The intermediate level over `children`: each page takes children while their entries fit,
// the last of them its tail.
Level writeParents(PageStore& store, std::uint32_t definitionPage, const Level& children) {
    std::vector<std::vector<std::size_t>> groups(1);
    std::size_t used = 0;
    for (std::size_t child = 0; child < children.pages.size(); ++child) {
        // Adding a child turns the group's tail so far into an entry.
        if (!groups.back().empty()) {
            std::size_t entry = children.lastEntries[groups.back().back()].size() + kIndexChildSize;
            if (used + entry > kIndexEntrySpace) {
                groups.emplace_back();
                used = 0;
            } else {
                used += entry;
            }
        }
        groups.back().push_back(child);
    }
    // A last page with its tail alone is legal but odd: it takes one child of the page before.
    if (groups.size() > 1 && groups.back().size() == 1 && groups[groups.size() - 2].size() > 2) {
        std::vector<std::size_t>& before = groups[groups.size() - 2];
        groups.back().insert(groups.back().begin(), before.back());
        before.pop_back();
    }

    Level level;
    for (const std::vector<std::size_t>& group : groups) {
        std::vector<Bytes> entries;
        for (std::size_t i = 0; i + 1 < group.size(); ++i) {
            Bytes entry = children.lastEntries[group[i]];
            std::uint32_t child = children.pages[group[i]];
            for (int shift = 24; shift >= 0; shift -= 8)
                entry.push_back(static_cast<std::uint8_t>(child >> shift));
            entries.push_back(std::move(entry));
        }
        level.pages.push_back(writeIndexPage(store, kIndexNodePageType, definitionPage, entries,
                                             children.pages[group.back()]));
        level.lastEntries.push_back(children.lastEntries[group.back()]);
    }
    link(store, level.pages);
    return level;
}

} // namespace

Bytes encodeIndexEntry(const IndexEntry& entry) {
    Column column;
    column.type = ColumnType::Long;
    column.length = fixedValueSize(ColumnType::Long);
    column.flags = kColumnFixed;
    Bytes out;
    Value key = entry.key ? Value(std::int64_t{*entry.key}) : Value();
    // A long integer always has a key, so nothing can be reported here.
    appendIndexKey(column, key, true, out);
    for (int shift = 16; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(entry.row.page >> shift));
    out.push_back(static_cast<std::uint8_t>(entry.row.row));
    return out;
}

WrittenIndex writeIndex(PageStore& store, std::uint32_t definitionPage,
                        const std::vector<IndexEntry>& entries) {
    std::vector<Bytes> encoded;
    encoded.reserve(entries.size());
    for (const IndexEntry& entry : entries)
        encoded.push_back(encodeIndexEntry(entry));
    // Compared through lexicographical_compare rather than the vectors' own operator: with GCC 12
    // at -O3 the inlined three-way comparison draws a false -Wstringop-overread.
    std::sort(encoded.begin(), encoded.end(), [](const Bytes& a, const Bytes& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    });

    WrittenIndex written;
    Level level = writeLeaves(store, definitionPage, std::move(encoded));
    written.pages = level.pages;
    while (level.pages.size() > 1) {
        level = writeParents(store, definitionPage, level);
        written.pages.insert(written.pages.end(), level.pages.begin(), level.pages.end());
    }
    written.rootPage = level.pages.front();
    std::sort(written.pages.begin(), written.pages.end());
    return written;
}

} // namespace jet
