// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"
#include "jet/index_reader.h"
#include "jet/index_writer.h"
#include "tools/tender_generator.h"

#include "tender_fixture.h"

#include <QStringList>

#include <map>

#include <gtest/gtest.h>

namespace {

using data::Dataset;

class TenderDatasets : public ::testing::Test {
protected:
    void SetUp() override { connection.open(folder.writeSample()); }

    static QStringList column(Dataset& dataset, const char* field) {
        QStringList values;
        for (int r = 0; r < dataset.recordCount(); ++r)
            values << dataset.valueAt(r, dataset.fieldByName(QString::fromLatin1(field)).index())
                          .toString();
        return values;
    }

    fixture::TenderFolder folder;
    data::Connection connection;
};

TEST(OrderingKey, PadsCodesToTenCharactersAndPutsNullFirst) {
    EXPECT_EQ(data::orderingKey(QStringLiteral("9A")), QStringLiteral("000000009A"));
    EXPECT_EQ(data::orderingKey(QStringLiteral("")), QStringLiteral("0000000000"));
    EXPECT_FALSE(data::orderingKey(QVariant()).has_value());

    QList<QVariant> codes{QStringLiteral("9A"), QStringLiteral("10"), QVariant(),
                          QStringLiteral("2"), QStringLiteral("1")};
    std::stable_sort(codes.begin(), codes.end(), data::orderedBefore);
    EXPECT_EQ(codes, (QList<QVariant>{QVariant(), QStringLiteral("1"), QStringLiteral("2"),
                                      QStringLiteral("10"), QStringLiteral("9A")}));
    EXPECT_FALSE(data::orderedBefore(QVariant(), QVariant()));
}

TEST_F(TenderDatasets, TheTenderRecordCarriesItsComputedVatText) {
    auto specs = data::makeQrySpecs(connection);
    specs->open();
    ASSERT_EQ(specs->recordCount(), 1);
    EXPECT_EQ(specs->fieldByName(QStringLiteral("_NO_DDS")).asString(), QStringLiteral("Не"));
    EXPECT_TRUE(specs->fieldByName(QStringLiteral("_NO_DDS")).readOnly());
    EXPECT_TRUE(specs->fieldByName(QStringLiteral("CODE")).readOnly());
    EXPECT_EQ(specs->fieldByName(QStringLiteral("BROI_INFO_POLETA")).asInteger(), 2);
    EXPECT_TRUE(specs->fieldByName(QStringLiteral("IME_NA_FIRMATA")).isNull());
    EXPECT_EQ(specs->fieldCount(), 72);
    EXPECT_EQ(specs->field(71).name(), QStringLiteral("_NO_DDS"));

    fixture::updateRow(folder.file(), "SPECS", {}, {}, {{"NO_DDS", true}});
    specs->close();
    specs->open();
    EXPECT_EQ(specs->fieldByName(QStringLiteral("_NO_DDS")).asString(), QStringLiteral("Да"));

    auto init = data::makeQrySpecsInit(connection);
    init->open();
    EXPECT_EQ(init->fieldCount(), 12);
    EXPECT_EQ(init->fieldByName(QStringLiteral("KP2_IME")).asString(),
              QStringLiteral("Начин на плащане"));
    EXPECT_THROW(init->fieldByName(QStringLiteral("KP1_TEXT")), data::FieldError);

    auto reportSpecs = data::makeReportQrySpecs(connection);
    EXPECT_EQ(reportSpecs->fieldCount(), 62);
    EXPECT_EQ(reportSpecs->findField(QStringLiteral("KP1_OGRANICHENIE")), nullptr);
}

TEST_F(TenderDatasets, LotsCarryTheTotalsOfTheirPositionsInCodeOrder) {
    auto lots = data::makeQryObosobeniPozicii(connection);
    lots->open();
    EXPECT_EQ(column(*lots, "CUSTOM_CODE"), (QStringList{"1", "2", "3", "4", "5", "6"}));
    // A position whose lot does not exist is no lot and counts nowhere.
    ASSERT_EQ(lots->recordCount(), 6);

    lots->first();
    EXPECT_DOUBLE_EQ(lots->fieldByName(QStringLiteral("_CENA")).asFloat(), 7.415);
    EXPECT_DOUBLE_EQ(lots->fieldByName(QStringLiteral("_OBSHTA_CENA")).asFloat(), 26327.895);
    EXPECT_EQ(lots->fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).value(), QVariant(7.0));
    EXPECT_EQ(lots->fieldByName(QStringLiteral("_OFERIRANI_POZICII")).value(), QVariant(7.0));

