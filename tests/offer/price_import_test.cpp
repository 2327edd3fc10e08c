// The import of a filled price list: which rows and values the preview takes and refuses, what
// storing writes (read back with mdb-export), and what a failure part way leaves.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "offer/price_import.h"

#include "tender_fixture.h"
#include "tests/tools/tender_file_support.h"

#include <QFile>
#include <QLocale>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using sheet::Cell;
using sheet::CellKind;
using Row = std::vector<Cell>;

Cell text(const QString& value) {
    return {CellKind::Text, value, 0};
}
Cell number(double value) {
    return {CellKind::Number, QString::number(value, 'g', 15), value};
}
Cell of(CellKind kind, const QString& value) {
    return {kind, value, 0};
}
const Cell empty;

// Offer values: the price with 2 decimals; "Марка" text that must be filled in (limit 5);
// "Срок" a whole number greater than 0 (limit 2). Lots:
//   1 (100), taken part in: "1" priced 5, "Старо", 10; "2" and "3" unpriced;
//   2 (200), not taken part in: "1" unpriced;
//   3 (300), taken part in: "1" priced 1, "X", 1.
nlohmann::json importTender() {
    const auto position = [](int product, int lot, const char* code) {
        return nlohmann::json{{"PRODUCT_CODE", product},
                              {"MASTER_CODE", lot},
                              {"CUSTOM_CODE", code},
                              {"IME", std::string("Изделие ") + code}};
    };
    nlohmann::json priced = position(101, 100, "1");
    priced.update({{"PP1_NUMBER", 5.0}, {"PP2_TEXT", "Старо"}, {"PP3_NUMBER", 10.0}});
    nlohmann::json other = position(301, 300, "1");
    other.update({{"PP1_NUMBER", 1.0}, {"PP2_TEXT", "X"}, {"PP3_NUMBER", 1.0}});
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "Медикс ООД"},
               {"PP1_IME", "Цена"},
               {"PP1_RAZRYAD", 2},
               {"PP2_TIP", 2},
               {"PP2_IME", "Марка"},
               {"PP2_OGRANICHENIE", 5},
               {"PP3_TIP", 3},
               {"PP3_IME", "Срок"},
               {"PP3_RAZRYAD", 0},
               {"PP3_OGRANICHENIE", 2}}}},
            {"PREDLOGENIA",
             {{{"PRODUCT_CODE", 100}, {"CUSTOM_CODE", "1"}, {"PP2_TEXT", "Да"}},
              priced,
              position(102, 100, "2"),
              position(103, 100, "3"),
              {{"PRODUCT_CODE", 200}, {"CUSTOM_CODE", "2"}},
              position(201, 200, "1"),
              {{"PRODUCT_CODE", 300}, {"CUSTOM_CODE", "3"}, {"PP2_TEXT", "Да"}},
              other}}};
}

const Row kHeads = {text("Обособена позиция"), text("Номер"), text("Цена"), text("Марка"),
                    text("Срок")};

sheet::Table tableOf(std::vector<Row> rows, Row heads = kHeads) {
    sheet::Table table;
    table.rows.push_back(std::move(heads));
    for (Row& row : rows)
        table.rows.push_back(std::move(row));
    return table;
}

// The offer values of every position as mdb-export reads them, by PRODUCT_CODE.
std::map<std::string, std::vector<std::string>> offeredValues(const QString& file) {
    const tendertest::ExportedTable table =
        tendertest::mdbExport(file.toStdString(), "PREDLOGENIA");
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(
            std::find(table.columns.begin(), table.columns.end(), name) - table.columns.begin());
    };
    std::map<std::string, std::vector<std::string>> values;
    for (const auto& row : table.rows)
        values[row[column("PRODUCT_CODE")]] = {row[column("PP1_NUMBER")], row[column("PP2_TEXT")],
                                               row[column("PP3_NUMBER")]};
    return values;
}

class PriceImportTest : public ::testing::Test {
protected:
    void SetUp() override { open(importTender()); }
    void open(const nlohmann::json& tender) {
        file = folder.write(tender);
        connection.open(file);
        qrySpecs->open();
        import = std::make_unique<priceimport::PriceImport>(connection, *qrySpecs);
    }

    fixture::TenderFolder folder;
    QString file;
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    std::unique_ptr<priceimport::PriceImport> import;
};

struct RefusalCase {
    const char* name;
    std::vector<Row> rows; // after a valid row for position "3" of lot "1", which is row 2
    QString column;        // of the one refusal expected, on row 3
    QString reason;        // a part of its reason
};

