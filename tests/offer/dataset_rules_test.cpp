// SPDX-License-Identifier: Apache-2.0
#include "offer/dataset_rules.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"
#include "jet/database.h"
#include "tools/tender_description.h"

#include "tender_fixture.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <functional>

namespace {

using State = data::Dataset::State;
const QVariant kNull;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

nlohmann::json lot(int code, const nlohmann::json& participation) {
    return {
        {"PRODUCT_CODE", code}, {"CUSTOM_CODE", std::to_string(code)}, {"PP2_TEXT", participation}};
}

nlohmann::json position(int code, int lotCode, const nlohmann::json& price, double quantity = 1) {
    return {{"PRODUCT_CODE", code},
            {"MASTER_CODE", lotCode},
            {"CUSTOM_CODE", std::to_string(code % 10)},
            {"PP1_NUMBER", price},
            {"GODISHNO_POTREBLENIE", quantity}};
}

// Six lots, one of each kind the lot status tells apart; the decimals of the six offer
// parameters, from ordinary to damaged; a price that belongs to no offer and must be given all
// the same.
const nlohmann::json kTender = {
    {"SPECS",
     {{{"IME_NA_FIRMATA", "Медикс ООД"},
       {"PP1_IME", "Ед. цена"},
       {"PP1_OFERTA", 0},
       {"PP1_RAZRYAD", 2},
       {"PP2_RAZRYAD", 0},
       {"PP3_RAZRYAD", 3},
       {"PP4_RAZRYAD", -1},
       {"PP5_RAZRYAD", nullptr},
       {"PP6_RAZRYAD", 1000000000},
       {"PP2_IME", "Търговско наименование"},
       {"PP2_OGRANICHENIE", 5}}}},
    {"PREDLOGENIA",
     {
         lot(1, nullptr), // not taken part in, though priced
         position(11, 1, 10.0),
         position(12, 1, 20.0),
         lot(2, "Да"), // no positions
         lot(3, "Да"), // partly priced
         position(31, 3, 5.0),
         position(32, 3, 7.5),
         position(33, 3, 0.0),
         lot(4, "Да"), // fully priced: the sum of unit prices, not of price times quantity
         position(41, 4, 12.5, 100),
         position(42, 4, 0.25, 3),
         lot(5, "Не"), // any mark counts as taking part
         position(51, 5, 1234567.891),
         lot(6, "Да"), // nothing priced yet
         position(61, 6, nullptr),
         position(62, 6, nullptr),
     }}};

class DatasetRules : public ::testing::Test {
protected:
    void SetUp() override {
        tender::writeTender(kTender, folder.file().toStdString());
        connection.open(folder.file());
    }

    void install(offer::RegionalSettings regional) {
        offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData, std::move(regional));
    }

    void openPositionsOf(int lotCode) {
        qrySpecs->open();
        qryData->close();
        qryData->setParameter(QStringLiteral("MASTER_CODE"), lotCode);
        qryData->open();
    }

    // _STATUS of every lot, by CUSTOM_CODE.
    QMap<QString, QString> statuses() {
        QMap<QString, QString> found;
        qryObosobeniPozicii->close();
        qryObosobeniPozicii->open();
        for (qryObosobeniPozicii->first(); !qryObosobeniPozicii->eof(); qryObosobeniPozicii->next())
            found.insert(field(*qryObosobeniPozicii, "CUSTOM_CODE").asString(),
                         field(*qryObosobeniPozicii, "_STATUS").asString());
        return found;
    }

    static data::Field& field(data::Dataset& dataset, const char* name) {
        return dataset.fieldByName(QString::fromLatin1(name));
    }

    fixture::TenderFolder folder;
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    std::unique_ptr<data::Dataset> qryObosobeniPozicii = data::makeQryObosobeniPozicii(connection);
    std::unique_ptr<data::Dataset> qryData = data::makeQryData(connection);
};

