// SPDX-License-Identifier: Apache-2.0
// A lot's price list written as a sheet, filled outside the program and imported back: every
// value it was filled with reaches the file, as mdb-export reads it.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "offer/price_import.h"

#include "tender_fixture.h"
#include "tests/export/brx_offer_run.h"
#include "tests/tools/tender_file_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// A lot "3" taken part in with positions that sort 1, 2, 10, partly priced; a text and two
// number offer values besides the price, all of them whole numbers.
nlohmann::json roundTripTender() {
    const auto position = [](int product, const char* code) {
        return nlohmann::json{{"PRODUCT_CODE", product}, {"MASTER_CODE", 300},
                              {"CUSTOM_CODE", code},     {"IME", std::string("Изделие ") + code},
                              {"MEASURE_IME", "бр."},    {"GODISHNO_POTREBLENIE", 100.0}};
    };
    nlohmann::json priced = position(301, "10");
    priced.update({{"PP1_NUMBER", 7.0}, {"PP2_TEXT", "Стара"}, {"PP4_NUMBER", 2.0}});
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "ЕТ Иван"},
               {"PP1_IME", "Ед. цена"},
               {"PP2_TIP", 2},
               {"PP2_IME", "Търговско наименование"},
               {"PP3_TIP", 3},
               {"PP3_IME", "Отстъпка"},
               {"PP4_TIP", 3},
               {"PP4_IME", "Опаковка"}}}},
            {"PREDLOGENIA",
             {{{"PRODUCT_CODE", 300}, {"CUSTOM_CODE", "3"}, {"PP2_TEXT", "Да"}},
              priced,
              position(302, "1"),
              position(303, "2")}}};
}

// The offer values of a position as mdb-export prints them: the price, PP2 text, PP3 and PP4.
std::vector<std::string> exported(const QString& file, const std::string& productCode) {
    const tendertest::ExportedTable table =
        tendertest::mdbExport(file.toStdString(), "PREDLOGENIA");
    const auto at = [&](const std::string& name) {
        return static_cast<std::size_t>(
            std::find(table.columns.begin(), table.columns.end(), name) - table.columns.begin());
    };
    for (const auto& row : table.rows)
        if (row[at("PRODUCT_CODE")] == productCode)
            return {row[at("PP1_NUMBER")], row[at("PP2_TEXT")], row[at("PP3_NUMBER")],
                    row[at("PP4_NUMBER")]};
    return {};
}

// Fills the price list as a bidder's script would, with Python's own CSV module: for the i-th
// position the price 11 + i, the trade name "Марка i", the discount i and the package 5.
const char* const kFillCsv = R"(
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), delimiter=';'))
heads = rows[0]
for i, row in enumerate(rows[1:]):
    row += [''] * (len(heads) - len(row))
    row[heads.index('Ед. цена')] = str(11 + i)
    row[heads.index('Търговско наименование')] = 'Марка %d' % i
    row[heads.index('Отстъпка')] = str(i)
    row[heads.index('Опаковка')] = '5'
csv.writer(open(sys.argv[2], 'w', encoding='utf-8', newline=''), delimiter=';').writerows(rows)
)";

// The same filling on the sheet as read back, for a workbook written again as XLSX.
void fillTable(sheet::Table& table) {
    const auto& heads = table.rows.front();
    const auto column = [&](const QString& head) {
        for (std::size_t i = 0; i < heads.size(); ++i)
            if (heads[i].text == head)
                return i;
        ADD_FAILURE() << head.toStdString();
        return std::size_t{0};
    };
    const std::size_t price = column(QStringLiteral("Ед. цена"));
    const std::size_t name = column(QStringLiteral("Търговско наименование"));
    const std::size_t discount = column(QStringLiteral("Отстъпка"));
    const std::size_t package = column(QStringLiteral("Опаковка"));
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        auto& row = table.rows[r];
        row.resize(heads.size());
        const double i = static_cast<double>(r - 1);
        row[price] = {sheet::CellKind::Number, QString::number(11 + i), 11 + i};
        row[name] = {sheet::CellKind::Text, QStringLiteral("Марка %1").arg(r - 1), 0};
        row[discount] = {sheet::CellKind::Number, QString::number(i), i};
        row[package] = {sheet::CellKind::Number, QStringLiteral("5"), 5};
    }
}

