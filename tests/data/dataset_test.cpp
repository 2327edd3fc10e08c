// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

namespace {

using data::Dataset;
using data::Field;
using State = data::Dataset::State;

// The positions of lot 1 of the sample tender: seven, codes 1 to 7, all priced.
class PositionsOfLot1 : public ::testing::Test {
protected:
    void SetUp() override {
        connection.open(folder.writeSample());
        positions = data::makeQryData(connection);
        positions->setParameter(QStringLiteral("MASTER_CODE"), 1);
        positions->open();
    }

    data::Field& field(const char* name) {
        return positions->fieldByName(QString::fromLatin1(name));
    }
    jet::Value onDisk(std::int64_t productCode, const char* column) {
        return fixture::readColumn(folder.file(), "PREDLOGENIA", "PRODUCT_CODE", productCode,
                                   column);
    }

    fixture::TenderFolder folder;
    data::Connection connection;
    std::unique_ptr<Dataset> positions;
};

TEST_F(PositionsOfLot1, MovesSetAndClearTheBeginningAndEndMarks) {
    struct Step {
        void (Dataset::*move)();
        int record;
        bool bof;
        bool eof;
    };
    EXPECT_EQ(positions->recNo(), 0);
    EXPECT_TRUE(positions->bof());
    EXPECT_FALSE(positions->eof());
    const Step steps[] = {
        {&Dataset::prior, 0, true, false},  {&Dataset::next, 1, false, false},
        {&Dataset::prior, 0, false, false}, {&Dataset::prior, 0, true, false},
        {&Dataset::last, 6, false, true},   {&Dataset::next, 6, false, true},
        {&Dataset::prior, 5, false, false}, {&Dataset::next, 6, false, false},
        {&Dataset::next, 6, false, true},   {&Dataset::first, 0, true, false},
    };
    int afterScroll = 0;
    positions->afterScroll = [&](Dataset&) { ++afterScroll; };
    for (const Step& step : steps) {
        (positions.get()->*step.move)();
        EXPECT_EQ(positions->recNo(), step.record);
        EXPECT_EQ(positions->bof(), step.bof) << "at step " << afterScroll;
        EXPECT_EQ(positions->eof(), step.eof) << "at step " << afterScroll;
    }
    EXPECT_EQ(afterScroll, static_cast<int>(std::size(steps)));
}

TEST_F(PositionsOfLot1, LocateFindsExactValuesAndClearsTheMarksEvenInPlace) {
    struct Case {
        const char* field;
        QVariant value;
        bool found;
        int record; // current afterwards; every case starts on the first record, bof set
    };
    const Case cases[] = {
        {"CUSTOM_CODE", QStringLiteral("1"), true, 0}, // the record already current
        {"CUSTOM_CODE", QStringLiteral("3"), true, 2},
        {"CUSTOM_CODE", QStringLiteral(" 3"), false, 0},
        {"CUSTOM_CODE", QStringLiteral("03"), false, 0},
        {"CUSTOM_CODE", QVariant(), false, 0},
        {"PRODUCT_CODE", 3, true, 1},
    };
    for (const Case& c : cases) {
        positions->first();
        ASSERT_TRUE(positions->bof());
        int afterScroll = 0;
        positions->afterScroll = [&](Dataset&) { ++afterScroll; };
        const std::string name = std::string(c.field) + " " + c.value.toString().toStdString();
        EXPECT_EQ(positions->locate(QString::fromLatin1(c.field), c.value), c.found) << name;
        EXPECT_EQ(positions->recNo(), c.record) << name;
        EXPECT_EQ(afterScroll, c.found ? 1 : 0) << name;
        EXPECT_EQ(positions->bof(), !c.found) << name;
        EXPECT_FALSE(positions->eof()) << name;
        positions->afterScroll = nullptr;
    }
}

TEST_F(PositionsOfLot1, LocatePostsThePendingEditFirstAndStaysWhenThatFails) {
    positions->beforePost = [](Dataset& dataset) {
        if (dataset.fieldByName(QStringLiteral("PP1_NUMBER")).isNull())
            throw data::Error(QStringLiteral("Няма цена."));
    };
    positions->edit();
    field("PP1_NUMBER").clear();
    EXPECT_THROW(positions->locate(QStringLiteral("CUSTOM_CODE"), QStringLiteral("4")),
                 data::Error);
    EXPECT_EQ(positions->recNo(), 0);
    EXPECT_EQ(positions->state(), State::Edit);

    field("PP1_NUMBER").setValue(2.5);
    EXPECT_TRUE(positions->locate(QStringLiteral("CUSTOM_CODE"), QStringLiteral("4")));
    EXPECT_EQ(positions->state(), State::Browse);
    EXPECT_EQ(onDisk(2, "PP1_NUMBER"), jet::Value(2.5));
    EXPECT_THROW(positions->locate(QStringLiteral("NO_SUCH_FIELD"), 1), data::FieldError);
}

// Field names are matched without regard to letter case, as the forms and reports write them.
TEST_F(PositionsOfLot1, FieldsAreFoundByNameInAnyLetterCase) {
    const Field& exact = positions->fieldByName(QStringLiteral("PP1_NUMBER"));
    for (const char* name : {"pp1_number", "Pp1_Number"})
        EXPECT_EQ(&positions->fieldByName(QString::fromLatin1(name)), &exact) << name;
    EXPECT_EQ(positions->findField(QStringLiteral("PP1_NUMBE")), nullptr);
    EXPECT_THROW(positions->fieldByName(QStringLiteral("PP1_NUMBERS")), data::FieldError);
}

TEST_F(PositionsOfLot1, PostWritesOnlyTheChangedColumnsOfTheOneRow) {
    const std::int64_t product = field("PRODUCT_CODE").asInteger();
    const jet::Value name = onDisk(product, "IME");
    const jet::Value neighbour = onDisk(product + 1, "PP1_NUMBER");

    positions->edit();
    EXPECT_EQ(positions->state(), State::Edit);
    field("PP1_NUMBER").setValue(1.25);
    field("PP2_TEXT").clear();
    EXPECT_EQ(onDisk(product, "PP1_NUMBER"), jet::Value(0.08)); // nothing written before post
    positions->post();

    EXPECT_EQ(positions->state(), State::Browse);
    EXPECT_EQ(field("PP1_NUMBER").asFloat(), 1.25);
    EXPECT_EQ(onDisk(product, "PP1_NUMBER"), jet::Value(1.25));
    EXPECT_EQ(onDisk(product, "PP2_TEXT"), jet::Value());
    EXPECT_EQ(onDisk(product, "IME"), name);
    EXPECT_EQ(onDisk(product + 1, "PP1_NUMBER"), neighbour);
}

TEST_F(PositionsOfLot1, AFailingCheckBeforePostKeepsTheEditAndWritesNothing) {
    positions->beforePost = [](Dataset& dataset) {
        if (dataset.fieldByName(QStringLiteral("PP1_NUMBER")).asFloat() <= 0)
            throw data::Error(QStringLiteral("Цената трябва да е по-голяма от 0."));
    };
    const std::int64_t product = field("PRODUCT_CODE").asInteger();
    positions->edit();
    field("PP1_NUMBER").clear();
    EXPECT_THROW(positions->next(), data::Error);
    EXPECT_EQ(positions->recNo(), 0); // the move did not happen
    EXPECT_EQ(positions->state(), State::Edit);
    EXPECT_TRUE(field("PP1_NUMBER").isNull());
    EXPECT_EQ(onDisk(product, "PP1_NUMBER"), jet::Value(0.08));

    positions->cancel();
    EXPECT_EQ(positions->state(), State::Browse);
    EXPECT_DOUBLE_EQ(field("PP1_NUMBER").asFloat(), 0.08);
}

// A post the engine refuses is told in Bulgarian, naming the field, and nothing is written.
TEST_F(PositionsOfLot1, APostTheEngineRefusesIsToldInBulgarian) {
    const std::int64_t product = field("PRODUCT_CODE").asInteger();
    const jet::Value before = onDisk(product, "PP2_TEXT");
    positions->edit();
    field("PP2_TEXT").setValue(QString(256, u'ж'));
    try {
        positions->post();
        ADD_FAILURE() << "posted";
    } catch (const data::Error& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("Стойността на поле „PP2_TEXT“ е по-дълга от 255 знака, колкото "
                                 "побира полето: промяната не е записана."));
    }
    positions->cancel();
    EXPECT_EQ(onDisk(product, "PP2_TEXT"), before);

