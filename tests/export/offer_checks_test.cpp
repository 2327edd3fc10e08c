// SPDX-License-Identifier: Apache-2.0
#include "export/dMain.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"
#include "tools/tender_description.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Values = std::vector<std::pair<const char*, QVariant>>;
const QVariant kNull;

// A tender whose parameters carry no limits yet, with one lot and one priced position. Every case
// sets its limit codes, captions and values in the edit buffers of the datasets.
const nlohmann::json kTender = {
    {"SPECS",
     {{{"IME_NA_FIRMATA", "Медикс ООД"},
       {"KP1_IME", "Срок на доставка"},
       {"KP2_IME", "Гаранция"},
       {"KP3_IME", "Начин на плащане"},
       {"KP4_IME", "Валидност"},
       {"PP1_IME", "Ед. цена"},
       {"PP1_OFERTA", 2},
       {"PP2_IME", "Търговско наименование"},
       {"PP3_IME", "Производител"},
       {"PP4_IME", "Опаковка"},
       {"PP5_IME", "Срок на годност"},
       {"PP6_IME", "Отстъпка"}}}},
    {"PREDLOGENIA",
     {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", "1"}, {"PP2_TEXT", "Да"}},
      {{"PRODUCT_CODE", 2}, {"MASTER_CODE", 1}, {"CUSTOM_CODE", "1"}, {"PP1_NUMBER", 10.0}}}}};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class OfferChecks : public ::testing::Test {
protected:
    void SetUp() override {
        tender::writeTender(kTender, folder.file().toStdString());
        connection.open(folder.file());
        qrySpecs->open();
        qryData->setParameter(QStringLiteral("MASTER_CODE"), 1);
        qryData->open();
        ASSERT_EQ(qryData->recordCount(), 1);
    }

    static void type(data::Dataset& dataset, const Values& values) {
        dataset.edit();
        for (const auto& [name, value] : values)
            dataset.fieldByName(QString::fromLatin1(name)).setValue(value);
    }

    fixture::TenderFolder folder;
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    std::unique_ptr<data::Dataset> qryData = data::makeQryData(connection);
};

struct TenderCase {
    const char* rule;
    Values tender;
    const char* expected;
};

