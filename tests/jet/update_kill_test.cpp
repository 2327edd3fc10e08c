// SPDX-License-Identifier: Apache-2.0
// A post killed at each of its page writes, then a fresh process posting to the file: whatever
// the killed post left behind, its mark is set for the fresh process, which frees it, so that
// both readers list every row once again and the file's maps add up. A mark that is clear means
// nothing was left, which is what lets a writer skip walking the table.

#include "jet/database.h"
#include "jet/map_update.h"
#include "jet/post_mark.h"
#include "jet/usage_map.h"
#include "tests/jet/process.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using jet::Database;
using jet::RowId;
using jet::Value;
using Changes = std::vector<Database::ColumnChange>;

Changes infos(const Value& value) {
    Changes changes;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"})
        changes.push_back({column, value});
    return changes;
}

// Posts `changes` in a child process that dies by SIGKILL when it reaches write `limit`, before
// any destructor or sync can run. Returns whether the post completed instead.
bool postKilledAtWrite(const std::string& path, RowId id, const Changes& changes,
                       std::size_t limit) {
    pid_t child = fork();
    if (child == 0) {
        try {
            Database db(path, Database::Mode::ReadWrite);
            jet::TableDef def = db.table("PREDLOGENIA");
            db.file().failAfterWrites(limit);
            db.update(def, id, changes);
        } catch (const jet::InjectedFault&) {
            std::raise(SIGKILL);
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the post failed for another reason";
        return true;
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return false;
}

TEST(UpdateKill, AFreshProcessFreesWhatAPostKilledAtAnyWriteLeft) {
    const Value big = jettest::repeat("Ж", 255);
    struct Case {
        const char* what;
        Changes before; // posted to completion first
        Changes killed;
        bool mapsGrow = false;
    };
    const Case cases[] = {
        {"the row grows past its page and moves", {}, infos(big)},
        {"the moved row shrinks and comes home", infos(big), infos(Value{})},
        {"the row moves to a new page, which every map grows to record", {}, infos(big), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::size_t leftBehind = 0;
        // Until a post runs through every write: one killed at its last, the mark's clearing,
        // has completed and left the mark set, which costs the next writer a needless walk.
        bool throughEveryWrite = false;
        for (std::size_t limit = 0; !throughEveryWrite; ++limit) {
            SCOPED_TRACE("killed at page write " + std::to_string(limit));
            ASSERT_LT(limit, 50u) << "the post never completes";
            jettest::FileCopy copy("tender-sample.mdb");
            const std::string path = copy.path().string();
            if (c.mapsGrow)
                jettest::leaveNoMapRoomToGrow(path);
            RowId moving, other;
            std::string otherCode;
            jet::TableDef def;
            std::size_t rowCount = 0;
            {
                Database db(path, Database::Mode::ReadWrite);
                def = db.table("PREDLOGENIA");
                auto rows = jettest::readRows(db, def);
                rowCount = rows.size();
                moving = rows.begin()->first;
                other = std::prev(rows.end())->first;
                const std::size_t code =
                    static_cast<std::size_t>(&def.column("PRODUCT_CODE") - def.columns.data());
                otherCode = std::to_string(std::get<std::int64_t>(rows[other][code]));
                if (!c.before.empty())
                    db.update(def, moving, c.before);
            }
            ASSERT_FALSE(jet::readPostMark(jet::PageFile(path, jet::PageFile::Access::Read)));

            const bool completed = postKilledAtWrite(path, moving, c.killed, limit);

            // Anything left shows as a second copy in mdb-export or as maps that do not add
            // up; either way the mark must be set.
            std::optional<std::uint32_t> mark =
                jet::readPostMark(jet::PageFile(path, jet::PageFile::Access::Read));
            {
                Database db(path, Database::Mode::ReadOnly);
                bool left = jettest::exportRecords(copy.path(), def) !=
                            jettest::recordsOf(def, jettest::valuesOf(jettest::readRows(db, def)));
                left = left || jettest::runProcess({TENDERDB_PATH, "check", path}).status != 0;
                if (left) {
                    ++leftBehind;
                    EXPECT_EQ(mark, def.definitionPage) << "something was left without the mark";
                }
            }
            throughEveryWrite = completed && !mark;

            auto fresh =
                jettest::runProcess({TENDERDB_PATH, "update", path, "PREDLOGENIA", "--where",
                                     "PRODUCT_CODE=" + otherCode, "--set", "PP6_NUMBER=1.5"});
            ASSERT_EQ(fresh.status, 0) << fresh.err;
            EXPECT_FALSE(jet::readPostMark(jet::PageFile(path, jet::PageFile::Access::Read)));
            Database db(path, Database::Mode::ReadOnly);
            auto read = jettest::readRows(db, def);
            EXPECT_EQ(read.size(), rowCount);
            EXPECT_EQ(jettest::exportRecords(copy.path(), def),
                      jettest::recordsOf(def, jettest::valuesOf(read)));
            auto check = jettest::runProcess({TENDERDB_PATH, "check", path});
            EXPECT_EQ(check.status, 0) << check.out << check.err;
            if (c.mapsGrow && throughEveryWrite) {
                jet::PageFile file(path, jet::PageFile::Access::Read);
                EXPECT_EQ(jet::readUsageMap(file, jet::kGlobalMap).kind, jet::kReferenceMap);
                EXPECT_EQ(jet::readUsageMap(file, def.ownedPages).kind, jet::kReferenceMap);
                EXPECT_NE(jet::readUsageMap(file, def.freeSpacePages).bitmapPages.at(0), 0u);
            }
        }
        EXPECT_GT(leftBehind, 0u) << "no kill point left anything: the test shows nothing";
    }
}

} // namespace
