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
    if (row.size == 0 || (row.kind() == kInlineMap && row.size < kInlineMapHeader) ||
        (row.kind() != kInlineMap && row.kind() != kReferenceMap))
        throw Error(row.where + ": not a usage map");
    // Sound, but with no room for a single pointer to a bitmap page.
    if (row.kind() == kReferenceMap && row.referenceSlots() == 0)
        throw Error::ofFile(Error::Kind::Unsupported, file.path(),
                            row.where + ": a reference map of " + std::to_string(row.size) +
                                " bytes, too short to record a page");
    return row;
}

bool bitIsSet(std::span<const std::uint8_t> bitmap, std::uint64_t bit) {
    return (bitmap[bit / 8] >> (bit % 8) & 1) != 0;
}

void setBit(std::span<std::uint8_t> bitmap, std::uint64_t bit, bool on) {
    auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    if (on)
        bitmap[bit / 8] |= mask;
    else
        bitmap[bit / 8] &= static_cast<std::uint8_t>(~mask);
}

// A bitmap page of a reference map, its bits for the pages of its range from `first` set where
// `isSet` says so.
template <class IsSet> Page bitmapPage(std::uint64_t first, IsSet isSet) {
    Page bitmap{};
    bitmap[0] = kUsageMapPageType;
    bitmap[1] = 0x01;
    auto bits = std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader);
    for (std::uint32_t bit = 0; bit < kPagesPerBitmapPage; ++bit)
        if (isSet(first + bit))
            setBit(bits, bit, true);
    return bitmap;
}

std::uint64_t firstOfBitmapPage(std::size_t index) {
    return std::uint64_t{index} * kPagesPerBitmapPage;
}

bool reaches(const MapRow& row, std::uint32_t page) {
    std::uint32_t start = row.startPage();
    return row.kind() == kInlineMap && page >= start && page - start < row.inlineBits();
}