    lots->moveTo(2); // lot 3: five positions, none priced
    EXPECT_EQ(lots->fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).value(), QVariant(5.0));
    EXPECT_TRUE(lots->fieldByName(QStringLiteral("_CENA")).isNull());
    EXPECT_TRUE(lots->fieldByName(QStringLiteral("_OFERIRANI_POZICII")).isNull());

    lots->moveTo(4); // lot 5: no positions at all
    EXPECT_EQ(lots->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(), QStringLiteral("5"));
    for (const char* total : {"_CENA", "_OBSHTA_CENA", "_OBSHT_BROI_POZICII", "_OFERIRANI_POZICII"})
        EXPECT_TRUE(lots->fieldByName(QString::fromLatin1(total)).isNull()) << total;
    EXPECT_EQ(lots->fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).asInteger(), 0);
}

TEST_F(TenderDatasets, PositionsAreThoseOfTheLotNamedByTheParameter) {
    auto positions = data::makeQryData(connection);
    positions->open(); // the parameter starts null
    EXPECT_TRUE(positions->isEmpty());
    EXPECT_TRUE(positions->bof() && positions->eof());

    struct Case {
        QVariant lot;
        QStringList codes;
    };
    const Case cases[] = {
        {QVariant(9), {"1", "2", "10", "9A"}},
        {QVariant(33), {}},
        {QVariant(-1), {}},
        {QVariant(), {}},
    };
    for (const Case& c : cases) {
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), c.lot);
        positions->open();
        EXPECT_EQ(column(*positions, "CUSTOM_CODE"), c.codes) << c.lot.toString().toStdString();
    }
}

// A lot switch reads the rows of its lot, not the table: on a tender of 60 lots the pages read
// by closing qryData, setting MASTER_CODE and opening it again are those of the lot's rows and
// their names, and the positions are exactly those a reading of the whole table finds, in the
// ordering key. So it is whether the rows are found through the map the lots' totals gathered
// or, without the map, through the file's MASTER_CODE index, a tree of several pages here.
TEST(LotSwitch, ReadsOnlyThePagesOfTheLotsRows) {
    fixture::TenderFolder folder;
    data::Connection connection;
    connection.open(folder.write(tender::generateTender(60, 3000)));
    const jet::Database& database = connection.database();
    const jet::TableDef table = database.table("PREDLOGENIA");
    const std::size_t master =
        static_cast<std::size_t>(&table.column("MASTER_CODE") - table.columns.data());
    const std::size_t product =
        static_cast<std::size_t>(&table.column("PRODUCT_CODE") - table.columns.data());
    const std::size_t code =
        static_cast<std::size_t>(&table.column("CUSTOM_CODE") - table.columns.data());
    std::map<std::int64_t, std::vector<std::pair<QVariant, std::int64_t>>> byLot; // code, product
    const std::size_t columns[] = {master, code, product};
    std::uint64_t before = database.file().pagesRead();
    database.scan(table, columns, [&](jet::RowId, const jet::Row& row) {
        if (const auto* lot = std::get_if<std::int64_t>(&row[0]))
            byLot[*lot].emplace_back(QString::fromStdString(std::get<std::string>(row[1])),
                                     std::get<std::int64_t>(row[2]));
    });
    const std::uint64_t tablePages = database.file().pagesRead() - before;
    ASSERT_GT(tablePages, 100u);

    auto lots = data::makeQryObosobeniPozicii(connection);
    auto positions = data::makeQryData(connection);
    lots->open();
    positions->open();
    for (const auto& [record, throughIndex] :
         {std::pair{0, false}, {29, false}, {59, false}, {0, true}, {29, true}, {59, true}}) {
        lots->moveTo(record);
        const qint64 lot = lots->fieldByName(QStringLiteral("PRODUCT_CODE")).asInteger();
        SCOPED_TRACE("lot " + std::to_string(lot) + (throughIndex ? " through the index" : ""));
        if (throughIndex)
            connection.lotPositions().clear();
        before = database.file().pagesRead();
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
        positions->open();
        // The catalog, the definition, the few pages of the lot's rows and a long-value page
        // for each position's name.
        const std::uint64_t read = database.file().pagesRead() - before;
        EXPECT_LE(read, byLot.at(lot).size() + 12) << "of " << tablePages;
        // Only a scan of the table gathers where every lot lives.
        EXPECT_EQ(connection.lotPositions().complete(), !throughIndex);

        auto expected = byLot.at(lot);
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return data::orderedBefore(a.first, b.first);
        });
        QList<qint64> wanted;
        for (const auto& position : expected)
            wanted << position.second;
        QList<qint64> listed;
        for (int r = 0; r < positions->recordCount(); ++r)
            listed << positions
                          ->valueAt(r,
                                    positions->fieldByName(QStringLiteral("PRODUCT_CODE")).index())
                          .toLongLong();
        EXPECT_EQ(listed, wanted);
    }
}