TEST_F(OfferChecks, TenderRecordFollowsTheLimitCodes) {
    const TenderCase cases[] = {
        {"all in order", {}, ""},
        {"company name of spaces",
         {{"IME_NA_FIRMATA", "   "}},
         "\"Наименование на фирмата\" трябва да е попълнено.\r\n"},
        {"company name of control characters",
         {{"IME_NA_FIRMATA", "\t\r\n"}},
         "\"Наименование на фирмата\" трябва да е попълнено.\r\n"},
        {"no company name",
         {{"IME_NA_FIRMATA", kNull}},
         "\"Наименование на фирмата\" трябва да е попълнено.\r\n"},
        {"code 2 with 0",
         {{"KP1_OGRANICHENIE", 2}, {"KP1_NUMBER", 0.0}},
         "\"Срок на доставка\" трябва да е по-голямо от 0.\r\n"},
        {"code 2 with null",
         {{"KP1_OGRANICHENIE", 2}, {"KP1_NUMBER", kNull}},
         "\"Срок на доставка\" трябва да е по-голямо от 0.\r\n"},
        {"code 2 with 0.01", {{"KP1_OGRANICHENIE", 2}, {"KP1_NUMBER", 0.01}}, ""},
        {"code 2 looks at the number even of a text parameter",
         {{"KP1_OGRANICHENIE", 2}, {"KP1_TIP", 2}, {"KP1_TEXT", "30"}},
         "\"Срок на доставка\" трябва да е по-голямо от 0.\r\n"},
        {"code 3 with 0", {{"KP2_OGRANICHENIE", 3}, {"KP2_NUMBER", 0.0}}, ""},
        {"code 3 with null",
         {{"KP2_OGRANICHENIE", 3}, {"KP2_NUMBER", kNull}},
         "\"Гаранция\" трябва да е по-голямо или равно на 0.\r\n"},
        {"code 3 with -0.01",
         {{"KP2_OGRANICHENIE", 3}, {"KP2_NUMBER", -0.01}},
         "\"Гаранция\" трябва да е по-голямо или равно на 0.\r\n"},
        {"code 5 with spaces",
         {{"KP3_OGRANICHENIE", 5}, {"KP3_TEXT", "    "}},
         "\"Начин на плащане\" трябва да е попълнено.\r\n"},
        {"code 5 with null",
         {{"KP3_OGRANICHENIE", 5}, {"KP3_TEXT", kNull}},
         "\"Начин на плащане\" трябва да е попълнено.\r\n"},
        {"code 5 with one letter", {{"KP3_OGRANICHENIE", 5}, {"KP3_TEXT", "б"}}, ""},
        {"code 5 with a non-breaking space kept",
         {{"KP3_OGRANICHENIE", 5}, {"KP3_TEXT", "\u00A0"}},
         ""},
        {"code 4 never checks",
         {{"KP4_OGRANICHENIE", 4}, {"KP4_NUMBER", -5.0}, {"KP4_TEXT", " "}},
         ""},
        {"code 0 never checks", {{"KP4_OGRANICHENIE", 0}, {"KP4_NUMBER", kNull}}, ""},
        {"no code never checks", {{"KP4_OGRANICHENIE", kNull}, {"KP4_NUMBER", kNull}}, ""},
        {"two failures in order",
         {{"KP4_OGRANICHENIE", 5}, {"KP2_OGRANICHENIE", 2}},
         "\"Гаранция\" трябва да е по-голямо от 0.\r\n"
         "\"Валидност\" трябва да е попълнено.\r\n"},
        {"company name before the parameters",
         {{"KP1_OGRANICHENIE", 3}, {"IME_NA_FIRMATA", kNull}},
         "\"Наименование на фирмата\" трябва да е попълнено.\r\n"
         "\"Срок на доставка\" трябва да е по-голямо или равно на 0.\r\n"},
        {"caption with blanks kept",
         {{"KP1_OGRANICHENIE", 2}, {"KP1_IME", " Срок  (дни) "}},
         "\" Срок  (дни) \" трябва да е по-голямо от 0.\r\n"},
        {"null caption",
         {{"KP1_OGRANICHENIE", 5}, {"KP1_IME", kNull}},
         "\"\" трябва да е попълнено.\r\n"},
    };
    for (const TenderCase& c : cases) {
        type(*qrySpecs, c.tender);
        EXPECT_EQ(TdmMain::IsKonkOK(*qrySpecs), text(c.expected)) << c.rule;
        qrySpecs->cancel();
    }
}

struct PositionCase {
    const char* rule;
    Values tender;
    Values position;
    const char* expected;
};

