// SPDX-License-Identifier: Apache-2.0
// The walk over a file: sound for what the writer and the updater produce, and each kind of
// damage it is meant to find is found and named.

#include "tender_file_support.h"

#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/index_reader.h"
#include "jet/index_writer.h"
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
    jet::TableDef specs;
    jet::TableDef positions;
    std::uint32_t firstDataPage = 0;
    std::uint32_t indexLeaf = 0;
    jet::RowId longMemoRow;
    std::size_t longMemoAt = 0; // offset of its long-value definition in the page
};

Layout layoutOf(const std::string& file) {
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    Layout layout;
    layout.specs = db.table("SPECS");
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

// Where a column's descriptor lies on its definition's first page: after the header and the
// index entries, in the order of the column numbers, as the writer lays them out.
std::size_t descriptorOf(const jet::TableDef& def, const char* column) {
    const jet::Column& wanted = def.column(column);
    return 63 + 12 * def.realIndexes.size() +
           25 * static_cast<std::size_t>(&wanted - def.columns.data());
}

// Sets a 16-bit field of a column's descriptor: 5 number, 7 variable slot, 21 fixed offset,
// 23 length.
void patchColumn(const std::string& file, const jet::TableDef& def, const char* column,
                 std::size_t field, std::uint16_t value) {
    patch(file, def.definitionPage,
          [&](jet::Page& p) { jet::putU16(p, descriptorOf(def, column) + field, value); });
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
               "page 2: in use, but the global usage map marks it free"},
        // A column placed where no row can hold it reads as null or as another column's bytes.
        Damage{"variable_slot_outside_definition",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.specs, "IME_NA_KONKURSA", 7, 16385);
               },
               "column IME_NA_KONKURSA has variable slot 16385, outside the table's"},
        Damage{"fixed_offset_past_longest_row",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.positions, "PRODUCT_CODE", 21, 4058);
               },
               "column PRODUCT_CODE has 4 bytes at fixed offset 4058, past the longest row"},
        Damage{"fixed_length_unlike_its_type",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.positions, "MASTER_CODE", 23, 2);
               },
               "column MASTER_CODE is 2 bytes long, a long integer takes 4"},
        Damage{"text_wider_than_jet_allows",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.specs, "IME_NA_FIRMATA", 23, 4000);
               },
               "column IME_NA_FIRMATA is 4000 bytes wide, more than the 510"},
        Damage{"column_number_past_column_count",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.specs, "KONKURS", 5, 300);
               },
               "column KONKURS has number 300, outside the table's"},
        // Damage a later read or post trips on that the walk once called sound.
        Damage{"column_number_shared",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.specs, "KONKURS", 5, at.specs.column("CODE").number);
               },
               "column KONKURS shares its number 0 with another column"},
        Damage{"fixed_bytes_shared",
               [](const std::string& file, const Layout& at) {
                   patchColumn(file, at.positions, "MASTER_CODE", 21,
                               at.positions.column("PRODUCT_CODE").fixedOffset);
               },
               "column MASTER_CODE shares its fixed bytes"},
        Damage{"column_type_jet_does_not_have",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.positions.definitionPage,
                         [&](jet::Page& p) { p[descriptorOf(at.positions, "INFO1")] = 0x0E; });
               },
               "column INFO1 has type 14, which Jet does not have"},
        Damage{"more_variable_columns_than_columns",
               [](const std::string& file, const Layout& at) {
                   patch(file, at.specs.definitionPage, [&](jet::Page& p) {
                       jet::putU16(p, 43, static_cast<std::uint16_t>(at.specs.maxColumnCount + 1));
                   });
               },
               "of variable length, in rows of"},
        Damage{"owned_pages_past_the_end",
               [](const std::string& file, const Layout& at) {
                   jet::MapLocation map = at.specs.ownedPages;
                   patch(file, map.page, [&](jet::Page& p) {
                       std::size_t row =
                           jet::DataPage(p, "map").offsetWord(map.row) & jet::kRowOffsetMask;
                       p[row + 5 + 63] |= 0x80; // the inline bitmap's last page
                   });
               },
               "table SPECS: its usage map lists 1 pages past the end of the file"},
        Damage{"catalog_without_the_flags_column",
               [](const std::string& file, const Layout&) {
                   patch(file, 2, [](jet::Page& p) {
                       const std::uint8_t flags[] = {'F', 0, 'l', 0, 'a', 0, 'g', 0, 's', 0};
                       auto at =
                           std::search(p.begin(), p.end(), std::begin(flags), std::end(flags));
                       at[8] = 'z';
                   });
               },
               "table MSysObjects has no column Flags"}),
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
    for (const char* skipped : {"index 1: not checked, its keys hold column Unicode: text with "
                                "characters past U+00FF",
                                "page 34: not checked, a page of type 9"})
        EXPECT_NE(notes.find(skipped), std::string::npos) << skipped;
}

// An index of several pages is walked from its root: each fault that would mislead a lookup,
// or a walk along the leaves, is reported where it is. The root of PREDLOGENIA's primary key
// over 3,004 rows is an intermediate page of entries of 13 bytes (flag, key, row, child) over
// eight leaves.
struct TreeDamage {
    const char* name;
    std::function<void(const std::string& file, std::uint32_t root, std::uint32_t firstLeaf)> apply;
    const char* found;
};

