// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/bytes.h"
#include "jet/page_file.h"
#include "jet/value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace jet {

inline constexpr std::uint8_t kDataPageType = 0x01;
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowOverflow = 0x4000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::size_t kDataPageHeader = 14;
// A data page has room for this many row slots at most.
inline constexpr std::size_t kMaxRowsPerPage = 255;

// The layout of a data page: a header, a table of row offsets growing upwards and row bytes
// packed from the end of the page downwards, row i ending where row i-1 begins.
class DataPage {
public:
    // Checks the page type; `where` prefixes every message.
    DataPage(const Page& page, std::string where);

    std::uint32_t owner() const; // definition page of the table the rows belong to
    std::uint16_t rowCount() const;
    std::uint16_t freeSpace() const;
    std::uint16_t offsetWord(std::uint16_t row) const; // raw, with its flags
    bool isDeleted(std::uint16_t row) const { return (offsetWord(row) & kRowDeleted) != 0; }
    bool isOverflow(std::uint16_t row) const { return (offsetWord(row) & kRowOverflow) != 0; }

    // The bytes of a row, checked to lie inside the page below the offset table.
    std::span<const std::uint8_t> rowBytes(std::uint16_t row) const;
    // Where an overflow row's pointer leads.
    RowId overflowTarget(std::uint16_t row) const;

    const std::string& where() const { return view_.context(); }

private:
    std::size_t rowEnd(std::uint16_t row) const;

    const Page& page_;
    // Built once: scans call the accessors for every row, and each view made on the spot would
    // copy the message prefix.
    ByteView view_;
};

// An empty data page of the table whose definition starts on page `owner`.
Page newDataPage(std::uint32_t owner);

// Adds a row in the next slot, below the lowest row of the page, with the given offset flags
// (kRowDeleted for a relocated row's data, which scans reach only through its pointer). The
// free-space count becomes the gap between the slot table and the lowest row. Returns the
// slot, or std::nullopt when the page lacks room for the row and its slot.
std::optional<std::uint16_t> addRow(Page& page, std::span<const std::uint8_t> row,
                                    std::uint16_t flags = 0);

} // namespace jet