// Another program re-files a position after the lots were read: the lot it left no longer
// lists it and the lot it joined does. The file has no MASTER_CODE index, which would follow
// the change in Access and which our engine does not update.
TEST(LotSwitch, FollowsAPositionThatAnotherProgramMovedToAnotherLot) {
    fixture::TenderFolder folder;
    data::Connection connection;
    tender::SchemaChanges unindexed;
    unindexed.unindexed = {"PREDLOGENIA.MASTER_CODE"};
    const QString file = folder.write(tender::generateTender(10, 1000), unindexed);
    connection.open(file);
    auto lots = data::makeQryObosobeniPozicii(connection);
    auto positions = data::makeQryData(connection);
    lots->open();
    const auto productCodes = [&](qint64 lot) {
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
        positions->open();
        QList<qint64> codes;
        for (int r = 0; r < positions->recordCount(); ++r)
            codes << positions->valueAt(r, 0).toLongLong();
        return codes;
    };
    const qint64 from = 1; // the first lot, positions 2 to 101
    const qint64 to = 102; // the second
    ASSERT_EQ(productCodes(from).size(), 100);
    ASSERT_EQ(productCodes(to).size(), 100);
    {
        jet::Database other(file.toStdString(), jet::Database::Mode::ReadWrite);
        const jet::TableDef table = other.table("PREDLOGENIA");
        ASSERT_FALSE(table.isIndexed(table.column("MASTER_CODE")));
        fixture::updateRow(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{50},
                           {{"MASTER_CODE", std::int64_t{to}}});
    }
    EXPECT_FALSE(productCodes(from).contains(50));
    EXPECT_EQ(productCodes(from).size(), 99);
    EXPECT_TRUE(productCodes(to).contains(50));
}

// A lot lists its positions in the order orderedBefore gives their codes, whatever letters they
// hold: Latin in either case, Cyrillic, signs, none; codes equal but for case or for leading
// zeros keep their places. Codes all of ASCII are sorted by a way of their own.
TEST(LotPositions, AreOrderedByTheirCodesAsOrderedBeforeOrdersThem) {
    using Codes = std::vector<jet::Value>;
    const Codes mixed{std::string("b"), std::string("A"), std::string("a"),
                      std::string("_"), std::string("Б"), std::string("б"),
                      std::string("Z"), jet::Value{},     std::string("10")};
    const Codes ascii{std::string("b"), std::string("A"),          std::string("a"),
                      std::string("_"), std::string("10"),         std::string("Z"),
                      std::string("B"), std::string("0000000010"), std::string("~")};
    for (const Codes& codes : {mixed, ascii}) {
        fixture::TenderFolder folder;
        const QString file =
            folder.write(tender::generateTender(1, static_cast<int>(codes.size())));
        std::vector<std::int64_t> physical; // the positions' product codes in table order
        {
            jet::Database db(file.toStdString(), jet::Database::Mode::ReadOnly);
            const jet::TableDef table = db.table("PREDLOGENIA");
            db.scan(table, [&](jet::RowId, const jet::Row& row) {
                if (!jet::isNull(row[static_cast<std::size_t>(&table.column("MASTER_CODE") -
                                                              table.columns.data())]))
                    physical.push_back(std::get<std::int64_t>(row[0]));
            });
        }
        ASSERT_EQ(physical.size(), codes.size());
        QList<QVariant> expected;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            fixture::updateRow(file, "PREDLOGENIA", "PRODUCT_CODE", physical[i],
                               {{"CUSTOM_CODE", codes[i]}});
            expected << data::toVariant(codes[i]);
        }
        std::stable_sort(expected.begin(), expected.end(), data::orderedBefore);

        data::Connection connection;
        connection.open(file);
        auto lots = data::makeQryObosobeniPozicii(connection);
        auto positions = data::makeQryData(connection);
        lots->open();
        positions->setParameter(QStringLiteral("MASTER_CODE"),
                                lots->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
        positions->open();
        QList<QVariant> listed;
        for (int r = 0; r < positions->recordCount(); ++r)
            listed << positions->valueAt(
                r, positions->fieldByName(QStringLiteral("CUSTOM_CODE")).index());
        EXPECT_EQ(listed, expected);
    }
}

