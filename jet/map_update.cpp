// SPDX-License-Identifier: Apache-2.0
#include "jet/map_update.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/slot_page.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace jet {

namespace {

constexpr std::size_t kInlineMapHeader = 5; // kind byte and start page
// Access grows the global map's bitmap in steps of this many bytes: its own file of 743 pages
// has a 96-byte bitmap where small files have 64.
constexpr std::size_t kGlobalMapStep = 32;

// A map row inside the image of its page, ready to be changed and written back.
struct MapRow {
    Page page;
    std::size_t at = 0;
    std::size_t size = 0;
    std::string where;

    std::uint8_t kind() const { return page[at]; }
    std::uint32_t startPage() const { return ByteView(bytes(), where).u32(1); }
    std::span<std::uint8_t> bytes() { return std::span<std::uint8_t>(page).subspan(at, size); }
    std::span<const std::uint8_t> bytes() const {
        return std::span<const std::uint8_t>(page).subspan(at, size);
    }
    std::size_t inlineBits() const { return (size - kInlineMapHeader) * 8; }
    std::size_t referenceSlots() const { return (size - 1) / 4; }
};

MapRow loadMapRow(const PageFile& file, MapLocation location) {
    MapRow row{file.read(location.page), 0, 0,
               file.where(location.page) + ", usage map row " + std::to_string(location.row)};
    DataPage view(row.page, row.where);
    auto bytes = view.rowBytes(location.row);
    row.at = static_cast<std::size_t>(bytes.data() - row.page.data());
    row.size = bytes.size();
    bool inlineFits = row.size > kInlineMapHeader;
    if (row.size == 0 || (row.kind() == kInlineMap && !inlineFits) ||
        (row.kind() == kReferenceMap && row.referenceSlots() == 0) ||
        (row.kind() != kInlineMap && row.kind() != kReferenceMap))
        throw Error(row.where + ": not a usage map this program can change");
    return row;
}

void setBit(std::span<std::uint8_t> bitmap, std::uint64_t bit, bool on) {
    auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    if (on)
        bitmap[bit / 8] |= mask;
    else
        bitmap[bit / 8] &= static_cast<std::uint8_t>(~mask);
}

// Appends a bitmap page of a reference map holding the bits of those `pages` that fall in its
// range, and records it as used.
std::uint32_t appendBitmapPage(PageFile& file, std::uint32_t index,
                               const std::vector<std::uint32_t>& pages) {
    Page bitmap{};
    bitmap[0] = kUsageMapPageType;
    bitmap[1] = 0x01;
    std::uint64_t first = std::uint64_t{index} * kPagesPerBitmapPage;
    for (std::uint32_t page : pages)
        if (page >= first && page - first < kPagesPerBitmapPage)
            setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader), page - first, true);
    std::uint32_t number = file.append(bitmap);
    markPageInUse(file, number);
    return number;
}

// Rewrites an inline map that cannot reach `page` as a reference map. The bitmap pages are
// written before the row that points to them, so the map reads whole at every step.
void promoteToReference(PageFile& file, MapLocation location, MapRow& row,
                        std::vector<std::uint32_t> pages) {
    std::uint32_t lastIndex = pages.back() / kPagesPerBitmapPage;
    if (lastIndex >= row.referenceSlots())
        throw Error(row.where + ": a reference map of " + std::to_string(row.size) +
                    " bytes cannot reach page " + std::to_string(pages.back()));
    std::vector<std::uint32_t> bitmapPages(row.referenceSlots(), 0);
    for (std::uint32_t page : pages) {
        std::uint32_t index = page / kPagesPerBitmapPage;
        if (bitmapPages[index] == 0)
            bitmapPages[index] = appendBitmapPage(file, index, pages);
    }
    auto bytes = row.bytes();
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    bytes[0] = kReferenceMap;
    for (std::size_t i = 0; i < bitmapPages.size(); ++i)
        putU32(bytes, 1 + 4 * i, bitmapPages[i]);
    file.write(location.page, row.page);
}

