// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "export/workbook.h"
#include "offer/lots_page.h"
#include "tools/tender_description.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "brx_offer_run.h"
#include "tender_fixture.h"
#include "tests/app/start_client.h"
#include "xlsx_elsewhere.h"

#include <QDir>
#include <QJsonArray>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using sheet::CellKind;

// A lot taken part in with three positions (codes sorting 1, 2, 10) that have texts to quote,
// values stored and missing, a price with two decimals (one stored with three, which it shows
// whole), a number parameter with three, a text
// one, one not in use and one without a caption; and a lot not taken part in.
nlohmann::json priceListTender() {
    return {
        {"SPECS",
         {{{"IME_NA_FIRMATA", "ЕТ Иван"},
           {"CAPTION_NOMER", "№"},
           {"CAPTION_PRODUCT", "Лекарство"},
           {"CAPTION_GOD_POTREBLENIE", "Годишно количество"},
           {"PP1_IME", "Ед. цена"},
           {"PP1_RAZRYAD", 2},
           {"PP2_TIP", 2},
           {"PP2_IME", "Търговско наименование"},
           {"PP3_TIP", 3},
           {"PP3_RAZRYAD", 3},
           {"PP3_IME", "Отстъпка"},
           {"PP4_TIP", 1},
           {"PP4_IME", "Не се ползва"},
           {"PP5_TIP", 3}}}},
        {"PREDLOGENIA",
         {{{"PRODUCT_CODE", 300}, {"CUSTOM_CODE", "3"}, {"IME", "Аналгетици"}, {"PP2_TEXT", "Да"}},
          {{"PRODUCT_CODE", 301},
           {"MASTER_CODE", 300},
           {"CUSTOM_CODE", "10"},
           {"IME", "Ибупрофен; 200 мг"},
           {"MEASURE_IME", "табл."},
           {"GODISHNO_POTREBLENIE", 1500.0},
           {"PP1_NUMBER", 11.999},
           {"PP2_TEXT", "Нурофен \"форте\""}},
          {{"PRODUCT_CODE", 302},
           {"MASTER_CODE", 300},
           {"CUSTOM_CODE", "2"},
           {"IME", "Парацетамол\n500 мг"},
           {"MEASURE_IME", "бр."},
           {"GODISHNO_POTREBLENIE", 2.5},
           {"PP3_NUMBER", 1.125},
           {"PP5_NUMBER", 7.0}},
          {{"PRODUCT_CODE", 303},
           {"MASTER_CODE", 300},
           {"CUSTOM_CODE", "1"},
           {"IME", "Аналгин"},
           {"PP1_NUMBER", 0.0}},
          {{"PRODUCT_CODE", 900}, {"CUSTOM_CODE", "9"}},
          {{"PRODUCT_CODE", 901},
           {"MASTER_CODE", 900},
           {"CUSTOM_CODE", "1"},
           {"PP1_NUMBER", 4.0}}}}};
}

// Each cell as kind:text, numbers as kind=value/decimals.
QString describe(const sheet::Table& table) {
    QStringList lines;
    for (const std::vector<sheet::Cell>& row : table.rows) {
        QStringList cells;
        for (const sheet::Cell& cell : row) {
            switch (cell.kind) {
            case CellKind::Empty:
                cells << QStringLiteral("-");
                break;
            case CellKind::Number:
                cells << QStringLiteral("%1/%2").arg(cell.number).arg(cell.decimals);
                break;
            default:
                cells << cell.text;
            }
        }
        lines << cells.join(QStringLiteral(" | "));
    }
    return lines.join(u'\n');
}

const QString kHeads = QStringLiteral("Обособена позиция | № | Лекарство | Мярка | "
                                      "Годишно количество | Ед. цена | Търговско наименование | "
                                      "Отстъпка | Параметър 5 | Ключ (не променяйте)");

const QString kLot3 =
    kHeads + QStringLiteral("\n3 | 1 | Аналгин | - | - | 0/2 | - | - | - | 303/-1\n"
                            "3 | 2 | Парацетамол\n500 мг | бр. | 2.5/-1 | - | - | "
                            "1.125/3 | 7/0 | 302/-1\n"
                            "3 | 10 | Ибупрофен; 200 мг | табл. | 1500/-1 | "
                            "11.999/3 | Нурофен \"форте\" | - | - | 301/-1");

