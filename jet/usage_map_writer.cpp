// SPDX-License-Identifier: Apache-2.0
#include "jet/usage_map_writer.h"

#include "jet/bytes.h"
#include "jet/usage_map.h"

namespace jet {

static_assert(kUsageMapRowSize == 5 + kInlineMapBitmapBytes);

Bytes buildUsageMapRow(PageStore& store, std::span<const std::uint32_t> pages) {
    std::uint32_t first = pages.empty() ? 0 : pages.front();
    if (pages.empty() || pages.back() - first < kInlineMapBitmapBytes * 8)
        return inlineMapRow(first, pages);

    Bytes row(kUsageMapRowSize, 0);
    row[0] = kReferenceMap;
    std::size_t slots = (kUsageMapRowSize - 1) / 4;
    std::vector<std::uint32_t> bitmapPages(slots, 0);
    for (std::uint32_t page : pages) {
        std::size_t slot = page / kPagesPerBitmapPage;
        if (slot >= slots)
            throw Error("usage map cannot reach page " + std::to_string(page));
        if (bitmapPages[slot] == 0) {
            bitmapPages[slot] = store.allocate();
            store[bitmapPages[slot]][0] = kUsageMapPageType;
            store[bitmapPages[slot]][1] = 0x01;
            putU32(row, 1 + 4 * slot, bitmapPages[slot]);
        }
        std::uint32_t bit = page % kPagesPerBitmapPage;
        store[bitmapPages[slot]][kBitmapPageHeader + bit / 8] |=
            static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
}

} // namespace jet