void addToInlineMap(PageFile& file, MapLocation location, MapRow& row, std::uint32_t page) {
    std::uint32_t start = row.startPage();
    if (page >= start && page - start < row.inlineBits()) {
        setBit(row.bytes().subspan(kInlineMapHeader), page - start, true);
        file.write(location.page, row.page);
        return;
    }
    std::vector<std::uint32_t> pages = readUsageMap(file, location).pages;
    pages.push_back(page);
    std::sort(pages.begin(), pages.end());
    if (pages.back() - pages.front() < row.inlineBits()) {
        Bytes moved = inlineMapRow(pages.front(), pages, row.size - kInlineMapHeader);
        std::copy(moved.begin(), moved.end(), row.bytes().begin());
        file.write(location.page, row.page);
        return;
    }
    promoteToReference(file, location, row, std::move(pages));
}

void addToReferenceMap(PageFile& file, MapLocation location, MapRow& row, std::uint32_t page) {
    std::uint32_t index = page / kPagesPerBitmapPage;
    if (index >= row.referenceSlots())
        throw Error(row.where + ": the reference map cannot reach page " + std::to_string(page));
    std::uint32_t bitmapPage = ByteView(row.bytes(), row.where).u32(1 + 4 * index);
    if (bitmapPage == 0) {
        putU32(row.bytes(), 1 + 4 * index, appendBitmapPage(file, index, {page}));
        file.write(location.page, row.page);
        return;
    }
    if (bitmapPage >= file.pageCount())
        throw Error(row.where + ": bitmap page " + std::to_string(bitmapPage) + " out of range");
    Page bitmap = file.read(bitmapPage);
    if (bitmap[0] != kUsageMapPageType)
        throw Error(file.where(bitmapPage) + ": not a usage map page");
    setBit(std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader),
           page - std::uint64_t{index} * kPagesPerBitmapPage, true);
    file.write(bitmapPage, bitmap);
}

bool reaches(const MapRow& row, std::uint32_t page) {
    std::uint32_t start = row.startPage();
    return row.kind() == kInlineMap && page >= start && page - start < row.inlineBits();
}

// Page 1 with the global map's bitmap long enough for `page`; the other rows of the page move
// down to make room and keep their row numbers. Pages the bitmap newly covers are free when
// the file does not have them yet, in use when it does. std::nullopt when the map does not
// start at page 0 or page 1 lacks the room.
std::optional<SlotPage> grownGlobalMap(const PageFile& file, const MapRow& row,
                                       std::uint32_t page) {
    if (row.kind() != kInlineMap || row.startPage() != 0)
        return std::nullopt;
    std::size_t bytes = (page / 8 + kGlobalMapStep) / kGlobalMapStep * kGlobalMapStep;
    SlotPage holder = unpackDataPage(kGlobalMap.page, row.page, row.where);
    Bytes& grown = holder.slots.at(kGlobalMap.row).bytes;
    std::size_t oldBits = row.inlineBits();
    grown.resize(kInlineMapHeader + bytes, 0);
    std::uint32_t pageCount = file.pageCount();
    for (std::size_t bit = oldBits; bit < bytes * 8; ++bit)
        setBit(std::span<std::uint8_t>(grown).subspan(kInlineMapHeader), bit, bit >= pageCount);
    if (!holder.fits())
        return std::nullopt;
    return holder;
}

} // namespace

bool globalMapCanRecord(const PageFile& file, std::uint32_t page) {
    MapRow row = loadMapRow(file, kGlobalMap);
    return reaches(row, page) || grownGlobalMap(file, row, page).has_value();
}

void markPageInUse(PageFile& file, std::uint32_t page) {
    MapRow row = loadMapRow(file, kGlobalMap);
    if (!reaches(row, page)) {
        std::optional<SlotPage> grown = grownGlobalMap(file, row, page);
        if (!grown)
            throw Error(row.where + ": the file's page map cannot grow to page " +
                        std::to_string(page));
        Bytes& bitmap = grown->slots[kGlobalMap.row].bytes;
        setBit(std::span<std::uint8_t>(bitmap).subspan(kInlineMapHeader), page, false);
        file.write(kGlobalMap.page, grown->packed());
        return;
    }
    std::uint64_t bit = page - row.startPage();
    auto bitmap = row.bytes().subspan(kInlineMapHeader);
    if ((bitmap[bit / 8] >> (bit % 8) & 1) == 0)
        return; // already in use
    setBit(bitmap, bit, false);
    file.write(kGlobalMap.page, row.page);
}

void addPageToMap(PageFile& file, MapLocation location, std::uint32_t page) {
    MapRow row = loadMapRow(file, location);
    if (row.kind() == kInlineMap)
        addToInlineMap(file, location, row, page);
    else
        addToReferenceMap(file, location, row, page);
}

} // namespace jet