// What a sheet read back holds, in the terms of describe() for the table written: texts by their
// text (a code may read as a number, or as a number kept as text), numbers by their value (the
// decimals are the writer's, not the file's), the trailing empty cells the reader drops.
QString describeRead(const sheet::Table& written, sheet::Table read) {
    for (std::size_t row = 0; row < read.rows.size() && row < written.rows.size(); ++row) {
        std::vector<sheet::Cell>& cells = read.rows[row];
        cells.resize(std::max(cells.size(), written.rows[row].size()));
        for (std::size_t column = 0; column < cells.size() && column < written.rows[row].size();
             ++column) {
            const sheet::Cell& expected = written.rows[row][column];
            if (expected.kind == CellKind::Text && cells[column].kind != CellKind::Empty)
                cells[column].kind = CellKind::Text;
            else if (expected.kind == CellKind::Number)
                cells[column].decimals = expected.decimals;
        }
    }
    return describe(read);
}

class PriceList : public ::testing::Test {
protected:
    void SetUp() override { tender::writeTender(priceListTender(), file.toStdString()); }

    // Calls `use` with the tender record and lot 3's positions, the tender opened read-only.
    template <typename Use> auto withLot3(Use use) const {
        data::Connection connection;
        connection.openReadOnly(file);
        const auto specs = data::makeQrySpecs(connection);
        const auto positions = data::makeQryData(connection);
        specs->open();
        positions->setParameter(QStringLiteral("MASTER_CODE"), 300);
        positions->open();
        return use(*specs, *positions);
    }
    // The price list of lot 3.
    sheet::Table lot3() const {
        return withLot3([](const data::Dataset& specs, const data::Dataset& positions) {
            return pricelist::table(specs, QStringLiteral("3"), positions);
        });
    }

    fixture::TenderFolder folder;
    QString file = folder.file();
};

TEST_F(PriceList, HoldsTheLotsPositionsInOrderWithWhatIsStored) {
    withLot3([](const data::Dataset& specs, data::Dataset& positions) {
        positions.moveTo(1);
        EXPECT_EQ(describe(pricelist::table(specs, QStringLiteral("3"), positions)), kLot3);
        EXPECT_EQ(positions.recNo(), 1) << "the positions do not move";
    });
}

// brx-offer under the regional settings this test runs with.
exporttest::ProgramRun brxOffer(const QStringList& arguments, const QString& folder) {
    return exporttest::brxOffer(arguments, folder, qgetenv("LC_ALL"));
}

// A spreadsheet program finds the sheet with its frozen bold heads and the decimals of the
// offered numbers: the price's two, the discount's three, and all of a value stored with more.
void expectSpreadsheetLayout(const QString& path) {
    const QJsonObject read = exporttest::readXlsxElsewhere(path);
    EXPECT_EQ(read[QLatin1String("frozen_rows")].toInt(), 1);
    const QJsonArray rows = read[QLatin1String("rows")].toArray();
    ASSERT_FALSE(rows.isEmpty());
    QStringList formats;
    for (qsizetype row = 0; row < rows.size(); ++row)
        for (const QJsonValue cell : rows[row].toArray()) {
            if (cell.isNull())
                continue;
            EXPECT_EQ(cell[QLatin1String("bold")].toBool(), row == 0)
                << cell[QLatin1String("ref")].toString().toStdString();
            formats << cell[QLatin1String("format")].toString();
        }
    EXPECT_TRUE(formats.contains(QStringLiteral("#,##0.00"))) << formats.join(u' ').toStdString();
    EXPECT_TRUE(formats.contains(QStringLiteral("#,##0.000"))) << formats.join(u' ').toStdString();
    // The price stored with three decimals in a column of two shows all three, not 12.00.
    const QJsonValue price = rows[3].toArray()[5];
    EXPECT_EQ(price[QLatin1String("value")].toVariant().toString(), QStringLiteral("11.999"));
    EXPECT_EQ(price[QLatin1String("format")].toString(), QStringLiteral("#,##0.000"));
}

