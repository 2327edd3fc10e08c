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
            // Values by their stored bytes: values of every type compare equal that way.
            std::map<jet::Bytes, std::pair<jet::Value, std::vector<jet::RowId>>> scanned;
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

} // namespace
