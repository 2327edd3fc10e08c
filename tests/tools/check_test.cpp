// The walk over a file: sound for what the writer and the updater produce, and each kind of
// damage it is meant to find is found and named.

#include "tender_file_support.h"

#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"
#include "tests/jet/process.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

using nlohmann::json;

json sampleTender() {
    return tendertest::readJson(BRX_SOURCE_DIR "/samples/tender-sample.json");
}

// Where things are in a freshly written sample, found through the reader.
struct Layout {
    jet::TableDef positions;
    std::uint32_t firstDataPage = 0;
    std::uint32_t indexLeaf = 0;
    jet::RowId longMemoRow;
    std::size_t longMemoAt = 0; // offset of its long-value definition in the page
};

Layout layoutOf(const std::string& file) {
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    Layout layout;
    layout.positions = db.table("PREDLOGENIA");
    jet::UsageMap owned = jet::readUsageMap(db.file(), layout.positions.ownedPages);
    layout.firstDataPage = owned.pages.at(0);
    for (std::uint32_t page = 0; page < db.file().pageCount(); ++page) {
        jet::Page bytes = db.file().read(page);
        if (bytes[0] == 0x04 && layout.indexLeaf == 0 &&
            jet::ByteView(bytes, "leaf").u32(4) == layout.positions.definitionPage)
            layout.indexLeaf = page;
    }
    const jet::Column& ime = layout.positions.column("IME");
    jet::Page page = db.file().read(layout.firstDataPage);
    jet::DataPage data(page, "first page");
    for (std::uint16_t slot = 0; slot < data.rowCount(); ++slot) {
        auto bytes = data.rowBytes(slot);
        jet::RowLayout row = jet::parseRow(bytes, true, "row");
        auto definition = row.variableBytes(ime);
        if (definition.size() >= 12 && definition[3] == 0x40) {
            layout.longMemoRow = {layout.firstDataPage, slot};
            layout.longMemoAt = static_cast<std::size_t>(definition.data() - page.data());
            break;
        }
    }
    return layout;
}

void patch(const std::string& file, std::uint32_t page,
           const std::function<void(jet::Page&)>& change) {
    jet::PageFile out(file, jet::PageFile::Access::ReadWrite);
    jet::Page bytes = out.read(page);
    change(bytes);
    out.write(page, bytes);
}

struct Damage {
    const char* name;
    std::function<void(const std::string& file, const Layout& layout)> apply;
    const char* found; // part of the problem the walk must report
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

class DamagedFile : public testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, IsReportedWhereItIs) {
    tendertest::Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::writeTender(sampleTender(), file);
    ASSERT_EQ(jet::checkDatabase(file), std::vector<std::string>{});
    Layout layout = layoutOf(file);
    ASSERT_NE(layout.indexLeaf, 0u);
    ASSERT_NE(layout.longMemoAt, 0u);

    GetParam().apply(file, layout);
    std::vector<std::string> problems = jet::checkDatabase(file);
    std::string all;
    for (const std::string& problem : problems)
        all += problem + "\n";
    EXPECT_NE(all.find(GetParam().found), std::string::npos) << all;

    jettest::ProcessResult checked = jettest::runProcess({TENDERDB_PATH, "check", file});
    EXPECT_EQ(checked.status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedFile,
    testing::Values(
        Damage{"free_space_count",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.firstDataPage, [](jet::Page& p) { jet::putU16(p, 2, 7); });
               },
               "free space reads 7 bytes"},
        Damage{"row_offset_outside_page",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.firstDataPage, [](jet::Page& p) { jet::putU16(p, 16, 10); });
               },
               "row 1: starts at 10"},
        Damage{"page_missing_from_usage_map",
               [](const std::string& file, const Layout& at) {
                   jet::MapLocation map = at.positions.ownedPages;
                   patch(file, map.page, [&](jet::Page& p) {
                       std::size_t row =
                           jet::DataPage(p, "map").offsetWord(map.row) & jet::kRowOffsetMask;
                       std::fill(p.begin() + static_cast<std::ptrdiff_t>(row + 5),
                                 p.begin() + static_cast<std::ptrdiff_t>(row + 69), 0);
                   });
               },
               "holds rows of the table but its usage map does not list it"},
        Damage{"long_value_pointer_to_data_page",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.firstDataPage, [&](jet::Page& p) {
                       jet::putU32(p, at.longMemoAt + 4, at.firstDataPage << 8);
                   });
               },
               "is not on a long-value page"},
        Damage{"row_count_of_definition",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.positions.definitionPage,
                         [](jet::Page& p) { jet::putU32(p, 16, 3); });
               },
               "table PREDLOGENIA: 14 rows, the definition counts 3"},
        Damage{"index_entry_points_elsewhere",
               [](const std::string& file, const Layout& at) {
                   // The first entry's row number: flag, 4 key bytes, 3 page bytes,
                   // row.
                   patch(file, at.indexLeaf, [](jet::Page& p) { p[480 + 8] ^= 0x01; });
               },
               "index 0: entry 1 for page"},
        Damage{"index_entries_out_of_order",
               [](const std::string& file, const Layout& at) {
                   // Swap the keys of the first two entries of nine bytes each.
                   patch(file, at.indexLeaf, [](jet::Page& p) {
                       std::swap_ranges(p.begin() + 481, p.begin() + 485, p.begin() + 490);
                   });
               },
               "entry 2 does not sort after the one before it"},
        Damage{"used_page_marked_free",
               [](const std::string& file, const Layout&) {
                   patch(file, 1, [](jet::Page& p) {
                       std::size_t row =
                           jet::DataPage(p, "global map").offsetWord(0) & jet::kRowOffsetMask;
                       p[row + 5] |= 0x04; // page 2, the catalog's definition
                   });
               },
               "page 2: in use, but the global usage map marks it free"}),
    [](const auto& test) { return std::string(test.param.name); });