TEST_F(PriceList, BrxOfferWritesItAndReadsTheTenderOnly) {
    const QByteArray before = [&] {
        QFile tender(file);
        return tender.open(QIODevice::ReadOnly) ? tender.readAll() : QByteArray();
    }();
    for (const QString& name : {QStringLiteral("lot3.xlsx"), QStringLiteral("lot3.csv")}) {
        const QString out = folder.file(name);
        const exporttest::ProgramRun run = brxOffer(
            {QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("-o"), out},
            folder.path());
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), out);
        EXPECT_EQ(describeRead(lot3(), sheet::readWorkbook(out)), kLot3) << name.toStdString();
    }
    expectSpreadsheetLayout(folder.file(QStringLiteral("lot3.xlsx")));

    // Without -o the proposed name in the working folder.
    const exporttest::ProgramRun proposed =
        brxOffer({QStringLiteral("template"), file, QStringLiteral("3")}, folder.path());
    EXPECT_EQ(proposed.status, 0) << proposed.err.toStdString();
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("CenovaTablica_ET Ivan_OP_3.xlsx"))));

    struct Failure {
        QStringList arguments;
        int status;
        QString message;
    } failures[] = {
        {{QStringLiteral("template"), file, QStringLiteral("9")},
         1,
         QStringLiteral("Не участвате в обособена позиция №9")},
        {{QStringLiteral("template"), file, QStringLiteral("4")},
         1,
         QStringLiteral("Няма обособена позиция с номер 4")},
        {{QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("-o"),
          folder.file(QStringLiteral("missing/lot3.xlsx"))},
         1,
         QStringLiteral("не може да бъде записан")},
        {{QStringLiteral("template"), file}, 2, QStringLiteral("очакват се FILE.mdb и LOT_CODE")},
        {{QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("price")},
         2,
         QStringLiteral("непозната опция: --type")},
    };
    for (const Failure& failure : failures) {
        const exporttest::ProgramRun run = brxOffer(failure.arguments, folder.path());
        EXPECT_EQ(run.status, failure.status) << failure.arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(failure.message)) << run.err.toStdString();
    }
    QFile tender(file);
    ASSERT_TRUE(tender.open(QIODevice::ReadOnly));
    EXPECT_EQ(tender.readAll(), before) << "the tender file is only read";
}

class PriceListButton : public PriceList {
protected:
    void SetUp() override {
        PriceList::SetUp();
        window = apptest::startClientIn(folder.path(), guard);
        window->show();
        ASSERT_EQ(dialogs.errors(), QStringList());
    }

    QPushButton& button() { return *window->tsObosobeniPozicii->btnCenovaTablica; }

    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;
};

TEST_F(PriceListButton, SavesTheCurrentLotsPriceListWhereTheBidderSays) {
    ASSERT_TRUE(button().isEnabled());
    const QString target = folder.file(QStringLiteral("цени.xlsx"));
    dialogs.saveFileAnswers.push_back(target);
    button().click();
    EXPECT_EQ(dialogs.errors(), QStringList());
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::SaveFile),
              QStringList{QStringLiteral("CenovaTablica_ET Ivan_OP_3.xlsx")});
    EXPECT_EQ(describeRead(lot3(), sheet::readWorkbook(target)), kLot3);

    // Cancelled: nothing is written. A folder that is gone: the error box, nothing written.
    button().click();
    dialogs.saveFileAnswers.push_back(folder.file(QStringLiteral("gone/цени.csv")));
    button().click();
    ASSERT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors()[0].contains(QStringLiteral("не може да бъде записан")))
        << dialogs.errors()[0].toStdString();
    EXPECT_EQ(QDir(folder.path())
                  .entryList({QStringLiteral("*.xlsx"), QStringLiteral("*.csv")},
                             QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("цени.xlsx")});
}

TEST_F(PriceListButton, IsEnabledOnlyForALotTakenPartIn) {
    window->qryObosobeniPozicii->last();
    ASSERT_EQ(window->qryObosobeniPozicii->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
              QStringLiteral("9"));
    EXPECT_FALSE(button().isEnabled());
    window->qryObosobeniPozicii->first();
    EXPECT_TRUE(button().isEnabled());
}

} // namespace