    data::Connection readOnly;
    readOnly.openReadOnly(folder.file());
    const std::unique_ptr<Dataset> other = data::makeQryData(readOnly);
    other->setParameter(QStringLiteral("MASTER_CODE"), 1);
    other->open();
    other->edit();
    other->fieldByName(QStringLiteral("PP1_NUMBER")).setValue(2.5);
    try {
        other->post();
        ADD_FAILURE() << "posted through a read-only connection";
    } catch (const data::Error& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("Файлът „%1“ е отворен само за четене: промяната не е записана.")
                      .arg(folder.file()));
    }
}

TEST_F(PositionsOfLot1, MovingOnPostsThePendingEdit) {
    const std::int64_t product = field("PRODUCT_CODE").asInteger();
    positions->edit();
    field("PP3_TEXT").setValue(QStringLiteral("Производител ООД"));
    positions->next();
    EXPECT_EQ(positions->state(), State::Browse);
    EXPECT_EQ(positions->recNo(), 1);
    EXPECT_EQ(onDisk(product, "PP3_TEXT"), jet::Value(std::string("Производител ООД")));
}

TEST_F(PositionsOfLot1, RefusesWritesOutsideEditStateAndToReadOnlyFields) {
    EXPECT_THROW(field("PP1_NUMBER").setValue(2.0), data::Error);
    positions->edit();
    EXPECT_THROW(field("MEASURE_IME").setValue(QStringLiteral("кг")), data::Error);
    EXPECT_THROW(field("PP1_NUMBER").setValue(QStringLiteral("много")), data::Error);
    positions->cancel();
    EXPECT_THROW(positions->post(), data::Error);
}