TEST(ImportRoundTrip, APriceListFilledOutsideIsImportedWhole) {
    for (const QString& format : {QStringLiteral("csv"), QStringLiteral("xlsx")}) {
        SCOPED_TRACE(format.toStdString());
        fixture::TenderFolder folder;
        const QString file = folder.write(roundTripTender());
        const QString blank = folder.path() + QStringLiteral("/template.") + format;
        const QString filled = folder.path() + QStringLiteral("/filled.") + format;
        data::Connection connection;
        connection.open(file);
        std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
        qrySpecs->open();
        {
            std::unique_ptr<data::Dataset> positions = data::makeQryData(connection);
            positions->setParameter(QStringLiteral("MASTER_CODE"), 300);
            positions->open();
            sheet::writeWorkbook(blank,
                                 pricelist::table(*qrySpecs, QStringLiteral("3"), *positions));
        }
        if (format == QLatin1String("csv")) {
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {QStringLiteral("-c"), QString::fromUtf8(kFillCsv), blank, filled});
            ASSERT_TRUE(python.waitForFinished(30000));
            ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        } else {
            sheet::Table table = sheet::readWorkbook(blank);
            fillTable(table);
            sheet::writeWorkbook(filled, table);
        }

        priceimport::PriceImport import(connection, *qrySpecs);
        const priceimport::Preview preview = import.preview(sheet::readWorkbook(filled));
        EXPECT_TRUE(preview.refused.empty()) << preview.text().toStdString();
        EXPECT_EQ(preview.accepted.size(), 3u);
        EXPECT_EQ(import.store(preview).stored, 3);
        // The positions in the list's order: codes 1, 2, 10.
        EXPECT_EQ(exported(file, "302"), (std::vector<std::string>{"11", "Марка 0", "0", "5"}));
        EXPECT_EQ(exported(file, "303"), (std::vector<std::string>{"12", "Марка 1", "1", "5"}));
        EXPECT_EQ(exported(file, "301"), (std::vector<std::string>{"13", "Марка 2", "2", "5"}));
    }
}

// Runs the spreadsheet program headless on `file`, writing the format `to` into `folder` under
// Bulgarian settings; `filter` is how it reads the file, where its own guess is not wanted.
// Returns the file written.
QString convertWithSpreadsheetProgram(const QString& file, const QString& to, const QString& folder,
                                      const QString& filter = {}) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("bg_BG.UTF-8"));
    environment.insert(QStringLiteral("HOME"), folder);
    program.setProcessEnvironment(environment);
    QStringList arguments = {QStringLiteral("-env:UserInstallation=file://") + folder +
                                 QStringLiteral("/profile"),
                             QStringLiteral("--headless"),
                             QStringLiteral("--convert-to"),
                             to,
                             QStringLiteral("--outdir"),
                             folder};
    if (!filter.isEmpty())
        arguments << QStringLiteral("--infilter=") + filter;
    program.start(QStringLiteral("soffice"), arguments << file);
    EXPECT_TRUE(program.waitForStarted(10000)) << "soffice (libreoffice-calc-nogui) is needed";
    EXPECT_TRUE(program.waitForFinished(120000));
    const QString written = folder + QLatin1Char('/') + QFileInfo(file).completeBaseName() +
                            QLatin1Char('.') + to.section(u':', 0, 0);
    EXPECT_TRUE(QFile::exists(written)) << program.readAllStandardError().toStdString();
    return written;
}

// A tender whose price has two decimals, with a position that has no code.
nlohmann::json twoDecimalTender() {
    nlohmann::json tender = roundTripTender();
    tender["SPECS"][0]["PP1_RAZRYAD"] = 2;
    tender["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 304},
                                     {"MASTER_CODE", 300},
                                     {"IME", "Изделие без номер"},
                                     {"MEASURE_IME", "кг"}});
    return tender;
}

