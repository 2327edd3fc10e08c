// SPDX-License-Identifier: Apache-2.0
#include "jet/usage_map.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/page_file.h"

namespace jet {

namespace {

void collectBits(std::span<const std::uint8_t> bitmap, std::uint64_t firstPage,
                 std::uint32_t pageCount, UsageMap& map) {
    for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
        if (bitmap[byte] == 0)
            continue;
        for (unsigned bit = 0; bit < 8; ++bit) {
            std::uint64_t page = firstPage + byte * 8 + bit;
            if ((bitmap[byte] >> bit & 1) == 0)
                continue;
            if (page < pageCount)
                map.pages.push_back(static_cast<std::uint32_t>(page));
            else
                ++map.pagesPastEnd;
        }
    }
}

} // namespace

namespace {

// One stretch of a map's bits: the bytes of `holder` from `at` on, the first standing for page
// `firstPage`.
struct Stretch {
    Page holder;
    std::size_t at = 0;
    std::size_t size = 0;
    std::uint64_t firstPage = 0;

    std::span<const std::uint8_t> bits() const {
        return std::span<const std::uint8_t>(holder).subspan(at, size);
    }
};

// Reads the map at `location` into `map` (its kind, start page and bitmap pages) and its bits
// into stretches, in page order.
std::vector<Stretch> readStretches(const PageFile& file, MapLocation location, UsageMap& map) {
    std::uint32_t pageCount = file.pageCount();
    if (location.page >= pageCount)
        throw Error(file.where(location.page) + ": usage map page out of range (" +
                    std::to_string(pageCount) + " pages)");
    Page holder = file.read(location.page);
    DataPage page(holder, file.where(location.page));
    std::string where =
        file.where(location.page) + ", usage map row " + std::to_string(location.row);
    ByteView row(page.rowBytes(location.row), where);
    const auto rowAt = static_cast<std::size_t>(row.bytes().data() - holder.data());

    std::vector<Stretch> stretches;
    map.kind = row.u8(0);
    if (map.kind == kInlineMap) {
        map.startPage = row.u32(1);
        stretches.push_back({holder, rowAt + 5, row.size() - 5, map.startPage});
    } else if (map.kind == kReferenceMap) {
        for (std::size_t at = 1; at + 4 <= row.size(); at += 4) {
            std::uint32_t bitmapPage = row.u32(at);
            map.bitmapPages.push_back(bitmapPage);
            if (bitmapPage == 0)
                continue;
            if (bitmapPage >= pageCount) {
                ++map.bitmapPagesPastEnd;
                continue;
            }
            Page bits = file.read(bitmapPage);
            if (bits[0] != kUsageMapPageType)
                throw Error(file.where(bitmapPage) + ": not a usage map page (type " +
                            std::to_string(bits[0]) + ")");
            stretches.push_back({bits, kBitmapPageHeader, kPageSize - kBitmapPageHeader,
                                 std::uint64_t{(at - 1) / 4} * kPagesPerBitmapPage});
        }
    } else {
        throw Error(where + ": unknown usage map kind " + std::to_string(map.kind));
    }
    return stretches;
}

} // namespace

UsageMap readUsageMap(const PageFile& file, MapLocation location) {
    UsageMap map;
    const std::uint32_t pageCount = file.pageCount();
    for (const Stretch& stretch : readStretches(file, location, map))
        collectBits(stretch.bits(), stretch.firstPage, pageCount, map);
    return map;
}

std::vector<std::uint32_t> lastPagesOfMap(const PageFile& file, MapLocation location,
                                          std::size_t count) {
    UsageMap map;
    const std::uint64_t pageCount = file.pageCount();
    const std::vector<Stretch> stretches = readStretches(file, location, map);
    std::vector<std::uint32_t> pages;
    for (auto stretch = stretches.rbegin(); stretch != stretches.rend(); ++stretch) {
        const auto bits = stretch->bits();
        for (std::size_t byte = bits.size(); byte-- > 0;) {
            if (bits[byte] == 0)
                continue;
            for (unsigned bit = 8; bit-- > 0;) {
                const std::uint64_t page = stretch->firstPage + byte * 8 + bit;
                if ((bits[byte] >> bit & 1) == 0 || page >= pageCount)
                    continue;
                pages.push_back(static_cast<std::uint32_t>(page));
                if (pages.size() == count)
                    return pages;
            }
        }
    }
    return pages;
}

Bytes inlineMapRow(std::uint32_t startPage, std::span<const std::uint32_t> pages,
                   std::size_t bitmapBytes) {
    Bytes row(5 + bitmapBytes, 0);
    row[0] = kInlineMap;
    putU32(row, 1, startPage);
    for (std::uint32_t page : pages) {
        std::uint64_t bit = std::uint64_t{page} - startPage;
        if (page < startPage || bit >= bitmapBytes * 8)
            throw Error("usage map starting at page " + std::to_string(startPage) +
                        " cannot hold page " + std::to_string(page) + " in " +
                        std::to_string(bitmapBytes) + " bitmap bytes");
        row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
}

} // namespace jet
