// SPDX-License-Identifier: Apache-2.0
// New tender files from descriptions: what goes in comes out through mdb-export and our reader,
// the catalog and indexes are where readers look, and what does not fit is refused whole.

#include "tender_file_support.h"

#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/database.h"
#include "jet/index_writer.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"
#include "tests/jet/process.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace {

using nlohmann::json;
using tendertest::Folder;

json sampleTender() {
    return tendertest::readJson(BRX_SOURCE_DIR "/samples/tender-sample.json");
}

std::string repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct RoundTrip {
    const char* name;
    json description;
};

void PrintTo(const RoundTrip& roundTrip, std::ostream* out) {
    *out << roundTrip.name;
}

std::vector<RoundTrip> roundTrips() {
    std::string memo = repeat("Спринцовка тричастна, стерилна, Луер лок; ", 200); // 8 KB+
    return {
        {"sample", sampleTender()},
        {"empty_specs",
         {{"SPECS", json::array()},
          {"PREDLOGENIA", {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", "1"}, {"IME", "Лот"}}}}}},
        {"no_tables_given", json::object()},
        {"null_codes",
         {{"SPECS", {{{"CODE", nullptr}, {"KONKURS", nullptr}}}},
          {"PREDLOGENIA",
           {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", nullptr}, {"MASTER_CODE", nullptr}},
            {{"PRODUCT_CODE", 2}, {"MASTER_CODE", 1}},
            {{"PRODUCT_CODE", 3}, {"MASTER_CODE", 77}, {"CUSTOM_CODE", "9A"}}}}}},
        {"given_autonumbers", {{"SPECS", {{{"CODE", 40}}, json::object(), {{"CODE", 7}}}}}},
        {"cyrillic_and_latin1",
         {{"SPECS",
           {{{"IME_NA_FIRMATA", "„Медицинска техника“ ЕООД"},
             {"IME_NA_KONKURSA", "Café Müller – Größe ½"},
             {"NO_DDS", true},
             {"IS_OBOSOBENI_POZICII", false}}}},
          {"PREDLOGENIA", {{{"PRODUCT_CODE", 1}, {"IME", "Ёж – щъркел"}, {"PP2_TEXT", "Да"}}}}}},
        {"full_width_texts",
         {{"SPECS", {{{"KP1_IME", repeat("Я", 50)}, {"CAPTION_INFO1", repeat("z", 100)}}}},
          {"PREDLOGENIA",
           {{{"PRODUCT_CODE", 1},
             {"CUSTOM_CODE", repeat("9", 10)},
             {"BELEJKI", repeat("Ж", 255)},
             {"INFO1", repeat("x", 255)},
             {"PP2_TEXT", repeat("ä", 255)}}}}}},
        {"memo_sizes",
         {{"PREDLOGENIA",
           {{{"PRODUCT_CODE", 1}, {"IME", "к"}},
            {{"PRODUCT_CODE", 2}, {"IME", repeat("й", 40)}},       // just past inline
            {{"PRODUCT_CODE", 3}, {"IME", repeat("ab", 1000)}},    // one long-value row
            {{"PRODUCT_CODE", 4}, {"IME", memo}},                  // a chain of rows
            {{"PRODUCT_CODE", 5}, {"IME", repeat("é", 9000)}}}}}}, // compressed chain
        {"generated_300", tender::generateTender(12, 300, 7)},
    };
}

class CreatedTender : public testing::TestWithParam<RoundTrip> {};

TEST_P(CreatedTender, ReadsBackAsDescribedAndIsSound) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::writeTender(GetParam().description, file);

    EXPECT_EQ(jet::checkDatabase(file), std::vector<std::string>{});
    jettest::ProcessResult tables = jettest::runProcess({"mdb-tables", "-1", file});
    EXPECT_EQ(tables.out, "SPECS\nPREDLOGENIA\n");
    tendertest::expectFileHolds(file, GetParam().description, "SPECS");
    tendertest::expectFileHolds(file, GetParam().description, "PREDLOGENIA");
}

INSTANTIATE_TEST_SUITE_P(Descriptions, CreatedTender, testing::ValuesIn(roundTrips()),
                         [](const auto& test) { return std::string(test.param.name); });

// The size the benchmarks use (smaller under the sanitizers, see CMakeLists.txt): past an
// inline usage map's reach, so its maps are reference maps, and past one index page.
TEST(CreatedTender, BigGeneratedTenderReadsBackAndIsSound) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    json tender = tender::generateTender(120, BIG_TENDER_POSITIONS, 3);
    jet::CreateResult result = tender::writeTender(tender, file);
    EXPECT_EQ(result.notes, std::vector<std::string>{});
    // Every index is written and walked, the two of PREDLOGENIA as trees of several pages.
    std::vector<std::string> notes;
    EXPECT_EQ(jet::checkDatabase(file, &notes), std::vector<std::string>{});
    EXPECT_EQ(notes, std::vector<std::string>{});
    tendertest::expectFileHolds(file, tender, "PREDLOGENIA");

    jet::Database db(file, jet::Database::Mode::ReadOnly);
    const jet::TableDef positions = db.table("PREDLOGENIA");
    ASSERT_EQ(positions.realIndexes.size(), 2u);
    for (const jet::RealIndex& index : positions.realIndexes)
        EXPECT_EQ(db.file().read(index.rootPage)[0], jet::kIndexNodePageType);
    const std::size_t masterCode =
        static_cast<std::size_t>(&positions.column("MASTER_CODE") - positions.columns.data());
    // The last lot's positions, found through the MASTER_CODE index.
    const std::int64_t lastLot = tender.at("PREDLOGENIA").back().at("MASTER_CODE");
    std::size_t lastLotPositions = 0;
    for (const json& row : tender.at("PREDLOGENIA"))
        if (row.contains("MASTER_CODE") && row.at("MASTER_CODE") == lastLot)
            ++lastLotPositions;
    std::optional<std::vector<jet::RowId>> found =
        db.findThroughIndex(positions, masterCode, jet::Value(lastLot));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), lastLotPositions);
    EXPECT_GT(lastLotPositions, 0u);
    // mdbtools reads the same indexes from the definitions.
    jettest::ProcessResult schema =
        jettest::runProcess({"mdb-schema", "--indexes", file, "postgres"});
    EXPECT_NE(schema.out.find("\"predlogenia_pkey\" PRIMARY KEY (\"product_code\")"),
              std::string::npos)
        << schema.out;
    EXPECT_NE(schema.out.find("INDEX \"predlogenia_master_code_idx\" ON \"predlogenia\" "
                              "(\"master_code\")"),
              std::string::npos)
        << schema.out;

    jet::UsageMap owned = jet::readUsageMap(db.file(), db.table("PREDLOGENIA").ownedPages);
    EXPECT_EQ(owned.kind, jet::kReferenceMap);
    // The map of free pages reaches every page of the file, none of them free.
    jet::UsageMap global = jet::readUsageMap(db.file(), jet::MapLocation{1, 0});
    EXPECT_EQ(global.pages, std::vector<std::uint32_t>{});
    EXPECT_GE(global.pagesPastEnd, 1u);
    EXPECT_LT(global.pagesPastEnd, 32u * 8);
}

