// SPDX-License-Identifier: Apache-2.0
#include "jet/data_page.h"

#include "jet/bytes.h"
#include "jet/error.h"

#include <algorithm>

namespace jet {

DataPage::DataPage(const Page& page, std::string where)
    : page_(page), view_(page, std::move(where)) {
    if (page_[0] != kDataPageType)
        throw Error(view_.context() + ": not a data page (type " + std::to_string(page_[0]) + ")");
    if (kDataPageHeader + 2u * rowCount() > kPageSize)
        throw Error(view_.context() + ": row count " + std::to_string(rowCount()) +
                    " does not fit the page");
}

std::uint32_t DataPage::owner() const {
    return view_.u32(4);
}

std::uint16_t DataPage::rowCount() const {
    return view_.u16(12);
}

std::uint16_t DataPage::freeSpace() const {
    return view_.u16(2);
}

std::uint16_t DataPage::offsetWord(std::uint16_t row) const {
    if (row >= rowCount())
        throw Error(where() + ": row " + std::to_string(row) + " does not exist (" +
                    std::to_string(rowCount()) + " rows)");
    return view_.u16(kDataPageHeader + 2u * row);
}

std::size_t DataPage::rowEnd(std::uint16_t row) const {
    // Rows are packed downwards, so a row ends where the previous slot's row starts; deleted
    // slots still keep their start offset.
    return row == 0 ? kPageSize : offsetWord(static_cast<std::uint16_t>(row - 1)) & kRowOffsetMask;
}

std::span<const std::uint8_t> DataPage::rowBytes(std::uint16_t row) const {
    std::size_t start = offsetWord(row) & kRowOffsetMask;
    std::size_t end = rowEnd(row);
    std::size_t tableEnd = kDataPageHeader + 2u * rowCount();
    if (start < tableEnd || end > kPageSize || start > end)
        throw Error(where() + ", row " + std::to_string(row) + ": bounds " + std::to_string(start) +
                    ".." + std::to_string(end) + " are not valid");
    return std::span<const std::uint8_t>(page_).subspan(start, end - start);
}

RowId DataPage::overflowTarget(std::uint16_t row) const {
    ByteView bytes(rowBytes(row), where() + ", row " + std::to_string(row));
    return RowId{bytes.u24(1), bytes.u8(0)};
}

Page newDataPage(std::uint32_t owner) {
    Page page{};
    page[0] = kDataPageType;
    page[1] = 0x01;
    putU16(page, 2, static_cast<std::uint16_t>(kPageSize - kDataPageHeader));
    putU32(page, 4, owner);
    return page;
}

std::optional<std::uint16_t> addRow(Page& page, std::span<const std::uint8_t> row,
                                    std::uint16_t flags) {
    DataPage view(page, "new row");
    std::uint16_t count = view.rowCount();
    std::size_t lowest = kPageSize;
    for (std::uint16_t slot = 0; slot < count; ++slot)
        lowest = std::min<std::size_t>(lowest, view.offsetWord(slot) & kRowOffsetMask);
    std::size_t slotTableEnd = kDataPageHeader + 2u * (count + 1u);
    if (count >= kMaxRowsPerPage || row.size() > lowest || lowest - row.size() < slotTableEnd)
        return std::nullopt;
    std::size_t start = lowest - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    putU16(page, kDataPageHeader + 2u * count, static_cast<std::uint16_t>(start | flags));
    putU16(page, 12, static_cast<std::uint16_t>(count + 1));
    putU16(page, 2, static_cast<std::uint16_t>(start - slotTableEnd));
    return count;
}

} // namespace jet