TEST_F(PositionsOfLot1, ASnapshotSeesAnotherDatasetsPostOnlyAfterReopening) {
    auto other = data::makeQryData(connection);
    other->setParameter(QStringLiteral("MASTER_CODE"), 1);
    other->open();
    other->edit();
    other->fieldByName(QStringLiteral("PP1_NUMBER")).setValue(9.5);
    other->post();

    EXPECT_DOUBLE_EQ(field("PP1_NUMBER").asFloat(), 0.08);
    positions->close();
    positions->open();
    EXPECT_DOUBLE_EQ(field("PP1_NUMBER").asFloat(), 9.5);
}

TEST_F(PositionsOfLot1, CloseDropsAPendingEditWithoutStoring) {
    const std::int64_t product = field("PRODUCT_CODE").asInteger();
    positions->edit();
    field("PP1_NUMBER").setValue(3.0);
    positions->close();
    EXPECT_EQ(positions->state(), State::Inactive);
    EXPECT_EQ(onDisk(product, "PP1_NUMBER"), jet::Value(0.08));
    EXPECT_TRUE(field("PP1_NUMBER").isNull());
    EXPECT_THROW(positions->next(), data::Error);
}

TEST_F(PositionsOfLot1, AFilterHidesRecordsUntilSwitchedOff) {
    positions->setFilter([](const Dataset& dataset) {
        return dataset.fieldByName(QStringLiteral("PP1_NUMBER")).asFloat() > 1.0;
    });
    EXPECT_EQ(positions->recordCount(), 7); // set, not yet switched on
    positions->setFiltered(true);
    ASSERT_GT(positions->recordCount(), 0);
    EXPECT_LT(positions->recordCount(), 7);
    for (int r = 0; r < positions->recordCount(); ++r) {
        positions->moveTo(r);
        EXPECT_GT(field("PP1_NUMBER").asFloat(), 1.0);
    }
    positions->setFiltered(false);
    EXPECT_EQ(positions->recordCount(), 7);
    EXPECT_EQ(positions->recNo(), 0);
}

