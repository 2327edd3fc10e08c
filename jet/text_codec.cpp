// SPDX-License-Identifier: Apache-2.0
#include "jet/text_codec.h"

#include "jet/error.h"

#include <optional>

namespace jet {

namespace {

// Turns UTF-16 code units into UTF-8, pairing surrogates. Texts are decoded for every row a scan
// reads, so the bytes go straight into room made for the whole text up front: a unit takes at
// most three bytes, a surrogate pair (two units) four.
class Utf16ToUtf8 {
public:
    explicit Utf16ToUtf8(std::size_t units) : out_(units * 3, '\0'), next_(out_.data()) {}

    void push(char16_t unit) {
        if (pendingHigh_) {
            const char16_t high = *pendingHigh_;
            pendingHigh_.reset();
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                put(0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{unit} - 0xDC00));
                return;
            }
            put(0xFFFD);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            pendingHigh_ = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            put(0xFFFD);
        else
            put(unit);
    }
    std::string finish() {
        if (pendingHigh_)
            put(0xFFFD);
        out_.resize(static_cast<std::size_t>(next_ - out_.data()));
        return std::move(out_);
    }

private:
    void put(char32_t code) {
        if (code < 0x80) {
            *next_++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *next_++ = static_cast<char>(0xC0 | (code >> 6));
            *next_++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *next_++ = static_cast<char>(0xE0 | (code >> 12));
            *next_++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *next_++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *next_++ = static_cast<char>(0xF0 | (code >> 18));
            *next_++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *next_++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *next_++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string out_;
    char* next_;
    std::optional<char16_t> pendingHigh_;
};

// Decodes UTF-8 into code points; throws on malformed input.
std::u32string codePoints(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        int extra = byte < 0x80           ? 0
                    : (byte >> 5) == 0x6  ? 1
                    : (byte >> 4) == 0xE  ? 2
                    : (byte >> 3) == 0x1E ? 3
                                          : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= utf8.size())
            throw Error("text is not valid UTF-8");
        char32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                throw Error("text is not valid UTF-8");
            code = (code << 6) | (next & 0x3F);
        }
        // An overlong form would smuggle in a character, NUL or '/', that the text does not
        // show as such; surrogates and values past U+10FFFF are no characters at all.
        static constexpr char32_t kShortestFrom[] = {0, 0x80, 0x800, 0x10000};
        if (code < kShortestFrom[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            throw Error("text is not valid UTF-8");
        out += code;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

bool isCompressed(std::span<const std::uint8_t> stored) {
    return stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE;
}

// The most UTF-16 code units a stored text can hold, for the caller's room: a compressed text
// has at most one unit per byte, an uncompressed one a unit per two.
std::size_t unitsOf(std::span<const std::uint8_t> stored) {
    return isCompressed(stored) ? stored.size() : stored.size() / 2;
}

// Calls `unit` with every UTF-16 code unit of a stored text: plain UTF-16LE, or the compressed
// form.
template <typename Unit> void forEachUnit(std::span<const std::uint8_t> stored, Unit unit) {
    if (isCompressed(stored)) {
        bool oneByte = true;
        for (std::size_t i = 2; i < stored.size();) {
            if (stored[i] == 0x00) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                unit(stored[i++]);
            } else if (i + 1 < stored.size()) {
                unit(static_cast<char16_t>(stored[i] | stored[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < stored.size(); i += 2)
        unit(static_cast<char16_t>(stored[i] | stored[i + 1] << 8));
}

} // namespace

std::string decodeText(std::span<const std::uint8_t> stored) {
    Utf16ToUtf8 out(unitsOf(stored));
    forEachUnit(stored, [&out](char16_t unit) { out.push(unit); });
    return out.finish();
}

std::u16string decodeTextUtf16(std::span<const std::uint8_t> stored) {
    std::u16string out(unitsOf(stored), u'\0');
    char16_t* next = out.data();
    forEachUnit(stored, [&next](char16_t unit) { *next++ = unit; });
    out.resize(static_cast<std::size_t>(next - out.data()));
    // Most texts hold no surrogate at all: one pass that the compiler makes many units at a time
    // tells, and the pairs are looked at only when it finds one.
    unsigned surrogates = 0;
    for (const char16_t u : out)
        surrogates |= static_cast<char16_t>(u - 0xD800) < 0x800 ? 1U : 0U;
    if (surrogates == 0)
        return out;
    const auto high = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    const auto low = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (high(out[i]) && i + 1 < out.size() && low(out[i + 1]))
            ++i;
        else if (high(out[i]) || low(out[i]))
            out[i] = u'\uFFFD';
    }
    return out;
}

Bytes encodeText(std::string_view utf8, bool compress) {
    std::u32string codes = codePoints(utf8);
    bool compressible = compress && !codes.empty();
    for (char32_t code : codes)
        compressible = compressible && code >= 0x01 && code <= 0xFF;
    Bytes out;
    if (compressible) {
        out.reserve(codes.size() + 2);
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char32_t code : codes)
            out.push_back(static_cast<std::uint8_t>(code));
        return out;
    }
    out.reserve(codes.size() * 2);
    auto unit = [&](char32_t u) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (char32_t code : codes) {
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char32_t code : codePoints(utf8))
        units += code >= 0x10000 ? 2 : 1;
    return units;
}

} // namespace jet
