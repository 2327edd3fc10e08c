// SPDX-License-Identifier: Apache-2.0
#include "jet/slot_page.h"

#include "jet/bytes.h"

#include <algorithm>

namespace jet {

std::size_t SlotPage::usedBytes() const {
    std::size_t used = kDataPageHeader + 2 * slots.size();
    for (const Slot& slot : slots)
        used += slot.bytes.size();
    return used;
}

bool SlotPage::fits() const {
    return slots.size() <= kMaxRowsPerPage && usedBytes() <= kPageSize;
}

Page SlotPage::packed() const {
    Page page{};
    std::copy(image.begin(), image.begin() + kDataPageHeader, page.begin());
    std::size_t end = kPageSize;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        std::size_t start = end - slots[i].bytes.size();
        std::copy(slots[i].bytes.begin(), slots[i].bytes.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(start));
        putU16(page, kDataPageHeader + 2 * i, static_cast<std::uint16_t>(start | slots[i].flags));
        end = start;
    }
    std::size_t tableEnd = kDataPageHeader + 2 * slots.size();
    putU16(page, 12, static_cast<std::uint16_t>(slots.size()));
    putU16(page, 2, static_cast<std::uint16_t>(end - tableEnd));
    return page;
}

std::uint16_t SlotPage::place(const Bytes& row) {
    auto freed =
        std::find_if(slots.begin(), slots.end(), [](const Slot& s) { return s.reclaimed(); });
    if (freed == slots.end())
        freed = slots.insert(slots.end(), Slot{});
    *freed = Slot{row, kRowDeleted};
    return static_cast<std::uint16_t>(freed - slots.begin());
}

SlotPage unpackDataPage(std::uint32_t number, const Page& image, std::string where) {
    SlotPage page{number, image, {}, std::move(where)};
    DataPage view(page.image, page.where);
    for (std::uint16_t row = 0; row < view.rowCount(); ++row) {
        auto bytes = view.rowBytes(row);
        page.slots.push_back({Bytes(bytes.begin(), bytes.end()),
                              static_cast<std::uint16_t>(view.offsetWord(row) & kRowFlags)});
    }
    return page;
}

} // namespace jet
