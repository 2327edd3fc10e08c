// SPDX-License-Identifier: Apache-2.0
// A post stopped after any number of its page writes, as if the process had died there, must
// leave a file that both readers read whole: every row once, the interrupted one with its old or
// its new values. mdb-export ignores the deleted flag that marks relocated data, so it may also
// list the interrupted row's other copy until the next post of the table frees it.

#include "jet/database.h"
#include "tests/jet/process.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using jet::Database;
using jet::RowId;
using jet::Value;

using Changes = std::vector<Database::ColumnChange>;
using Rows = std::map<RowId, jet::Row>;

struct Step {
    std::size_t row; // index among the rows of the first page
    Changes changes;
};

Changes texts(std::vector<std::string> columns, const Value& value) {
    Changes changes;
    for (std::string& column : columns)
        changes.push_back({std::move(column), value});
    return changes;
}

// Moves to a new page, to a page with room, within the page it moved to, back home, and again.
std::vector<Step> relocationHeavySequence() {
    const Value big = jettest::repeat("Ж", 255);
    const Value null = std::monostate{};
    return {
        {0, texts({"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}, big)},
        {1, texts({"INFO1", "INFO2"}, big)},
        {0, {{"PP1_NUMBER", 7.25}}},
        {1, texts({"INFO3", "INFO4"}, big)},
        {2, texts({"INFO1"}, big)},
        {0, texts({"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}, null)},
        {1, texts({"INFO1", "INFO2", "INFO3"}, jettest::repeat("x", 200))},
        {2, {{"PP2_TEXT", std::string("Ä")}, {"INFO1", null}}},
    };
}

class UpdateCrash : public ::testing::Test {
protected:
    jet::Row applied(const jet::TableDef& def, jet::Row row, const Changes& changes) {
        for (const auto& change : changes)
            row[static_cast<std::size_t>(&def.column(change.column) - def.columns.data())] =
                change.value;
        return row;
    }

    // Runs the sequence stopped after every number of page writes, its posts one by one or in
    // one batch (one lock, syncs shared), and checks what each stop leaves. Where the
    // machine stops, rather than the process, the writes since the last sync are lost but for
    // those to page 0, which holds the mark: the disk may have written it back first.
    // With `mapsGrow`, the first row that moves to a new page makes every map change form (see
    // leaveNoMapRoomToGrow).
    void checkEveryInterruption(bool batched, bool machineStops = false, bool mapsGrow = false);
};

void UpdateCrash::checkEveryInterruption(bool batched, bool machineStops, bool mapsGrow) {
    const std::vector<Step> steps = relocationHeavySequence();
    std::size_t duplicatesInExport = 0;
    bool completed = false;
    std::size_t limit = 0;
    for (; !completed; ++limit) {
        SCOPED_TRACE("stopped after " + std::to_string(limit) + " page writes");
        ASSERT_LT(limit, 200u) << "the sequence never completes";
        jettest::FileCopy copy("tender-sample.mdb");
        if (mapsGrow)
            jettest::leaveNoMapRoomToGrow(copy.path().string());
        Rows expected;
        std::vector<RowId> ids;
        std::optional<std::pair<RowId, jet::Row>> interrupted; // its row id and new values
        std::map<RowId, std::vector<jet::Row>> held;           // every value each row has held
        {
            Database db(copy.path().string(), Database::Mode::ReadWrite);
            jet::TableDef def = db.table("PREDLOGENIA");
            expected = jettest::readRows(db, def);
            for (const auto& [id, row] : expected) {
                if (id.page == expected.begin()->first.page)
                    ids.push_back(id);
                held[id].push_back(row);
            }
            if (machineStops)
                db.file().recordUnsyncedWrites();
            db.file().failAfterWrites(limit);
            std::optional<Database::Batch> batch;
            if (batched)
                batch.emplace(db);
            completed = true;
            for (const Step& step : steps) {
                RowId id = ids.at(step.row);
                jet::Row next = applied(def, expected[id], step.changes);
                try {
                    db.update(def, id, step.changes);
                } catch (const jet::InjectedFault&) {
                    interrupted.emplace(id, next);
                    held[id].push_back(next);
                    completed = false;
                    break;
                }
                expected[id] = next;
                held[id].push_back(next);
            }
            try {
                if (batch && completed)
                    batch->finish();
            } catch (const jet::InjectedFault&) {
                completed = false; // every post written, none of them made durable yet
            }
            if (machineStops)
                db.file().loseUnsyncedWrites({0});
        }

        Database db(copy.path().string(), Database::Mode::ReadOnly);
        jet::TableDef def = db.table("PREDLOGENIA");
        Rows read = jettest::readRows(db, def);
        ASSERT_EQ(read.size(), expected.size());
        for (const auto& [id, row] : expected) {
            ASSERT_TRUE(read.contains(id));
            if (batched || machineStops)
                EXPECT_NE(std::find(held[id].begin(), held[id].end(), read[id]), held[id].end())
                    << "a row holds a value it never held";
            else if (interrupted && interrupted->first == id)
                EXPECT_TRUE(read[id] == row || read[id] == interrupted->second);
            else
                EXPECT_EQ(read[id], row);
        }

        std::vector<jettest::Record> listed = jettest::exportRecords(copy.path(), def);
        std::vector<jettest::Record> ours = jettest::recordsOf(def, jettest::valuesOf(read));
        if (batched || machineStops) {
            // Rows whose move had not reached the disk leave their new data behind, which
            // mdb-export lists too: never anything a row did not hold.
            std::vector<jet::Row> everHeld;
            for (const auto& [id, values] : held)
                everHeld.insert(everHeld.end(), values.begin(), values.end());
            const std::vector<jettest::Record> known = jettest::recordsOf(def, everHeld);
            for (const jettest::Record& record : listed)
                EXPECT_NE(std::find(known.begin(), known.end(), record), known.end())
                    << "mdb-export lists a row no post wrote";
        } else if (listed != ours) {
            // The only difference allowed: the interrupted row's other copy, listed as well.
            ASSERT_TRUE(interrupted.has_value());
            std::vector<jettest::Record> extra;
            std::set_difference(listed.begin(), listed.end(), ours.begin(), ours.end(),
                                std::back_inserter(extra));
            ASSERT_EQ(listed.size(), ours.size() + 1);
            ASSERT_EQ(extra.size(), 1u);
            auto copies =
                jettest::recordsOf(def, {expected[interrupted->first], interrupted->second});
            EXPECT_TRUE(extra[0] == copies[0] || extra[0] == copies[1]);
            ++duplicatesInExport;
        }
        jet::TableDef specs = db.table("SPECS");
        EXPECT_EQ(jettest::exportRecords(copy.path(), specs),
                  jettest::recordsOf(specs, jettest::valuesOf(jettest::readRows(db, specs))));

        // The next post of the table frees whatever the interrupted one left behind.
        Database writer(copy.path().string(), Database::Mode::ReadWrite);
        writer.update(writer.table("PREDLOGENIA"), ids.back(), {{"PP6_NUMBER", 1.5}});
        read = jettest::readRows(writer, def);
        EXPECT_EQ(jettest::exportRecords(copy.path(), def),
                  jettest::recordsOf(def, jettest::valuesOf(read)));
        // Maps, free-space counts and pointers all add up again.
        auto check = jettest::runProcess({TENDERDB_PATH, "check", copy.path().string()});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
    std::cout << "[          ] " << limit << " interruption points; mdb-export listed the "
              << "interrupted row twice at " << duplicatesInExport << " of them\n";
}

TEST_F(UpdateCrash, EveryInterruptionLeavesEachRowOnceWithItsOldOrNewValues) {
    checkEveryInterruption(false);
}

// Posts of a batch share the lock and the syncs, yet each keeps the order of its own writes: a
// row's new place is durable before the pointer to it is written, which waits for the batch's
// next sync. A stop anywhere in the batch leaves each row once, with a value it held, and the
// next writer frees what the rows that had not moved yet left behind.
TEST_F(UpdateCrash, EveryInterruptionOfABatchLeavesEachRowOnceWithItsOldOrNewValues) {
    checkEveryInterruption(true);
}

// A machine that stops loses the writes not yet made durable, in any order of the disk's: the
// pages a sync covered hold, the mark for posts in progress covers what did not, and the next
// writer frees what was left. Clearing the mark before the last sync of a post or a batch would
// let the mark survive cleared while the pages it covered are lost.
TEST_F(UpdateCrash, AMachineThatStopsAnywhereLeavesWhatTheNextWriterRecovers) {
    for (bool mapsGrow : {false, true})
        for (bool batched : {false, true}) {
            SCOPED_TRACE(batched ? "in one batch" : "one post at a time");
            SCOPED_TRACE(mapsGrow ? "every map changing form" : "the maps as they are");
            checkEveryInterruption(batched, true, mapsGrow);
        }
}

// A writer whose own post failed part way (a full disk, an I/O error) frees what that post left
// before its next post, as a writer opened after a crash does before its first.
TEST_F(UpdateCrash, AWriterRecoversFromItsOwnFailedPostBeforeItsNext) {
    const Changes grow =
        texts({"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}, jettest::repeat("Ж", 255));
    bool completed = false;
    for (std::size_t limit = 0; !completed; ++limit) {
        SCOPED_TRACE("stopped after " + std::to_string(limit) + " page writes");
        ASSERT_LT(limit, 50u) << "the post never completes";
        jettest::FileCopy copy("tender-sample.mdb");
        Database db(copy.path().string(), Database::Mode::ReadWrite);
        jet::TableDef def = db.table("PREDLOGENIA");
        Rows expected = jettest::readRows(db, def);
        const RowId moving = expected.begin()->first;
        const RowId other = std::prev(expected.end())->first;
        db.update(def, other, {{"PP6_NUMBER", 1.0}}); // the first post, which recovers anyway

        db.file().failAfterWrites(limit);
        try {
            db.update(def, moving, grow);
            completed = true;
        } catch (const jet::InjectedFault&) {
        }
        db.file().failAfterWrites(std::nullopt);
        db.update(def, other, {{"PP6_NUMBER", 2.5}});

        Rows read = jettest::readRows(db, def);
        EXPECT_EQ(read.size(), expected.size());
        EXPECT_EQ(jettest::exportRecords(copy.path(), def),
                  jettest::recordsOf(def, jettest::valuesOf(read)));
        auto check = jettest::runProcess({TENDERDB_PATH, "check", copy.path().string()});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
}

} // namespace