// The global map's bitmap page for `page`, or 0 when a reference map has none for it (or the
// row cannot reach it).
std::uint32_t globalBitmapPage(const MapRow& row, std::uint32_t page) {
    std::size_t index = page / kPagesPerBitmapPage;
    if (row.kind() != kReferenceMap || index >= row.referenceSlots())
        return 0;
    return ByteView(row.bytes(), row.where).u32(1 + 4 * index);
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

// Rewrites the map row at `location`, in its own bytes, as a reference map leading to `pointers`
// (0 for none). The row is read again first, since recording the bitmap pages may have changed
// its page: the global map's page holds other maps' rows in some files.
void writeReferenceRow(PageFile& file, MapLocation location,
                       const std::vector<std::uint32_t>& pointers) {
    MapRow current = loadMapRow(file, location);
    auto bytes = current.bytes();
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    bytes[0] = kReferenceMap;
    for (std::size_t i = 0; i < pointers.size(); ++i)
        putU32(bytes, 1 + 4 * i, pointers[i]);
    file.write(location.page, current.page);
}

// Rewrites the global map as a reference map reaching `page`, in the row's own bytes, when page
// 1 has no room to lengthen it inline: Jet 4's files may reach 2 GB, far more than one page of
// bits. Its bitmap pages are appended first, each already telling itself and the others in
// use; the row that leads to them is written last, in one page write, so until then the old
// map holds and the new pages are only left over.
void promoteGlobalMap(PageFile& file, const MapRow& row, std::uint32_t page) {
    std::vector<std::uint32_t> freeBefore = readUsageMap(file, kGlobalMap).pages;
    const std::uint32_t end = file.pageCount();
    std::size_t count = 0;
    for (;;) {
        std::size_t needed =
            std::max<std::uint64_t>(page, std::uint64_t{end} + count) / kPagesPerBitmapPage + 1;
        if (needed == count)
            break;
        count = needed;
    }
    if (count > row.referenceSlots())
        throw Error::ofFile(Error::Kind::Unsupported, file.path(),
                            row.where + ": a reference map in a row of " +
                                std::to_string(row.size) + " bytes cannot reach page " +
                                std::to_string(page));
    const std::uint64_t firstFree = std::uint64_t{end} + count;
    std::vector<std::uint32_t> pointers;
    for (std::size_t index = 0; index < count; ++index) {
        Page bitmap = bitmapPage(firstOfBitmapPage(index), [&](std::uint64_t p) {
            return p >= firstFree ||
                   (p < end && std::binary_search(freeBefore.begin(), freeBefore.end(), p));
        });
        pointers.push_back(file.append(bitmap));
    }
    writeReferenceRow(file, kGlobalMap, pointers);
}

// Makes the global map reach `page`: lengthened on page 1 as Access does while the page has
// room, a reference map otherwise, and a bitmap page added to a reference map. The pages newly
// reached that the file does not have yet read as free.
void reachInGlobalMap(PageFile& file, std::uint32_t page) {
    MapRow row = loadMapRow(file, kGlobalMap);
    if (row.kind() == kInlineMap) {
        if (reaches(row, page))
            return;
        if (std::optional<SlotPage> grown = grownGlobalMap(file, row, page)) {
            file.write(kGlobalMap.page, grown->packed());
            return;
        }
        promoteGlobalMap(file, row, page);
        return;
    }
    if (globalBitmapPage(row, page) != 0)
        return;
    std::size_t index = page / kPagesPerBitmapPage;
    if (index >= row.referenceSlots())
        throw Error::ofFile(Error::Kind::Unsupported, file.path(),
                            row.where + ": the reference map cannot reach page " +
                                std::to_string(page));
    // The new bitmap page lies at the end, in use; the pages after it are free.
    const std::uint64_t firstFree = std::uint64_t{file.pageCount()} + 1;
    Page bitmap =
        bitmapPage(firstOfBitmapPage(index), [&](std::uint64_t p) { return p >= firstFree; });
    std::uint32_t number = file.append(bitmap);
    MapRow current = loadMapRow(file, kGlobalMap);
    putU32(current.bytes(), 1 + 4 * index, number);
    file.write(kGlobalMap.page, current.page);
}

// Appends a bitmap page of a table's reference map holding the bits of those `pages` that fall
// in its range, and records it as used.
std::uint32_t appendBitmapPage(PageFile& file, std::size_t index,
                               const std::vector<std::uint32_t>& pages) {
    std::uint64_t first = firstOfBitmapPage(index);
    Page bitmap = bitmapPage(
        first, [&](std::uint64_t p) { return std::binary_search(pages.begin(), pages.end(), p); });
    std::uint32_t number = prepareNewPage(file);
    if (file.append(bitmap) != number)
        throw Error(file.where(number) + ": the file grew while it was locked");
    markPageInUse(file, number);
    return number;
}

// Rewrites an inline map that cannot reach `page` as a reference map. The bitmap pages are
// written before the row that points to them, so the map reads whole at every step.
void promoteToReference(PageFile& file, MapLocation location, const MapRow& row,
                        std::vector<std::uint32_t> pages) {
    std::uint32_t lastIndex = pages.back() / kPagesPerBitmapPage;
    if (lastIndex >= row.referenceSlots())
        throw Error::ofFile(Error::Kind::Unsupported, file.path(),
                            row.where + ": a reference map of " + std::to_string(row.size) +
                                " bytes cannot reach page " + std::to_string(pages.back()));
    std::vector<std::uint32_t> bitmapPages(row.referenceSlots(), 0);
    for (std::uint32_t page : pages) {
        std::uint32_t index = page / kPagesPerBitmapPage;
        if (bitmapPages[index] == 0)
            bitmapPages[index] = appendBitmapPage(file, index, pages);
    }
    writeReferenceRow(file, location, bitmapPages);
}

void addToInlineMap(PageFile& file, MapLocation location, MapRow& row, std::uint32_t page) {
    std::uint32_t start = row.startPage();
    if (page >= start && page - start < row.inlineBits()) {
        auto bitmap = row.bytes().subspan(kInlineMapHeader);
        if (bitIsSet(bitmap, page - start))
            return;
        setBit(bitmap, page - start, true);
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
        throw Error::ofFile(Error::Kind::Unsupported, file.path(),
                            row.where + ": the reference map cannot reach page " +
                                std::to_string(page));
    std::uint32_t bitmapPage = ByteView(row.bytes(), row.where).u32(1 + 4 * index);
    if (bitmapPage == 0) {
        std::uint32_t added = appendBitmapPage(file, index, {page});
        MapRow current = loadMapRow(file, location);
        putU32(current.bytes(), 1 + 4 * index, added);
        file.write(location.page, current.page);
        return;
    }
    if (bitmapPage >= file.pageCount())
        throw Error(row.where + ": bitmap page " + std::to_string(bitmapPage) + " out of range");
    Page bitmap = file.read(bitmapPage);
    if (bitmap[0] != kUsageMapPageType)
        throw Error(file.where(bitmapPage) + ": not a usage map page");
    auto bits = std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader);
    if (bitIsSet(bits, page - firstOfBitmapPage(index)))
        return;
    setBit(bits, page - firstOfBitmapPage(index), true);
    file.write(bitmapPage, bitmap);
}

} // namespace

std::uint32_t prepareNewPage(PageFile& file) {
    for (;;) {
        std::uint32_t number = file.pageCount();
        file.refusePastSizeLimit(number);
        MapRow row = loadMapRow(file, kGlobalMap);
        if (reaches(row, number) || globalBitmapPage(row, number) != 0)
            return number;
        // Reaching the page may append bitmap pages of the map itself: the next page is then
        // a later one.
        reachInGlobalMap(file, number);
    }
}

void markPageInUse(PageFile& file, std::uint32_t page) {
    MapRow row = loadMapRow(file, kGlobalMap);
    if (reaches(row, page)) {
        std::uint64_t bit = page - row.startPage();
        auto bitmap = row.bytes().subspan(kInlineMapHeader);
        if (!bitIsSet(bitmap, bit))
            return; // already in use
        setBit(bitmap, bit, false);
        file.write(kGlobalMap.page, row.page);
        return;
    }
    std::uint32_t number = globalBitmapPage(row, page);
    // A page the map does not reach reads as in use already.
    if (number == 0 || number >= file.pageCount())
        return;
    Page bitmap = file.read(number);
    if (bitmap[0] != kUsageMapPageType)
        throw Error(file.where(number) + ": not a usage map page");
    auto bits = std::span<std::uint8_t>(bitmap).subspan(kBitmapPageHeader);
    std::uint64_t bit = page - firstOfBitmapPage(page / kPagesPerBitmapPage);
    if (!bitIsSet(bits, bit))
        return;
    setBit(bits, bit, false);
    file.write(number, bitmap);
}

void addPageToMap(PageFile& file, MapLocation location, std::uint32_t page) {
    MapRow row = loadMapRow(file, location);
    if (row.kind() == kInlineMap)
        addToInlineMap(file, location, row, page);
    else
        addToReferenceMap(file, location, row, page);
}

} // namespace jet