TEST(CreatedTender, CatalogHoldsContainersSystemTablesAndTheTablesUnderTables) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::writeTender(sampleTender(), file);
    tendertest::ExportedTable catalog = tendertest::mdbExport(file, "MSysObjects");
    std::map<std::string, std::vector<std::string>> byName;
    for (const auto& row : catalog.rows)
        byName[row.at(2)] = row;
    const std::string tablesContainer = "251658241"; // 0x0F000001
    for (const char* container : {"Tables", "Databases", "Relationships"})
        EXPECT_EQ(byName[container].at(1), "251658240") << container; // under the root
    EXPECT_EQ(byName["Tables"].at(0), tablesContainer);
    for (const char* table :
         {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships", "SPECS", "PREDLOGENIA"}) {
        ASSERT_EQ(byName.count(table), 1u) << table;
        EXPECT_EQ(byName[table].at(1), tablesContainer) << table;
        EXPECT_EQ(byName[table].at(3), "1") << table;
    }
    EXPECT_EQ(byName["MSysObjects"].at(0), "2");
}

TEST(CreatedTender, IndexesArePrimaryKeysAndMasterCode) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    EXPECT_TRUE(tender::writeTender(sampleTender(), file).notes.empty());
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    auto indexed = [&](const std::string& table) {
        jet::TableDef def = db.table(table);
        std::vector<std::pair<std::string, std::string>> out;
        for (const jet::LogicalIndex& index : def.logicalIndexes)
            for (const jet::Column& column : def.columns)
                if (column.number == def.realIndexes.at(index.realIndex).columnNumbers.at(0))
                    out.emplace_back(index.name + (index.kind == 1 ? " (primary key)" : ""),
                                     column.name);
        return out;
    };
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(indexed("SPECS"), (Pairs{{"PrimaryKey (primary key)", "CODE"}}));
    EXPECT_EQ(indexed("PREDLOGENIA"), (Pairs{{"PrimaryKey (primary key)", "PRODUCT_CODE"},
                                             {"MASTER_CODE", "MASTER_CODE"}}));
    EXPECT_TRUE(db.table("SPECS").column("CODE").isAutoNumber());

    // Unique and required for the primary keys, as Access marks them (0x80 it sets on all).
    jet::TableDef positions = db.table("PREDLOGENIA");
    EXPECT_EQ(positions.realIndexes.at(0).flags, 0x89);
    EXPECT_EQ(positions.realIndexes.at(1).flags, 0x80);
    EXPECT_EQ(db.table("SPECS").realIndexes.at(0).flags, 0x89);
    jet::Database other(BRX_SHARED_DIR "/mdb/tender-sample.mdb", jet::Database::Mode::ReadOnly);
    EXPECT_EQ(other.table("PREDLOGENIA").realIndexes.at(0).flags, 0x89);
}

