// SPDX-License-Identifier: Apache-2.0
// The import of a filled price list: which rows and values the preview takes and refuses, what
// storing writes (read back with mdb-export), and what a failure part way leaves.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "jet/check.h"
#include "jet/data_page.h"
#include "jet/database_builder.h"
#include "jet/map_update.h"
#include "jet/usage_map.h"
#include "offer/import_workflow.h"
#include "offer/price_import.h"
#include "ui/scripted_dialogs.h"

#include "import_sheets.h"
#include "tender_fixture.h"
#include "tests/export/brx_offer_run.h"
#include "tests/tools/tender_file_support.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <QFile>
#include <QLocale>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>

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
// A number as the file writes it, which is what the import decides on.
Cell written(const QString& value) {
    return {CellKind::Number, value, value.toDouble()};
}
const Cell empty;

using importsheets::importTender;

const Row kHeads = {text("Обособена позиция"), text("Номер"), text("Цена"), text("Марка"),
                    text("Срок")};

sheet::Table tableOf(std::vector<Row> rows, Row heads = kHeads) {
    sheet::Table table;
    table.rows.push_back(std::move(heads));
    for (Row& row : rows)
        table.rows.push_back(std::move(row));
    return table;
}

QChar regional() {
    return sheet::regionalDecimalSeparator();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    void open(const nlohmann::json& tender, const tender::SchemaChanges& changes = {}) {
        openFile(folder.write(tender, changes));
    }
    void openFile(const QString& path) {
        import.reset();
        qrySpecs->close();
        connection = data::Connection();
        file = path;
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

// A case shows in the test's output by its name.
void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

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
        // The decimals and digits are counted on the text as read, never with a tolerance.
        RefusalCase{"ATrillionthInExponentForm",
                    {{text("1"), text("2"), written("1e-12"), text("A"), number(1)}},
                    "Цена",
                    "повече от 2 знака"},
        RefusalCase{"ATrillionthInFull",
                    {{text("1"), text("2"), written("0.000000000001"), text("A"), number(1)}},
                    "Цена",
                    "повече от 2 знака"},
        RefusalCase{"ATenthOfALargeWholeNumber",
                    {{text("1"), text("2"), number(4), text("A"), written("1000000000.4")}},
                    "Срок",
                    "цяло число"},
        RefusalCase{"AThousandthOfALargePrice",
                    {{text("1"), text("2"), written("123456789.004"), text("A"), number(1)}},
                    "Цена",
                    "повече от 2 знака"},
        RefusalCase{"APriceBeyondWhatTheOfferFileWritesExactly",
                    {{text("1"), text("2"), written("1e308"), text("A"), number(1)}},
                    "Цена",
                    "повече от 15 цифри"},
        RefusalCase{"SixteenDigits",
                    {{text("1"), text("2"), written("123456789012345.6"), text("A"), number(1)}},
                    "Цена",
                    "повече от 15 цифри"},
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

// However the file writes a number, what counts is its value's digits: trailing zeros, leading
// zeros and an exponent are no decimals of their own.
TEST_F(PriceImportTest, NumbersAreTakenByTheirValueHoweverWritten) {
    const std::pair<QString, std::string> cases[] = {
        {QStringLiteral("1.5E1"), "15"},
        {QStringLiteral("7.50000"), "7.5"},
        {QStringLiteral("0012.30"), "12.3"},
        {QStringLiteral("1234567890123.45"), "1234567890123.45"},
        {QStringLiteral("125E-2"), "1.25"},
    };
    for (const auto& [given, stored] : cases) {
        SCOPED_TRACE(given.toStdString());
        const priceimport::Preview preview = import->preview(
            tableOf({{text("1"), text("3"), written(given), text("Б"), number(2)}}));
        ASSERT_EQ(preview.accepted.size(), 1u) << preview.text().toStdString();
        EXPECT_EQ(import->store(preview).stored, 1);
        EXPECT_EQ(offeredValues(file)["103"][0], stored);
    }
}

// A price column the file keeps as Single holds 0.07 as the float nearest to it: stored, said
// to be stored, and the same sheet again changes nothing.
TEST_F(PriceImportTest, ASingleColumnStoresItsValueAndSaysSo) {
    tender::SchemaChanges single;
    single.retyped.push_back({"PREDLOGENIA.PP1_NUMBER", "single"});
    open(importTender(), single);

    const sheet::Table sheet =
        tableOf({{text("1"), text("3"), written("0.07"), text("Б"), number(2)}});
    const priceimport::Outcome outcome = import->store(import->preview(sheet));
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_TRUE(outcome.complete()) << outcome.text().toStdString();
    EXPECT_FALSE(outcome.text().contains(QStringLiteral("запазват")))
        << outcome.text().toStdString();

    const priceimport::Preview again = import->preview(sheet);
    EXPECT_EQ(again.unchanged, 1) << again.text().toStdString();
    EXPECT_TRUE(again.accepted.empty());
    // Read back, the price is the one imported, not the float's 0.0700000002980232 that the
    // offer file would carry.
    EXPECT_EQ(
        fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{103}, "PP1_NUMBER"),
        jet::Value(0.07));
}

// Thousands of refused rows, each naming a code of thousands of characters, make a text a
// person reads: the first lines, codes cut short, and the count of the rest.
TEST_F(PriceImportTest, ThePreviewListsTheFirstRefusalsAndCountsTheRest) {
    const QString longCode(32767, QLatin1Char('7'));
    std::vector<Row> rows(5000, Row{text(longCode), text("1"), number(4), text("A"), number(1)});
    const priceimport::Preview preview = import->preview(tableOf(rows));
    EXPECT_EQ(preview.refused.size(), 5000u);
    const QString shown = preview.text();
    EXPECT_LT(shown.size(), 40'000) << "one line a refusal, codes cut short";
    EXPECT_TRUE(shown.contains(QStringLiteral("… и още %1").arg(5000 - priceimport::kListed)));
    EXPECT_TRUE(shown.contains(QStringLiteral("ред 2, обособена позиция 7777")));
}

// Two offer values captioned alike still make a template the import reads back: each of them
// is headed by its caption and its column's number.
TEST_F(PriceImportTest, CaptionsThatRepeatGiveUniqueHeadsTheImportReads) {
    nlohmann::json tender = importTender();
    tender["SPECS"][0]["PP3_IME"] = "Марка";
    open(tender);
    QStringList heads;
    for (const pricelist::Column& column : pricelist::columns(*qrySpecs))
        heads << column.head;
    EXPECT_EQ(heads.mid(6), (QStringList{QStringLiteral("Марка (7)"), QStringLiteral("Марка (8)"),
                                         pricelist::keyHead()}));

    Row headCells;
    for (const QString& head : heads)
        headCells.push_back(text(head));
    const priceimport::Preview preview =
        import->preview(tableOf({{text("1"), text("3"), text("Изделие 3"), empty, empty,
                                  number(7.5), text("Б"), number(2), number(103)}},
                                headCells));
    ASSERT_EQ(preview.accepted.size(), 1u) << preview.text().toStdString();
    EXPECT_EQ(import->store(preview).stored, 1);
    EXPECT_EQ(offeredValues(file)["103"], (std::vector<std::string>{"7.5", "Б", "2"}));
}

// Files of a few kilobytes that crashed the import, stalled it or slipped a value past its
// checks, each read from disk and judged by what comes of it: refused whole with the reason, or
// read with the row refused or the visible value taken. Nothing is stored from any of them.
TEST_F(PriceImportTest, HostileFilesEndInTheirOutcome) {
    struct Outcome {
        QString refusedWhole; // a part of the reason the file is refused for; empty if read
        QString refusal;      // a part of the reason of the first refused row
        std::size_t refusedRows = 0;
        QString accepted; // the price taken for position 3, if any
    };
    const QString none;
    const auto refusedWhole = [&](const char* reason) {
        return Outcome{QString::fromUtf8(reason), none, 0, none};
    };
    const auto rowsRefused = [&](const char* reason, std::size_t rows) {
        return Outcome{none, QString::fromUtf8(reason), rows, none};
    };
    const Outcome visiblePriceTaken{none, none, 0, QStringLiteral("0.05")};
    const std::map<std::string, Outcome> outcomes = {
        {"nested-value", refusedWhole("вложен по-дълбоко")},
        {"nested-text", refusedWhole("вложен по-дълбоко")},
        {"shared-formula", rowsRefused("20000 пъти", 20'000)},
        {"shared-lot-code", rowsRefused("няма такава обособена позиция", 20'000)},
        {"shared-long-number", rowsRefused("20000 пъти", 20'000)},
        {"row-number-near-int-min", refusedWhole("ред с непознат номер")},
        {"cell-in-extension", visiblePriceTaken},
        {"row-of-another-namespace", visiblePriceTaken},
        {"lone-surrogate-utf16-sheet", refusedWhole("самотен сурогат")},
        {"lone-surrogate-utf16-csv", refusedWhole("не е правилен UTF-16")},
        {"trillionth-price-csv", rowsRefused("повече от 2 знака", 1)},
        {"huge-price", rowsRefused("повече от 15 цифри", 1)},
        {"tenth-of-whole-number-csv", rowsRefused("трябва да е цяло число", 1)},
        {"seventeen-digit-price", Outcome{none, none, 0, QStringLiteral("4.35")}},
        {"price-of-a-hidden-sheet", visiblePriceTaken},
        {"price-given-twice", refusedWhole("клетка C2 е дадена два пъти")},
        {"escaped-nul-in-a-text", refusedWhole("управляващ знак (U+0000)")},
        {"grouped-price-csv", rowsRefused("не е десетичният знак", 1)},
    };
    const auto before = offeredValues(file);
    std::size_t checked = 0;
    for (const importsheets::HostileSheet& hostile : importsheets::hostileSheets()) {
        SCOPED_TRACE(hostile.name);
        EXPECT_LE(hostile.bytes.size(), 8 * 1024) << "a few kilobytes on disk";
        const auto expected = outcomes.find(hostile.name);
        ASSERT_NE(expected, outcomes.end()) << "no outcome given";
        ++checked;
        const QString path = folder.path() + QLatin1Char('/') + hostile.fileName;
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(hostile.bytes);
        out.close();
        const Outcome& outcome = expected->second;
        try {
            const priceimport::Preview preview = import->preview(sheet::readWorkbook(path));
            EXPECT_TRUE(outcome.refusedWhole.isEmpty()) << "read";
            EXPECT_EQ(static_cast<std::size_t>(preview.refusedRows()), outcome.refusedRows);
            if (!preview.refused.empty()) {
                EXPECT_TRUE(preview.refused[0].reason.contains(outcome.refusal))
                    << preview.refused[0].reason.toStdString();
            }
            EXPECT_LT(preview.text().size(), 100'000);
            if (outcome.accepted.isEmpty()) {
                EXPECT_TRUE(preview.accepted.empty());
            } else {
                ASSERT_EQ(preview.accepted.size(), 1u) << preview.text().toStdString();
                EXPECT_EQ(preview.accepted[0].values.at(0).second.toString(), outcome.accepted);
            }
        } catch (const sheet::WorkbookError& refused) {
            EXPECT_FALSE(outcome.refusedWhole.isEmpty()) << refused.what();
            EXPECT_TRUE(refused.message().contains(outcome.refusedWhole)) << refused.what();
        }
    }
    EXPECT_EQ(checked, outcomes.size());
    EXPECT_EQ(offeredValues(file), before);
}

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
// file is byte for byte what it was, and says so.
TEST_F(PriceImportTest, StoringStoppedPartWayLeavesTheFileAsItWas) {
    const priceimport::Preview preview =
        import->preview(tableOf({{text("1"), text("1"), number(6.5), text("А"), number(1)},
                                 {text("1"), text("2"), number(7.5), text("Б"), number(2)},
                                 {text("1"), text("3"), number(8.5), text("В"), number(3)}}));
    ASSERT_EQ(preview.accepted.size(), 3u) << preview.text().toStdString();
    const QByteArray before = fileBytes(file);

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
    EXPECT_EQ(fileBytes(file), before);

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
    const QString good = QStringLiteral("1;3;7D5;Б;2\r\n").replace(u'D', regional());
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
        {"Windows-1251 with the regional decimal separator",
         QStringLiteral("1;3;7D5;Бяло;2\r\n1;2;1 234D5;Ъгъл;1\r\n").replace(u'D', regional()),
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

// A CSV number is read with the regional decimal separator only: one written with the other
// mark is refused, naming what it could be, and nothing of its row is stored.
TEST_F(PriceImportTest, ANumberWithTheOtherSeparatorIsRefusedNamingBothReadings) {
    const bool comma = regional() == u',';
    const QString csv = folder.path() + QStringLiteral("/prices.csv");
    QFile out(csv);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write((QStringLiteral("Обособена позиция;Номер;Цена;Марка;Срок\r\n1;3;7D5;Б;2\r\n"
                              "1;2;%1;A;1\r\n")
                   .replace(u'D', regional())
                   .arg(comma ? "1.234" : "1,234"))
                  .toUtf8());
    out.close();

    auto expected = offeredValues(file);
    const priceimport::Preview preview = import->preview(sheet::readWorkbook(csv));
    EXPECT_TRUE(preview.text().contains(QStringLiteral("регионалните настройки")))
        << preview.text().toStdString();
    ASSERT_EQ(preview.refused.size(), 1u) << preview.text().toStdString();
    EXPECT_EQ(preview.refused[0].sheetRow, 3);
    EXPECT_EQ(preview.refused[0].column, QStringLiteral("Цена"));
    EXPECT_TRUE(preview.refused[0].reason.contains(comma
                                                       ? QStringLiteral("1.234: 1234 или 1,234?")
                                                       : QStringLiteral("1,234: 1234 или 1.234?")))
        << preview.refused[0].reason.toStdString();
    EXPECT_EQ(import->store(preview).stored, 1);
    expected["103"] = {"7.5", "Б", "2"};
    EXPECT_EQ(offeredValues(file), expected);
}

// A CSV written under one regional setting and imported under the other: every price that the
// other setting would read as another number is refused, the file unchanged to the byte; under
// the setting it was written with, it is the same offer again.
TEST_F(PriceImportTest, ACsvWrittenUnderOtherSettingsChangesNoPrice) {
    nlohmann::json tender = importTender();
    tender["PREDLOGENIA"][1]["PP1_NUMBER"] = 11.999;
    open(tender);
    import.reset();
    qrySpecs->close();
    connection = data::Connection();
    const QByteArray before = fileBytes(file);
    for (const auto& [written, imported] :
         {std::pair{"bg_BG.UTF-8", "en_US.UTF-8"}, std::pair{"en_US.UTF-8", "bg_BG.UTF-8"}}) {
        SCOPED_TRACE(std::string(written) + " to " + imported);
        const QString csv = folder.path() + QStringLiteral("/prices.csv");
        const exporttest::ProgramRun made = exporttest::brxOffer(
            {QStringLiteral("template"), file, QStringLiteral("1"), QStringLiteral("-o"), csv},
            folder.path(), written);
        ASSERT_EQ(made.status, 0) << made.err.toStdString();
        const exporttest::ProgramRun other =
            exporttest::brxOffer({QStringLiteral("import"), file, csv}, folder.path(), imported);
        EXPECT_EQ(other.status, 1) << other.out.toStdString();
        EXPECT_TRUE(other.out.contains(QStringLiteral("не е десетичният знак")))
            << other.out.toStdString();
        EXPECT_EQ(fileBytes(file), before);
        const exporttest::ProgramRun same =
            exporttest::brxOffer({QStringLiteral("import"), file, csv, QStringLiteral("--dry-run")},
                                 folder.path(), written);
        EXPECT_TRUE(same.out.contains(QStringLiteral("Отказани редове: 0")))
            << same.out.toStdString();
    }
}

// A position without a code is priced through the template's key column, which the import
// matches by; every message names it by its name. Without the key a row still needs its code,
// and a key copied onto another position's row is refused, never taken for either.
TEST_F(PriceImportTest, APositionWithoutACodeIsPricedByItsKeyAndNamedByItsName) {
    nlohmann::json tender = importTender();
    tender["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 104},
                                     {"MASTER_CODE", 100},
                                     {"IME", "Изделие без номер"},
                                     {"PP2_TEXT", "В"},
                                     {"PP3_NUMBER", 1.0}});
    open(tender);
    const QString xlsx = folder.path() + QStringLiteral("/prices.xlsx");
    {
        std::unique_ptr<data::Dataset> positions = data::makeQryData(connection);
        positions->setParameter(QStringLiteral("MASTER_CODE"), 100);
        positions->open();
        sheet::Table table = pricelist::table(*qrySpecs, QStringLiteral("1"), *positions);
        ASSERT_EQ(table.rows.front().back().text, pricelist::keyHead());
        for (std::size_t r = 1; r < table.rows.size(); ++r) {
            table.rows[r][5] = number(3.5);
            table.rows[r][6] = text("М");
            table.rows[r][7] = number(1);
        }
        sheet::writeWorkbook(xlsx, table);
    }
    const priceimport::Preview preview = import->preview(sheet::readWorkbook(xlsx));
    EXPECT_TRUE(preview.text().startsWith(QStringLiteral("Прочетен лист: „Цени“\n")))
        << preview.text().toStdString();
    EXPECT_TRUE(preview.refused.empty()) << preview.text().toStdString();
    EXPECT_EQ(preview.accepted.size(), 4u) << preview.text().toStdString();
    EXPECT_EQ(import->store(preview).stored, 4);
    EXPECT_EQ(offeredValues(file)["104"], (std::vector<std::string>{"3.5", "М", "1"}));

    const Row heads = {text("Обособена позиция"), text("Номер"), text("Цена"),
                       text("Ключ (не променяйте)")};
    struct Case {
        const char* name;
        std::vector<Row> rows;
        Row heads;
        std::vector<QString> refusals; // each refusal as the preview lists it
    };
    const Case cases[] = {
        {"no key column: a row needs its code",
         {{text("1"), empty, number(4)}},
         {heads[0], heads[1], heads[2]},
         {QStringLiteral("ред 2, обособена позиция 1: липсва номер на позицията")}},
        {"a key of another position beside a code",
         {{text("1"), text("2"), number(4), number(101)}},
         heads,
         {QStringLiteral("ред 2, обособена позиция 1, позиция 2: ключът е на друга позиция "
                         "(позиция 1)")}},
        {"a key of another lot",
         {{text("1"), empty, number(4), number(301)}},
         heads,
         {QStringLiteral("ред 2, обособена позиция 1: няма такава позиция")}},
        {"one position by its code and by its key",
         {{text("1"), text("3"), number(4), empty}, {text("1"), empty, number(5), number(103)}},
         heads,
         {QStringLiteral("ред 2, обособена позиция 1, позиция 3: позицията е в таблицата 2 пъти"),
          QStringLiteral("ред 3, обособена позиция 1, позиция 3: позицията е в таблицата 2 пъти")}},
        {"a value refused",
         {{text("1"), empty, number(0), number(104)}},
         heads,
         {QStringLiteral("ред 2, обособена позиция 1, позиция „Изделие без номер“: \"Цена\"")}},
    };
    const auto stored = offeredValues(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const priceimport::Preview refused = import->preview(tableOf(c.rows, c.heads));
        const QString shown = refused.text();
        ASSERT_EQ(refused.refused.size(), c.refusals.size()) << shown.toStdString();
        for (const QString& line : c.refusals)
            EXPECT_TRUE(shown.contains(line)) << shown.toStdString();
        import->store(refused);
    }
    EXPECT_EQ(offeredValues(file), stored);

    // Left out, the position is named by its name among those the sheet does not cover.
    const priceimport::Preview uncovered =
        import->preview(tableOf({{text("1"), text("1"), number(4), text("Б"), number(1)}}));
    EXPECT_TRUE(uncovered.text().contains(
        QStringLiteral("обособена позиция 1, позиция „Изделие без номер“\n")))
        << uncovered.text().toStdString();
}

// Reading a sheet and matching its rows tell how far they have come, the way counted once from
// the start to its end in steps few enough to draw; stopped at any point, nothing is asked and
// the file is as it was.
TEST_F(PriceImportTest, ReadingASheetTellsHowFarAndMayBeStopped) {
    sheet::Table table = tableOf({});
    for (int i = 0; i < 2000; ++i)
        table.rows.push_back({text("1"), text("3"), number(7.5), text("Б"), number(2)});
    const QByteArray before = fileBytes(file);
    for (const QString& name : {QStringLiteral("many.xlsx"), QStringLiteral("many.csv")}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.path() + QLatin1Char('/') + name;
        sheet::writeWorkbook(path, table, regional());

        ScriptedDialogs dialogs;
        std::vector<std::pair<int, int>> told;
        PriceImportWorkflow(dialogs, connection, *qrySpecs).run(path, {}, [&](int done, int total) {
            told.emplace_back(done, total);
            return true;
        });
        // In steps, each told once, through reading and matching alike.
        ASSERT_GT(told.size(), 1000u);
        EXPECT_EQ(told.back().first, told.back().second);
        for (std::size_t i = 1; i < told.size(); ++i) {
            EXPECT_GT(told[i].first, told[i - 1].first) << i;
            EXPECT_EQ(told[i].second, told[0].second) << i;
        }
        EXPECT_EQ(dialogs.asked.size(), 1u) << "the preview, once all is read";

        // Stopped while the file is read, and while its rows are matched.
        for (const double stopPast : {0.0, 0.5}) {
            ScriptedDialogs stopped;
            const PriceImportWorkflow::Report report =
                PriceImportWorkflow(stopped, connection, *qrySpecs)
                    .run(path, {}, [&](int done, int total) { return done <= stopPast * total; });
            EXPECT_FALSE(report.read);
            EXPECT_TRUE(stopped.asked.empty()) << stopped.asked.front().text.toStdString();
        }
    }
    EXPECT_EQ(fileBytes(file), before);
}

// A tender whose positions need more room than the pages they were delivered on: the long texts
// move rows to new pages as they are stored.
struct GrowingTender {
    nlohmann::json description = importTender();
    std::vector<Row> rows;
    static constexpr int kCount = 24;

    GrowingTender() {
        for (int i = 0; i < kCount; ++i) {
            description["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 1000 + i},
                                                  {"MASTER_CODE", 300},
                                                  {"CUSTOM_CODE", std::to_string(10 + i)},
                                                  {"PP1_NUMBER", 1.0},
                                                  {"PP2_TEXT", "x"},
                                                  {"PP3_NUMBER", 1.0}});
            rows.push_back({text("3"), text(QString::number(10 + i)), number(2.5 + i),
                            text(QString(200, QChar(u'Ж'))), number(4)});
        }
    }
};

// A pass stopped after any number of page writes leaves each position with its old or its new
// values, and the outcome's count is what the file holds. The long texts make rows move to
// other pages, the posts with the most writes to order.
TEST_F(PriceImportTest, AFailurePartWayLeavesEachPositionOldOrNewAndTheCountTrue) {
    const GrowingTender growing;
    const nlohmann::json& tender = growing.description;
    const std::vector<Row>& rows = growing.rows;
    const int count = GrowingTender::kCount;

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

// A pass that the file cannot take to its end (here the disk fills up as the file grows) puts
// back what it stored: the file is byte for byte what it was, and the outcome says that nothing
// was stored and why.
TEST_F(PriceImportTest, AFileThatCannotTakeThePassIsLeftAsItWas) {
    const GrowingTender tender;
    open(tender.description);
    const priceimport::Preview preview = import->preview(tableOf(tender.rows));
    ASSERT_EQ(preview.accepted.size(), static_cast<std::size_t>(GrowingTender::kCount));
    const QByteArray before = fileBytes(file);
    jet::PageFile& pages = connection.database().file();
    pages.limitLength(pages.pageCount());
    const priceimport::Outcome outcome = import->store(preview);
    pages.limitLength(std::nullopt);

    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(outcome.notStored.size(), static_cast<std::size_t>(GrowingTender::kCount));
    EXPECT_TRUE(outcome.error.contains(QStringLiteral("Нищо не е записано")))
        << outcome.text().toStdString();
    EXPECT_TRUE(outcome.error.contains(QStringLiteral("не е достъпен")))
        << outcome.text().toStdString();

    // With room on the disk the same pass stores everything.
    const priceimport::Outcome again = import->store(preview);
    EXPECT_EQ(again.stored, GrowingTender::kCount) << again.text().toStdString();
    EXPECT_GT(fileBytes(file).size(), before.size());
}

// A lot of 10,000 positions delivered without offered values, its usage maps inline and beside
// the global map on page 1 as some writers make them, is filled by one import: every row moves
// to a new page, every map of the table and the file grows, and every value reads back with
// mdb-export. The file stays sound and takes a longer text afterwards.
TEST_F(PriceImportTest, ALargeLotDeliveredEmptyIsFilledByOneImport) {
    nlohmann::json description = tender::generateTender(1, 10000, 33);
    std::vector<Row> rows;
    std::map<std::string, std::vector<std::string>> expected;
    for (nlohmann::json& position : description["PREDLOGENIA"]) {
        if (!position.contains("MASTER_CODE"))
            continue;
        for (const char* offered : {"PP1_NUMBER", "PP2_TEXT", "PP3_TEXT"})
            position.erase(offered);
        const int code = position["PRODUCT_CODE"].get<int>();
        const QString brand = QStringLiteral("Медикс %1").arg(code);
        const double price = 1.25 + code % 1000;
        rows.push_back({text("1"), text(QString::fromStdString(position["CUSTOM_CODE"])),
                        number(price), text(brand), text(QStringLiteral("Медицинска техника АД"))});
        expected[std::to_string(code)] = {QString::number(price, 'g', 15).toStdString(),
                                          brand.toStdString(), "Медицинска техника АД"};
    }
    jet::CreateOptions inlineMaps;
    inlineMaps.inlineMapBytes = 136;
    const QString path = folder.file();
    tender::writeTender(description, path.toStdString(), {}, inlineMaps);
    openFile(path);
    jet::PageFile& pages = connection.database().file();
    const std::uint32_t pagesBefore = pages.pageCount();
    const jet::TableDef def = connection.database().table("PREDLOGENIA");
    const auto mapKinds = [&] {
        return std::vector<std::uint8_t>{jet::readUsageMap(pages, jet::kGlobalMap).kind,
                                         jet::readUsageMap(pages, def.ownedPages).kind,
                                         jet::readUsageMap(pages, def.freeSpacePages).kind};
    };
    ASSERT_EQ(mapKinds(), std::vector<std::uint8_t>(3, jet::kInlineMap));
    // Too little room on page 1 for the global map to lengthen by Access's step of 32 bytes.
    ASSERT_LT(jet::DataPage(pages.read(1), "page 1").freeSpace(), 32u);

    const Row heads = {text("Обособена позиция"), text("№ по ред"), text("Ед. цена без ДДС"),
                       text("Търговско наименование"), text("Производител")};
    const priceimport::Preview preview = import->preview(tableOf(rows, heads));
    ASSERT_EQ(preview.accepted.size(), rows.size()) << preview.text().left(2000).toStdString();
    const priceimport::Outcome outcome = import->store(preview);
    EXPECT_EQ(outcome.stored, static_cast<int>(rows.size()))
        << outcome.text().left(2000).toStdString();
    EXPECT_TRUE(outcome.complete());
    EXPECT_GT(pages.pageCount(), pagesBefore);
    EXPECT_EQ(mapKinds(), std::vector<std::uint8_t>(3, jet::kReferenceMap));

    const tendertest::ExportedTable exported =
        tendertest::mdbExport(path.toStdString(), "PREDLOGENIA");
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(
            std::find(exported.columns.begin(), exported.columns.end(), name) -
            exported.columns.begin());
    };
    std::map<std::string, std::vector<std::string>> read;
    for (const auto& row : exported.rows)
        if (expected.contains(row[column("PRODUCT_CODE")]))
            read[row[column("PRODUCT_CODE")]] = {row[column("PP1_NUMBER")], row[column("PP2_TEXT")],
                                                 row[column("PP3_TEXT")]};
    EXPECT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected);
    EXPECT_EQ(jet::checkDatabase(path.toStdString()), std::vector<std::string>{});

    const std::string longer(200, 'z');
    fixture::updateRow(path, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{5000},
                       {{"PP2_TEXT", longer}});
    EXPECT_EQ(
        fixture::readColumn(path, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{5000}, "PP2_TEXT"),
        jet::Value(longer));
}

} // namespace
