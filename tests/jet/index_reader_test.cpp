// SPDX-License-Identifier: Apache-2.0
// Rows found through an index: for every value of every column that an index covers alone, the
// rows the index leads to are the rows a scan finds; an index that cannot be trusted gives no
// answer rather than a wrong one.

#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/index_reader.h"
#include "jet/index_writer.h"
#include "jet/row_codec.h"
#include "tests/jet/process.h"
#include "tests/jet/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using jettest::TempFolder;

struct Agreement {
    std::size_t answered = 0;     // values the index answered
    std::size_t unanswerable = 0; // values of indexes whose keys the encoder does not know
    std::size_t throughNodes = 0; // answers from trees of more than one page
};

// Compares, for every value of every singly indexed column of every user table, the index's
// answer with a scan's.
Agreement compareWithScans(const fs::path& file) {
    jet::Database db(file.string(), jet::Database::Mode::ReadOnly);
    Agreement agreement;
    for (const std::string& name : db.tableNames()) {
        const jet::TableDef table = db.table(name);
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const jet::RealIndex* index = jet::singleColumnIndex(table, table.columns[c]);
            if (index == nullptr)
                continue;
            const bool tree = db.file().read(index->rootPage)[0] == jet::kIndexNodePageType;
            // Values by their stored bytes: values of every type compare equal that way. Compared
            // through lexicographical_compare: GCC 12 at -O3 warns falsely on the vectors'
            // operator.
            const auto byBytes = [](const jet::Bytes& a, const jet::Bytes& b) {
                return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
            };
            std::map<jet::Bytes, std::pair<jet::Value, std::vector<jet::RowId>>, decltype(byBytes)>
                scanned(byBytes);
            const std::size_t column[] = {c};
            db.scan(table, column, [&](jet::RowId id, const jet::Row& row) {
                if (jet::isNull(row[0]))
                    return;
                auto& [value, rows] = scanned[jet::encodeValue(table.columns[c], row[0]).bytes];
                value = row[0];
                rows.push_back(id);
            });
            for (const auto& [bytes, valueRows] : scanned) {
                const auto& [value, rows] = valueRows;
                std::optional<std::vector<jet::RowId>> found = db.findThroughIndex(table, c, value);
                if (!found) {
                    ++agreement.unanswerable;
                    continue;
                }
                std::sort(found->begin(), found->end());
                std::vector<jet::RowId> expected = rows;
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(*found, expected) << file.filename() << ", table " << name << ", column "
                                            << table.columns[c].name;
                ++agreement.answered;
                agreement.throughNodes += tree ? 1 : 0;
            }
        }
    }
    return agreement;
}

TEST(IndexReader, FindsTheRowsAScanFindsInFilesAccessWrote) {
    Agreement all;
    for (const char* name : {"bigIndexTestV2000.mdb", "compIndexTestV2000.mdb",
                             "indexTestV2000.mdb", "fixedTextTestV2000.mdb", "testV2000.mdb",
                             "test2V2000.mdb", "testUnicodeCompV2003.mdb"}) {
        SCOPED_TRACE(name);
        fs::path entry = jettest::sharedFile(std::string("real/") + name);
        Agreement agreement = compareWithScans(entry);
        all.answered += agreement.answered;
        all.throughNodes += agreement.throughNodes;
    }
    EXPECT_GT(all.answered, 100u);
    EXPECT_GT(all.throughNodes, 100u);
}

// The tender files: the sample and generated ones, whose MASTER_CODE and PRODUCT_CODE indexes
// fit one page each or, with 3,000 positions, take trees of several pages.
TEST(IndexReader, FindsTheRowsAScanFindsInTenderFiles) {
    TempFolder folder;
    std::vector<fs::path> files{jettest::sharedFile("tender-sample.mdb")};
    for (const char* positions : {"60", "3000"}) {
        files.push_back(folder.write(std::string("generated") + positions + ".mdb", {}));
        fs::remove(files.back());
        jettest::ProcessResult made =
            jettest::runProcess({TENDERDB_PATH, "generate", "--lots", "4", "--positions", positions,
                                 files.back().string()});
        ASSERT_EQ(made.status, 0) << made.err;
    }
    std::size_t throughNodes = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        jet::Database db(file.string(), jet::Database::Mode::ReadOnly);
        const jet::TableDef table = db.table("PREDLOGENIA");
        ASSERT_TRUE(table.isIndexed(table.column("MASTER_CODE")));
        const Agreement agreement = compareWithScans(file);
        EXPECT_GT(agreement.answered, 4u);
        EXPECT_EQ(agreement.unanswerable, 0u);
        throughNodes += agreement.throughNodes;
    }
    EXPECT_GT(throughNodes, 3000u);
}