void PrintTo(const TreeDamage& damage, std::ostream* out) {
    *out << damage.name;
}

constexpr std::size_t kNodeEntry = 13;

std::size_t childAt(std::size_t entry) {
    return jet::kIndexEntriesAt + kNodeEntry * entry + 9;
}

class DamagedIndexTree : public testing::TestWithParam<TreeDamage> {};

TEST_P(DamagedIndexTree, IsReportedWhereItIs) {
    tendertest::Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::writeTender(tender::generateTender(4, 3000, 5), file);
    ASSERT_EQ(jet::checkDatabase(file), std::vector<std::string>{});
    std::uint32_t root = 0;
    std::uint32_t firstLeaf = 0;
    {
        jet::Database db(file, jet::Database::Mode::ReadOnly);
        root = db.table("PREDLOGENIA").realIndexes.at(0).rootPage;
        jet::Page page = db.file().read(root);
        ASSERT_EQ(page[0], jet::kIndexNodePageType);
        ASSERT_EQ(jet::indexPageEntries(page, "root").at(0).size(), kNodeEntry);
        const std::uint8_t* child = page.data() + childAt(0); // big-endian
        firstLeaf = std::uint32_t{child[0]} << 24 | std::uint32_t{child[1]} << 16 |
                    std::uint32_t{child[2]} << 8 | child[3];
    }
    GetParam().apply(file, root, firstLeaf);
    std::string all;
    for (const std::string& problem : jet::checkDatabase(file))
        all += problem + "\n";
    EXPECT_NE(all.find(GetParam().found), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedIndexTree,
    testing::Values(TreeDamage{"leaf_chain_ends_early",
                               [](const std::string& file, std::uint32_t, std::uint32_t leaf) {
                                   patch(file, leaf, [](jet::Page& p) {
                                       jet::putU32(p, jet::kIndexNextPageAt, 0);
                                   });
                               },
                               "is chained to 0 and 0, its neighbours in the tree are 0 and"},
                    TreeDamage{"children_swapped",
                               [](const std::string& file, std::uint32_t root, std::uint32_t) {
                                   patch(file, root, [](jet::Page& p) {
                                       std::swap_ranges(p.begin() + childAt(0),
                                                        p.begin() + childAt(0) + 4,
                                                        p.begin() + childAt(1));
                                   });
                               },
                               "sorts before the last entry under its child"},
                    TreeDamage{"child_reached_twice",
                               [](const std::string& file, std::uint32_t root, std::uint32_t) {
                                   patch(file, root, [](jet::Page& p) {
                                       std::copy(p.begin() + childAt(0), p.begin() + childAt(0) + 4,
                                                 p.begin() + childAt(1));
                                   });
                               },
                               "is reached twice in its tree"},
                    TreeDamage{"leaf_of_another_table",
                               [](const std::string& file, std::uint32_t, std::uint32_t leaf) {
                                   patch(file, leaf, [](jet::Page& p) { ++p[jet::kIndexOwnerAt]; });
                               },
                               "is not an index page of the table"}),
    [](const auto& test) { return std::string(test.param.name); });

// Access may keep the map of free pages (page 1) as a reference map whose later entries name pages
// the file does not have (values near 2^32). Those entries are unused: the file is sound, reads
// whole, and its own bitmap page is accounted for.
TEST(CheckGlobalMap, AcceptsAReferenceMapWhoseEntriesNameNoPage) {
    tendertest::Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::writeTender(sampleTender(), file);
    {
        jet::PageFile out(file, jet::PageFile::Access::ReadWrite);
        jet::Page bitmap{};
        bitmap[0] = jet::kUsageMapPageType;
        bitmap[1] = 0x01;
        const std::uint32_t bitmapPage = out.append(bitmap);
        // Free, as Access marks them: the pages past the end of the file.
        for (std::uint32_t page = bitmapPage + 1; page < jet::kPagesPerBitmapPage; ++page)
            bitmap[jet::kBitmapPageHeader + page / 8] |=
                static_cast<std::uint8_t>(1u << (page % 8));
        out.write(bitmapPage, bitmap);

        jet::Page map = out.read(1);
        jet::DataPage data(map, "global map");
        const std::size_t row = data.offsetWord(0) & jet::kRowOffsetMask;
        const std::size_t entries = (data.rowBytes(0).size() - 1) / 4;
        map[row] = jet::kReferenceMap;
        jet::putU32(map, row + 1, bitmapPage);
        for (std::size_t entry = 1; entry < entries; ++entry)
            jet::putU32(map, row + 1 + 4 * entry, 0xFFFFFFFFu - static_cast<std::uint32_t>(entry));
        out.write(1, map);
    }
    EXPECT_EQ(jet::checkDatabase(file), std::vector<std::string>{});
    jettest::ProcessResult checked = jettest::runProcess({TENDERDB_PATH, "check", file});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    tendertest::expectReaderHolds(file, sampleTender(), "PREDLOGENIA");
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
