// SPDX-License-Identifier: Apache-2.0
#include "jet/index_reader.h"

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_writer.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

constexpr std::size_t kSharedPrefixAt = 24;
// The row id after an entry's key; an intermediate page's entries end in their child page.
constexpr std::size_t kRowIdSize = 4;
constexpr std::size_t kChildSize = kIndexChildSize;
// A tree deeper than this over a file of at most 2^24 pages is damage.
constexpr int kMaxDepth = 16;

std::uint32_t bigEndian32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
           at[3];
}

// How an entry stands to the keys that begin with `key`: before them, among them or after.
int compareToKey(const std::uint8_t* entry, std::size_t size, const Bytes& key) {
    std::size_t common = std::min(size, key.size());
    if (int order = std::memcmp(entry, key.data(), common); order != 0)
        return order;
    return size < key.size() ? -1 : 0;
}

// Thrown inside the walk when the index's pages do not hold together.
struct Untrusted {};

struct IndexPage {
    bool leaf = false;
    std::vector<Bytes> entries;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
};

class Walk {
public:
    Walk(const PageFile& file, const TableDef& table) : file_(file), table_(table) {}

    // Reads an index page of the table; more pages than the file has means a loop.
    IndexPage read(std::uint32_t number) {
        if (number == 0 || number >= file_.pageCount() || ++pagesRead_ > file_.pageCount())
            throw Untrusted{};
        Page page = file_.read(number);
        std::string where = file_.where(number);
        ByteView view(page, where);
        if ((page[0] != kIndexLeafPageType && page[0] != kIndexNodePageType) ||
            view.u32(kIndexOwnerAt) != table_.definitionPage)
            throw Untrusted{};
        IndexPage index{page[0] == kIndexLeafPageType, indexPageEntries(page, where),
                        view.u32(kIndexNextPageAt), view.u32(kIndexTailPageAt)};
        const std::size_t shortest = kRowIdSize + (index.leaf ? 0 : kChildSize) + 1;
        for (std::size_t i = 0; i < index.entries.size(); ++i)
            if (index.entries[i].size() < shortest ||
                (i > 0 && !std::lexicographical_compare(
                              index.entries[i - 1].begin(), index.entries[i - 1].end(),
                              index.entries[i].begin(), index.entries[i].end())))
                throw Untrusted{};
        return index;
    }

private:
    const PageFile& file_;
    const TableDef& table_;
    std::uint32_t pagesRead_ = 0;
};

// The first leaf that may hold an entry beginning with `key`. An intermediate entry stands for
// the boundary between its child and the next one; going to the child before the first entry
// not below the key is right whichever side of the boundary the entry names, and costs at most
// one leaf that the walk along the leaves then passes over.
IndexPage firstLeaf(Walk& walk, std::uint32_t root, const Bytes& key) {
    IndexPage page = walk.read(root);
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        if (page.leaf)
            return page;
        const std::vector<Bytes>& entries = page.entries;
        if (entries.empty()) {
            page = walk.read(page.tail);
            continue;
        }
        std::size_t below = 0; // entries that sort before every key beginning with `key`
        while (below < entries.size() &&
               compareToKey(entries[below].data(), entries[below].size() - kChildSize, key) < 0)
            ++below;
        const Bytes& entry = entries[below == 0 ? 0 : below - 1];
        page = walk.read(bigEndian32(entry.data() + entry.size() - kChildSize));
    }
    throw Untrusted{};
}

} // namespace

std::vector<Bytes> indexPageEntries(const Page& page, const std::string& where) {
    ByteView view(page, where);
    const std::size_t prefixLength = view.u16(kSharedPrefixAt);
    std::vector<Bytes> entries;
    Bytes prefix;
    std::size_t start = 0;
    for (std::size_t end = 0; end < kIndexEntryMaskSize * 8; ++end) {
        if (((page[kIndexEntryMaskAt + end / 8] >> (end % 8)) & 1) == 0)
            continue;
        std::span<const std::uint8_t> stored = view.slice(kIndexEntriesAt + start, end - start);
        Bytes entry = prefix;
        entry.insert(entry.end(), stored.begin(), stored.end());
        if (entries.empty())
            prefix.assign(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(
                                                             std::min(prefixLength, entry.size())));
        entries.push_back(std::move(entry));
        start = end;
    }
    return entries;
}

RowId indexEntryRow(const Bytes& entry) {
    const std::uint8_t* at = entry.data() + entry.size() - kRowIdSize;
    return {std::uint32_t{at[0]} << 16 | std::uint32_t{at[1]} << 8 | at[2], at[3]};
}

const RealIndex* singleColumnIndex(const TableDef& table, const Column& column) {
    for (const RealIndex& index : table.realIndexes)
        if (index.columnNumbers.size() == 1 && index.columnNumbers[0] == column.number)
            return &index;
    return nullptr;
}

std::optional<std::vector<RowId>> findInIndex(const PageFile& file, const TableDef& table,
                                              const RealIndex& index, const Column& column,
                                              const Value& value) {
    if (isNull(value) || index.columnNumbers.size() != 1 || index.columnNumbers[0] != column.number)
        return std::nullopt;
    try {
        Bytes key;
        const bool ascending = index.ascending.empty() || index.ascending[0];
        if (appendIndexKey(column, value, ascending, key))
            return std::nullopt;
        Walk walk(file, table);
        IndexPage leaf = firstLeaf(walk, index.rootPage, key);
        std::vector<RowId> rows;
        while (true) {
            for (const Bytes& entry : leaf.entries) {
                if (compareToKey(entry.data(), entry.size(), key) > 0)
                    return rows;
                // A longer key may begin with this one (a longer text): it is not a match.
                if (entry.size() - kRowIdSize == key.size() &&
                    std::equal(key.begin(), key.end(), entry.begin()))
                    rows.push_back(indexEntryRow(entry));
            }
            if (leaf.next == 0)
                return rows;
            Bytes last = leaf.entries.empty() ? Bytes{} : std::move(leaf.entries.back());
            leaf = walk.read(leaf.next);
            if (!leaf.leaf || (!last.empty() && !leaf.entries.empty() &&
                               !std::lexicographical_compare(last.begin(), last.end(),
                                                             leaf.entries.front().begin(),
                                                             leaf.entries.front().end())))
                throw Untrusted{};
        }
    } catch (const Untrusted&) {
        return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace jet