// Index pages hold one entry per row, the flag byte, the key and the row's place; the shared
// sample tender was written by another tool from the same description, so the two files' keys,
// read page by page in entry order, must be the same.
std::vector<jet::Bytes> indexKeys(const std::string& file, const std::string& table) {
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    std::uint32_t owner = db.table(table).definitionPage;
    std::vector<jet::Bytes> keys;
    for (std::uint32_t number = 0; number < db.file().pageCount(); ++number) {
        jet::Page page = db.file().read(number);
        if (page[0] != 0x04 || jet::ByteView(page, "leaf").u32(4) != owner)
            continue;
        std::size_t start = 0;
        for (std::size_t bit = 0; bit < 453 * 8; ++bit)
            if ((page[27 + bit / 8] >> (bit % 8)) & 1) {
                keys.emplace_back(page.begin() + static_cast<std::ptrdiff_t>(480 + start),
                                  page.begin() + static_cast<std::ptrdiff_t>(480 + bit - 4));
                start = bit;
            }
        keys.emplace_back(); // between pages
    }
    return keys;
}

TEST(CreatedTender, IndexKeysEqualThoseAnotherWriterMadeForTheSameTender) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    std::string shared = BRX_SHARED_DIR "/mdb/tender-sample";
    tender::writeTender(tendertest::readJson(shared + ".json"), file);
    for (const char* table : {"SPECS", "PREDLOGENIA"}) {
        std::vector<jet::Bytes> ours = indexKeys(file, table);
        EXPECT_EQ(ours, indexKeys(shared + ".mdb", table)) << table;
        EXPECT_GT(ours.size(), 1u) << table;
    }
}

struct Refusal {
    const char* name;
    json description;
    const char* message; // the part of the error that names the row and the column
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class RefusedTender : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedTender, NamesRowAndColumnAndWritesNothing) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    try {
        tender::writeTender(GetParam().description, file);
        FAIL() << "accepted";
    } catch (const jet::Error& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(file + ".part"));
}

