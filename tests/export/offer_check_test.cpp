// SPDX-License-Identifier: Apache-2.0
#include "export/offer_check.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "jet/database.h"
#include "offer/dataset_rules.h"

#include "offer_problems_tender.h"
#include "offer_tender.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using offercheck::Where;

class OfferCheck : public ::testing::Test {
protected:
    std::vector<offercheck::Problem> check(const nlohmann::json& tender) {
        file = folder.write(tender);
        connection.openReadOnly(file);
        qrySpecs->open();
        return offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
    }

    fixture::TenderFolder folder;
    QString file;
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
};

// The tender's problems first, then lot by lot in lot order ("3", "9", "10" though stored "10"
// first), each lot's own before its positions, positions in their order ("1" before "2", "9"
// before "10"), every broken rule of one position on a line of its own. The lot not taken part
// in is not asked about, a position in order gives no line.
TEST_F(OfferCheck, ListsEveryProblemInLotAndPositionOrder) {
    const std::vector<offercheck::Problem> problems = check(fixture::offerProblemsTender());
    const std::vector<exporttest::ProblemLine> lines = exporttest::offerProblemLines();
    struct Target {
        Where where;
        int lot;
        int position;
    };
    const Target targets[] = {
        {Where::Tender, 0, 0},       {Where::Tender, 0, 0},       {Where::Lot, 30, 0},
        {Where::Position, 90, 92},   {Where::Lot, 100, 0},        {Where::Position, 100, 101},
        {Where::Position, 100, 102}, {Where::Position, 100, 102},
    };
    ASSERT_EQ(problems.size(), lines.size());
    ASSERT_EQ(std::size(targets), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const offercheck::Problem& problem = problems[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(problem.lotCode, lines[i].lot);
        EXPECT_EQ(problem.positionCode, lines[i].position);
        EXPECT_EQ(problem.field(), lines[i].field);
        EXPECT_EQ(problem.message, lines[i].message);
        EXPECT_EQ(problem.where, targets[i].where);
        EXPECT_EQ(problem.lot.toInt(), targets[i].lot);
        EXPECT_EQ(problem.position.toInt(), targets[i].position);
    }
}

// The tender record is checked as it is being edited, as the export checks it; the rest as
// stored.
TEST_F(OfferCheck, AnOfferInOrderHasNoProblemUntilTheCompanyNameIsCleared) {
    EXPECT_TRUE(check(fixture::offerProblemsTender(true)).empty());
    qrySpecs->edit();
    qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA")).setValue(QStringLiteral(" \t"));
    const std::vector<offercheck::Problem> problems =
        offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].column, QStringLiteral("IME_NA_FIRMATA"));
}

// A text that the export would refuse to write names its position and column, as the export's
// own refusal does.
TEST_F(OfferCheck, NamesATextTheOfferFileCannotCarry) {
    nlohmann::json tender = fixture::offerProblemsTender(true);
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 91)
            row["PP4_TEXT"] = "Гама\u0007";
    const std::vector<offercheck::Problem> problems = check(tender);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].lotCode, QStringLiteral("9"));
    EXPECT_EQ(problems[0].positionCode, QStringLiteral("10"));
    EXPECT_EQ(problems[0].field(), QStringLiteral("Производител (PP4_TEXT)"));
    EXPECT_EQ(problems[0].message,
              QStringLiteral("Текстът на PP4_TEXT съдържа на 5-о място знака U+0007, който не "
                             "може да се запише в XML файл."));
}

TEST_F(OfferCheck, NamesTheTendersTextsBeforeExportSayingWhatTheFileCarries) {
    nlohmann::json tender = fixture::offerProblemsTender(true);
    tender["SPECS"][0]["IME_NA_KONKURSA"] = "Доставка\u000Bна консумативи";
    tender["SPECS"][0]["KP1_TEXT"] = "Срок\u0002";
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 91)
            row["CUSTOM_CODE"] = "10\u000B";
    const std::vector<offercheck::Problem> problems = check(tender);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].where, Where::Tender);
    EXPECT_EQ(problems[0].column, QStringLiteral("IME_NA_KONKURSA"));
    EXPECT_EQ(problems[0].message,
              QStringLiteral("Текстът на IME_NA_KONKURSA съдържа на 9-о място знака U+000B, който "
                             "не може да се запише в XML файл. Текстът е от поръчката: във файла "
                             "на офертата всеки такъв знак се заменя с интервал."));
    // What the bidder typed is refused by the export: no word of a replacement.
    EXPECT_EQ(problems[1].where, Where::Tender);
    EXPECT_EQ(problems[1].column, QStringLiteral("KP1_TEXT"));
    EXPECT_FALSE(problems[1].message.contains(QStringLiteral("интервал")));
    EXPECT_EQ(problems[2].where, Where::Position);
    EXPECT_EQ(problems[2].column, QStringLiteral("CUSTOM_CODE"));
    EXPECT_TRUE(problems[2].message.endsWith(QStringLiteral("заменя с интервал.")));
}

TEST_F(OfferCheck, NamesANumberStoredWithMoreDecimalsThanItsInputTakes) {
    nlohmann::json tender = fixture::offerProblemsTender(true);
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 91)
            row["PP1_NUMBER"] = 11.999;
    const std::vector<offercheck::Problem> problems = check(tender);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].positionCode, QStringLiteral("10"));
    EXPECT_EQ(problems[0].column, QStringLiteral("PP1_NUMBER"));
    EXPECT_EQ(problems[0].message,
              QStringLiteral("Стойността 11") + QLocale().decimalPoint() +
                  QStringLiteral("999 има повече знаци след десетичния разделител, отколкото "
                                 "полето приема (2)."));
}

