#include "jet/index_writer.h"

#include "jet/bytes.h"
#include "jet/index_key.h"

#include <algorithm>

namespace jet {

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

std::optional<std::uint32_t> writeSingleLeafIndex(PageStore& store, std::uint32_t definitionPage,
                                                  const std::vector<IndexEntry>& entries) {
    std::vector<Bytes> encoded;
    std::size_t total = 0;
    for (const IndexEntry& entry : entries) {
        encoded.push_back(encodeIndexEntry(entry));
        total += encoded.back().size();
    }
    if (total > kIndexEntrySpace)
        return std::nullopt;
    // Compared through lexicographical_compare rather than the vectors' own operator: with GCC 12
    // at -O3 the inlined three-way comparison draws a false -Wstringop-overread.
    std::sort(encoded.begin(), encoded.end(), [](const Bytes& a, const Bytes& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    });

    std::uint32_t number = store.allocate();
    Page& page = store[number];
    page[0] = kIndexLeafPageType;
    page[1] = 0x01;
    putU32(page, 4, definitionPage);
    std::size_t end = 0;
    for (const Bytes& entry : encoded) {
        std::copy(entry.begin(), entry.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(kIndexEntriesAt + end));
        end += entry.size();
        page[kIndexEntryMaskAt + end / 8] |= static_cast<std::uint8_t>(1u << (end % 8));
    }
    putU16(page, 2, static_cast<std::uint16_t>(kPageSize - kIndexEntriesAt - end));
    return number;
}

} // namespace jet