TEST_F(OfferChecks, PositionNeedsAPriceAndFollowsTheLimitCodes) {
    const PositionCase cases[] = {
        {"price 0.01 and no limits", {}, {{"PP1_NUMBER", 0.01}}, ""},
        {"no price", {}, {{"PP1_NUMBER", kNull}}, "\"Ед. цена\" трябва да е по-голямо от 0.\r\n"},
        {"no price, and the price belongs to no offer",
         {{"PP1_OFERTA", 0}},
         {{"PP1_NUMBER", kNull}},
         "\"Ед. цена\" трябва да е по-голямо от 0.\r\n"},
        {"price 0", {}, {{"PP1_NUMBER", 0.0}}, "\"Ед. цена\" трябва да е по-голямо от 0.\r\n"},
        {"negative price",
         {},
         {{"PP1_NUMBER", -3.0}},
         "\"Ед. цена\" трябва да е по-голямо от 0.\r\n"},
        {"price without a caption",
         {{"PP1_IME", kNull}},
         {{"PP1_NUMBER", kNull}},
         "\"\" трябва да е по-голямо от 0.\r\n"},
        {"code 5 with spaces",
         {{"PP2_OGRANICHENIE", 5}},
         {{"PP2_TEXT", "  "}},
         "\"Търговско наименование\" трябва да е попълнено.\r\n"},
        {"code 5 with a name", {{"PP2_OGRANICHENIE", 5}}, {{"PP2_TEXT", "Спринц"}}, ""},
        {"code 2 with 0",
         {{"PP3_OGRANICHENIE", 2}},
         {{"PP3_NUMBER", 0.0}},
         "\"Производител\" трябва да е по-голямо от 0.\r\n"},
        {"code 3 with 0", {{"PP4_OGRANICHENIE", 3}}, {{"PP4_NUMBER", 0.0}}, ""},
        {"code 3 with null",
         {{"PP4_OGRANICHENIE", 3}},
         {{"PP4_NUMBER", kNull}},
         "\"Опаковка\" трябва да е по-голямо или равно на 0.\r\n"},
        {"code 3 with -0.01",
         {{"PP6_OGRANICHENIE", 3}},
         {{"PP6_NUMBER", -0.01}},
         "\"Отстъпка\" трябва да е по-голямо или равно на 0.\r\n"},
        {"the limit code alone decides, not the type or the offer",
         {{"PP5_OGRANICHENIE", 2}, {"PP5_TIP", 0}, {"PP5_OFERTA", 0}},
         {},
         "\"Срок на годност\" трябва да е по-голямо от 0.\r\n"},
        {"codes 0 and 4 never check",
         {{"PP2_OGRANICHENIE", 0}, {"PP3_OGRANICHENIE", 4}},
         {{"PP2_TEXT", kNull}, {"PP3_NUMBER", -1.0}},
         ""},
        {"failures in order, the price first",
         {{"PP6_OGRANICHENIE", 5}, {"PP2_OGRANICHENIE", 2}},
         {{"PP1_NUMBER", 0.0}},
         "\"Ед. цена\" трябва да е по-голямо от 0.\r\n"
         "\"Търговско наименование\" трябва да е по-голямо от 0.\r\n"
         "\"Отстъпка\" трябва да е попълнено.\r\n"},
        {"caption with blanks kept",
         {{"PP2_OGRANICHENIE", 5}, {"PP2_IME", "Търг.  наим. "}},
         {},
         "\"Търг.  наим. \" трябва да е попълнено.\r\n"},
    };
    for (const PositionCase& c : cases) {
        type(*qrySpecs, c.tender);
        type(*qryData, c.position);
        EXPECT_EQ(TdmMain::IsPosOk(*qryData, *qrySpecs), text(c.expected)) << c.rule;
        qryData->cancel();
        qrySpecs->cancel();
    }
}

TEST_F(OfferChecks, ReadTheEditBufferAndLeaveTheDatasetsAsTheyWere) {
    type(*qrySpecs, {{"IME_NA_FIRMATA", kNull}, {"PP2_OGRANICHENIE", 5}});
    type(*qryData, {{"PP1_NUMBER", kNull}, {"PP2_TEXT", "Спринц"}});

    EXPECT_EQ(TdmMain::IsPosOk(*qryData, *qrySpecs),
              text("\"Ед. цена\" трябва да е по-голямо от 0.\r\n"));
    EXPECT_EQ(TdmMain::IsKonkOK(*qrySpecs),
              text("\"Наименование на фирмата\" трябва да е попълнено.\r\n"));

    for (const data::Dataset* dataset : {qrySpecs.get(), qryData.get()}) {
        EXPECT_EQ(dataset->state(), data::Dataset::State::Edit) << dataset->name().toStdString();
        EXPECT_EQ(dataset->recNo(), 0) << dataset->name().toStdString();
    }
    EXPECT_TRUE(qryData->fieldByName(QStringLiteral("PP1_NUMBER")).isNull());
    EXPECT_EQ(qryData->fieldByName(QStringLiteral("PP2_TEXT")).asString(), text("Спринц"));
    EXPECT_EQ(fixture::readColumn(folder.file(), "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{2},
                                  "PP1_NUMBER"),
              jet::Value(10.0));
}

TEST_F(OfferChecks, ADatasetWithoutTheLimitCodesIsAFieldError) {
    // The reports module's tender record carries no limit codes.
    const std::unique_ptr<data::Dataset> reportSpecs = data::makeReportQrySpecs(connection);
    reportSpecs->open();
    EXPECT_THROW(TdmMain::IsKonkOK(*reportSpecs), data::FieldError);
    EXPECT_THROW(TdmMain::IsPosOk(*qryData, *reportSpecs), data::FieldError);
}

} // namespace