// The MASTER_CODE index of a tender leads a lot switch to the lot's rows when the lots' totals
// have not gathered where every lot lives, so the table is not scanned for them; an index that
// leads to other rows is passed over for a scan, and the lot still lists its own positions.
TEST(LotSwitch, FindsTheLotsRowsThroughTheIndexAndPassesOverAWrongIndex) {
    fixture::TenderFolder folder;
    const QString file = folder.write(tender::generateTender(4, 60));
    std::map<qint64, QList<qint64>> byLot; // product codes in the order the lot lists them
    {
        data::Connection connection;
        connection.open(file);
        auto lots = data::makeQryObosobeniPozicii(connection);
        auto positions = data::makeQryData(connection);
        lots->open();
        for (int record = 0; record < lots->recordCount(); ++record) {
            lots->moveTo(record);
            const qint64 lot = lots->fieldByName(QStringLiteral("PRODUCT_CODE")).asInteger();
            positions->close();
            positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
            positions->open();
            for (int r = 0; r < positions->recordCount(); ++r)
                byLot[lot] << positions->valueAt(r, 0).toLongLong();
        }
    }
    ASSERT_EQ(byLot.size(), 4u);

    // Reverses which rows the entries of the index's one leaf lead to: every lot's key then
    // names rows of other lots.
    auto misdirect = [&] {
        jet::Database database(file.toStdString(), jet::Database::Mode::ReadWrite);
        const jet::TableDef table = database.table("PREDLOGENIA");
        const jet::RealIndex* index = jet::singleColumnIndex(table, table.column("MASTER_CODE"));
        ASSERT_NE(index, nullptr);
        jet::Page page = database.file().read(index->rootPage);
        ASSERT_EQ(page[0], jet::kIndexLeafPageType);
        ASSERT_EQ(page[24], 0); // entries stored whole
        std::vector<std::size_t> rowIdsAt;
        std::size_t end = jet::kIndexEntriesAt;
        for (const jet::Bytes& entry : jet::indexPageEntries(page, "leaf")) {
            end += entry.size();
            if (entry.size() > 5) // a lot's key, not a null
                rowIdsAt.push_back(end - 4);
        }
        for (std::size_t i = 0, j = rowIdsAt.size() - 1; i < j; ++i, --j)
            std::swap_ranges(page.begin() + static_cast<std::ptrdiff_t>(rowIdsAt[i]),
                             page.begin() + static_cast<std::ptrdiff_t>(rowIdsAt[i] + 4),
                             page.begin() + static_cast<std::ptrdiff_t>(rowIdsAt[j]));
        database.file().write(index->rootPage, page);
    };

    for (bool wrongIndex : {false, true}) {
        SCOPED_TRACE(wrongIndex ? "wrong index" : "sound index");
        if (wrongIndex)
            misdirect();
        data::Connection connection;
        connection.open(file);
        auto positions = data::makeQryData(connection);
        for (const auto& [lot, codes] : byLot) {
            positions->close();
            positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
            positions->open();
            QList<qint64> listed;
            for (int r = 0; r < positions->recordCount(); ++r)
                listed << positions->valueAt(r, 0).toLongLong();
            EXPECT_EQ(listed, codes) << "lot " << lot;
            // Only a scan gathers where every lot lives.
            EXPECT_EQ(connection.lotPositions().complete(), wrongIndex);
        }
    }
}

TEST_F(TenderDatasets, PositionFieldsCarryTheirLabelsFormatsAndRights) {
    auto positions = data::makeQryData(connection);
    const auto& field = [&](const char* name) -> data::Field& {
        return positions->fieldByName(QString::fromLatin1(name));
    };
    EXPECT_EQ(field("MEASURE_IME").displayLabel(), QStringLiteral("М.Ед."));
    EXPECT_TRUE(field("MEASURE_IME").readOnly());
    EXPECT_TRUE(field("BELEJKI").readOnly());
    EXPECT_EQ(field("IME").displayLabel(), QStringLiteral("Наименование"));
    EXPECT_EQ(field("GODISHNO_POTREBLENIE").displayFormat(), QStringLiteral("# ###"));
    EXPECT_EQ(field("PP4_NUMBER").displayFormat(), QStringLiteral("# ### ##0.00"));
    EXPECT_EQ(field("_BROY_OPAKOVKI").kind(), data::FieldKind::Calculated);
    EXPECT_FALSE(field("PP1_NUMBER").readOnly());
    EXPECT_EQ(positions->fieldCount(), 33);

    positions->setParameter(QStringLiteral("MASTER_CODE"), 1);
    positions->open();
    EXPECT_EQ(field("GODISHNO_POTREBLENIE").displayText(), QStringLiteral("60 000"));
    EXPECT_TRUE(field("_CENA_OBSHTO").isNull()); // no rule fills the calculated fields
}

