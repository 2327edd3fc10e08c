// SPDX-License-Identifier: Apache-2.0
#include "jet/long_value.h"

#include "jet/bytes.h"
#include "jet/data_page.h"

namespace jet {

namespace {

std::span<const std::uint8_t> rowAt(const PageFile& file, Page& holder, RowId id,
                                    const std::string& where) {
    // The file's size is asked only when the read fails: a lot's every position has a memo.
    try {
        holder = file.read(id.page);
    } catch (const Error&) {
        if (id.page >= file.pageCount())
            throw Error(where + ": long value page " + std::to_string(id.page) + " out of range");
        throw;
    }
    DataPage page(holder, file.where(id.page) + " (long value of " + where + ")");
    return page.rowBytes(id.row);
}

RowId pointerAt(const ByteView& view, std::size_t at) {
    std::uint32_t raw = view.u32(at);
    return RowId{raw >> 8, static_cast<std::uint16_t>(raw & 0xFF)};
}

} // namespace

Bytes readLongValue(const PageFile& file, std::span<const std::uint8_t> definition,
                    const std::string& where) {
    ByteView view(definition, where);
    std::uint32_t word = view.u32(0);
    std::size_t length = word & 0x00FFFFFF;
    std::uint8_t kind = static_cast<std::uint8_t>(word >> 24);

    if (kind == kLongValueInline) {
        auto data = view.slice(kLongValueHeader, std::min(length, view.size() - kLongValueHeader));
        return Bytes(data.begin(), data.end());
    }
    Page holder;
    if (kind == kLongValueSingle) {
        auto data = rowAt(file, holder, pointerAt(view, 4), where);
        return Bytes(data.begin(),
                     data.begin() + static_cast<std::ptrdiff_t>(std::min(length, data.size())));
    }
    if (kind != kLongValueChain)
        throw Error(where + ": unknown long value kind " + std::to_string(kind));

    Bytes out;
    out.reserve(length);
    RowId next = pointerAt(view, 4);
    std::uint32_t pageCount = file.pageCount();
    // A chain can visit each page at most 255 times; more means it loops.
    for (std::uint64_t steps = 0; out.size() < length; ++steps) {
        if (steps > std::uint64_t{pageCount} * kMaxRowsPerPage)
            throw Error(where + ": long value chain loops");
        if (next.page == 0)
            throw Error(where + ": long value chain ends after " + std::to_string(out.size()) +
                        " of " + std::to_string(length) + " bytes");
        auto data = rowAt(file, holder, next, where);
        ByteView link(data, where + ": long value row");
        RowId following = pointerAt(link, 0);
        std::size_t take = std::min(data.size() - 4, length - out.size());
        auto part = link.slice(4, take);
        out.insert(out.end(), part.begin(), part.end());
        next = following;
    }
    return out;
}

} // namespace jet