// A price above 0 that its two decimals show and print as 0 is named; one above the authority's
// estimate is a warning on its position's price, one equal to it is not.
TEST_F(OfferCheck, NamesAPriceShownAsZeroAndWarnsOfOneAboveTheEstimate) {
    nlohmann::json tender = fixture::offerProblemsTender(true);
    for (nlohmann::json& row : tender["PREDLOGENIA"]) {
        if (row["PRODUCT_CODE"] == 91)
            row["PP1_NUMBER"] = 0.004;
        if (row["PRODUCT_CODE"] == 92)
            row["MAX_CENA"] = 3.5;
        if (row["PRODUCT_CODE"] == 102)
            row["MAX_CENA"] = 5.0;
    }
    const std::vector<offercheck::Problem> problems = check(tender);
    // The price shown as 0 also holds more decimals than its input takes, which is named first.
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].positionCode, QStringLiteral("9"));
    EXPECT_EQ(problems[0].column, QStringLiteral("PP1_NUMBER"));
    EXPECT_TRUE(problems[0].warning);
    EXPECT_TRUE(problems[0].message.contains(QStringLiteral("над максималната цена")))
        << problems[0].message.toStdString();
    EXPECT_TRUE(problems[1].message.contains(QStringLiteral("повече знаци")))
        << problems[1].message.toStdString();
    EXPECT_EQ(problems[2].positionCode, QStringLiteral("10"));
    EXPECT_EQ(problems[2].column, QStringLiteral("PP1_NUMBER"));
    EXPECT_FALSE(problems[2].warning);
    EXPECT_TRUE(problems[2].message.contains(QStringLiteral("се показва и печата като 0")))
        << problems[2].message.toStdString();
}

// Both numbers of the estimate warning as stored: rounded to the column's two decimals, 11.999
// would read 12,00 and 0.114 would read as equal to its estimate 0.11.
TEST_F(OfferCheck, TheEstimateWarningShowsBothNumbersWhole) {
    struct Case {
        double price;
        double estimate;
        const char* priceShown;
        const char* estimateShown;
    };
    const Case cases[] = {
        {11.999, 0.09, "11{sep}999", "0{sep}09"},
        {0.114, 0.11, "0{sep}114", "0{sep}11"},
        {12.5, 3.5, "12{sep}50", "3{sep}50"},
        {7.0, 6.125, "7{sep}00", "6{sep}125"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.price);
        nlohmann::json tender = fixture::offerProblemsTender(true);
        for (nlohmann::json& row : tender["PREDLOGENIA"])
            if (row["PRODUCT_CODE"] == 92) {
                row["PP1_NUMBER"] = c.price;
                row["MAX_CENA"] = c.estimate;
            }
        qrySpecs->close();
        connection = data::Connection();
        const std::vector<offercheck::Problem> problems = check(tender);
        const auto warning = std::find_if(problems.begin(), problems.end(),
                                          [](const offercheck::Problem& p) { return p.warning; });
        ASSERT_NE(warning, problems.end());
        const auto whole = [](const char* shown) {
            return QString::fromUtf8(shown).replace(QStringLiteral("{sep}"),
                                                    QLocale().decimalPoint());
        };
        EXPECT_EQ(warning->message,
                  QStringLiteral("Цената %1 е над максималната цена на възложителя %2: такава "
                                 "оферта може да бъде отстранена.")
                      .arg(whole(c.priceShown), whole(c.estimateShown)));
    }
}

// A file that lost a page of positions still reads well, every row left in order: the check
// names the damage first, as tenderdb check does, before anything it says of what is left.
TEST_F(OfferCheck, NamesTheDamageOfTheFileFirst) {
    nlohmann::json tender = fixture::offerProblemsTender(true);
    for (int i = 0; i < 60; ++i)
        tender["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 1000 + i},
                                         {"MASTER_CODE", 90},
                                         {"CUSTOM_CODE", std::to_string(100 + i)},
                                         {"IME", std::string(300, 'x')},
                                         {"PP1_NUMBER", 1.0},
                                         {"PP3_NUMBER", 0.0},
                                         {"PP4_TEXT", "Гама"}});
    file = folder.write(tender);
    std::uint32_t definition = 0;
    {
        const jet::Database database(file.toStdString(), jet::Database::Mode::ReadOnly);
        definition = database.table("PREDLOGENIA").definitionPage;
    }
    QFile bytes(file);
    ASSERT_TRUE(bytes.open(QIODevice::ReadWrite));
    QByteArray pages = bytes.readAll();
    constexpr qsizetype kPage = 4096;
    qsizetype lastDataPage = -1;
    for (qsizetype page = 0; page < pages.size() / kPage; ++page) {
        const char* at = pages.constData() + page * kPage;
        std::uint32_t owner = 0;
        std::memcpy(&owner, at + 4, sizeof owner);
        if (at[0] == 0x01 && owner == definition)
            lastDataPage = page;
    }
    ASSERT_GT(lastDataPage, 0);
    bytes.seek(lastDataPage * kPage);
    bytes.write(QByteArray(kPage, '\0'));
    bytes.close();

    connection.openReadOnly(file);
    qrySpecs->open();
    const std::vector<offercheck::Problem> problems =
        offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems[0].where, Where::File);
    EXPECT_TRUE(problems[0].message.contains(QStringLiteral("PREDLOGENIA")))
        << problems[0].message.toStdString();
    EXPECT_TRUE(problems[0].message.contains(QStringLiteral("rows, the definition counts 69")))
        << problems[0].message.toStdString();
}

} // namespace