json positions(std::vector<json> rows) {
    return {{"PREDLOGENIA", rows}};
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, RefusedTender,
    testing::Values(
        Refusal{"text_longer_than_width",
                positions({{{"PRODUCT_CODE", 1}},
                           {{"PRODUCT_CODE", 2}, {"CUSTOM_CODE", "12345678901"}}}),
                "table PREDLOGENIA, row 2, column CUSTOM_CODE: text of 11 characters"},
        Refusal{"string_for_number",
                {{"SPECS", {{{"KONKURS", "2027"}}}}},
                "table SPECS, row 1, column KONKURS: needs a whole number"},
        Refusal{"fraction_for_integer", positions({{{"PRODUCT_CODE", 1.5}}}),
                "row 1, column PRODUCT_CODE: needs a whole number"},
        Refusal{"number_for_text", positions({{{"PRODUCT_CODE", 1}, {"PP2_TEXT", 5}}}),
                "row 1, column PP2_TEXT: needs a string"},
        Refusal{"integer_out_of_range", positions({{{"PRODUCT_CODE", 4294967296}}}),
                "row 1, column PRODUCT_CODE: 4294967296 is out of range"},
        Refusal{"integer_past_64_bits", positions({{{"PRODUCT_CODE", 18446744073709551615u}}}),
                "row 1, column PRODUCT_CODE: 18446744073709551615 is out of range"},
        Refusal{"unknown_column",
                {{"SPECS", {json::object(), {{"KP5_TIP", 1}}}}},
                "table SPECS, row 2, column KP5_TIP: no such column"},
        Refusal{"unknown_table", {{"LOTS", json::array()}}, "table LOTS: not a table"},
        Refusal{"duplicate_primary_key", positions({{{"PRODUCT_CODE", 1}}, {{"PRODUCT_CODE", 1}}}),
                "row 2, column PRODUCT_CODE: value 1 is the primary key of row 1 already"},
        Refusal{"given_code_equal_to_an_assigned_one",
                {{"SPECS", {json::object(), {{"CODE", 1}}}}},
                "table SPECS, row 2, column CODE: value 1 is the primary key of row 1 already"},
        Refusal{"missing_primary_key", positions({{{"CUSTOM_CODE", "1"}}}),
                "row 1, column PRODUCT_CODE: the primary key needs a value"},
        Refusal{"row_longer_than_a_page",
                positions({{{"PRODUCT_CODE", 1},
                            {"INFO1", repeat("Я", 255)},
                            {"INFO2", repeat("Я", 255)},
                            {"INFO3", repeat("Я", 255)},
                            {"INFO4", repeat("Я", 255)},
                            {"INFO5", repeat("Я", 255)},
                            {"INFO6", repeat("Я", 255)},
                            {"INFO7", repeat("Я", 255)},
                            {"INFO8", repeat("Я", 255)}}}),
                "table PREDLOGENIA, row 1: the row takes"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(SchemaChanges, ReorderDropAndRetypeColumns) {
    Folder folder;
    std::string file = folder.file("DB.mdb");
    tender::SchemaChanges changes;
    changes.order = tender::SchemaChanges::Order::Reversed;
    changes.dropped = {"SPECS.NO_DDS", "PREDLOGENIA.MASTER_CODE"};
    changes.retyped = {{"PREDLOGENIA.PRODUCT_CODE", "text(20)"},
                       {"SPECS.KONKURS", "double"},
                       {"SPECS.KP1_TIP", "integer"}};
    // A 16-bit integer's sign must survive the round trip at both of its edges.
    json tender = {
        {"SPECS",
         {{{"KONKURS", 2027.5}, {"NO_DDS", true}, {"KP1_TIP", -1}}, {{"KP1_TIP", -32768}}}},
        {"PREDLOGENIA", {{{"PRODUCT_CODE", "A-1"}, {"MASTER_CODE", 3}}}}};
    jet::CreateResult result = tender::writeTender(tender, file, changes);

    // Both PREDLOGENIA indexes lost their long integer column.
    EXPECT_EQ(result.notes.size(), 2u);
    EXPECT_EQ(jet::checkDatabase(file), std::vector<std::string>{});
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    jet::TableDef specs = db.table("SPECS");
    EXPECT_EQ(specs.columns.front().name, "BROI_INFO_POLETA");
    EXPECT_EQ(specs.columns.back().name, "CODE");
    EXPECT_EQ(specs.find("NO_DDS"), nullptr);
    EXPECT_EQ(specs.column("KONKURS").type, jet::ColumnType::Double);
    EXPECT_EQ(specs.column("KP1_TIP").type, jet::ColumnType::Integer);
    tendertest::expectFileHolds(file, tender, "SPECS");
    jet::TableDef positionsTable = db.table("PREDLOGENIA");
    EXPECT_EQ(positionsTable.find("MASTER_CODE"), nullptr);
    EXPECT_EQ(positionsTable.column("PRODUCT_CODE").type, jet::ColumnType::Text);
    EXPECT_EQ(positionsTable.column("PRODUCT_CODE").length, 40);
    EXPECT_TRUE(positionsTable.logicalIndexes.empty());
    tendertest::ExportedTable exported = tendertest::mdbExport(file, "PREDLOGENIA");
    EXPECT_EQ(exported.columns.front(), "INFO8");
    EXPECT_EQ(exported.rows.at(0).back(), "A-1");
}

TEST(SchemaChanges, UnknownColumnOrTypeIsRefused) {
    tender::SchemaChanges unknownColumn;
    unknownColumn.dropped = {"SPECS.NOPE"};
    EXPECT_THROW(tender::tenderSchema(unknownColumn), jet::Error);
    tender::SchemaChanges unknownType;
    unknownType.retyped = {{"SPECS.KONKURS", "text(300)"}};
    EXPECT_THROW(tender::tenderSchema(unknownType), jet::Error);
}

// The command line: exit status 0 with the file, 1 with the reason and no file (or the old file
// untouched), 2 on usage.
TEST(TenderdbCreate, ExitStatusAndMessages) {
    Folder folder;
    std::string good = BRX_SOURCE_DIR "/samples/tender-sample.json";
    std::string bad = folder.file("bad.json");
    {
        std::ofstream out(bad);
        out << R"({"SPECS": [{"KP1_IME": "an overly long caption of a tender parameter, over fifty"}]})";
    }
    std::string out = folder.file("DB.mdb");
    auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), TENDERDB_PATH);
        return jettest::runProcess(args);
    };

    auto created = run({"create", "--column-order", "alphabetical", good, out});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(run({"check", out}).status, 0);
    auto dumped = run({"dump", out, "PREDLOGENIA"});
    EXPECT_EQ(dumped.out.substr(0, dumped.out.find(',')), "BELEJKI");

    std::string refusedPath = folder.file("refused.mdb");
    auto refused = run({"create", bad, refusedPath});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("table SPECS, row 1, column KP1_IME"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(refusedPath));

    EXPECT_EQ(run({"create", good}).status, 2);
    EXPECT_EQ(run({"create", "--retype", "SPECS.KONKURS", good, out}).status, 2);
    EXPECT_EQ(run({"generate", "--lots", "0", "--positions", "5", out}).status, 2);

    auto replaced = run({"create", good, out});
    EXPECT_EQ(replaced.status, 1);
    EXPECT_NE(replaced.err.find("pass --force to replace it"), std::string::npos);

    std::string description = folder.file("generated.json");
    auto generated = run({"generate", "--lots", "3", "--positions", "40", "--description",
                          description, "--force", out});
    EXPECT_EQ(generated.status, 0) << generated.err;
    tendertest::expectFileHolds(out, tendertest::readJson(description), "PREDLOGENIA");
}

TEST(GeneratedTender, HasTheAskedSizeAndRealisticValues) {
    json tender = tender::generateTender(7, 100, 11);
    EXPECT_EQ(tender, tender::generateTender(7, 100, 11));
    const json& rows = tender.at("PREDLOGENIA");
    std::size_t lots = 0;
    std::size_t priced = 0;
    std::size_t longNames = 0;
    for (const json& row : rows) {
        if (!row.contains("MASTER_CODE")) {
            ++lots;
            EXPECT_GT(jet::utf16Length(row.at("IME").get<std::string>()), 50u);
            continue;
        }
        priced += row.contains("PP1_NUMBER");
        longNames += jet::utf16Length(row.at("IME").get<std::string>()) > 64;
        EXPECT_GT(row.at("GODISHNO_POTREBLENIE").get<double>(), 0);
    }
    EXPECT_EQ(lots, 7u);
    EXPECT_EQ(rows.size() - lots, 100u);
    EXPECT_GT(priced, 0u);
    EXPECT_LT(priced, 100u);
    EXPECT_GT(longNames, 10u);
}

} // namespace
