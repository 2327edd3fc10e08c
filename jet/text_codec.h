// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace jet {

// Decodes a stored text to UTF-8: plain UTF-16LE, or Jet's compressed form (marked by the bytes
// FF FE), where each character takes one byte until a zero byte switches to two-byte mode and
// back. Unpaired surrogates become U+FFFD.
std::string decodeText(std::span<const std::uint8_t> stored);
// The same text as the UTF-16 code units stored, unit for unit: half a surrogate pair, which
// another program may have written, stays as it is, so that a reader can tell it from a real
// U+FFFD and refuse to pass it on.
std::u16string decodeTextUtf16(std::span<const std::uint8_t> stored);

// Encodes UTF-8 text for storage. With `compress` the compressed form is used when every
// character lies in U+0001..U+00FF, as Access does for such texts; otherwise plain UTF-16LE.
// Throws on invalid UTF-8.
Bytes encodeText(std::string_view utf8, bool compress);
// Encodes UTF-16 code units for storage unit for unit, as decodeTextUtf16 gives them back:
// compressed on the same terms, and half a surrogate pair kept as it is.
Bytes encodeText(std::u16string_view units, bool compress);

// Number of UTF-16 code units of a UTF-8 text: what a text column's width counts.
std::size_t utf16Length(std::string_view utf8);

} // namespace jet
