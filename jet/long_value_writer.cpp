// SPDX-License-Identifier: Apache-2.0
#include "jet/long_value_writer.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/long_value.h"

#include <algorithm>

namespace jet {

namespace {

constexpr std::size_t kPointerSize = 4;
constexpr std::size_t kMaxLength = 0x00FFFFFF;

std::uint32_t pointerTo(RowId id) {
    return id.page << 8 | id.row;
}

Bytes definition(std::uint8_t kind, std::size_t length, RowId first) {
    Bytes out(kLongValueHeader, 0);
    putU32(out, 0, static_cast<std::uint32_t>(length) | std::uint32_t{kind} << 24);
    putU32(out, 4, kind == kLongValueInline ? 0 : pointerTo(first));
    return out;
}

} // namespace

RowId LongValueWriter::addRow(std::span<const std::uint8_t> row) {
    if (!pages_.empty())
        if (auto slot = jet::addRow(store_[pages_.back()], row))
            return RowId{pages_.back(), *slot};
    std::uint32_t page = store_.allocate();
    store_[page] = newDataPage(kLongValueOwner);
    pages_.push_back(page);
    auto slot = jet::addRow(store_[page], row);
    if (!slot)
        throw Error("long value row of " + std::to_string(row.size()) +
                    " bytes does not fit an empty page");
    return RowId{page, *slot};
}

Bytes LongValueWriter::write(std::span<const std::uint8_t> value) {
    if (value.size() > kMaxLength)
        throw Error("long value of " + std::to_string(value.size()) + " bytes is too long");
    if (value.size() <= kMaxInlineLongValue) {
        Bytes out = definition(kLongValueInline, value.size(), {});
        out.insert(out.end(), value.begin(), value.end());
        return out;
    }
    if (value.size() <= kMaxRowSize)
        return definition(kLongValueSingle, value.size(), addRow(value));

    // A chain is written from its end, so that each row can carry the pointer to the next.
    std::size_t perRow = kMaxRowSize - kPointerSize;
    std::size_t rows = (value.size() + perRow - 1) / perRow;
    RowId next{};
    for (std::size_t i = rows; i-- > 0;) {
        std::size_t start = i * perRow;
        std::size_t length = std::min(perRow, value.size() - start);
        Bytes row(kPointerSize, 0);
        putU32(row, 0, i + 1 == rows ? 0 : pointerTo(next));
        row.insert(row.end(), value.begin() + static_cast<std::ptrdiff_t>(start),
                   value.begin() + static_cast<std::ptrdiff_t>(start + length));
        next = addRow(row);
    }
    return definition(kLongValueChain, value.size(), next);
}

} // namespace jet
