// SPDX-License-Identifier: Apache-2.0
// A lot's price list written as a sheet, filled outside the program and imported back: every
// value it was filled with reaches the file, as mdb-export reads it.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "offer/price_import.h"

#include "tender_fixture.h"
#include "tests/tools/tender_file_support.h"

#include <QProcess>

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

} // namespace
