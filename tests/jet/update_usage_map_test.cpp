// SPDX-License-Identifier: Apache-2.0
// Adding pages to the usage maps of an existing file: a bit set where the map reaches the page,
// an inline map moved to a new start page when its pages allow, promoted to a reference map when
// they do not, the global map lengthened when the file outgrows it. testV2000.mdb has room in
// its global map past its last page, and tables whose inline maps hold one page or none.

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/map_update.h"
#include "jet/page_file.h"
#include "jet/slot_page.h"
#include "jet/table_def.h"
#include "jet/usage_map.h"
#include "tests/jet/process.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Pages = std::vector<std::uint32_t>;

// What a writer looking for room reads of a map listing `pages`: its last two, the highest first.
Pages lastTwo(const Pages& pages) {
    return Pages(pages.rbegin(), pages.rbegin() + static_cast<std::ptrdiff_t>(
                                                      std::min<std::size_t>(2, pages.size())));
}

TEST(UsageMapUpdate, RecordsPagesWhereverTheMapReaches) {
    jettest::FileCopy copy("real/testV2000.mdb");
    jet::PageFile file(copy.path().string(), jet::PageFile::Access::ReadWrite);
    const jet::MapLocation onePage = jet::readTableDef(file, 24, "one page").ownedPages;
    const jet::MapLocation empty = jet::readTableDef(file, 30, "empty").ownedPages;
    ASSERT_EQ(jet::readUsageMap(file, onePage).pages, Pages{27});
    ASSERT_EQ(jet::readUsageMap(file, empty).pages, Pages{});
    const std::uint32_t end = file.pageCount();

    struct Step {
        const char* what;
        jet::MapLocation map;
        std::uint32_t page;
        std::uint8_t kind;
        Pages pages;
    };
    const Step steps[] = {
        {"a page within reach", onePage, 100, jet::kInlineMap, {27, 100}},
        {"a map moved to a new start", empty, 740, jet::kInlineMap, {740}},
        {"pages too far apart for an inline map", onePage, 740, jet::kReferenceMap, {27, 100, 740}},
        {"a page of a reference map", onePage, 741, jet::kReferenceMap, {27, 100, 740, 741}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        jet::addPageToMap(file, step.map, step.page);
        jet::UsageMap map = jet::readUsageMap(file, step.map);
        EXPECT_EQ(map.kind, step.kind);
        EXPECT_EQ(map.pages, step.pages);
        EXPECT_EQ(jet::lastPagesOfMap(file, step.map, 2), lastTwo(step.pages));
    }
    EXPECT_EQ(jet::readUsageMap(file, empty).startPage, 740u);

    // The promotion appended one bitmap page and marked it used in the global map.
    jet::UsageMap promoted = jet::readUsageMap(file, onePage);
    EXPECT_EQ(promoted.bitmapPages.at(0), end);
    EXPECT_EQ(file.pageCount(), end + 1);
    Pages free = jet::readUsageMap(file, jet::kGlobalMap).pages;
    EXPECT_FALSE(std::binary_search(free.begin(), free.end(), end));
}

// Every page appended to the file is reached by the global map first, so that it reads as free
// until it is recorded. Past its 768 pages the map grows in Access's steps of 32 bytes, the other
// row of page 1 moving down intact; when page 1 has no room left it becomes a reference map in
// the same row, and later gets a bitmap page for each 32,736 pages; past Jet's 2 GB the file is
// refused by name. The file is lengthened sparsely to reach each stage.
TEST(UsageMapUpdate, TheGlobalMapReachesEveryPageUpToJetsLimit) {
    jettest::FileCopy copy("real/testV2000.mdb");
    jet::PageFile file(copy.path().string(), jet::PageFile::Access::ReadWrite);
    auto rowsOfPageOne = [&] {
        jet::Page page = file.read(jet::kGlobalMap.page);
        jet::DataPage view(page, "page 1");
        std::vector<jet::Bytes> rows;
        for (std::uint16_t row = 1; row < view.rowCount(); ++row) {
            auto bytes = view.rowBytes(row);
            rows.emplace_back(bytes.begin(), bytes.end());
        }
        return rows;
    };
    auto lengthen = [&](std::uint64_t pages) {
        std::filesystem::resize_file(copy.path(), pages * jet::kPageSize);
    };
    auto isFree = [&](std::uint32_t page) {
        Pages free = jet::readUsageMap(file, jet::kGlobalMap).pages;
        return std::binary_search(free.begin(), free.end(), page);
    };

    EXPECT_EQ(jet::prepareNewPage(file), file.pageCount());
    lengthen(800);
    const std::vector<jet::Bytes> otherRows = rowsOfPageOne();
    EXPECT_EQ(jet::prepareNewPage(file), 800u);
    jet::UsageMap global = jet::readUsageMap(file, jet::kGlobalMap);
    EXPECT_EQ(global.kind, jet::kInlineMap);
    EXPECT_EQ(global.pagesPastEnd, 1024u - 800u);
    EXPECT_EQ(rowsOfPageOne(), otherRows);

    // Another map's row takes nearly all of page 1, as some writers place them.
    jet::SlotPage crowded = jet::unpackDataPage(1, file.read(jet::kGlobalMap.page), file.where(1));
    crowded.slots.push_back({jet::inlineMapRow(0, {}, 3845), 0});
    ASSERT_TRUE(crowded.fits());
    file.write(1, crowded.packed());
    const std::vector<jet::Bytes> crowdedRows = rowsOfPageOne();
    lengthen(1100);
    const Pages freeBefore = jet::readUsageMap(file, jet::kGlobalMap).pages;
    EXPECT_EQ(jet::prepareNewPage(file), 1101u); // page 1100 is the map's own
    global = jet::readUsageMap(file, jet::kGlobalMap);
    EXPECT_EQ(global.kind, jet::kReferenceMap);
    EXPECT_EQ(global.bitmapPages.at(0), 1100u);
    EXPECT_EQ(global.pages, freeBefore);
    EXPECT_EQ(rowsOfPageOne(), crowdedRows);
    file.append(jet::Page{});
    EXPECT_TRUE(isFree(1101));
    jet::markPageInUse(file, 1101);
    EXPECT_FALSE(isFree(1101));

    const std::uint32_t reach = jet::kPagesPerBitmapPage;
    lengthen(reach + 5);
    EXPECT_EQ(jet::prepareNewPage(file), reach + 6);
    global = jet::readUsageMap(file, jet::kGlobalMap);
    EXPECT_EQ(global.bitmapPages.at(1), reach + 5);
    EXPECT_FALSE(isFree(reach + 5));
    auto check = jettest::runProcess({TENDERDB_PATH, "check", copy.path().string()});
    EXPECT_EQ(check.status, 0) << check.out << check.err;

    lengthen(jet::kMaxPages);
    try {
        jet::prepareNewPage(file);
        ADD_FAILURE() << "a page past 2 GB was prepared";
    } catch (const jet::Error& error) {
        EXPECT_EQ(error.kind(), jet::Error::Kind::SizeLimit) << error.what();
        EXPECT_NE(std::string(error.what()).find("Jet's size limit"), std::string::npos);
    }
    EXPECT_THROW(file.append(jet::Page{}), jet::Error);
    EXPECT_EQ(file.pageCount(), jet::kMaxPages);
}

// A reference map keeps one bitmap page for each 32,736 pages; pages past the first bitmap page's
// reach are read and recorded through the second and third. The file is lengthened, sparsely, to
// have such pages, and the map given two more bitmap pages where the file has room for them.
TEST(UsageMapUpdate, ReferenceMapsReachPagesThroughLaterBitmapPages) {
    jettest::FileCopy copy("real/testV2000.mdb");
    jet::PageFile file(copy.path().string(), jet::PageFile::Access::ReadWrite);
    const jet::MapLocation map = jet::readTableDef(file, 24, "one page").ownedPages;
    jet::addPageToMap(file, map, 740); // too far from page 27: now a reference map
    ASSERT_EQ(jet::readUsageMap(file, map).kind, jet::kReferenceMap);

    jet::Page row = file.read(map.page);
    std::size_t at = jet::DataPage(row, "map").offsetWord(map.row) & jet::kRowOffsetMask;
    for (std::uint32_t slot : {1u, 2u}) {
        jet::Page bitmap{};
        bitmap[0] = jet::kUsageMapPageType;
        bitmap[1] = 0x01;
        std::uint32_t number = file.append(bitmap);
        jet::markPageInUse(file, number);
        jet::putU32(row, at + 1 + 4 * slot, number);
    }
    file.write(map.page, row);
    const std::uint32_t reach = jet::kPagesPerBitmapPage;
    std::filesystem::resize_file(copy.path(), std::uint64_t{3 * reach + 10} * jet::kPageSize);

    struct Step {
        std::uint32_t page;
        Pages pages;
    };
    const Step steps[] = {
        {reach + 5, {27, 740, reach + 5}},
        {2 * reach + 7, {27, 740, reach + 5, 2 * reach + 7}},
        {reach, {27, 740, reach, reach + 5, 2 * reach + 7}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.page);
        jet::addPageToMap(file, map, step.page);
        jet::UsageMap read = jet::readUsageMap(file, map);
        EXPECT_EQ(read.pages, step.pages);
        EXPECT_EQ(read.pagesPastEnd, 0u);
        EXPECT_EQ(jet::lastPagesOfMap(file, map, 2), lastTwo(step.pages));
    }
}

// A tender of 4,750 positions fills 511 pages with its rows and indexes, nearly all that the
// global map and the inline free-space map of 512 pages reach: rows that move to new pages take
// the file past both.
TEST(UsageMapUpdate, RowsMovePastTheReachOfTheFilesMaps) {
    jettest::TempFolder folder;
    std::string path = folder.write("generated.mdb", {}).string();
    auto generated = jettest::runProcess(
        {TENDERDB_PATH, "generate", "--force", "--lots", "10", "--positions", "4750", path});
    ASSERT_EQ(generated.status, 0) << generated.err;

    jet::Database db(path, jet::Database::Mode::ReadWrite);
    jet::TableDef def = db.table("PREDLOGENIA");
    auto expected = jettest::readRows(db, def);
    const std::uint32_t pagesBefore = db.file().pageCount();
    ASSERT_LT(pagesBefore, 512u);
    const jet::Value big = jettest::repeat("Ж", 255);
    std::vector<jet::Database::ColumnChange> grow;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"})
        grow.push_back({column, big});
    auto row = expected.begin();
    for (int i = 0; i < 12; ++i, ++row) {
        db.update(def, row->first, grow);
        for (const auto& change : grow)
            row->second[static_cast<std::size_t>(&def.column(change.column) - def.columns.data())] =
                change.value;
    }
    EXPECT_GT(db.file().pageCount(), 512u);
    EXPECT_EQ(jettest::readRows(db, def), expected);
    EXPECT_EQ(jettest::exportRecords(path, def),
              jettest::recordsOf(def, jettest::valuesOf(expected)));
    auto check = jettest::runProcess({TENDERDB_PATH, "check", path});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

} // namespace