TEST_F(DatasetRules, OfferedNumbersShowWithTheTendersDecimalsFromEveryOpening) {
    install(&QLocale::system);
    openPositionsOf(4);
    const char* formats[] = {
        "# ### ##0.00",              // 2
        "# ### ##0",                 // 0
        "# ### ##0.000",             // 3
        "# ### ##0",                 // negative
        "# ### ##0",                 // null
        "# ### ##0.000000000000000", // damaged: a billion decimals, no more than fifteen shown
    };
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(qryData->fieldByName(QStringLiteral("PP%1_NUMBER").arg(n)).displayFormat(),
                  text(formats[n - 1]))
            << "PP" << n;

    // The current lot changes and the tender's decimals read differently: the next opening
    // follows them.
    qrySpecs->edit();
    field(*qrySpecs, "PP1_RAZRYAD").setValue(4);
    field(*qrySpecs, "PP3_RAZRYAD").setValue(kNull);
    openPositionsOf(3);
    EXPECT_EQ(field(*qryData, "PP1_NUMBER").displayFormat(), text("# ### ##0.0000"));
    EXPECT_EQ(field(*qryData, "PP3_NUMBER").displayFormat(), text("# ### ##0"));
}

TEST_F(DatasetRules, LotStatusShowsTheRegionalDecimalSeparator) {
    struct StatusCase {
        const char* lot;
        const char* comma;
        const char* point;
    };
    const StatusCase cases[] = {
        {"1", "-", "-"},
        {"2", "OK; Обща стойност: 0,0000", "OK; Обща стойност: 0.0000"},
        {"3", "Не са оферирани всички позиции!", "Не са оферирани всички позиции!"},
        {"4", "OK; Обща стойност: 12,7500", "OK; Обща стойност: 12.7500"},
        {"5", "OK; Обща стойност: 1234567,8910", "OK; Обща стойност: 1234567.8910"},
        {"6", "Не са оферирани всички позиции!", "Не са оферирани всички позиции!"},
    };
    for (const bool comma : {true, false}) {
        const QLocale regional = comma ? QLocale(QLocale::Bulgarian, QLocale::Bulgaria)
                                       : QLocale(QLocale::English, QLocale::UnitedStates);
        install([regional] { return regional; });
        const QMap<QString, QString> found = statuses();
        ASSERT_EQ(found.size(), std::size(cases));
        for (const StatusCase& c : cases)
            EXPECT_EQ(found.value(QString::fromLatin1(c.lot)), text(comma ? c.comma : c.point))
                << "lot " << c.lot << (comma ? " with a comma" : " with a point");
    }
}

TEST_F(DatasetRules, LotStatusFollowsTheParticipationMarkAtOnce) {
    install([] { return QLocale(QLocale::Bulgarian, QLocale::Bulgaria); });
    qryObosobeniPozicii->open();
    ASSERT_EQ(field(*qryObosobeniPozicii, "CUSTOM_CODE").asString(), text("1"));

    qryObosobeniPozicii->edit();
    field(*qryObosobeniPozicii, "PP2_TEXT").setValue(text("Да"));
    EXPECT_EQ(field(*qryObosobeniPozicii, "_STATUS").asString(),
              text("OK; Обща стойност: 30,0000"));
    qryObosobeniPozicii->cancel();
    EXPECT_EQ(field(*qryObosobeniPozicii, "_STATUS").asString(), text("-"));
}

TEST_F(DatasetRules, LotStatusTakesTheSystemsSettingsWhenNoneAreGiven) {
    offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData);
    EXPECT_EQ(statuses().value(QStringLiteral("2")),
              text("OK; Обща стойност: 0") + QLocale::system().decimalPoint() + text("0000"));
}