TEST(FieldLists, AColumnMissingOrOfAnotherBaseTypeKeepsTheDatasetClosed) {
    using Make = std::unique_ptr<Dataset> (*)(data::Connection&);
    struct Case {
        Make make;
        tender::SchemaChanges changes;
        const char* error; // empty: the dataset opens
    };
    const auto dropped = [](const char* column) {
        return tender::SchemaChanges{{}, {column}, {}, {}};
    };
    const auto retyped = [](const char* column, const char* type) {
        return tender::SchemaChanges{{}, {}, {{column, type}}, {}};
    };
    const Make positions = [](data::Connection& connection) {
        return data::makeQryData(connection);
    };
    // The positions as an export opens them: the columns of the other fields are not looked for.
    const Make pricesOnly = [](data::Connection& connection) {
        return data::makeQryData(connection,
                                 {QStringLiteral("PRODUCT_CODE"), QStringLiteral("CUSTOM_CODE"),
                                  QStringLiteral("PP1_NUMBER")});
    };
    const Case cases[] = {
        {data::makeQrySpecs, dropped("SPECS.CAPTION_NOMER"),
         "qrySpecs: Полето 'CAPTION_NOMER' не е намерено"},
        {data::makeQrySpecsInit, dropped("SPECS.KP3_IME"),
         "qrySpecsInit: Полето 'KP3_IME' не е намерено"},
        {data::makeQrySpecsInit, dropped("SPECS.CAPTION_NOMER"), ""}, // not in its list
        {positions, retyped("PREDLOGENIA.PP1_NUMBER", "text(50)"),
         "qryData: Полето 'PP1_NUMBER' е от тип text, а се очаква double"},
        {data::makeQryObosobeniPozicii, retyped("PREDLOGENIA.IME", "text(255)"),
         "qryObosobeniPozicii: Полето 'IME' е от тип text, а се очаква memo"},
        {data::makeQrySpecs, retyped("SPECS.NO_DDS", "long"),
         "qrySpecs: Полето 'NO_DDS' е от тип long integer, а се очаква yes/no"},
        // Another width of the same base type fits.
        {data::makeQrySpecs, retyped("SPECS.KONKURS", "integer"), ""},
        {positions, retyped("PREDLOGENIA.PP1_NUMBER", "single"), ""},
        {positions, dropped("PREDLOGENIA.INFO8"), "qryData: Полето 'INFO8' не е намерено"},
        {pricesOnly, dropped("PREDLOGENIA.INFO8"), ""},
        {pricesOnly, retyped("PREDLOGENIA.PP1_NUMBER", "text(50)"),
         "qryData: Полето 'PP1_NUMBER' е от тип text, а се очаква double"},
    };
    for (const Case& c : cases) {
        fixture::TenderFolder folder;
        data::Connection connection;
        connection.open(folder.write(fixture::TenderFolder::sample(), c.changes));
        std::unique_ptr<Dataset> dataset = c.make(connection);
        dataset->setParameter(QStringLiteral("MASTER_CODE"), 1);
        if (*c.error == 0) {
            EXPECT_NO_THROW(dataset->open()) << dataset->name().toStdString();
            continue;
        }
        try {
            dataset->open();
            ADD_FAILURE() << "opened despite: " << c.error;
        } catch (const data::FieldError& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        EXPECT_FALSE(dataset->active());
    }
}

TEST(EmptyTenderRecord, ReadsEveryValueAsNull) {
    fixture::TenderFolder folder;
    nlohmann::json description = fixture::TenderFolder::sample();
    description["SPECS"] = nlohmann::json::array();
    data::Connection connection;
    connection.open(folder.write(description));
    auto specs = data::makeQrySpecs(connection);
    specs->open();
    EXPECT_TRUE(specs->isEmpty());
    EXPECT_TRUE(specs->bof() && specs->eof());
    EXPECT_EQ(specs->recNo(), -1);
    for (const char* name : {"IME_NA_FIRMATA", "PP2_TIP", "BROI_INFO_POLETA", "_NO_DDS"})
        EXPECT_TRUE(specs->fieldByName(QString::fromLatin1(name)).isNull()) << name;
    EXPECT_EQ(specs->fieldByName(QStringLiteral("PP2_TIP")).asInteger(), 0);
    EXPECT_THROW(specs->edit(), data::Error);
}

} // namespace