// Files Access wrote hold what the walk must accept: keys of every type in Access's text order,
// page types it does not read, stale row counts of system tables, long values and pages kept
// until the file is compacted. What it cannot check it names, and still calls the file sound.
TEST(CheckSharedFiles, EveryJet4FileIsSound) {
    std::vector<std::string> files;
    for (const char* folder : {"/mdb", "/mdb/real"})
        for (const auto& entry :
             std::filesystem::directory_iterator(BRX_SHARED_DIR + std::string(folder)))
            if (entry.path().extension() == ".mdb" && entry.path().filename() != "nwind.mdb")
                files.push_back(entry.path().string()); // nwind.mdb is a Jet 3 file
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 13u);
    std::string notes;
    for (const std::string& file : files) {
        jettest::ProcessResult checked = jettest::runProcess({TENDERDB_PATH, "check", file});
        EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
        EXPECT_TRUE(checked.out.ends_with(file + ": sound\n")) << checked.out;
        notes += checked.out;
    }
    for (const char* skipped : {"index 0: not checked, its entries span several pages",
                                "index 1: not checked, its keys hold column Unicode: text with "
                                "characters past U+00FF",
                                "page 34: not checked, a page of type 9"})
        EXPECT_NE(notes.find(skipped), std::string::npos) << skipped;
}

// Rows changed through the engine's update, grown until they move to other pages, leave a file
// the walk finds sound and that reads as changed.
struct Updated {
    const char* name;
    json tender;
};

void PrintTo(const Updated& updated, std::ostream* out) {
    *out << updated.name;
}

class UpdatedFile : public testing::TestWithParam<Updated> {};

TEST_P(UpdatedFile, StaysSoundWhenRowsGrowAndMove) {
    tendertest::Folder folder;
    std::string file = folder.file("DB.mdb");
    json tender = GetParam().tender;
    tender::writeTender(tender, file);

    std::string longText;
    for (int i = 0; i < 255; ++i)
        longText += "Ж";
    {
        jet::Database db(file, jet::Database::Mode::ReadWrite);
        jet::TableDef positions = db.table("PREDLOGENIA");
        std::vector<jet::RowId> ids;
        db.scan(positions, [&](jet::RowId id, const jet::Row&) { ids.push_back(id); });
        for (jet::RowId id : ids)
            db.update(positions, id,
                      {{"PP4_TEXT", longText}, {"PP5_NUMBER", 12.5}, {"INFO2", std::monostate{}}});
        jet::TableDef specs = db.table("SPECS");
        db.scan(specs, [&](jet::RowId id, const jet::Row&) {
            db.update(specs, id, {{"IME_NA_FIRMATA", "„Медицинска техника“ ЕООД"}});
        });
    }
    EXPECT_EQ(jet::checkDatabase(file), std::vector<std::string>{});

    for (json& row : tender.at("PREDLOGENIA")) {
        row["PP4_TEXT"] = longText;
        row["PP5_NUMBER"] = 12.5;
        row.erase("INFO2");
    }
    for (json& row : tender.at("SPECS"))
        row["IME_NA_FIRMATA"] = "„Медицинска техника“ ЕООД";
    tendertest::expectFileHolds(file, tender, "SPECS");
    tendertest::expectReaderHolds(file, tender, "PREDLOGENIA");
    EXPECT_EQ(tendertest::mdbExport(file, "PREDLOGENIA").rows.size(),
              tender.at("PREDLOGENIA").size());
}

INSTANTIATE_TEST_SUITE_P(Tenders, UpdatedFile,
                         testing::Values(Updated{"sample", sampleTender()},
                                         Updated{"generated_300",
                                                 tender::generateTender(4, 300, 5)}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