// Patches of a copy of a file whose index is a tree: each must leave the index without an
// answer where the walk meets the damage, and never lead to other rows than a scan finds.
struct Damage {
    const char* name;
    // Changes the copy's bytes, given the index's root page and its first leaf.
    std::function<void(jet::Bytes&, std::uint32_t root, std::uint32_t leaf)> patch;
    bool everyValue; // whether no value at all may be answered
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

std::size_t at(std::uint32_t page, std::size_t offset) {
    return std::size_t{page} * jet::kPageSize + offset;
}

class DamagedIndex : public testing::TestWithParam<Damage> {};

TEST_P(DamagedIndex, GivesNoAnswerRatherThanAWrongOne) {
    const fs::path original = jettest::sharedFile("real/compIndexTestV2000.mdb");
    std::uint32_t root = 0;
    std::uint32_t leaf = 0;
    std::vector<std::pair<std::int64_t, std::vector<jet::RowId>>> values;
    {
        jet::Database db(original.string(), jet::Database::Mode::ReadOnly);
        const jet::TableDef table = db.table("Table1");
        root = table.realIndexes.at(0).rootPage;
        jet::Page page = db.file().read(root);
        ASSERT_EQ(page[0], jet::kIndexNodePageType);
        const jet::Bytes first = jet::indexPageEntries(page, "root").at(0);
        const std::uint8_t* child = first.data() + first.size() - 4;
        leaf = std::uint32_t{child[0]} << 24 | std::uint32_t{child[1]} << 16 |
               std::uint32_t{child[2]} << 8 | child[3];
        std::map<std::int64_t, std::vector<jet::RowId>> byValue;
        db.scan(table, [&](jet::RowId id, const jet::Row& row) {
            if (const auto* key = std::get_if<std::int64_t>(&row[0]))
                byValue[*key].push_back(id);
        });
        values.assign(byValue.begin(), byValue.end());
    }
    const Damage& damage = GetParam();
    jet::Bytes bytes = jettest::fileBytes(original);
    damage.patch(bytes, root, leaf);
    TempFolder folder;
    jet::Database db(folder.write("damaged.mdb", bytes).string(), jet::Database::Mode::ReadOnly);
    const jet::TableDef table = db.table("Table1");
    std::size_t unanswered = 0;
    for (auto& [value, rows] : values) {
        std::optional<std::vector<jet::RowId>> found =
            db.findThroughIndex(table, 0, jet::Value(value));
        if (!found) {
            ++unanswered;
            continue;
        }
        std::sort(found->begin(), found->end());
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(*found, rows) << "value " << value;
    }
    if (damage.everyValue)
        EXPECT_EQ(unanswered, values.size());
    else
        EXPECT_GT(unanswered, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedIndex,
    testing::Values(
        Damage{"root_is_a_data_page",
               [](jet::Bytes& b, std::uint32_t root, std::uint32_t) { b[at(root, 0)] = 0x01; },
               true},
        Damage{"root_of_another_table",
               [](jet::Bytes& b, std::uint32_t root, std::uint32_t) { ++b[at(root, 4)]; }, true},
        Damage{"entry_ends_past_the_page",
               [](jet::Bytes& b, std::uint32_t root, std::uint32_t) {
                   b[at(root, jet::kIndexEntriesAt - 1)] = 0x80;
               },
               true},
        Damage{"leaf_leads_back_to_itself",
               [](jet::Bytes& b, std::uint32_t, std::uint32_t leaf) {
                   jet::putU32(std::span(b).subspan(at(leaf, 0), jet::kPageSize),
                               jet::kIndexNextPageAt, leaf);
               },
               false},
        Damage{"leaf_entries_out_of_order",
               [](jet::Bytes& b, std::uint32_t, std::uint32_t leaf) {
                   // The first entry's key (stored whole) becomes the largest there is.
                   for (std::size_t i = 1; i < 5; ++i)
                       b[at(leaf, jet::kIndexEntriesAt + i)] = 0xFF;
               },
               false}));

// A text index whose sort order the key encoder does not know cannot be searched.
TEST(IndexReader, GivesNoAnswerForKeysItCannotEncode) {
    jet::Database db(jettest::sharedFile("real/fixedTextTestV2000.mdb").string(),
                     jet::Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames()) {
        jet::TableDef table = db.table(name);
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            jet::Column& column = table.columns[c];
            if (column.type != jet::ColumnType::Text || !table.isIndexed(column))
                continue;
            std::optional<jet::Value> value;
            const std::size_t one[] = {c};
            db.scan(table, one, [&](jet::RowId, const jet::Row& row) {
                if (!value && !jet::isNull(row[0]))
                    value = row[0];
            });
            ASSERT_TRUE(value);
            ASSERT_TRUE(db.findThroughIndex(table, c, *value));
            column.sortOrder = 0x0419;
            EXPECT_FALSE(db.findThroughIndex(table, c, *value));
            return;
        }
    }
    FAIL() << "no indexed text column";
}

} // namespace
