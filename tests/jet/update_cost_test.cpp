// SPDX-License-Identifier: Apache-2.0
// A post reads the table's definition and the pages it changes, never the rest of the table:
// counted in pages read, a post costs the same on a tender of 40 positions as on one of 4,000.
// A writer walks a table only when the file's mark says a post there stopped part way; its first
// post merely looks at the mark.

#include "jet/database.h"
#include "tests/jet/process.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

namespace {

using jet::Database;
using jet::RowId;
using Changes = std::vector<Database::ColumnChange>;

struct Generated {
    jettest::TempFolder folder;
    std::string path;
};

std::unique_ptr<Generated> generate(int positions) {
    auto generated = std::make_unique<Generated>();
    generated->path = generated->folder.write("generated.mdb", {}).string();
    auto run = jettest::runProcess({TENDERDB_PATH, "generate", "--force", "--lots", "4",
                                    "--positions", std::to_string(positions), generated->path});
    EXPECT_EQ(run.status, 0) << run.err;
    return generated;
}

// Pages read by `work`.
template <typename Work> std::uint64_t pagesReadBy(const Database& db, Work work) {
    const std::uint64_t before = db.file().pagesRead();
    work();
    return db.file().pagesRead() - before;
}

TEST(UpdateCost, APostReadsOnlyWhatItChangesWhateverTheTableSize) {
    const jet::Value big = jettest::repeat("Ж", 255);
    Changes grow, shrink;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}) {
        grow.push_back({column, big});
        shrink.push_back({column, jet::Value{}});
    }
    struct Post {
        const char* what;
        Changes changes;
        std::uint64_t most; // pages it may read
    };
    const Post posts[] = {
        // The definition and the row's page.
        {"a price, the row stays in place", {{"PP1_NUMBER", 12.5}}, 2},
        // Also the free-space map, the few pages it lists last, the maps of a new page, and
        // page 0 to look at, set and clear the mark.
        {"texts that make the row move to another page", grow, 19},
        {"a price of the moved row", {{"PP1_NUMBER", 13.5}}, 3},
        {"texts removed, the row comes home", shrink, 7},
    };

    std::map<std::string, std::vector<std::uint64_t>> reads; // by post, small then big
    for (int positions : {40, 4000}) {
        SCOPED_TRACE(std::to_string(positions) + " positions");
        auto file = generate(positions);
        Database db(file->path, Database::Mode::ReadWrite);
        jet::TableDef def = db.table("PREDLOGENIA");
        std::vector<RowId> rows;
        const std::size_t none[] = {0};
        db.scan(def, none, [&](RowId id, const jet::Row&) { rows.push_back(id); });
        const std::uint64_t tablePages =
            pagesReadBy(db, [&] { db.scan(def, none, [](RowId, const jet::Row&) {}); });

        // The first post also reads page 0 for the mark, and finds none.
        const RowId last = rows.back();
        EXPECT_LE(pagesReadBy(db, [&] { db.update(def, last, {{"PP1_NUMBER", 1.0}}); }), 3u);
        for (const Post& post : posts) {
            SCOPED_TRACE(post.what);
            const std::uint64_t read =
                pagesReadBy(db, [&] { db.update(def, rows[rows.size() / 2], post.changes); });
            EXPECT_LE(read, post.most);
            reads[post.what].push_back(read);
        }
        if (positions > 40) {
            EXPECT_GT(tablePages, 100u);
        }
    }
    EXPECT_EQ(reads[posts[0].what][0], reads[posts[0].what][1]);
    EXPECT_EQ(reads[posts[2].what][0], reads[posts[2].what][1]);
}

} // namespace