// Fills the CSV price list with decimal commas, as a bidder types them under Bulgarian settings:
// the prices a double holds only near them, and the rest of each row's values.
const char* const kFillWithCommas = R"(
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), delimiter=';'))
heads = rows[0]
prices = ['4,35', '11,97', '0,07', '1234,5']
for i, row in enumerate(rows[1:]):
    row += [''] * (len(heads) - len(row))
    row[heads.index('Ед. цена')] = prices[i]
    row[heads.index('Търговско наименование')] = 'Марка %d' % i
    row[heads.index('Отстъпка')] = '0'
    row[heads.index('Опаковка')] = '5'
csv.writer(open(sys.argv[2], 'w', encoding='utf-8', newline=''), delimiter=';').writerows(rows)
)";

// A real spreadsheet program in the loop: it reads the program's own XLSX template and writes
// it again, which imports as no change at all; and it turns a price list filled with decimal
// commas under Bulgarian settings into its own XLSX, whose doubles import as the prices typed.
TEST(ImportRoundTrip, ASpreadsheetProgramsOwnFilesImportExactly) {
    fixture::TenderFolder folder;
    const QString file = folder.write(twoDecimalTender());
    const QString work = folder.path();
    const auto brxOffer = [&](const QStringList& arguments) {
        return exporttest::brxOffer(arguments, work, "bg_BG.UTF-8");
    };
    const QString xlsx = work + QStringLiteral("/template.xlsx");
    ASSERT_EQ(brxOffer({QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("-o"),
                        xlsx})
                  .status,
              0);
    QDir(work).mkdir(QStringLiteral("ods"));
    QDir(work).mkdir(QStringLiteral("again"));
    const QString ods =
        convertWithSpreadsheetProgram(xlsx, QStringLiteral("ods"), work + QStringLiteral("/ods"));
    const QString again = convertWithSpreadsheetProgram(
        ods, QStringLiteral("xlsx:Calc MS Excel 2007 XML"), work + QStringLiteral("/again"));
    const QByteArray before = [&] {
        QFile tender(file);
        return tender.open(QIODevice::ReadOnly) ? tender.readAll() : QByteArray();
    }();
    const exporttest::ProgramRun unchanged = brxOffer({QStringLiteral("import"), file, again});
    EXPECT_EQ(unchanged.status, 0) << unchanged.out.toStdString() << unchanged.err.toStdString();
    EXPECT_TRUE(unchanged.out.contains(QStringLiteral("ще бъдат записани: 0")))
        << unchanged.out.toStdString();
    QFile tender(file);
    ASSERT_TRUE(tender.open(QIODevice::ReadOnly));
    EXPECT_EQ(tender.readAll(), before) << "nothing to store changes nothing";
    tender.close();

    const QString csv = work + QStringLiteral("/template.csv");
    const QString filled = work + QStringLiteral("/filled.csv");
    ASSERT_EQ(
        brxOffer({QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("-o"), csv})
            .status,
        0);
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kFillWithCommas), csv, filled});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QDir(work).mkdir(QStringLiteral("calc"));
    // ';' between fields, '"' around them, UTF-8, from the first line, Bulgarian numbers.
    const QString made = convertWithSpreadsheetProgram(
        filled, QStringLiteral("xlsx:Calc MS Excel 2007 XML"), work + QStringLiteral("/calc"),
        QStringLiteral("CSV:59,34,76,1,,1026"));
    const exporttest::ProgramRun imported = brxOffer({QStringLiteral("import"), file, made});
    EXPECT_EQ(imported.status, 0) << imported.out.toStdString() << imported.err.toStdString();
    // The positions in the list's order: the one without a code first, then codes 1, 2, 10.
    // mdb-export writes a double with 16 digits, 0.07 as 0.07000000000000001: the price is
    // compared as the double it reads as.
    const std::pair<std::string, double> prices[] = {
        {"304", 4.35}, {"302", 11.97}, {"303", 0.07}, {"301", 1234.5}};
    for (std::size_t i = 0; i < std::size(prices); ++i) {
        const auto& [product, price] = prices[i];
        const std::vector<std::string> values = exported(file, product);
        ASSERT_EQ(values.size(), 4u) << product;
        EXPECT_EQ(QString::fromStdString(values[0]).toDouble(), price)
            << product << ": " << values[0];
        EXPECT_EQ(std::vector<std::string>(values.begin() + 1, values.end()),
                  (std::vector<std::string>{"Марка " + std::to_string(i), "0", "5"}))
            << product;
    }
}

} // namespace
