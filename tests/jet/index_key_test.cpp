// SPDX-License-Identifier: Apache-2.0
// Index keys as Jet writes them: each case is a value in a one-column index, ascending or
// descending, and the bytes its entry holds before the row's id.

#include "jet/index_key.h"

#include <gtest/gtest.h>

namespace {

using jet::Bytes;
using jet::ColumnType;
using jet::Value;

struct KeyCase {
    const char* name;
    ColumnType type;
    Value value;
    bool ascending;
    Bytes key;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

jet::TableDef oneColumnTable(ColumnType type, bool ascending) {
    jet::TableDef def;
    def.name = "T";
    jet::Column column;
    column.name = "C";
    column.type = type;
    column.number = 0;
    column.length = type == ColumnType::Text ? 510 : jet::fixedValueSize(type);
    column.flags = type == ColumnType::Text || type == ColumnType::Binary ? 0 : jet::kColumnFixed;
    column.sortOrder = jet::kGeneralSortOrder;
    def.columns.push_back(column);
    jet::RealIndex index;
    index.columnNumbers = {0};
    index.ascending = {ascending};
    def.realIndexes.push_back(index);
    return def;
}

Bytes guid() {
    // {00112233-4455-6677-8899-AABBCCDDEEFF} as a row stores it
    return {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
}

class IndexKeyEncoding : public testing::TestWithParam<KeyCase> {};

TEST_P(IndexKeyEncoding, MatchesTheBytesJetWrites) {
    const KeyCase& c = GetParam();
    jet::TableDef def = oneColumnTable(c.type, c.ascending);
    jet::IndexKey key = jet::encodeIndexKey(def, def.realIndexes[0], {c.value});
    ASSERT_TRUE(std::holds_alternative<Bytes>(key)) << std::get<std::string>(key);
    EXPECT_EQ(std::get<Bytes>(key), c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexKeyEncoding,
    testing::Values(
        KeyCase{"null", ColumnType::Long, Value{}, true, {0x00}},
        KeyCase{"null_descending", ColumnType::Long, Value{}, false, {0xFF}},
        KeyCase{"long_minus_one",
                ColumnType::Long,
                std::int64_t{-1},
                true,
                {0x7F, 0x7F, 0xFF, 0xFF, 0xFF}},
        KeyCase{"long_descending",
                ColumnType::Long,
                std::int64_t{1},
                false,
                {0x80, 0x7F, 0xFF, 0xFF, 0xFE}},
        KeyCase{
            "integer_lowest", ColumnType::Integer, std::int64_t{-32768}, true, {0x7F, 0x00, 0x00}},
        KeyCase{"byte_unsigned", ColumnType::Byte, std::int64_t{200}, true, {0x7F, 0xC8}},
        KeyCase{"currency",
                ColumnType::Currency,
                jet::Currency{10000},
                true,
                {0x7F, 0x80, 0, 0, 0, 0, 0, 0x27, 0x10}},
        KeyCase{
            "double_positive", ColumnType::Double, 1.0, true, {0x7F, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}},
        KeyCase{"double_negative",
                ColumnType::Double,
                -1.0,
                true,
                {0x7F, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        KeyCase{"double_negative_descending",
                ColumnType::Double,
                -1.0,
                false,
                {0x80, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}},
        KeyCase{"date",
                ColumnType::DateTime,
                jet::DateTime{2.0},
                true,
                {0x7F, 0xC0, 0x00, 0, 0, 0, 0, 0, 0}},
        KeyCase{"boolean_true", ColumnType::Boolean, true, true, {0x7F, 0x00}},
        KeyCase{"boolean_false_descending", ColumnType::Boolean, false, false, {0x80, 0x00}},
        KeyCase{"guid",
                ColumnType::Guid,
                guid(),
                true,
                {0x7F, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x09, 0x88, 0x99, 0xAA, 0xBB,
                 0xCC, 0xDD, 0xEE, 0xFF, 0x08}},
        KeyCase{"binary_in_pieces",
                ColumnType::Binary,
                Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                true,
                {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 0x09, 9, 10, 0, 0, 0, 0, 0, 0, 0x02}},
        KeyCase{"binary_descending",
                ColumnType::Binary,
                Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9},
                false,
                {0x80, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7, 0x09, 0xF6, 0xFF, 0xFF, 0xFF,
                 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}},
        // Text: case does not count; an accent is only a tie-breaker after the letters.
        KeyCase{"text_case_folded",
                ColumnType::Text,
                std::string("Ab"),
                true,
                {0x7F, 0x4A, 0x4C, 0x01, 0x00}},
        KeyCase{"text_lower_case",
                ColumnType::Text,
                std::string("ab"),
                true,
                {0x7F, 0x4A, 0x4C, 0x01, 0x00}},
        KeyCase{"text_empty", ColumnType::Text, std::string(), true, {0x7F, 0x01, 0x00}},
        KeyCase{"text_accent",
                ColumnType::Text,
                std::string("e\xC3\xA9"),
                true,
                {0x7F, 0x51, 0x51, 0x01, 0x02, 0x0E, 0x00}},
        KeyCase{"text_accent_last_mark_only",
                ColumnType::Text,
                std::string("\xC3\xA9"
                            "e"),
                true,
                {0x7F, 0x51, 0x51, 0x01, 0x0E, 0x00}},
        KeyCase{"text_two_bytes_per_letter",
                ColumnType::Text,
                std::string("\xC3\x9F"),
                true,
                {0x7F, 0x6B, 0x6B, 0x01, 0x00}},
        KeyCase{"text_unprintable",
                ColumnType::Text,
                std::string("a\x01"),
                true,
                {0x7F, 0x4A, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x03, 0x00}},
        KeyCase{"text_descending",
                ColumnType::Text,
                std::string("A"),
                false,
                {0x80, 0xB5, 0xFE, 0xFF, 0x00}}),
    [](const auto& test) { return std::string(test.param.name); });

// A key the encoder cannot write is named, so the index is reported as not checked rather than
// as damaged.
TEST(IndexKeyLimits, SaysWhichKeysItCannotEncode) {
    struct Unsupported {
        ColumnType type;
        Value value;
        std::uint16_t sortOrder;
        const char* reason;
    };
    const Unsupported cases[] = {
        {ColumnType::Text, std::string("Ж"), jet::kGeneralSortOrder, "past U+00FF"},
        {ColumnType::Text, std::string("a"), 0x0402, "sort order 1026"},
        {ColumnType::Numeric, jet::Decimal{"1"}, 0, "keys"},
    };
    for (const Unsupported& c : cases) {
        jet::TableDef def = oneColumnTable(c.type, true);
        def.columns[0].sortOrder = c.sortOrder;
        jet::IndexKey key = jet::encodeIndexKey(def, def.realIndexes[0], {c.value});
        ASSERT_TRUE(std::holds_alternative<std::string>(key)) << c.reason;
        EXPECT_NE(std::get<std::string>(key).find(c.reason), std::string::npos)
            << std::get<std::string>(key);
        EXPECT_NE(std::get<std::string>(key).find("column C"), std::string::npos);
    }
}

} // namespace