class Refusals : public PriceImportTest, public ::testing::WithParamInterface<RefusalCase> {};

// Each sheet holds one good row and one bad; the good is stored, the bad refused with the right
// reason and nothing of it written.
TEST_P(Refusals, NameTheRowColumnAndReasonAndStoreNothingRefused) {
    const RefusalCase& c = GetParam();
    std::vector<Row> rows = {{text("1"), text("3"), number(7.5), text("Б"), number(2)}};
    rows.insert(rows.end(), c.rows.begin(), c.rows.end());
    const auto before = offeredValues(file);

    const priceimport::Preview preview = import->preview(tableOf(rows));
    ASSERT_GE(preview.refused.size(), 1u) << preview.text().toStdString();
    for (const priceimport::Refusal& refusal : preview.refused) {
        EXPECT_GE(refusal.sheetRow, 3);
        EXPECT_EQ(refusal.column, c.column);
        EXPECT_TRUE(refusal.reason.contains(c.reason)) << refusal.reason.toStdString();
    }
    EXPECT_TRUE(preview.text().contains(c.reason));
    ASSERT_EQ(preview.accepted.size(), 1u);
    EXPECT_EQ(preview.accepted[0].position, QStringLiteral("3"));

    const priceimport::Outcome outcome = import->store(preview);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_TRUE(outcome.complete()) << outcome.text().toStdString();
    auto expected = before;
    expected["103"] = {"7.5", "Б", "2"};
    EXPECT_EQ(offeredValues(file), expected);
}

const QString kLongText(256, QLatin1Char('a'));

INSTANTIATE_TEST_SUITE_P(
    Sheets, Refusals,
    ::testing::Values(
        RefusalCase{"UnknownPosition",
                    {{text("1"), text("9"), number(4), text("A"), number(1)}},
                    "",
                    "няма такава позиция"},
        RefusalCase{"UnknownLot",
                    {{text("8"), text("1"), number(4), text("A"), number(1)}},
                    "",
                    "няма такава обособена позиция"},
        RefusalCase{"LotNotTakenPartIn",
                    {{text("2"), text("1"), number(4), text("A"), number(1)}},
                    "",
                    "не участвате"},
        RefusalCase{"DuplicateCode",
                    {{text("1"), text("2"), number(4), text("A"), number(1)},
                     {text("1"), text("2"), number(6), text("B"), number(2)}},
                    "",
                    "2 пъти"},
        RefusalCase{"LimitOfAText",
                    {{text("1"), text("2"), number(4), text("  "), number(1)}},
                    "",
                    "\"Марка\" трябва да е попълнено."},
        RefusalCase{"PriceNotAboveZero",
                    {{text("1"), text("2"), number(0), text("A"), number(1)}},
                    "",
                    "\"Цена\" трябва да е по-голямо от 0."},
        RefusalCase{"PriceMissingOnAnUnpricedPosition",
                    {{text("1"), text("2"), empty, text("A"), number(1)}},
                    "",
                    "\"Цена\" трябва да е по-голямо от 0."},
        RefusalCase{"TextInANumberColumn",
                    {{text("1"), text("2"), text("дванайсет"), text("A"), number(1)}},
                    "Цена",
                    "текст в числова колона"},
        RefusalCase{
            "NumberStoredAsText",
            {{text("1"), text("2"), of(CellKind::NumberAsText, "12,5"), text("A"), number(1)}},
            "Цена",
            "число, записано като текст"},
        RefusalCase{"TooManyDecimals",
                    {{text("1"), text("2"), number(1.234), text("A"), number(1)}},
                    "Цена",
                    "повече от 2 знака"},
        RefusalCase{"DecimalsInAWholeNumber",
                    {{text("1"), text("2"), number(4), text("A"), number(1.5)}},
                    "Срок",
                    "цяло число"},
        RefusalCase{"Formula",
                    {{text("1"), text("2"), of(CellKind::Formula, "=2*3"), text("A"), number(1)}},
                    "Цена",
                    "формула"},
        RefusalCase{"Date",
                    {{text("1"), text("2"), number(4), text("A"), of(CellKind::Date, "45000")}},
                    "Срок",
                    "дата"},
        RefusalCase{"TextLongerThan255",
                    {{text("1"), text("2"), number(4), text(kLongText), number(1)}},
                    "Марка",
                    "по-дълъг от 255"}),
    [](const ::testing::TestParamInfo<RefusalCase>& param) { return param.param.name; });

