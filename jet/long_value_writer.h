// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_store.h"
#include "jet/value.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jet {

// Long-value pages are data pages whose owner field reads "LVAL".
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;
// Values up to this size stay inside their row, as Access keeps short memos.
inline constexpr std::size_t kMaxInlineLongValue = 64;
// The largest row Access puts on a page, long-value rows included.
inline constexpr std::size_t kMaxRowSize = 4060;

// Writes the memo or OLE values of one column of a new file. Each value gets the 12-byte
// definition its row stores: the value itself when short, else a pointer to one row of a
// long-value page, or to the first of a chain of rows when the value is longer than a row.
class LongValueWriter {
public:
    explicit LongValueWriter(PageStore& store) : store_(store) {}

    Bytes write(std::span<const std::uint8_t> value);

    // The long-value pages this column's values occupy, ascending.
    const std::vector<std::uint32_t>& pages() const { return pages_; }

private:
    RowId addRow(std::span<const std::uint8_t> row);

    PageStore& store_;
    std::vector<std::uint32_t> pages_;
};

} // namespace jet