TEST_F(DatasetRules, RefusedSaveWritesNothingKeepsTheTypedValuesAndStopsTheMove) {
    install(&QLocale::system);
    openPositionsOf(6);
    ASSERT_EQ(qryData->recordCount(), 2);
    const auto fileBytes = [this] {
        QFile file(folder.file());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const auto storedRow = [this] {
        jet::Database database(folder.file().toStdString(), jet::Database::Mode::ReadOnly);
        const jet::TableDef table = database.table("PREDLOGENIA");
        jet::Row found;
        const std::size_t code = &table.column("PRODUCT_CODE") - table.columns.data();
        database.scan(table, [&](jet::RowId, const jet::Row& row) {
            if (row[code] == jet::Value(std::int64_t{61}))
                found = row;
        });
        return found;
    };
    const QByteArray bytesBefore = fileBytes();
    const jet::Row rowBefore = storedRow();

    const std::pair<const char*, std::function<void(data::Dataset&)>> saves[] = {
        {"post", [](data::Dataset& d) { d.post(); }},
        {"next", [](data::Dataset& d) { d.next(); }},
        {"last", [](data::Dataset& d) { d.last(); }},
        {"move to the second", [](data::Dataset& d) { d.moveTo(1); }},
    };
    qryData->edit();
    field(*qryData, "PP2_TEXT").setValue(text("Спринцовка 2 ml"));
    field(*qryData, "PP4_NUMBER").setValue(100.0);
    for (const auto& [road, save] : saves) {
        try {
            save(*qryData);
            ADD_FAILURE() << road << " saved a position without a price";
        } catch (const data::Error& error) {
            EXPECT_EQ(QString::fromUtf8(error.what()),
                      text("\"Ед. цена\" трябва да е по-голямо от 0.\r\n"))
                << road;
        }
        EXPECT_EQ(qryData->state(), State::Edit) << road;
        EXPECT_EQ(qryData->recNo(), 0) << road;
        EXPECT_EQ(field(*qryData, "PP2_TEXT").asString(), text("Спринцовка 2 ml")) << road;
        EXPECT_EQ(field(*qryData, "PP4_NUMBER").value(), QVariant(100.0)) << road;
    }
    EXPECT_EQ(storedRow(), rowBefore);
    EXPECT_EQ(fileBytes(), bytesBefore);

    // With a price the same values are stored.
    field(*qryData, "PP1_NUMBER").setValue(3.5);
    qryData->post();
    EXPECT_EQ(fixture::readColumn(folder.file(), "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{61},
                                  "PP2_TEXT"),
              jet::Value(std::string("Спринцовка 2 ml")));
    EXPECT_EQ(fixture::readColumn(folder.file(), "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{61},
                                  "PP1_NUMBER"),
              jet::Value(3.5));
}

TEST_F(DatasetRules, CalculatedPositionFieldsStayNull) {
    install(&QLocale::system);
    openPositionsOf(4);
    const char* calculated[] = {"_CENA_OBSHTO",    "_CENA_OBSHTO_DDS",   "_SAGLASIE",
                                "_CENA_OPAKOVKA",  "_CENA_OPAKOVKA_DDS", "_BROY_OPAKOVKI",
                                "_OBSHTA_STOYNOST"};
    qryData->edit();
    field(*qryData, "PP1_NUMBER").setValue(13.0);
    field(*qryData, "PP2_TEXT").setValue(text("Спринцовка"));
    qryData->post();
    for (qryData->first(); !qryData->eof(); qryData->next())
        for (const char* name : calculated)
            EXPECT_TRUE(field(*qryData, name).isNull())
                << name << " of position " << qryData->recNo();
}

TEST_F(DatasetRules, TrimFieldRemovesOuterSpacesAndControlCharacters) {
    struct TrimCase {
        QVariant typed;
        QVariant stored;
        int writes;
    };
    const TrimCase cases[] = {
        {text("  ABC "), text("ABC"), 1},
        {text("   "), kNull, 1},
        {text("ABC"), text("ABC"), 0},
        {text("\t\r\nМедикс ООД\r\n"), text("Медикс ООД"), 1},
        {text("A  B"), text("A  B"), 0},
        {kNull, kNull, 0},
        {text("\x01\x1f ABC \x7f"), text("ABC \x7f"), 1}, // code 127 is not trimmed
        {text("\u00A0ABC"), text("\u00A0ABC"), 0},        // nor a non-breaking space
    };
    qrySpecs->open();
    data::Field& company = field(*qrySpecs, "IME_NA_FIRMATA");
    int writes = 0;
    QObject::connect(qrySpecs.get(), &data::Dataset::recordChanged, [&writes] { ++writes; });
    for (const TrimCase& c : cases) {
        qrySpecs->edit();
        company.setValue(c.typed);
        writes = 0;
        offer::TrimField(company);
        EXPECT_EQ(company.value(), c.stored) << c.typed.toString().toStdString();
        EXPECT_EQ(writes, c.writes) << c.typed.toString().toStdString();
        offer::TrimField(company); // the run that the write itself sets off
        EXPECT_EQ(writes, c.writes) << c.typed.toString().toStdString();
        qrySpecs->cancel();
    }
}

} // namespace
