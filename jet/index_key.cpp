// SPDX-License-Identifier: Apache-2.0
#include "jet/index_key.h"

#include "jet/error.h"
#include "jet/row_codec.h"
#include "jet/text_codec.h"

#include <algorithm>
#include <array>
#include <optional>

namespace jet {

namespace {

constexpr std::uint8_t kAscendingValue = 0x7F;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kTrue = 0x00;
constexpr std::uint8_t kFalse = 0xFF;

// How the General sort order writes one character of the Latin-1 range: bytes in the key
// proper, a mark for an accent in a second part that only breaks ties, or, for a character
// that does not sort at all, a record of where it stood in a third part.
struct CharCode {
    enum class Kind : std::uint8_t { Ignored, Simple, Accented, Unprintable };
    Kind kind = Kind::Ignored;
    std::array<std::uint8_t, 2> sorted{}; // bytes in the key proper
    std::uint8_t sortedLength = 0;
    std::uint8_t mark = 0; // accent mark, or the code of an unprintable character
};

constexpr CharCode ignored() {
    return {};
}
constexpr CharCode simple(std::uint8_t first) {
    return {CharCode::Kind::Simple, {first, 0}, 1, 0};
}
constexpr CharCode simple(std::uint8_t first, std::uint8_t second) {
    return {CharCode::Kind::Simple, {first, second}, 2, 0};
}
constexpr CharCode accented(std::uint8_t base, std::uint8_t accent) {
    return {CharCode::Kind::Accented, {base, 0}, 1, accent};
}
constexpr CharCode unprintable(std::uint8_t code) {
    return {CharCode::Kind::Unprintable, {}, 0, code};
}

// U+0000 to U+00FF; upper and lower case share their sort bytes.
// clang-format off
constexpr std::array<CharCode, 256> kLatin1Codes = {
    /* 0x00 */ ignored(), unprintable(0x03), unprintable(0x04), unprintable(0x05),
    /* 0x04 */ unprintable(0x06), unprintable(0x07), unprintable(0x08), unprintable(0x09),
    /* 0x08 */ unprintable(0x0A), simple(0x08, 0x03), simple(0x08, 0x04), simple(0x08, 0x05),
    /* 0x0c */ simple(0x08, 0x06), simple(0x08, 0x07), unprintable(0x0B), unprintable(0x0C),
    /* 0x10 */ unprintable(0x0D), unprintable(0x0E), unprintable(0x0F), unprintable(0x10),
    /* 0x14 */ unprintable(0x11), unprintable(0x12), unprintable(0x13), unprintable(0x14),
    /* 0x18 */ unprintable(0x15), unprintable(0x16), unprintable(0x17), unprintable(0x18),
    /* 0x1c */ unprintable(0x19), unprintable(0x1A), unprintable(0x1B), unprintable(0x1C),
    /* 0x20 */ simple(0x07), simple(0x09), simple(0x0A), simple(0x0C),
    /* 0x24 */ simple(0x0E), simple(0x10), simple(0x12), unprintable(0x80),
    /* 0x28 */ simple(0x14), simple(0x16), simple(0x18), simple(0x2C),
    /* 0x2c */ simple(0x1A), unprintable(0x82), simple(0x1C), simple(0x1E),
    /* 0x30 */ simple(0x36), simple(0x38), simple(0x3A), simple(0x3C),
    /* 0x34 */ simple(0x3E), simple(0x40), simple(0x42), simple(0x44),
    /* 0x38 */ simple(0x46), simple(0x48), simple(0x20), simple(0x22),
    /* 0x3c */ simple(0x2E), simple(0x30), simple(0x32), simple(0x24),
    /* 0x40 */ simple(0x26), simple(0x4A), simple(0x4C), simple(0x4D),
    /* 0x44 */ simple(0x4F), simple(0x51), simple(0x53), simple(0x55),
    /* 0x48 */ simple(0x57), simple(0x59), simple(0x5B), simple(0x5C),
    /* 0x4c */ simple(0x5E), simple(0x60), simple(0x62), simple(0x64),
    /* 0x50 */ simple(0x66), simple(0x68), simple(0x69), simple(0x6B),
    /* 0x54 */ simple(0x6D), simple(0x6F), simple(0x71), simple(0x73),
    /* 0x58 */ simple(0x75), simple(0x76), simple(0x78), simple(0x27),
    /* 0x5c */ simple(0x29), simple(0x2A), simple(0x2B, 0x02), simple(0x2B, 0x03),
    /* 0x60 */ simple(0x2B, 0x07), simple(0x4A), simple(0x4C), simple(0x4D),
    /* 0x64 */ simple(0x4F), simple(0x51), simple(0x53), simple(0x55),
    /* 0x68 */ simple(0x57), simple(0x59), simple(0x5B), simple(0x5C),
    /* 0x6c */ simple(0x5E), simple(0x60), simple(0x62), simple(0x64),
    /* 0x70 */ simple(0x66), simple(0x68), simple(0x69), simple(0x6B),
    /* 0x74 */ simple(0x6D), simple(0x6F), simple(0x71), simple(0x73),
    /* 0x78 */ simple(0x75), simple(0x76), simple(0x78), simple(0x2B, 0x09),
    /* 0x7c */ simple(0x2B, 0x0B), simple(0x2B, 0x0D), simple(0x2B, 0x0F), unprintable(0x1D),
    /* 0x80 */ unprintable(0x1E), unprintable(0x1F), unprintable(0x20), unprintable(0x21),
    /* 0x84 */ unprintable(0x22), unprintable(0x23), unprintable(0x24), unprintable(0x25),
    /* 0x88 */ unprintable(0x26), unprintable(0x27), unprintable(0x28), unprintable(0x29),
    /* 0x8c */ unprintable(0x2A), unprintable(0x2B), unprintable(0x2C), unprintable(0x2D),
    /* 0x90 */ unprintable(0x2E), unprintable(0x2F), unprintable(0x30), unprintable(0x31),
    /* 0x94 */ unprintable(0x32), unprintable(0x33), unprintable(0x34), unprintable(0x35),
    /* 0x98 */ unprintable(0x36), unprintable(0x37), unprintable(0x38), unprintable(0x39),
    /* 0x9c */ unprintable(0x3A), unprintable(0x3B), unprintable(0x3C), unprintable(0x3D),
    /* 0xa0 */ simple(0x08, 0x02), simple(0x2B, 0x10), simple(0x34, 0xA6), simple(0x34, 0xA7),
    /* 0xa4 */ simple(0x34, 0xA8), simple(0x34, 0xA9), simple(0x2B, 0x11), simple(0x34, 0xAA),
    /* 0xa8 */ simple(0x2B, 0x12), simple(0x34, 0xAB), accented(0x4A, 0x03), simple(0x33, 0x05),
    /* 0xac */ simple(0x34, 0xAC), unprintable(0x83), simple(0x34, 0xAD), simple(0x2B, 0x13),
    /* 0xb0 */ simple(0x34, 0xAE), simple(0x33, 0x04), simple(0x3A), simple(0x3C),
    /* 0xb4 */ simple(0x2B, 0x14), simple(0x34, 0xAF), simple(0x34, 0xB0), simple(0x34, 0xB1),
    /* 0xb8 */ simple(0x2B, 0x15), simple(0x38), accented(0x64, 0x03), simple(0x33, 0x07),
    /* 0xbc */ simple(0x37, 0x12), simple(0x37, 0x16), simple(0x37, 0x1A), simple(0x2B, 0x16),
    /* 0xc0 */ accented(0x4A, 0x0F), accented(0x4A, 0x0E),
    /* 0xc2 */ accented(0x4A, 0x12), accented(0x4A, 0x19),
    /* 0xc4 */ accented(0x4A, 0x13), accented(0x4A, 0x1A), simple(0x4A, 0x51), accented(0x4D, 0x1C),
    /* 0xc8 */ accented(0x51, 0x0F), accented(0x51, 0x0E),
    /* 0xca */ accented(0x51, 0x12), accented(0x51, 0x13),
    /* 0xcc */ accented(0x59, 0x0F), accented(0x59, 0x0E),
    /* 0xce */ accented(0x59, 0x12), accented(0x59, 0x13),
    /* 0xd0 */ accented(0x4F, 0x68), accented(0x62, 0x19),
    /* 0xd2 */ accented(0x64, 0x0F), accented(0x64, 0x0E),
    /* 0xd4 */ accented(0x64, 0x12), accented(0x64, 0x19), accented(0x64, 0x13), simple(0x33, 0x09),
    /* 0xd8 */ accented(0x64, 0x21), accented(0x6F, 0x0F),
    /* 0xda */ accented(0x6F, 0x0E), accented(0x6F, 0x12),
    /* 0xdc */ accented(0x6F, 0x13), accented(0x76, 0x0E), simple(0x6D, 0x57), simple(0x6B, 0x6B),
    /* 0xe0 */ accented(0x4A, 0x0F), accented(0x4A, 0x0E),
    /* 0xe2 */ accented(0x4A, 0x12), accented(0x4A, 0x19),
    /* 0xe4 */ accented(0x4A, 0x13), accented(0x4A, 0x1A), simple(0x4A, 0x51), accented(0x4D, 0x1C),
    /* 0xe8 */ accented(0x51, 0x0F), accented(0x51, 0x0E),
    /* 0xea */ accented(0x51, 0x12), accented(0x51, 0x13),
    /* 0xec */ accented(0x59, 0x0F), accented(0x59, 0x0E),
    /* 0xee */ accented(0x59, 0x12), accented(0x59, 0x13),
    /* 0xf0 */ accented(0x4F, 0x68), accented(0x62, 0x19),
    /* 0xf2 */ accented(0x64, 0x0F), accented(0x64, 0x0E),
    /* 0xf4 */ accented(0x64, 0x12), accented(0x64, 0x19), accented(0x64, 0x13), simple(0x33, 0x0A),
    /* 0xf8 */ accented(0x64, 0x21), accented(0x6F, 0x0F),
    /* 0xfa */ accented(0x6F, 0x0E), accented(0x6F, 0x12),
    /* 0xfc */ accented(0x6F, 0x13), accented(0x76, 0x0E), simple(0x6D, 0x57), accented(0x76, 0x13),
};
// clang-format on

// Text keys hold at most the 255 characters a text column can.
constexpr std::size_t kMaxKeyCharacters = 255;
constexpr std::uint8_t kEndOfText = 0x01;
constexpr std::uint8_t kEndOfKey = 0x00;
constexpr std::uint8_t kNoAccent = 0x02;
constexpr std::uint8_t kUnprintableMark = 0x06;

void invert(Bytes& bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

// Keys a text given as its UTF-16LE bytes. Returns the characters the encoder does not know, if
// any.
std::optional<std::string> encodeText(const Bytes& units, bool ascending, Bytes& out) {
    std::size_t count = std::min(units.size() / 2, kMaxKeyCharacters);
    std::size_t start = out.size();
    Bytes accents;                // one mark per sorted character up to the last accented one
    std::size_t accentedUpTo = 0; // sorted characters that `accents` accounts for
    Bytes unprintables;
    std::size_t sorted = 0;
    for (std::size_t i = 0; i < count; ++i) {
        auto unit = static_cast<char16_t>(units[2 * i] | units[2 * i + 1] << 8);
        if (unit > 0xFF)
            return "text with characters past U+00FF";
        const CharCode& code = kLatin1Codes[unit];
        std::size_t position = sorted;
        out.insert(out.end(), code.sorted.begin(), code.sorted.begin() + code.sortedLength);
        if (code.sortedLength > 0)
            ++sorted;
        if (code.kind == CharCode::Kind::Accented) {
            accents.insert(accents.end(), position - accentedUpTo, kNoAccent);
            accents.push_back(code.mark);
            accentedUpTo = position + 1;
        } else if (code.kind == CharCode::Kind::Unprintable) {
            // Its place counts the accent marks written so far and the characters after them.
            std::size_t place = accents.size() + (position - accentedUpTo);
            auto offset = static_cast<std::uint16_t>((7 + 4 * place) | 0x8000);
            unprintables.push_back(static_cast<std::uint8_t>(offset >> 8));
            unprintables.push_back(static_cast<std::uint8_t>(offset & 0xFF));
            unprintables.push_back(kUnprintableMark);
            unprintables.push_back(code.mark);
        }
    }
    out.push_back(kEndOfText);
    // Marks of unaccented characters at the end say nothing and are left out.
    while (!accents.empty() && accents.back() <= kNoAccent)
        accents.pop_back();
    out.insert(out.end(), accents.begin(), accents.end());
    if (!unprintables.empty()) {
        out.insert(out.end(), {kEndOfText, kEndOfText, kEndOfText});
        out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
    if (!ascending) {
        out.push_back(kEndOfKey);
        invert(out, start);
    }
    out.push_back(kEndOfKey);
    return std::nullopt;
}

// Binary data in 8-byte pieces, each followed by how many of its bytes count (9: more follow).
void encodeBinary(const Bytes& data, bool ascending, Bytes& out) {
    for (std::size_t at = 0; at < data.size(); at += 8) {
        std::size_t start = out.size();
        std::size_t length = std::min<std::size_t>(8, data.size() - at);
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
        out.insert(out.end(), 8 - length, 0);
        bool last = at + 8 >= data.size();
        if (!ascending) // the count of a middle piece stays as it is
            invert(out, start);
        out.push_back(last ? static_cast<std::uint8_t>(length) : 9);
        if (!ascending && last)
            out.back() = static_cast<std::uint8_t>(~out.back());
    }
}

// The stored little-endian bytes of a fixed-size value, most significant first.
Bytes bigEndian(const Column& column, const Value& value) {
    Bytes bytes = encodeValue(column, value).bytes;
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

} // namespace

std::optional<std::string> appendIndexKey(const Column& column, const Value& value, bool ascending,
                                          Bytes& out) {
    if (column.type == ColumnType::Boolean) {
        const auto* yes = std::get_if<bool>(&value);
        bool set = yes != nullptr && *yes;
        out.push_back(ascending ? kAscendingValue : static_cast<std::uint8_t>(~kAscendingValue));
        out.push_back((set == ascending) ? kTrue : kFalse);
        return std::nullopt;
    }
    if (isNull(value)) {
        out.push_back(ascending ? kAscendingNull : static_cast<std::uint8_t>(~kAscendingNull));
        return std::nullopt;
    }
    out.push_back(ascending ? kAscendingValue : static_cast<std::uint8_t>(~kAscendingValue));
    std::size_t start = out.size();
    switch (column.type) {
    case ColumnType::Byte:
        out.push_back(static_cast<std::uint8_t>(std::get<std::int64_t>(value)));
        break;
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency: {
        Bytes bytes = bigEndian(column, value);
        bytes[0] ^= 0x80;
        out.insert(out.end(), bytes.begin(), bytes.end());
        break;
    }
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime: {
        Bytes bytes = bigEndian(column, value);
        bool negative = (bytes[0] & 0x80) != 0;
        if (negative)
            invert(bytes, 0);
        else
            bytes[0] ^= 0x80;
        out.insert(out.end(), bytes.begin(), bytes.end());
        break;
    }
    case ColumnType::Guid: {
        // Stored with its first three groups little-endian; keys hold it as it is written.
        Bytes bytes = std::get<Bytes>(value);
        if (bytes.size() != 16)
            return "a GUID of " + std::to_string(bytes.size()) + " bytes";
        std::reverse(bytes.begin(), bytes.begin() + 4);
        std::reverse(bytes.begin() + 4, bytes.begin() + 6);
        std::reverse(bytes.begin() + 6, bytes.begin() + 8);
        encodeBinary(bytes, ascending, out);
        return std::nullopt;
    }
    case ColumnType::Binary:
        encodeBinary(std::get<Bytes>(value), ascending, out);
        return std::nullopt;
    case ColumnType::Text:
    case ColumnType::Memo:
        if (column.sortOrder != kGeneralSortOrder)
            return "text in sort order " + std::to_string(column.sortOrder);
        if (const auto* units = std::get_if<std::u16string>(&value))
            return encodeText(jet::encodeText(*units, false), ascending, out);
        return encodeText(jet::encodeText(std::get<std::string>(value), false), ascending, out);
    default:
        return std::string(columnTypeName(column.type)) + " keys";
    }
    if (!ascending)
        invert(out, start);
    return std::nullopt;
}

IndexKey encodeIndexKey(const TableDef& def, const RealIndex& index, const Row& row) {
    Bytes key;
    for (std::size_t i = 0; i < index.columnNumbers.size(); ++i) {
        auto column = std::find_if(def.columns.begin(), def.columns.end(), [&](const Column& c) {
            return c.number == index.columnNumbers[i];
        });
        if (column == def.columns.end())
            return "a key column that the table does not have";
        const Value& value = row[static_cast<std::size_t>(column - def.columns.begin())];
        bool ascending = i >= index.ascending.size() || index.ascending[i];
        if (auto why = appendIndexKey(*column, value, ascending, key))
            return "column " + column->name + ": " + *why;
    }
    return key;
}

} // namespace jet
