// SPDX-License-Identifier: Apache-2.0
// Two processes post to the same file at once. Each post reads the page under the write lock, so
// neither can write back a page image that misses the other's row: every one of the 2,000 posts
// must be found at the end. Two conditional updates that choose the same row must not both take it.

#include "jet/database.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// Waits until `count` processes wait for a lock on the file, as the kernel's lock table lists them.
bool waitersOn(const std::string& path, std::size_t count) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    // Appended rather than concatenated: GCC 12's optimiser warns falsely on ":" + string.
    std::string inode(1, ':');
    inode += std::to_string(info.st_ino);
    for (int attempt = 0; attempt < 3000; ++attempt) {
        std::ifstream locks("/proc/locks");
        std::size_t waiting = 0;
        for (std::string line; std::getline(locks, line);) {
            std::istringstream fields(line);
            std::vector<std::string> words;
            for (std::string word; fields >> word;)
                words.push_back(word);
            bool blocked = words.size() > 1 && words[1] == "->";
            waiting += blocked && std::any_of(words.begin(), words.end(),
                                              [&](const auto& w) { return w.ends_with(inode); });
        }
        if (waiting >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string contentOf(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Both updates choose the one free row in their scan, then wait for the lock this test holds, so
// the second to get it always finds the row already taken.
TEST(UpdateConcurrency, ConditionalUpdatesOfOneRowDoNotBothTakeIt) {
    jettest::FileCopy copy("tender-sample.mdb");
    const std::string path = copy.path().string();
    RowId chosen;
    {
        Database db(path, Database::Mode::ReadWrite);
        jet::TableDef def = db.table("PREDLOGENIA");
        chosen = jettest::readRows(db, def).begin()->first;
        db.update(def, chosen, {{"INFO8", std::string("free")}});
    }

    jet::PageFile holder(path, jet::PageFile::Access::ReadWrite);
    std::optional<jet::PageFile::WriteLock> lock(std::in_place, holder);
    const std::vector<std::string> takers{"takenA", "takenB"};
    std::vector<pid_t> children;
    for (const std::string& taker : takers) {
        std::string output = path + "." + taker;
        std::string set = "INFO8=" + taker;
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || ::dup2(out, 1) < 0)
                ::_exit(126);
            ::execl(TENDERDB_PATH, "tenderdb", "update", path.c_str(), "PREDLOGENIA", "--where",
                    "INFO8=free", "--set", set.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        children.push_back(pid);
    }
    EXPECT_TRUE(waitersOn(path, takers.size())) << "the updates never waited for the lock";
    lock.reset();
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::vector<std::string> winners;
    for (const std::string& taker : takers) {
        std::string said = contentOf(path + "." + taker);
        if (said == "1 row updated\n")
            winners.push_back(taker);
        else
            EXPECT_EQ(said, "0 rows updated\n") << taker;
    }
    ASSERT_EQ(winners.size(), 1u) << "both updates report taking the row";
    Database db(path, Database::Mode::ReadOnly);
    jet::TableDef def = db.table("PREDLOGENIA");
    std::size_t info8 = static_cast<std::size_t>(&def.column("INFO8") - def.columns.data());
    EXPECT_EQ(db.read(def, chosen)[info8], Value{winners[0]});
}

} // namespace
