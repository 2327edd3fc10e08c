// Two processes post to different rows of the same page at once. Each post reads the page under
// the write lock, so neither can write back a page image that misses the other's row: every one
// of the 2,000 posts must be found at the end.

#include "jet/database.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using jet::Database;
using jet::RowId;
using jet::Value;

constexpr int kPostsPerProcess = 1000;

// Counts its posts in PP1_NUMBER, reading its own last value back each time; now and then
// the row grows past its page and shrinks back, which rewrites the shared page around it.
int postRepeatedly(const std::string& path, RowId id) {
    try {
        Database db(path, Database::Mode::ReadWrite);
        jet::TableDef def = db.table("PREDLOGENIA");
        std::size_t counter =
            static_cast<std::size_t>(&def.column("PP1_NUMBER") - def.columns.data());
        const Value big = jettest::repeat("Ж", 255);
        for (int i = 0; i < kPostsPerProcess; ++i) {
            jet::Row row = db.read(def, id);
            const auto* count = std::get_if<double>(&row[counter]);
            double next = (count != nullptr ? *count : 0) + 1;
            std::vector<Database::ColumnChange> changes{{"PP1_NUMBER", next}};
            if (i % 100 == 10 || i % 100 == 60)
                for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"})
                    changes.push_back({column, i % 100 == 10 ? big : Value{}});
            db.update(def, id, changes);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "row " << id.page << "/" << id.row << ": " << error.what() << '\n';
        return 1;
    }
}

TEST(UpdateConcurrency, TwoProcessesOnOnePageLoseNoPost) {
    jettest::FileCopy copy("tender-sample.mdb");
    std::vector<RowId> rows;
    {
        Database db(copy.path().string(), Database::Mode::ReadWrite);
        jet::TableDef def = db.table("PREDLOGENIA");
        for (const auto& [id, row] : jettest::readRows(db, def))
            if (rows.size() < 2 && (rows.empty() || id.page == rows[0].page))
                rows.push_back(id);
        for (RowId id : rows)
            db.update(def, id, {{"PP1_NUMBER", 0.0}});
    }
    ASSERT_EQ(rows.size(), 2u);

    std::vector<pid_t> children;
    for (RowId id : rows) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(postRepeatedly(copy.path().string(), id));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    Database db(copy.path().string(), Database::Mode::ReadOnly);
    jet::TableDef def = db.table("PREDLOGENIA");
    auto read = jettest::readRows(db, def);
    std::size_t counter = static_cast<std::size_t>(&def.column("PP1_NUMBER") - def.columns.data());
    for (RowId id : rows)
        EXPECT_EQ(read.at(id)[counter], Value{double{kPostsPerProcess}});
    EXPECT_EQ(jettest::exportRecords(copy.path(), def),
              jettest::recordsOf(def, jettest::valuesOf(read)));
}

} // namespace