// An empty cell keeps the stored value; a row without values stores nothing; the positions of
// a lot the sheet concerns that it does not list are named, those of other lots are not.
TEST_F(PriceImportTest, EmptyCellsKeepWhatIsStoredAndUncoveredPositionsAreNamed) {
    const priceimport::Preview preview = import->preview(tableOf({
        {text("1"), text("1"), empty, text("Ново"), empty},
        {},
        {text("1"), text("2")},
    }));
    EXPECT_EQ(preview.rows, 2);
    EXPECT_EQ(preview.matched, 2);
    EXPECT_EQ(preview.unchanged, 1);
    ASSERT_EQ(preview.accepted.size(), 1u);
    EXPECT_TRUE(preview.refused.empty()) << preview.text().toStdString();
    ASSERT_EQ(preview.uncovered.size(), 1u);
    EXPECT_EQ(preview.uncovered[0].lot, QStringLiteral("1"));
    EXPECT_EQ(preview.uncovered[0].position, QStringLiteral("3"));

    auto expected = offeredValues(file);
    EXPECT_EQ(import->store(preview).stored, 1);
    expected["101"] = {"5", "Ново", "10"};
    EXPECT_EQ(offeredValues(file), expected);
}

// Storing tells how far it has come; stopped part way, it puts back what it stored, so that the
// file holds what it held before, and says so.
TEST_F(PriceImportTest, StoringStoppedPartWayLeavesTheFileAsItWas) {
    const priceimport::Preview preview =
        import->preview(tableOf({{text("1"), text("1"), number(6.5), text("А"), number(1)},
                                 {text("1"), text("2"), number(7.5), text("Б"), number(2)},
                                 {text("1"), text("3"), number(8.5), text("В"), number(3)}}));
    ASSERT_EQ(preview.accepted.size(), 3u) << preview.text().toStdString();
    const auto before = offeredValues(file);

    std::vector<std::pair<int, int>> told;
    const priceimport::Outcome stopped = import->store(preview, {}, [&](int done, int total) {
        told.emplace_back(done, total);
        return done < 2;
    });
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));
    EXPECT_EQ(stopped.stored, 0) << stopped.text().toStdString();
    EXPECT_EQ(stopped.notStored.size(), 3u);
    EXPECT_TRUE(stopped.error.contains(QStringLiteral("прекъснат")))
        << stopped.text().toStdString();
    EXPECT_EQ(offeredValues(file), before);

    told.clear();
    const priceimport::Outcome whole = import->store(preview, {}, [&](int done, int total) {
        told.emplace_back(done, total);
        return true;
    });
    EXPECT_EQ(told.size(), 3u);
    EXPECT_EQ(whole.stored, 3);
    EXPECT_TRUE(whole.complete()) << whole.text().toStdString();
    EXPECT_EQ(offeredValues(file)["103"], (std::vector<std::string>{"8.5", "В", "3"}));
}

// A price list handed back unchanged is no change, even where the file holds more decimals than
// the column allows to type; a new value with as many is refused.
TEST_F(PriceImportTest, AStoredValueWithMoreDecimalsThanItsColumnComesBackUnrefused) {
    nlohmann::json tender = importTender();
    tender["PREDLOGENIA"][1]["PP1_NUMBER"] = 5.125;
    open(tender);
    const auto before = offeredValues(file);
    const priceimport::Preview same = import->preview(
        tableOf({{text("1"), text("1"), number(5.125), text("Старо"), number(10)}}));
    EXPECT_TRUE(same.refused.empty()) << same.text().toStdString();
    EXPECT_EQ(same.unchanged, 1);

    const priceimport::Preview changed = import->preview(
        tableOf({{text("1"), text("1"), number(5.126), text("Старо"), number(10)}}));
    ASSERT_EQ(changed.refused.size(), 1u);
    EXPECT_TRUE(changed.refused[0].reason.contains(QStringLiteral("повече от 2")));
    import->store(same);
    import->store(changed);
    EXPECT_EQ(offeredValues(file), before);
}

