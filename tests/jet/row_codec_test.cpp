// SPDX-License-Identifier: Apache-2.0
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> jet4Files() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(BRX_SHARED_DIR "/mdb"))
        if (entry.path().extension() == ".mdb" && entry.path().filename() != "nwind.mdb")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Re-encoding the stored values of every row Access wrote must give back the same values, and
// the exact bytes for rows written under the table's current columns: the writer then lays out
// rows the way Access does. Older rows (fewer columns, slots of deleted columns) only decode
// the same.
TEST(RowCodec, ReencodesEveryRowOfTheSharedFilesAsAccessWroteIt) {
    std::size_t rows = 0;
    std::size_t exact = 0;
    for (const fs::path& path : jet4Files()) {
        jet::Database db(path.string(), jet::Database::Mode::ReadOnly);
        for (const std::string& name : db.tableNames()) {
            jet::TableDef def = db.table(name);
            for (std::uint32_t pageNumber : jet::readUsageMap(db.file(), def.ownedPages).pages) {
                jet::Page holder = db.file().read(pageNumber);
                if (holder[0] != jet::kDataPageType)
                    continue;
                jet::DataPage page(holder, db.file().where(pageNumber));
                if (page.owner() != def.definitionPage)
                    continue;
                for (std::uint16_t slot = 0; slot < page.rowCount(); ++slot) {
                    if (page.isDeleted(slot) || page.isOverflow(slot))
                        continue;
                    auto original = page.rowBytes(slot);
                    auto layout = jet::parseRow(original, def.variableColumnCount > 0, "row");
                    std::vector<jet::StoredValue> values;
                    for (const jet::Column& column : def.columns)
                        values.push_back(jet::storedValue(column, layout));
                    jet::Bytes again = jet::encodeRow(def, values, &layout);
                    std::string where = path.string() + " " + name + " page " +
                                        std::to_string(pageNumber) + " row " + std::to_string(slot);
                    ASSERT_EQ(jet::decodeRow(db.file(), def, again, where),
                              jet::decodeRow(db.file(), def, original, where))
                        << where;
                    // Some writers leave slack before the offset table; such rows differ in size.
                    if (layout.columnCount == def.maxColumnCount &&
                        layout.variable.size() == def.variableColumnCount &&
                        again.size() == original.size()) {
                        jet::Bytes stored(original.begin(), original.end());
                        auto diverge =
                            std::mismatch(again.begin(), again.end(), stored.begin(), stored.end());
                        ASSERT_EQ(again, stored)
                            << where << ": first difference at byte "
                            << (diverge.first - again.begin()) << " of " << stored.size();
                        ++exact;
                    }
                    ++rows;
                }
            }
        }
    }
    EXPECT_GT(rows, 100u);
    EXPECT_GT(exact, rows / 2);
}

TEST(DataPageBuilder, PacksRowsDownwardsUntilThePageIsFull) {
    jet::Page page = jet::newDataPage(42);
    jet::Bytes row(1000, 0xAB);
    for (std::uint16_t slot = 0; slot < 4; ++slot)
        EXPECT_EQ(jet::addRow(page, row, slot == 3 ? jet::kRowDeleted : 0), slot);
    // 14 header bytes, 4 slots and 4,000 row bytes leave 74: not enough for another 1,000.
    EXPECT_EQ(jet::addRow(page, row), std::nullopt);
    jet::DataPage view(page, "built page");
    EXPECT_EQ(view.owner(), 42u);
    EXPECT_EQ(view.rowCount(), 4);
    EXPECT_EQ(view.freeSpace(), jet::kPageSize - 14 - 4 * 2 - 4000);
    EXPECT_TRUE(view.isDeleted(3));
    EXPECT_EQ(view.rowBytes(1).size(), 1000u);
    EXPECT_EQ(jet::addRow(page, jet::Bytes(64, 1)), 4);
    EXPECT_EQ(view.freeSpace(), jet::kPageSize - 14 - 5 * 2 - 4064);
}

} // namespace
