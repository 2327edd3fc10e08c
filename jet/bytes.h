// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/error.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace jet {

// Little-endian access to a byte range whose every read is checked against its bounds: a
// corrupt file is expected input, so an offset that points outside the range becomes an Error
// with the caller's context instead of a read out of bounds.
class ByteView {
public:
    ByteView(std::span<const std::uint8_t> bytes, std::string context)
        : bytes_(bytes), context_(std::move(context)) {}

    std::size_t size() const { return bytes_.size(); }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    const std::string& context() const { return context_; }

    std::uint8_t u8(std::size_t at) const { return bytes_[check(at, 1)]; }
    std::uint16_t u16(std::size_t at) const {
        check(at, 2);
        return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    std::uint32_t u24(std::size_t at) const {
        check(at, 3);
        return std::uint32_t{bytes_[at]} | std::uint32_t{bytes_[at + 1]} << 8 |
               std::uint32_t{bytes_[at + 2]} << 16;
    }
    std::uint32_t u32(std::size_t at) const {
        check(at, 4);
        return std::uint32_t{bytes_[at]} | std::uint32_t{bytes_[at + 1]} << 8 |
               std::uint32_t{bytes_[at + 2]} << 16 | std::uint32_t{bytes_[at + 3]} << 24;
    }
    std::uint64_t u64(std::size_t at) const {
        return std::uint64_t{u32(at)} | std::uint64_t{u32(at + 4)} << 32;
    }
    double f64(std::size_t at) const {
        std::uint64_t raw = u64(at);
        double value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }
    float f32(std::size_t at) const {
        std::uint32_t raw = u32(at);
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }
    std::span<const std::uint8_t> slice(std::size_t at, std::size_t length) const {
        check(at, length);
        return bytes_.subspan(at, length);
    }

private:
    // Small enough to be inlined into every read; the message is built out of line.
    std::size_t check(std::size_t at, std::size_t length) const {
        if (at > bytes_.size() || length > bytes_.size() - at) [[unlikely]]
            outOfBounds(at, length);
        return at;
    }
    [[noreturn, gnu::noinline, gnu::cold]] void outOfBounds(std::size_t at,
                                                            std::size_t length) const {
        throw Error(context_ + ": offset " + std::to_string(at) + " length " +
                    std::to_string(length) + " lies past the end (" +
                    std::to_string(bytes_.size()) + " bytes)");
    }

    std::span<const std::uint8_t> bytes_;
    std::string context_;
};

inline void putU16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU24(std::span<std::uint8_t> out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 3; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::span<std::uint8_t> out, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putF64(std::span<std::uint8_t> out, std::size_t at, double value) {
    std::uint64_t raw;
    std::memcpy(&raw, &value, sizeof raw);
    putU64(out, at, raw);
}

} // namespace jet
