// Adding pages to the usage maps of an existing file: a bit set where the map reaches the page,
// an inline map moved to a new start page when its pages allow, promoted to a reference map when
// they do not. testV2000.mdb has room in its global map past its last page, and tables whose
// inline maps hold one page or none.

#include "jet/map_update.h"
#include "jet/page_file.h"
#include "jet/table_def.h"
#include "jet/usage_map.h"
#include "tests/jet/update_support.h"

#include <gtest/gtest.h>

namespace {

using Pages = std::vector<std::uint32_t>;

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
    }
    EXPECT_EQ(jet::readUsageMap(file, empty).startPage, 740u);

    // The promotion appended one bitmap page and marked it used in the global map.
    jet::UsageMap promoted = jet::readUsageMap(file, onePage);
    EXPECT_EQ(promoted.bitmapPages.at(0), end);
    EXPECT_EQ(file.pageCount(), end + 1);
    Pages free = jet::readUsageMap(file, jet::kGlobalMap).pages;
    EXPECT_FALSE(std::binary_search(free.begin(), free.end(), end));

    // The global map reaches 768 pages here; a page past it is refused, not lost.
    EXPECT_TRUE(jet::globalMapCovers(file, 767));
    EXPECT_FALSE(jet::globalMapCovers(file, 768));
    EXPECT_THROW(jet::markPageInUse(file, 768), jet::Error);
}

} // namespace
