// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/data_page.h"
#include "jet/page_file.h"
#include "jet/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// The flags of a row's offset word.
inline constexpr std::uint16_t kRowFlags = kRowDeleted | kRowOverflow;
// Both flags and no bytes: the form Access gives a deleted row, skipped by every reader.
inline constexpr std::uint16_t kReclaimedRow = kRowFlags;

// One row slot of a data page: its bytes and its offset flags.
struct Slot {
    Bytes bytes;
    std::uint16_t flags = 0;

    bool reclaimed() const { return flags == kReclaimedRow && bytes.empty(); }
};

// A data page taken apart into its slots, so that rows can change size and the page be packed
// again with every row keeping its slot number, and so its row id.
struct SlotPage {
    std::uint32_t number = 0;
    Page image{};
    std::vector<Slot> slots;
    std::string where;

    std::size_t usedBytes() const;
    bool fits() const;
    // The rows packed from the page end downwards in slot order, free space recounted; the
    // header's other fields stay as they were.
    Page packed() const;
    // Puts relocated row data (flagged deleted, so scans reach it only through its pointer) in
    // a slot Access has freed, or else a new one. Returns the slot.
    std::uint16_t place(const Bytes& row);
};

// Takes a data page apart; throws Error when its offsets do not add up.
SlotPage unpackDataPage(std::uint32_t number, const Page& image, std::string where);

} // namespace jet