// Codes a spreadsheet program turned into numbers still match, and the columns are found by
// their heads in any order, other columns ignored.
TEST_F(PriceImportTest, ColumnsAreFoundByTheirHeadsAndNumericCodesMatch) {
    const Row heads = {text("Срок"), text("Бележка"), text("Номер"), text("Цена"),
                       text("Обособена позиция")};
    const priceimport::Preview preview = import->preview(
        tableOf({{number(3), text("x"), number(2), number(8.25), number(1)}}, heads));
    ASSERT_EQ(preview.accepted.size(), 0u) << preview.text().toStdString();
    // Without "Марка" the position keeps its empty text, which its limit refuses.
    ASSERT_EQ(preview.refused.size(), 1u);
    EXPECT_EQ(preview.refused[0].position, QStringLiteral("2"));
    EXPECT_TRUE(preview.refused[0].reason.contains(QStringLiteral("Марка")));

    const priceimport::Preview priced = import->preview(
        tableOf({{number(3), text("x"), number(1), number(8.25), number(1)}}, heads));
    ASSERT_EQ(priced.accepted.size(), 1u) << priced.text().toStdString();
    EXPECT_EQ(import->store(priced).stored, 1);
    EXPECT_EQ(offeredValues(file)["101"], (std::vector<std::string>{"8.25", "Старо", "3"}));
}

TEST_F(PriceImportTest, ASheetWithoutTheColumnsItNeedsIsRefusedWhole) {
    const std::vector<std::pair<Row, QString>> cases = {
        {{text("Номер"), text("Цена")}, QStringLiteral("Обособена позиция")},
        {{text("Обособена позиция"), text("Цена")}, QStringLiteral("Номер")},
        {{text("Обособена позиция"), text("Номер"), text("Наименование")},
         QStringLiteral("предлагани стойности")},
        {{text("Обособена позиция"), text("Номер"), text("Цена"), text("Цена")},
         QStringLiteral("повече от веднъж")},
    };
    for (const auto& [heads, message] : cases) {
        try {
            import->preview(tableOf({{ text("1"), text("1"), number(2) }}, heads));
            ADD_FAILURE() << "accepted " << message.toStdString();
        } catch (const data::Error& error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(message)) << error.what();
        }
    }
}

// Price lists as the bidder's spreadsheet program saves them, read from the file: each refuses
// what it must, names it, and stores the good row beside it and nothing else.
TEST_F(PriceImportTest, CsvFilesRefuseWhatTheyMustAndStoreTheRest) {
    struct Case {
        const char* name;
        QString rows; // after the heads; row 2 is the first
        bool windows1251;
        std::vector<QString> refusals; // a part of each reason, in the order of the rows
        std::size_t uncovered;
        std::map<std::string, std::vector<std::string>> stored;
    };
    const QString good = QStringLiteral("1;3;7.5;Б;2\r\n");
    const std::map<std::string, std::vector<std::string>> goodStored = {{"103", {"7.5", "Б", "2"}}};
    const Case cases[] = {
        {"unknown code", good + "1;9;4;A;1\r\n", false, {"няма такава позиция"}, 2, goodStored},
        {"positions the file leaves out", good, false, {}, 2, goodStored},
        {"duplicate code",
         good + "1;2;4;A;1\r\n1;2;6;B;2\r\n",
         false,
         {"2 пъти", "2 пъти"},
         1,
         goodStored},
        {"a value failing its limit",
         good + "1;2;0;A;1\r\n",
         false,
         {"\"Цена\" трябва да е по-голямо от 0."},
         1,
         goodStored},
        {"text in a number column",
         good + "1;2;дванайсет;A;1\r\n",
         false,
         {"текст"},
         1,
         goodStored},
        {"Windows-1251 with decimal commas",
         "1;3;7,5;Бяло;2\r\n1;2;1 234,5;Ъгъл;1\r\n",
         true,
         {},
         1,
         {{"103", {"7.5", "Бяло", "2"}}, {"102", {"1234.5", "Ъгъл", "1"}}}},
    };
    const QString heads = QStringLiteral("Обособена позиция;Номер;Цена;Марка;Срок\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(importTender());
        const auto before = offeredValues(file);
        const QString csv = folder.path() + QStringLiteral("/prices.csv");
        QFile out(csv);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        const QString content = heads + c.rows;
        out.write(c.windows1251 ? QStringEncoder("windows-1251")(content) : content.toUtf8());
        out.close();

        const priceimport::Preview preview = import->preview(sheet::readWorkbook(csv));
        ASSERT_EQ(preview.refused.size(), c.refusals.size()) << preview.text().toStdString();
        for (std::size_t i = 0; i < c.refusals.size(); ++i)
            EXPECT_TRUE(preview.refused[i].reason.contains(c.refusals[i]))
                << preview.refused[i].reason.toStdString();
        EXPECT_EQ(preview.uncovered.size(), c.uncovered);
        EXPECT_EQ(import->store(preview).stored, static_cast<int>(c.stored.size()));
        auto expected = before;
        for (const auto& [code, values] : c.stored)
            expected[code] = values;
        EXPECT_EQ(offeredValues(file), expected);
    }
}