TEST_F(PositionsOfLot1, AFilterSwitchedOnOverAnEditThatCannotBeStoredStaysOff) {
    positions->beforePost = [](Dataset&) { throw data::Error(QStringLiteral("отказано")); };
    positions->setFilter([](const Dataset&) { return false; });
    positions->edit();
    field("PP1_NUMBER").setValue(3.0);
    EXPECT_THROW(positions->setFiltered(true), data::Error);
    EXPECT_FALSE(positions->filtered());
    positions->cancel();
    positions->close();
    positions->open();
    EXPECT_EQ(positions->recordCount(), 7);
}

TEST_F(PositionsOfLot1, CalculatedFieldsFollowTheRecordAndItsEdits) {
    positions->close();
    positions->onCalcFields = [](Dataset& dataset) {
        dataset.fieldByName(QStringLiteral("_OBSHTA_STOYNOST"))
            .setValue(dataset.fieldByName(QStringLiteral("PP1_NUMBER")).asFloat() *
                      dataset.fieldByName(QStringLiteral("GODISHNO_POTREBLENIE")).asFloat());
    };
    positions->open();
    EXPECT_DOUBLE_EQ(field("_OBSHTA_STOYNOST").asFloat(), 0.08 * 60000);
    positions->edit();
    field("PP1_NUMBER").setValue(0.1);
    EXPECT_DOUBLE_EQ(field("_OBSHTA_STOYNOST").asFloat(), 0.1 * 60000);
    positions->cancel();
    EXPECT_DOUBLE_EQ(field("_OBSHTA_STOYNOST").asFloat(), 0.08 * 60000);
}

TEST_F(PositionsOfLot1, ADataSourceEditsOnlyARecordThatExists) {
    data::DataSource source(*positions);
    EXPECT_TRUE(source.edit());
    EXPECT_EQ(positions->state(), State::Edit);
    positions->cancel();

    positions->close();
    positions->setParameter(QStringLiteral("MASTER_CODE"), -1);
    positions->open();
    EXPECT_FALSE(source.edit());
    EXPECT_EQ(positions->state(), State::Browse);
    EXPECT_THROW(positions->edit(), data::Error);
}

TEST_F(PositionsOfLot1, BeforeOpenRunsFirstAndItsErrorKeepsTheDatasetClosed) {
    positions->close();
    positions->beforeOpen = [](Dataset&) { throw data::Error(QStringLiteral("не сега")); };
    EXPECT_THROW(positions->open(), data::Error);
    EXPECT_FALSE(positions->active());
}

TEST_F(PositionsOfLot1, AnErrorInTheCalculationKeepsTheDatasetClosed) {
    positions->close();
    positions->onCalcFields = [](Dataset&) { throw data::Error(QStringLiteral("не сега")); };
    EXPECT_THROW(positions->open(), data::Error);
    EXPECT_FALSE(positions->active());
    EXPECT_EQ(positions->recordCount(), 0);
    EXPECT_THROW(positions->edit(), data::Error);
}

TEST(DatasetWithoutConnection, FailsToOpenWithTheDataLayersError) {
    data::Connection connection;
    auto specs = data::makeQrySpecs(connection);
    try {
        specs->open();
        FAIL();
    } catch (const data::Error& error) {
        EXPECT_STREQ(error.what(), "Няма връзка с базата данни.");
    }
    EXPECT_FALSE(specs->active());
    EXPECT_TRUE(specs->fieldByName(QStringLiteral("IME_NA_FIRMATA")).isNull());
}

} // namespace
