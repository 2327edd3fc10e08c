// SPDX-License-Identifier: Apache-2.0
// A post the engine cannot make must say why and leave the file exactly as it was: what a
// reader sees before and after is the same, byte for byte where nothing could be written.

#include "jet/data_page.h"
#include "jet/database.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using jet::Database;
using jet::RowId;
using jet::Value;
using Changes = std::vector<Database::ColumnChange>;

const Value kLongCyrillic = jettest::repeat("Ж", 255);

class UpdateRefusal : public ::testing::Test {
protected:
    void SetUp() override { first = jettest::readRows(db, def()).begin()->first; }

    jet::TableDef def() const { return db.table("PREDLOGENIA"); }

    // Runs the post, expects an Error whose message holds `reason`, and an unchanged file.
    void expectRefused(RowId id, const Changes& changes, const std::string& reason) {
        const jet::Bytes before = jettest::fileBytes(copy.path());
        try {
            db.update(def(), id, changes);
            ADD_FAILURE() << "the post was accepted";
        } catch (const jet::Error& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
        EXPECT_EQ(jettest::fileBytes(copy.path()), before);
    }

    jettest::FileCopy copy{"tender-sample.mdb"};
    Database db{copy.path().string(), Database::Mode::ReadWrite};
    RowId first;
};

struct Refusal {
    const char* name;
    Changes changes;
    const char* reason;
};

TEST_F(UpdateRefusal, ValuesAndColumnsThatCannotBeWritten) {
    Changes everyText;
    for (const jet::Column& column : def().columns)
        if (column.type == jet::ColumnType::Text && column.length == 510)
            everyText.push_back({column.name, kLongCyrillic});
    const Refusal refusals[] = {
        {"a row past 4060 bytes", everyText, "more than the 4060 a row may hold"},
        {"an indexed column", {{"MASTER_CODE", std::int64_t{3}}}, "belongs to an index"},
        {"a memo", {{"IME", std::string("x")}}, "memo values cannot be written"},
        {"a text too long", {{"PP2_TEXT", jettest::repeat("x", 256)}}, "longer than"},
        {"a text for a number", {{"PP2_NUMBER", std::string("1")}}, "needs a number"},
        {"a column twice", {{"PP2_TEXT", Value{}}, {"pp2_text", Value{}}}, "named twice"},
        {"an unknown column", {{"NOSUCH", Value{}}}, "has no column NOSUCH"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        expectRefused(first, refusal.changes, refusal.reason);
    }
}

TEST_F(UpdateRefusal, RowIdsThatLeadToNoRow) {
    const Changes change{{"PP2_NUMBER", 1.0}};
    expectRefused({first.page, 250}, change, "no such row");
    jet::TableDef specs = db.table("SPECS");
    RowId specsRow = jettest::readRows(db, specs).begin()->first;
    expectRefused(specsRow, change, "not a data page of table PREDLOGENIA");

    // A row that moves out and back leaves its former place freed, as Access frees a deleted row.
    Changes grow, shrink;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}) {
        grow.push_back({column, kLongCyrillic});
        shrink.push_back({column, Value{}});
    }
    db.update(def(), first, grow);
    jet::Page holder = db.file().read(first.page);
    RowId moved = jet::DataPage(holder, "test").overflowTarget(first.row);
    db.update(def(), first, shrink);
    expectRefused(moved, change, "has been deleted");
}

TEST_F(UpdateRefusal, AFileOpenForReadingOnly) {
    Database reader(copy.path().string(), Database::Mode::ReadOnly);
    const jet::Bytes before = jettest::fileBytes(copy.path());
    EXPECT_THROW(reader.update(def(), first, {{"PP2_NUMBER", 1.0}}), jet::Error);
    EXPECT_EQ(jettest::fileBytes(copy.path()), before);
}

// A batch cannot begin where its posts could not be made, nor inside another, whose lock a
// second would release with its own; the running batch goes on posting.
TEST_F(UpdateRefusal, ABatchOnAFileOpenForReadingOnlyOrInsideAnother) {
    Database reader(copy.path().string(), Database::Mode::ReadOnly);
    EXPECT_THROW(Database::Batch{reader}, jet::Error);
    Database::Batch batch(db);
    try {
        Database::Batch inner(db);
        ADD_FAILURE() << "a second batch began";
    } catch (const jet::Error& error) {
        EXPECT_NE(std::string(error.what()).find("already running"), std::string::npos);
    }
    const jet::TableDef table = def();
    db.update(table, first, {{"PP2_NUMBER", 1.0}});
    batch.finish();
    const auto column =
        static_cast<std::size_t>(&table.column("PP2_NUMBER") - table.columns.data());
    EXPECT_EQ(jettest::readRows(db, table).at(first).at(column), Value(1.0));
}

TEST_F(UpdateRefusal, AFileRemovedOrReplacedSinceItWasOpened) {
    std::filesystem::path moved = copy.path().string() + ".moved";
    std::filesystem::rename(copy.path(), moved);
    std::filesystem::copy_file(moved, copy.path());
    expectRefused(first, {{"PP2_NUMBER", 1.0}}, "removed or replaced");
    std::filesystem::remove(copy.path());
    EXPECT_THROW(db.update(def(), first, {{"PP2_NUMBER", 1.0}}), jet::Error);
    EXPECT_EQ(jettest::fileBytes(moved),
              jettest::fileBytes(jettest::sharedFile("tender-sample.mdb")));
}

// The file may not grow: a row that must move to a new page fails on the append, and readers
// still see every row as it was.
TEST_F(UpdateRefusal, AFullDiskLeavesEveryRowAsItWas) {
    auto before = jettest::readRows(db, def());
    auto exported = jettest::exportRecords(copy.path(), def());
    Changes grow;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"})
        grow.push_back({column, kLongCyrillic});

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A process limit on file size fails writes past it as a full disk fails them.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = std::filesystem::file_size(copy.path());
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            Database writer(copy.path().string(), Database::Mode::ReadWrite);
            writer.update(writer.table("PREDLOGENIA"), first, grow);
        } catch (const jet::Error& error) {
            ::_exit(std::string(error.what()).find("cannot write") != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the post succeeded, 2: another error";
    EXPECT_EQ(jettest::readRows(db, def()), before);
    EXPECT_EQ(jettest::exportRecords(copy.path(), def()), exported);

    // With room again, the same post succeeds.
    db.update(def(), first, grow);
    EXPECT_EQ(jettest::readRows(db, def()).at(first)[19], kLongCyrillic);
}

} // namespace
