// SPDX-License-Identifier: Apache-2.0
#include "jet/post_mark.h"

#include "jet/bytes.h"

#include <algorithm>
#include <utility>

namespace jet {

namespace {

// Far past the header's fields and before the block Jet 4 keeps from 0xE00.
constexpr std::size_t kMarkAt = 0xC00;
constexpr std::uint32_t kMarkTag = 0x54534F50; // "POST"
constexpr std::size_t kMarkSize = 8;

} // namespace

std::optional<std::uint32_t> readPostMark(const PageFile& file) {
    Page header = file.read(0);
    ByteView view(header, file.where(0));
    if (view.u32(kMarkAt) != kMarkTag)
        return std::nullopt;
    return view.u32(kMarkAt + 4);
}

void writePostMark(PageFile& file, std::optional<std::uint32_t> table) {
    Page header = file.read(0);
    std::fill_n(header.begin() + kMarkAt, kMarkSize, std::uint8_t{0});
    if (table) {
        putU32(header, kMarkAt, kMarkTag);
        putU32(header, kMarkAt + 4, *table);
    }
    file.write(0, header);
}

void clearHeldMark(PageFile& file, MarkState& mark) {
    if (!std::exchange(mark.held, std::nullopt))
        return;
    try {
        writePostMark(file, std::nullopt);
    } catch (const Error&) {
        // The posts it covered are durable, so they succeeded; the mark left set costs the next
        // writer a walk that finds nothing.
        mark.looked = false;
    }
}

} // namespace jet
