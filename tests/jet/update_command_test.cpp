// SPDX-License-Identifier: Apache-2.0
// tenderdb update as a user runs it: which rows change, how values are read from the command
// line, and that every refusal names the reason and leaves the file as it was.

#include "jet/database.h"
#include "tests/jet/process.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

namespace {

using jet::Value;

class UpdateCommand : public ::testing::Test {
protected:
    jettest::ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), {TENDERDB_PATH, "update", copy.path().string()});
        return jettest::runProcess(args);
    }

    // The values of one column for every row of the table, by row id.
    std::map<jet::RowId, Value> column(const std::string& table, const std::string& name) {
        jet::Database db(copy.path().string(), jet::Database::Mode::ReadOnly);
        jet::TableDef def = db.table(table);
        std::size_t index = static_cast<std::size_t>(&def.column(name) - def.columns.data());
        std::map<jet::RowId, Value> values;
        for (const auto& [id, row] : jettest::readRows(db, def))
            values[id] = row[index];
        return values;
    }

    jettest::FileCopy copy{"tender-sample.mdb"};
};

TEST_F(UpdateCommand, ChangesEveryMatchingRowAndCountsThem) {
    auto masters = column("PREDLOGENIA", "MASTER_CODE");
    std::size_t inLot = 0;
    for (const auto& [id, master] : masters)
        inLot += master == Value{std::int64_t{1}};
    ASSERT_GT(inLot, 1u);

    auto result = run({"PREDLOGENIA", "--where", "MASTER_CODE=1", "--set", "PP2_NUMBER=12.5",
                       "--set", "PP6_TEXT=", "--set-null", "PP3_TEXT"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, std::to_string(inLot) + " rows updated\n");
    auto numbers = column("PREDLOGENIA", "PP2_NUMBER");
    auto texts = column("PREDLOGENIA", "PP6_TEXT");
    auto nulls = column("PREDLOGENIA", "PP3_TEXT");
    for (const auto& [id, master] : masters) {
        bool changed = master == Value{std::int64_t{1}};
        EXPECT_EQ(numbers[id] == Value{12.5}, changed);
        EXPECT_EQ(texts[id] == Value{std::string()}, changed) << "an empty text is not null";
        if (changed) {
            EXPECT_EQ(nulls[id], Value{});
        }
    }
}

TEST_F(UpdateCommand, ReadsValuesByTheColumnsType) {
    auto result =
        run({"SPECS", "--where-null", "IME_NA_FIRMATA", "--set", "NO_DDS=true", "--set",
             "KONKURS=-7", "--set", "KP1_NUMBER=0.25", "--set", "IME_NA_FIRMATA=Фирма ООД"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "1 row updated\n");
    EXPECT_EQ(column("SPECS", "NO_DDS").begin()->second, Value{true});
    EXPECT_EQ(column("SPECS", "KONKURS").begin()->second, Value{std::int64_t{-7}});
    EXPECT_EQ(column("SPECS", "KP1_NUMBER").begin()->second, Value{0.25});
    EXPECT_EQ(column("SPECS", "IME_NA_FIRMATA").begin()->second, Value{std::string("Фирма ООД")});

    result = run({"SPECS", "--where", "IME_NA_FIRMATA=nobody", "--set", "NO_DDS=false"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0 rows updated\n");
}

struct Refusal {
    std::vector<std::string> args;
    int status;
    const char* message;
};

TEST_F(UpdateCommand, RefusesBeforeWritingAnything) {
    const Refusal refusals[] = {
        {{"SPECS", "--where", "CODE=1", "--set", "NO_DDS=yes"}, 1, "is not true or false"},
        {{"SPECS", "--where", "CODE=1", "--set", "KONKURS=1.5"}, 1, "is not a whole number"},
        {{"SPECS", "--where", "CODE=1", "--set", "KONKURS=3000000000"}, 1, "out of range"},
        {{"SPECS", "--where", "CODE=1", "--set", "KP1_NUMBER=12,5"}, 1, "decimal point"},
        {{"SPECS", "--where", "CODE=1", "--set", "KP1_IME=" + std::string(51, 'x')},
         1,
         "longer than the column's 50"},
        {{"SPECS", "--where", "CODE=1", "--set",
          "KP1_IME=A\xC0\x80"
          "B"},
         1,
         "column KP1_IME: text is not valid UTF-8"},
        {{"SPECS", "--where", "CODE=1", "--set", "KP1_IME=\xE0\x80\xAF"},
         1,
         "column KP1_IME: text is not valid UTF-8"},
        {{"SPECS", "--where", "CODE=1", "--set", "CODE=2"}, 1, "belongs to an index"},
        {{"PREDLOGENIA", "--where", "PRODUCT_CODE=2", "--set", "MASTER_CODE=2"},
         1,
         "belongs to an index"},
        {{"PREDLOGENIA", "--where", "PRODUCT_CODE=2", "--set", "IME=x"}, 1, "memo"},
        {{"PREDLOGENIA", "--where", "PRODUCT_CODE=2", "--set", "NOSUCH=1"}, 1, "no column"},
        {{"NOSUCH", "--where", "A=1", "--set", "B=1"}, 1, "no table"},
        {{"SPECS", "--set", "NO_DDS=true"}, 2, "needs one --where"},
        {{"SPECS", "--where", "CODE=1"}, 2, "needs one --where"},
        {{"SPECS", "--where", "CODE=1", "--where", "CODE=2", "--set", "NO_DDS=true"},
         2,
         "only one --where"},
        {{"SPECS", "--where", "CODE", "--set", "NO_DDS=true"}, 2, "COLUMN=VALUE"},
        {{"SPECS", "--where", "CODE=1", "--put", "NO_DDS=true"}, 2, "unknown option"},
    };
    const jet::Bytes before = jettest::fileBytes(copy.path());
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.args.at(0) + " " + refusal.args.back());
        auto result = run(refusal.args);
        EXPECT_EQ(result.status, refusal.status);
        EXPECT_NE(result.err.find(refusal.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(jettest::fileBytes(copy.path()), before);
    }
}

} // namespace
