// SPDX-License-Identifier: Apache-2.0
// Posts through the engine on copies of the sample tender, each checked against both readers:
// after every post our reader lists exactly the expected rows under the same row ids, and
// mdb-export prints the same rows.

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace {

using jet::Database;
using jet::RowId;
using jet::Value;
using jettest::repeat;

using Changes = std::vector<Database::ColumnChange>;

const std::string kCyrillic = "Ж";

// A copy of a shared file and the rows both readers must list; `post` changes the copy and the
// expectation together and checks every table.
class RoundTrip : public ::testing::Test {
protected:
    explicit RoundTrip(const std::string& file)
        : copy(file), db(copy.path().string(), Database::Mode::ReadWrite) {}

    void SetUp() override {
        for (const std::string& name : db.tableNames())
            expected[name] = jettest::readRows(db, db.table(name));
    }

    RowId firstRow(const std::string& table) const { return expected.at(table).begin()->first; }

    // The rows of `table` whose data starts on `page`, in slot order.
    std::vector<RowId> rowsOnPage(const std::string& table, std::uint32_t page) const {
        std::vector<RowId> ids;
        for (const auto& [id, row] : expected.at(table))
            if (id.page == page)
                ids.push_back(id);
        return ids;
    }

    void post(const std::string& table, RowId id, const Changes& changes) {
        jet::TableDef def = db.table(table);
        db.update(def, id, changes);
        for (const auto& change : changes) {
            const jet::Column& column = def.column(change.column);
            expected[table][id][static_cast<std::size_t>(&column - def.columns.data())] =
                change.value;
        }
        verify();
    }

    void verify() {
        for (const auto& [name, rows] : expected) {
            jet::TableDef def = db.table(name);
            expectFreeSpaceCounted(def);
            ASSERT_EQ(jettest::readRows(db, def), rows) << name;
            ASSERT_EQ(jettest::exportRecords(copy.path(), def),
                      jettest::recordsOf(def, jettest::valuesOf(rows)))
                << name;
        }
    }

    // Each data page's free-space count is the gap between its slot table and its rows.
    void expectFreeSpaceCounted(const jet::TableDef& def) {
        for (std::uint32_t number : jet::readUsageMap(db.file(), def.ownedPages).pages) {
            if (db.file().read(number)[0] != jet::kDataPageType)
                continue;
            jet::DataPage data = page(number);
            std::size_t lowest = jet::kPageSize;
            for (std::uint16_t row = 0; row < data.rowCount(); ++row)
                lowest = std::min<std::size_t>(lowest, data.offsetWord(row) & jet::kRowOffsetMask);
            EXPECT_EQ(data.freeSpace(), lowest - jet::kDataPageHeader - 2u * data.rowCount())
                << def.name << ", page " << number;
        }
    }

    jet::DataPage page(std::uint32_t number) {
        holder = db.file().read(number);
        return jet::DataPage(holder, db.file().where(number));
    }

    jettest::FileCopy copy;
    Database db;
    std::map<std::string, std::map<RowId, jet::Row>> expected;
    jet::Page holder{};
};

class UpdateRoundTrip : public RoundTrip {
protected:
    UpdateRoundTrip() : RoundTrip("tender-sample.mdb") {}
};

// Access moved rows 2 and 4 of page 27 to pages 28 and 31; the table has a deleted column.
class UpdateAccessRelocatedRows : public RoundTrip {
protected:
    UpdateAccessRelocatedRows() : RoundTrip("real/overflowTestV2000.mdb") {}
};

TEST_F(UpdateAccessRelocatedRows, FollowsAccesssPointersAndBringsTheRowsHome) {
    const RowId moved[] = {{27, 2}, {27, 4}};
    for (RowId id : moved)
        ASSERT_TRUE(page(27).isOverflow(id.row));
    post("Table1", moved[0], {{"data10", std::string("x")}});
    post("Table1", moved[1], {{"data4", repeat(kCyrillic, 50)}, {"data9", repeat("é", 50)}});
    for (RowId id : moved)
        EXPECT_FALSE(page(27).isOverflow(id.row));
    post("Table1", moved[1], {{"data4", std::monostate{}}});
}

struct ValueCase {
    const char* table;
    const char* column;
    Value value;
};

TEST_F(UpdateRoundTrip, WritesEveryKindOfValue) {
    const ValueCase cases[] = {
        {"PREDLOGENIA", "PP2_TEXT", std::monostate{}},
        {"PREDLOGENIA", "PP2_TEXT", std::string()},
        {"PREDLOGENIA", "PP2_TEXT", std::string("x")},
        {"PREDLOGENIA", "PP2_TEXT", repeat("x", 255)},
        {"PREDLOGENIA", "PP3_TEXT", repeat(kCyrillic, 255)},
        {"PREDLOGENIA", "PP4_TEXT", std::string("Größe, café, Ærø")},
        {"PREDLOGENIA", "PP5_TEXT", std::string("Цена 12,50 € / price per unit")},
        {"PREDLOGENIA", "PP3_TEXT", std::string("Я")},
        {"PREDLOGENIA", "GODISHNO_POTREBLENIE", 1234567.25},
        {"PREDLOGENIA", "PP1_NUMBER", -0.125},
        {"PREDLOGENIA", "GODISHNO_POTREBLENIE", std::monostate{}},
        {"SPECS", "KONKURS", std::int64_t{std::numeric_limits<std::int32_t>::min()}},
        {"SPECS", "KP1_TIP", std::int64_t{std::numeric_limits<std::int32_t>::max()}},
        {"SPECS", "KP2_TIP", std::monostate{}},
        {"SPECS", "NO_DDS", true},
        {"SPECS", "IS_OBOSOBENI_POZICII", false},
        {"SPECS", "IME_NA_FIRMATA", std::string("ЕТ „Пример“ – Ямбол")},
        {"SPECS", "KP1_NUMBER", 0.5},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        post(c.table, firstRow(c.table), {{c.column, c.value}});
    }
}

TEST_F(UpdateRoundTrip, WritesSeveralColumnsInOnePost) {
    post("PREDLOGENIA", firstRow("PREDLOGENIA"),
         {{"PP2_TEXT", std::string("Injekt")},
          {"PP2_NUMBER", 0.75},
          {"INFO1", std::monostate{}},
          {"INFO8", repeat("é", 100)}});
}

TEST_F(UpdateRoundTrip, StoresTextCompressedOnlyWhereEveryCharacterAllowsIt) {
    jet::TableDef def = db.table("PREDLOGENIA");
    RowId id = firstRow("PREDLOGENIA");
    auto stored = [&] {
        jet::DataPage data = page(id.page);
        auto layout = jet::parseRow(data.rowBytes(id.row), true, "test");
        auto bytes = layout.variableBytes(def.column("PP2_TEXT"));
        return jet::Bytes(bytes.begin(), bytes.end());
    };
    post("PREDLOGENIA", id, {{"PP2_TEXT", std::string("abé")}});
    EXPECT_EQ(stored(), (jet::Bytes{0xFF, 0xFE, 'a', 'b', 0xE9}));
    post("PREDLOGENIA", id, {{"PP2_TEXT", std::string("aЖ")}});
    EXPECT_EQ(stored(), (jet::Bytes{'a', 0, 0x16, 0x04}));
    // The edges of the one-byte range: U+00FF is in it, U+0100 is not.
    post("PREDLOGENIA", id, {{"PP2_TEXT", std::string("zÿ")}});
    EXPECT_EQ(stored(), (jet::Bytes{0xFF, 0xFE, 'z', 0xFF}));
    post("PREDLOGENIA", id, {{"PP2_TEXT", std::string("zĀ")}});
    EXPECT_EQ(stored(), (jet::Bytes{'z', 0, 0x00, 0x01}));
}

// Rows of one page grow until they move to other pages, are changed where they live, grow
// again, then shrink back into their own slots; a second round reuses the room the first freed.
TEST_F(UpdateRoundTrip, RowsMoveWhenTheyGrowAndComeBackWhenTheyShrink) {
    const std::uint32_t home = firstRow("PREDLOGENIA").page;
    const std::vector<RowId> rows = rowsOnPage("PREDLOGENIA", home);
    ASSERT_GE(rows.size(), 4u);
    const std::uint16_t freeBefore = page(home).freeSpace();
    const Value longText = repeat(kCyrillic, 255);
    const Changes grow = {{"INFO1", longText},
                          {"INFO2", longText},
                          {"INFO3", longText},
                          {"INFO4", longText},
                          {"INFO5", longText}};
    const Changes shrink = {{"INFO1", std::monostate{}}, {"INFO2", std::monostate{}},
                            {"INFO3", std::monostate{}}, {"INFO4", std::monostate{}},
                            {"INFO5", std::monostate{}}, {"INFO6", std::monostate{}}};
    std::uintmax_t grownSize = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (std::size_t i = 0; i < 4; ++i) {
            post("PREDLOGENIA", rows[i], grow);
            EXPECT_TRUE(page(home).isOverflow(rows[i].row));
        }
        RowId target = page(home).overflowTarget(rows[0].row);
        post("PREDLOGENIA", rows[0], {{"PP1_NUMBER", 42.5}});
        EXPECT_EQ(page(home).overflowTarget(rows[0].row), target) << "changed where it lives";
        post("PREDLOGENIA", rows[0], {{"INFO6", longText}});
        EXPECT_TRUE(page(home).isOverflow(rows[0].row));
        if (round == 0)
            grownSize = std::filesystem::file_size(copy.path());
        else
            EXPECT_EQ(std::filesystem::file_size(copy.path()), grownSize) << "room was reused";

        for (std::size_t i = 0; i < 4; ++i) {
            post("PREDLOGENIA", rows[i], shrink);
            EXPECT_FALSE(page(home).isOverflow(rows[i].row));
        }
        EXPECT_GE(page(home).freeSpace(), freeBefore) << "the shrunk rows gave their room back";
    }
}

// The caller's definition and row id may come from before another post moved the row.
TEST_F(UpdateRoundTrip, FollowsARowThatMovedSinceTheCallerReadIt) {
    jet::TableDef stale = db.table("PREDLOGENIA");
    RowId id = firstRow("PREDLOGENIA");
    {
        Database other(copy.path().string(), Database::Mode::ReadWrite);
        Value longText = repeat(kCyrillic, 255);
        other.update(other.table("PREDLOGENIA"), id,
                     {{"INFO1", longText},
                      {"INFO2", longText},
                      {"INFO3", longText},
                      {"INFO4", longText},
                      {"INFO5", longText},
                      {"INFO6", longText}});
        for (int i = 1; i <= 6; ++i)
            expected["PREDLOGENIA"][id][18 + static_cast<std::size_t>(i)] = longText;
    }
    db.update(stale, id, {{"PP2_NUMBER", 3.5}});
    expected["PREDLOGENIA"][id][8] = 3.5;
    verify();
}

} // namespace
