// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <cstdint>
#include <span>
#include <string>

namespace jet {

class PageFile;

inline constexpr std::size_t kLongValueHeader = 12;
inline constexpr std::uint8_t kLongValueInline = 0x80;
inline constexpr std::uint8_t kLongValueSingle = 0x40;
inline constexpr std::uint8_t kLongValueChain = 0x00;

// Reads the bytes of a memo or OLE value from its 12-byte definition in a row: inline, on one
// row of a long-value page, or in a chain of such rows each led by a pointer to the next.
Bytes readLongValue(const PageFile& file, std::span<const std::uint8_t> definition,
                    const std::string& where);

} // namespace jet