// A price column holding both "7.5" and "6,25" does not decide its separator: the regional one
// is taken and said, and the price written the other way is refused, not read as a guess.
TEST_F(PriceImportTest, BothDecimalSeparatorsInAColumnRefuseTheOtherAndSaySo) {
    const QString csv = folder.path() + QStringLiteral("/prices.csv");
    QFile out(csv);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Обособена позиция;Номер;Цена;Марка;Срок\r\n1;3;7.5;Б;2\r\n1;2;6,25;A;1\r\n");
    out.close();
    const bool regionalPoint = QLocale::system().decimalPoint() == QLatin1String(".");

    auto expected = offeredValues(file);
    const priceimport::Preview preview = import->preview(sheet::readWorkbook(csv));
    EXPECT_TRUE(preview.text().contains(QStringLiteral("регионалните настройки")))
        << preview.text().toStdString();
    ASSERT_EQ(preview.refused.size(), 1u) << preview.text().toStdString();
    EXPECT_EQ(preview.refused[0].sheetRow, regionalPoint ? 3 : 2);
    EXPECT_TRUE(preview.refused[0].reason.contains(QStringLiteral("число, записано като текст")));
    EXPECT_EQ(import->store(preview).stored, 1);
    if (regionalPoint)
        expected["103"] = {"7.5", "Б", "2"};
    else
        expected["102"] = {"6.25", "A", "1"};
    EXPECT_EQ(offeredValues(file), expected);
}

// A pass stopped after any number of page writes leaves each position with its old or its new
// values, and the outcome's count is what the file holds. The long texts make rows move to
// other pages, the posts with the most writes to order.
TEST_F(PriceImportTest, AFailurePartWayLeavesEachPositionOldOrNewAndTheCountTrue) {
    nlohmann::json tender = importTender();
    const int count = 24;
    for (int i = 0; i < count; ++i)
        tender["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 1000 + i},
                                         {"MASTER_CODE", 300},
                                         {"CUSTOM_CODE", std::to_string(10 + i)},
                                         {"PP1_NUMBER", 1.0},
                                         {"PP2_TEXT", "x"},
                                         {"PP3_NUMBER", 1.0}});
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({text("3"), text(QString::number(10 + i)), number(2.5 + i),
                        text(QString(200, QChar(u'Ж'))), number(4)});

    const std::string longText = QString(200, QChar(u'Ж')).toStdString();
    for (std::size_t limit : {0u, 1u, 3u, 10u, 25u}) {
        SCOPED_TRACE("stopped after " + std::to_string(limit) + " page writes");
        import.reset();
        qrySpecs->close();
        connection = data::Connection();
        fixture::TenderFolder fresh;
        file = fresh.write(tender);
        connection.open(file);
        qrySpecs->open();
        import = std::make_unique<priceimport::PriceImport>(connection, *qrySpecs);

        const priceimport::Preview preview = import->preview(tableOf(rows));
        ASSERT_EQ(preview.accepted.size(), static_cast<std::size_t>(count));
        connection.database().file().failAfterWrites(limit);
        const priceimport::Outcome outcome = import->store(preview);
        connection.database().file().failAfterWrites(std::nullopt);

        int stored = 0;
        for (int i = 0; i < count; ++i) {
            const auto held = [&](const char* column) {
                return fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE",
                                           std::int64_t{1000 + i}, column);
            };
            const std::vector<jet::Value> values = {held("PP1_NUMBER"), held("PP2_TEXT"),
                                                    held("PP3_NUMBER")};
            const std::vector<jet::Value> newValues = {2.5 + i, longText, 4.0};
            const std::vector<jet::Value> oldValues = {1.0, std::string("x"), 1.0};
            const bool isNew = values == newValues;
            EXPECT_TRUE(isNew || values == oldValues) << i;
            stored += isNew ? 1 : 0;
        }
        EXPECT_EQ(outcome.stored, stored);
        EXPECT_EQ(outcome.notStored.size(), static_cast<std::size_t>(count - stored));
        EXPECT_LT(stored, count);
        EXPECT_TRUE(outcome.text().contains(
            QStringLiteral("Записани позиции: %1 от %2").arg(stored).arg(count)));
    }
}

} // namespace
