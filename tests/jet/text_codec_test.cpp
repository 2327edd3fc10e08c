// SPDX-License-Identifier: Apache-2.0
#include "jet/error.h"
#include "jet/text_codec.h"

#include <gtest/gtest.h>

namespace {

jet::Bytes bytes(std::initializer_list<int> values) {
    jet::Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// Each stored text decoded to UTF-8 and to UTF-16, the two forms of the same characters.
TEST(TextCodec, DecodesPlainAndCompressedForms) {
    struct Case {
        jet::Bytes stored;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {bytes({'a', 0, 0x14, 0x04}), "aД", u"aД"},
        {bytes({0xFF, 0xFE, 'a', 'b'}), "ab", u"ab"},
        // A zero byte switches to two-byte characters and back.
        {bytes({0xFF, 0xFE, 'a', 0, 0x14, 0x04, 0, 'b'}), "aДb", u"aДb"},
        {bytes({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80", u"\U0001F600"},
        // Half a surrogate pair is no character in UTF-8; in UTF-16 it stays the unit stored.
        {bytes({0x3D, 0xD8}), "\xEF\xBF\xBD", u"\xD83D"},
        // The most bytes two units can take: a high surrogate left alone, then a three-byte unit.
        {bytes({0x3D, 0xD8, 0xAC, 0x20}), "\xEF\xBF\xBD\xE2\x82\xAC", u"\xD83D\u20AC"},
        {bytes({0x00, 0xDC, 'a', 0}),
         "\xEF\xBF\xBD"
         "a",
         u"\xDC00"
         u"a"},
        {bytes({0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}), "\xEF\xBF\xBD\xF0\x9F\x98\x80",
         u"\xD83D\U0001F600"},
        {bytes({}), "", u""},
        {bytes({0xFF, 0xFE}), "", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jet::decodeText(c.stored), c.utf8);
        EXPECT_EQ(jet::decodeTextUtf16(c.stored), c.utf16) << c.utf8;
    }
}

TEST(TextCodec, CompressesOnlyTextsInTheLatin1Range) {
    EXPECT_EQ(jet::encodeText("ab", true), bytes({0xFF, 0xFE, 'a', 'b'}));
    EXPECT_EQ(jet::encodeText("ab", false), bytes({'a', 0, 'b', 0}));
    EXPECT_EQ(jet::encodeText("Да", true), bytes({0x14, 0x04, 0x30, 0x04}));
    EXPECT_EQ(jet::encodeText("", true), bytes({}));
    EXPECT_EQ(jet::encodeText("\x01\xC3\xBF", true), bytes({0xFF, 0xFE, 0x01, 0xFF}));
    EXPECT_EQ(jet::encodeText("\xC4\x80", true), bytes({0x00, 0x01}));
    for (const char* text : {"Latin", "Кирилица", "mixed Ä and Ж", "\xF0\x9F\x98\x80"})
        EXPECT_EQ(jet::decodeText(jet::encodeText(text, true)), text);
}

// UTF-16 units go into the file as they are, half a surrogate pair too, and come back the same.
TEST(TextCodec, StoresUtf16UnitsUnitForUnit) {
    const std::u16string lone = u"a" + std::u16string(1, char16_t{0xD83D});
    EXPECT_EQ(jet::encodeText(lone, true), bytes({'a', 0, 0x3D, 0xD8}));
    EXPECT_EQ(jet::encodeText(std::u16string(u"aÿ"), true), bytes({0xFF, 0xFE, 'a', 0xFF}));
    EXPECT_EQ(jet::encodeText(std::u16string(u"Да"), true), jet::encodeText("Да", true));
    for (const std::u16string& units : {lone, std::u16string(u"😀x"), std::u16string()})
        EXPECT_EQ(jet::decodeTextUtf16(jet::encodeText(units, true)), units);
}

TEST(TextCodec, CountsUtf16Units) {
    EXPECT_EQ(jet::utf16Length("aД"), 2u);
    EXPECT_EQ(jet::utf16Length("\xF0\x9F\x98\x80"), 2u);
    EXPECT_THROW(jet::utf16Length("\xC3"), jet::Error);
    EXPECT_THROW(jet::encodeText("\xFF", true), jet::Error);
}

TEST(TextCodec, RefusesMalformedUtf8) {
    const char* malformed[] = {
        "A\xC0\x80\x42",    // NUL in two bytes, then B
        "\xC1\xBF",         // DEL in two bytes
        "\xE0\x80\xAF",     // '/' in three bytes
        "\xE0\x9F\xBF",     // U+07FF in three bytes
        "\xF0\x8F\xBF\xBF", // U+FFFF in four bytes
        "\xED\xA0\x80",     // a high surrogate
        "\xED\xBF\xBF",     // a low surrogate
        "\xF4\x90\x80\x80", // U+110000
        "\xF7\xBF\xBF\xBF", // past U+10FFFF
        "\xE2\x82",         // cut short
        "\x80",             // a continuation byte alone
    };
    for (const char* text : malformed) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        EXPECT_THROW(jet::utf16Length(text), jet::Error);
        EXPECT_THROW(jet::encodeText(text, true), jet::Error);
    }
    // The shortest forms at each length boundary are characters.
    EXPECT_EQ(jet::utf16Length("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"
                               "\xF4\x8F\xBF\xBF"),
              9u);
}

} // namespace
