// SPDX-License-Identifier: Apache-2.0
// The carry of an offer from an older tender file into the authority's amended one: what the
// preview lists and counts for a pair of files that differ as amendments do, what storing writes
// (read back with mdb-export), the old file left byte for byte as it was, the refusals of the new
// file's rules, and what a failure part way leaves.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"
#include "offer/carry_workflow.h"
#include "offer/dataset_rules.h"
#include "offer/offer_carry.h"
#include "ui/scripted_dialogs.h"

#include "tender_fixture.h"
#include "tests/export/brx_offer_run.h"
#include "tests/jet/process.h"
#include "tests/tools/tender_file_support.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <ostream>
#include <tuple>

#include <sys/stat.h>

namespace {

// The offer as typed into the first file of a tender: company data, two tender parameters, the
// price (3 decimals), a trade name that must be filled in and a term with 2 decimals. Lots 1
// and 2 taken part in, 3 not.
nlohmann::json oldTender() {
    return tendertest::readJson(BRX_CARRY_TENDERS "/old-tender.json");
}

// The amended file: position 3 withdrawn, 4 split into 4.1 and 4.2, 5 renamed with another
// quantity, a position added to lot 2 and a lot 4 added; the price down to 2 decimals, the term
// to 1, the second tender parameter now a number. Lot 1 is marked taken part in already and
// position 1 holds its trade name already.
nlohmann::json newTender() {
    return tendertest::readJson(BRX_CARRY_TENDERS "/new-tender.json");
}

QByteArray digest(const QString& file) {
    QFile in(file);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
}

// Rows of a table as mdb-export reads them: by PRODUCT_CODE (SPECS: its one row under ""), the
// named columns.
std::map<std::string, std::vector<std::string>>
exported(const QString& file, const std::string& table, const std::vector<std::string>& columns) {
    const tendertest::ExportedTable read = tendertest::mdbExport(file.toStdString(), table);
    const auto at = [&](const std::string& name) {
        const auto found = std::find(read.columns.begin(), read.columns.end(), name);
        EXPECT_NE(found, read.columns.end()) << name;
        return static_cast<std::size_t>(found - read.columns.begin());
    };
    std::map<std::string, std::vector<std::string>> rows;
    for (const auto& row : read.rows) {
        std::vector<std::string> values;
        for (const std::string& column : columns)
            values.push_back(row[at(column)]);
        rows[table == "SPECS" ? std::string() : row[at("PRODUCT_CODE")]] = values;
    }
    return rows;
}

template <typename Item> std::vector<QString> codesOf(const std::vector<Item>& items) {
    std::vector<QString> codes;
    for (const Item& item : items)
        codes.push_back(item.lot + QLatin1Char('/') + item.position);
    return codes;
}

class OfferCarryTest : public ::testing::Test {
protected:
    void SetUp() override { write(oldTender(), newTender()); }
    void write(const nlohmann::json& before, const nlohmann::json& after,
               const tender::SchemaChanges& oldSchema = {},
               const tender::SchemaChanges& newSchema = {}) {
        carry.reset();
        connection = data::Connection();
        oldFile = folder.write(before, oldSchema, QStringLiteral("old.mdb"));
        newFile = folder.write(after, newSchema, QStringLiteral("DB.mdb"));
        connection.open(newFile);
        carry = std::make_unique<offercarry::OfferCarry>(connection);
    }

    fixture::TenderFolder folder;
    QString oldFile;
    QString newFile;
    data::Connection connection;
    std::unique_ptr<offercarry::OfferCarry> carry;
};

TEST_F(OfferCarryTest, ThePreviewGroupsAndCountsEveryDifferenceAndWritesNothing) {
    const QByteArray before = digest(newFile);
    const offercarry::Preview preview = carry->preview(oldFile);

    std::vector<QString> tender;
    for (const offercarry::Value& value : preview.tender)
        tender.push_back(value.column);
    EXPECT_EQ(tender, (std::vector<QString>{"IME_NA_FIRMATA", "NO_DDS", "KP1_NUMBER"}));
    EXPECT_EQ(codesOf(preview.lots), std::vector<QString>{"2/"});
    EXPECT_EQ(codesOf(preview.newLots), std::vector<QString>{"4/"});
    std::vector<QString> positions;
    for (const offercarry::Position& position : preview.positions)
        positions.push_back(position.place.lot + QLatin1Char('/') + position.place.position);
    EXPECT_EQ(positions, (std::vector<QString>{"1/1", "1/2", "1/5", "2/1"}));
    EXPECT_EQ(preview.positionValues(), 9);
    // Position 2's price has more decimals than its column now takes: its other values are
    // carried all the same, and it is left incomplete for want of a price.
    ASSERT_EQ(preview.positions[1].values.size(), 2u);
    EXPECT_EQ(preview.positions[1].values[0].column, "PP2_TEXT");
    EXPECT_EQ(preview.positions[1].values[1].column, "PP3_NUMBER");
    EXPECT_EQ(preview.positions[1].stillNeeds, QStringList{"\"Цена\" трябва да е по-голямо от 0."});
    EXPECT_TRUE(preview.positions[0].stillNeeds.isEmpty());
    ASSERT_EQ(preview.changed.size(), 1u);
    EXPECT_EQ(preview.changed[0].position, "5");
    ASSERT_EQ(preview.changed[0].differences.size(), 2u);
    EXPECT_EQ(preview.changed[0].differences[0].before, "Марля");
    EXPECT_EQ(preview.changed[0].differences[0].after, "Марля стерилна");
    EXPECT_EQ(preview.changed[0].differences[1].before, "100");
    EXPECT_EQ(preview.changed[0].differences[1].after, "120");
    EXPECT_EQ(codesOf(preview.gone), (std::vector<QString>{"1/3", "1/4"}));
    // Lot 4 is not taken part in: its position is nobody's work yet.
    EXPECT_EQ(codesOf(preview.added), (std::vector<QString>{"1/4.1", "1/4.2", "2/2"}));
    // The trade name of 1 and the participation in lot 1 are there already.
    EXPECT_EQ(preview.equal, 2);

    std::vector<std::pair<QString, QString>> refused;
    for (const offercarry::Value& value : preview.refused)
        refused.emplace_back(value.lot + QLatin1Char('/') + value.position + QLatin1Char(' ') +
                                 value.column,
                             value.reason);
    ASSERT_EQ(refused.size(), 3u) << preview.text().toStdString();
    EXPECT_EQ(refused[0].first, "/ KP2_TEXT");
    EXPECT_TRUE(refused[0].second.contains("число вместо текст"));
    EXPECT_EQ(refused[1].first, "1/2 PP1_NUMBER");
    EXPECT_TRUE(refused[1].second.contains(
        "допуска до 2 знака след десетичния знак, а стойността има 3 знака"));
    EXPECT_EQ(refused[2].first, "2/1 PP3_NUMBER");
    EXPECT_TRUE(refused[2].second.contains(
        "допуска до 1 знак след десетичния знак, а стойността има 2 знака"));

    const QString text = preview.text();
    for (const char* line :
         {"Данни за фирмата и параметри на поръчката за пренасяне: 3",
          "Обособени позиции с участие за пренасяне: 1",
          "Позиции със стойности за пренасяне: 4 (стойности: 9)", "Позиции с променено описание: 1",
          "Позиции, които новият файл няма: 2", "Нови позиции за оценяване: 3",
          "Отказани стойности (не се пренасят): 3", "Позиции, които остават непълни: 1",
          "Стойности, които новият файл вече съдържа (без промяна): 2", "Нови обособени позиции: 1",
          "обособена позиция 1, позиция 5: наименование: „Марля“ → „Марля стерилна“; "
          "Количество за 24 месеца: „100“ → „120“"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << "\n" << text.toStdString();
    EXPECT_EQ(digest(newFile), before);
}

TEST_F(OfferCarryTest, StoringWritesExactlyWhatThePreviewAcceptsAndTheOldFileStaysAsItWas) {
    const QByteArray oldBefore = digest(oldFile);
    const auto positionsBefore =
        exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT", "PP3_NUMBER"});
    const offercarry::Preview preview = carry->preview(oldFile);
    const offercarry::Outcome outcome = carry->store(preview);
    EXPECT_TRUE(outcome.complete()) << outcome.text().toStdString();
    EXPECT_EQ(outcome.tenderStored, 3);
    EXPECT_EQ(outcome.lotsStored, 1);
    EXPECT_EQ(outcome.positions.stored, 4);

    auto expected = positionsBefore;
    expected["200"] = {"", "Да", ""};
    expected["101"] = {"1.5", "A", "2"};
    expected["102"] = {"", "B", "1"};
    expected["105"] = {"5", "E", "3"};
    expected["201"] = {"7", "F", ""};
    EXPECT_EQ(exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT", "PP3_NUMBER"}), expected);
    EXPECT_EQ(exported(newFile, "SPECS",
                       {"IME_NA_FIRMATA", "NO_DDS", "KP1_NUMBER", "KP2_TEXT", "KP2_NUMBER"}),
              (std::map<std::string, std::vector<std::string>>{
                  {"", {"Медикс ООД", "1", "12.5", "", ""}}}));
    EXPECT_EQ(digest(oldFile), oldBefore);
    EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "check", newFile.toStdString()}).status, 0);

    // Carried once, the same file has nothing left to carry.
    const offercarry::Preview again = carry->preview(oldFile);
    EXPECT_TRUE(again.nothingToStore()) << again.text().toStdString();
    EXPECT_EQ(again.equal, 3 + 2 + 10); // tender values, lots, position values
    EXPECT_EQ(again.refused.size(), 3u);

    // What is left to look at: the changed description and every refused value, each where the
    // bidder corrects it.
    const std::vector<offercheck::Problem> left = offercarry::leftToLookAt(preview);
    ASSERT_EQ(left.size(), 4u);
    EXPECT_EQ(left[0].where, offercheck::Where::Position);
    EXPECT_EQ(left[0].position.toInt(), 105);
    EXPECT_TRUE(left[0].message.contains("„Марля“ → „Марля стерилна“"));
    EXPECT_EQ(left[1].where, offercheck::Where::Tender);
    EXPECT_EQ(left[1].column, "KP2_TEXT");
    EXPECT_EQ(left[3].position.toInt(), 201);
}

TEST_F(OfferCarryTest, AFileOfAnotherTenderIsRefusedNamingBothNumbers) {
    nlohmann::json other = newTender();
    other["SPECS"][0]["KONKURS"] = 4712;
    write(oldTender(), other);
    const QByteArray before = digest(newFile);
    try {
        carry->preview(oldFile);
        FAIL() << "carried from another tender";
    } catch (const data::Error& refused) {
        const QString message = QString::fromUtf8(refused.what());
        EXPECT_TRUE(message.contains("№4711")) << message.toStdString();
        EXPECT_TRUE(message.contains("№4712")) << message.toStdString();
    }
    EXPECT_EQ(digest(newFile), before);
}

// A lot the new file no longer has cannot be put in its place: it is refused. A number its lot
// now gives twice is no doubt: positions are matched and stored by PRODUCT_CODE.
TEST_F(OfferCarryTest, ALotGoneIsRefusedAndANumberGivenTwiceStillFindsItsPosition) {
    nlohmann::json after = newTender();
    nlohmann::json rows = nlohmann::json::array();
    for (const nlohmann::json& row : after["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] != 200 && row.value("MASTER_CODE", 0) != 200)
            rows.push_back(row);
    rows.push_back({{"PRODUCT_CODE", 106}, {"MASTER_CODE", 100}, {"CUSTOM_CODE", "5"}});
    after["PREDLOGENIA"] = rows;
    write(oldTender(), after);

    const offercarry::Preview preview = carry->preview(oldFile);
    std::vector<QString> refused;
    for (const offercarry::Value& value : preview.refused)
        if (value.column != QLatin1String("KP2_TEXT") && value.position != QLatin1String("2"))
            refused.push_back(value.lot + QLatin1Char('/') + value.position + QLatin1Char(' ') +
                              value.column + QStringLiteral(": ") + value.reason);
    EXPECT_EQ(refused,
              std::vector<QString>{"2/ PP2_TEXT: новият файл няма тази обособена позиция"});
    EXPECT_EQ(codesOf(preview.gone), (std::vector<QString>{"1/3", "1/4", "2/1"}));
    EXPECT_EQ(preview.positions.size(), 3u);

    EXPECT_TRUE(carry->store(preview).complete());
    const auto held = exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT"});
    EXPECT_EQ(held.at("105"), (std::vector<std::string>{"5", "E"}));
    EXPECT_EQ(held.at("106"), (std::vector<std::string>{"", ""}));
}

// Values another tool may have stored that no bidder can type, and that an offer file could not
// carry as they are: each is refused with its reason, none reaches the new file.
TEST_F(OfferCarryTest, AValueNoBidderCanTypeIsRefusedWithItsReason) {
    struct Case {
        const char* table;
        std::int64_t position; // 0 for the tender record
        const char* column;
        jet::Value damaged;
        QString reason;
    };
    const Case cases[] = {
        {"PREDLOGENIA", 101, "PP3_NUMBER", std::nan(""), "стойността не е число (NaN)"},
        {"PREDLOGENIA", 101, "PP3_NUMBER", std::numeric_limits<double>::infinity(),
         "стойността е безкрайност (+∞)"},
        {"PREDLOGENIA", 101, "PP3_NUMBER", -std::numeric_limits<double>::infinity(),
         "стойността е минус безкрайност (−∞)"},
        // One decimal, as the new file takes, but 16 digits: the offer file would round it.
        {"PREDLOGENIA", 101, "PP3_NUMBER", 123456789012345.6,
         "стойността има 16 значещи цифри при най-много 15 (123456789012345{sep}6)"},
        {"PREDLOGENIA", 101, "PP2_TEXT", std::string("A\vB"),
         "текстът съдържа на 2-о място знака U+000B, който не може да се запише в XML файл"},
        {"SPECS", 0, "IME_NA_FIRMATA", std::string("Медикс\0ООД", 19),
         "текстът съдържа на 7-о място знака U+0000, който не може да се запише в XML файл"},
        // Half a surrogate pair: UTF-8 has no form for it, so only UTF-16 units can store it.
        {"PREDLOGENIA", 101, "PP2_TEXT", std::u16string(u"AB") + char16_t{0xDC00},
         "текстът съдържа на 3-о място знака U+DC00, който не може да се запише в XML файл"},
        {"SPECS", 0, "KP1_NUMBER", std::numeric_limits<double>::max(),
         "стойността има 17 значещи цифри при най-много 15 (1{sep}7976931348623157e+308)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        write(oldTender(), newTender());
        if (c.position == 0)
            fixture::updateRow(oldFile, c.table, "", {}, {{c.column, c.damaged}});
        else
            fixture::updateRow(oldFile, c.table, "PRODUCT_CODE", c.position,
                               {{c.column, c.damaged}});
        const offercarry::Preview preview = carry->preview(oldFile);
        const auto found =
            std::find_if(preview.refused.begin(), preview.refused.end(),
                         [&](const offercarry::Value& value) { return value.column == c.column; });
        ASSERT_NE(found, preview.refused.end()) << preview.text().toStdString();
        EXPECT_EQ(found->position, c.position == 0 ? QString() : QStringLiteral("1"));
        // The reason names the value with the regional separator.
        EXPECT_EQ(found->reason, QString(c.reason).replace(QStringLiteral("{sep}"),
                                                           QLocale::system().decimalPoint()));
        const auto carried = [&](const std::vector<offercarry::Value>& values) {
            return std::any_of(values.begin(), values.end(), [&](const offercarry::Value& value) {
                return value.column == c.column;
            });
        };
        EXPECT_FALSE(carried(preview.tender));
    }
}

struct RuleCase {
    const char* name;
    nlohmann::json newSpecs; // merged into the amended file's tender record
    const char* column;      // the one value refused
    const char* reason;      // a part of its reason
    std::size_t refused;     // how many values of that column are refused
    std::size_t carried;     // tender values and positions carried all the same
};

// A case shows in the test's output by its name.
void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.name;
}

class NewRules : public OfferCarryTest, public ::testing::WithParamInterface<RuleCase> {};

// The amended file changes one rule of a value the old file holds: that value is refused with
// the reason wherever the old file holds it, the rest of the offer is carried as before (with
// nothing refused, 4 tender values and 4 positions).
TEST_P(NewRules, RefuseTheValueTheyNoLongerTakeWithTheReason) {
    const RuleCase& c = GetParam();
    nlohmann::json after = newTender();
    after["SPECS"][0].update(c.newSpecs);
    // The old offer within every rule of the amended file but the one changed.
    nlohmann::json before = oldTender();
    before["SPECS"][0].update({{"KP2_TIP", 3},
                               {"KP2_RAZRYAD", 0},
                               {"KP2_NUMBER", 0},
                               {"PP1_RAZRYAD", 2},
                               {"PP3_RAZRYAD", 1}});
    before["SPECS"][0].erase("KP2_TEXT");
    for (nlohmann::json& row : before["PREDLOGENIA"]) {
        if (row["PRODUCT_CODE"] == 102)
            row["PP1_NUMBER"] = 2.12;
        if (row["PRODUCT_CODE"] == 201)
            row["PP3_NUMBER"] = 7.2;
    }
    write(before, after);
    const offercarry::Preview preview = carry->preview(oldFile);
    ASSERT_EQ(preview.refused.size(), c.refused) << preview.text().toStdString();
    for (const offercarry::Value& refused : preview.refused) {
        EXPECT_EQ(refused.column, c.column);
        EXPECT_TRUE(refused.reason.contains(QString::fromUtf8(c.reason)))
            << refused.reason.toStdString();
    }
    EXPECT_EQ(preview.positions.size() + preview.tender.size(), c.carried);
}

INSTANTIATE_TEST_SUITE_P(
    AmendedFiles, NewRules,
    ::testing::Values(
        RuleCase{
            "WholeNumbersOnly", {{"KP1_RAZRYAD", 0}}, "KP1_NUMBER", "само цели числа", 1, 3 + 4},
        RuleCase{"NoLongerAskedFor", {{"KP2_TIP", 0}}, "KP2_NUMBER", "не иска", 1, 3 + 4},
        RuleCase{"NowText", {{"KP2_TIP", 2}}, "KP2_NUMBER", "текст вместо число", 1, 3 + 4},
        RuleCase{"ALimitNowFailed",
                 {{"KP2_OGRANICHENIE", 2}},
                 "KP2_NUMBER",
                 "\"Срок\" трябва да е по-голямо от 0.",
                 1,
                 3 + 4}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return std::string(param.param.name); });

TEST_F(OfferCarryTest, AFailurePartWayLeavesEveryValueOldOrNewAndTheCountsTrue) {
    nlohmann::json before = oldTender();
    nlohmann::json after = newTender();
    // What the new file holds of the carried columns afterwards, by PRODUCT_CODE, when the
    // value was stored: the four positions and the lot of the pair, and lot 3's 25.
    std::map<std::string, std::vector<std::string>> carried = {{"101", {"1.5", "A"}},
                                                               {"102", {"", "B"}},
                                                               {"105", {"5", "E"}},
                                                               {"201", {"7", "F"}},
                                                               {"301", {"9", ""}}};
    for (int i = 0; i < 24; ++i) {
        const nlohmann::json row = {{"PRODUCT_CODE", 3000 + i},
                                    {"MASTER_CODE", 300},
                                    {"CUSTOM_CODE", std::to_string(10 + i)},
                                    {"IME", "Апарат"}};
        after["PREDLOGENIA"].push_back(row);
        nlohmann::json priced = row;
        priced.update({{"PP1_NUMBER", 2.5 + i}, {"PP2_TEXT", std::string(200, 'Z')}});
        before["PREDLOGENIA"].push_back(priced);
        carried[std::to_string(3000 + i)] = {QString::number(2.5 + i).toStdString(),
                                             std::string(200, 'Z')};
    }
    for (nlohmann::json& row : before["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 300)
            row["PP2_TEXT"] = "Да";

    for (std::size_t limit : {0u, 1u, 4u, 12u, 30u}) {
        SCOPED_TRACE("stopped after " + std::to_string(limit) + " page writes");
        write(before, after);
        const auto old = exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT"});
        const offercarry::Preview preview = carry->preview(oldFile);
        ASSERT_EQ(preview.positions.size(), carried.size());
        connection.database().file().failAfterWrites(limit);
        const offercarry::Outcome outcome = carry->store(preview);
        connection.database().file().failAfterWrites(std::nullopt);
        EXPECT_FALSE(outcome.complete());
        EXPECT_TRUE(outcome.positions.error.startsWith("Новият файл " + newFile + ": "))
            << outcome.positions.error.toStdString();

        // Read through our reader: mdb-export may list both copies of a row whose move was
        // cut short.
        const auto held = [&](const std::string& code, const char* column) {
            const jet::Value value = fixture::readColumn(newFile, "PREDLOGENIA", "PRODUCT_CODE",
                                                         std::int64_t{std::stoi(code)}, column);
            if (const double* number = std::get_if<double>(&value))
                return QString::number(*number).toStdString();
            const std::string* text = std::get_if<std::string>(&value);
            return text == nullptr ? std::string() : *text;
        };
        int stored = 0;
        for (const auto& [code, values] : carried) {
            const std::vector<std::string> now = {held(code, "PP1_NUMBER"), held(code, "PP2_TEXT")};
            EXPECT_TRUE(now == values || now == old.at(code)) << code;
            stored += now == values ? 1 : 0;
        }
        EXPECT_EQ(outcome.positions.stored, stored);
        const int lots =
            (held("200", "PP2_TEXT") == "Да" ? 1 : 0) + (held("300", "PP2_TEXT") == "Да" ? 1 : 0);
        EXPECT_EQ(outcome.lotsStored, lots);
        // The tender record is counted as it reads back too.
        const bool tenderHeld = fixture::readColumn(newFile, "SPECS", "", {}, "IME_NA_FIRMATA") ==
                                jet::Value(std::string("Медикс ООД"));
        EXPECT_EQ(outcome.tenderStored, tenderHeld ? 3 : 0);
        EXPECT_EQ(outcome.tenderTotal, 3);
        // The fault refuses the rollback's writes too, as a process that dies there would leave
        // the file: a move of a row cut short is the next writer's to put right, as after a
        // crash. The file is checked as that writer leaves it.
        fixture::updateRow(newFile, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{400},
                           {{"PP6_NUMBER", jet::Value{}}});
        EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "check", newFile.toStdString()}).status, 0);
    }
}

// The offer check of the new file as it is now: the problems of one column, as
// "lot/position", sorted.
std::vector<QString> checkListing(data::Connection& connection, const QString& column) {
    const std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    qrySpecs->open();
    std::vector<QString> listed;
    for (const offercheck::Problem& problem :
         offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill))
        if (problem.column == column)
            listed.push_back(problem.lotCode + QLatin1Char('/') + problem.positionCode);
    std::sort(listed.begin(), listed.end());
    return listed;
}

// The amendment authorities make most: a value that was optional is now required. Every other
// value is carried; each position without it is stored incomplete, the offer check names it and
// the export refuses its lot.
TEST_F(OfferCarryTest, ANewlyRequiredValueLeavesThePositionsIncompleteNotUncarried) {
    nlohmann::json before = oldTender();
    before["SPECS"][0].update({{"PP4_TIP", 2}, {"PP4_IME", "Рег. номер"}});
    for (nlohmann::json& row : before["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 101)
            row["PP4_TEXT"] = "РН-1";
    nlohmann::json after = newTender();
    after["SPECS"][0].update({{"PP4_TIP", 2}, {"PP4_IME", "Рег. номер"}, {"PP4_OGRANICHENIE", 5}});
    // Lot 2 with its one priced position only, so that nothing but the rule refuses its export.
    nlohmann::json rows = nlohmann::json::array();
    for (const nlohmann::json& row : after["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] != 202)
            rows.push_back(row);
    after["PREDLOGENIA"] = rows;
    write(before, after);

    const offercarry::Preview preview = carry->preview(oldFile);
    EXPECT_EQ(preview.positionValues(), 9 + 1) << preview.text().toStdString();
    EXPECT_EQ(preview.refused.size(), 3u);
    const QString needed = QStringLiteral("\"Рег. номер\" трябва да е попълнено.");
    std::vector<QString> incomplete;
    for (const offercarry::Position& position : preview.positions)
        if (position.stillNeeds.contains(needed))
            incomplete.push_back(position.place.lot + QLatin1Char('/') + position.place.position);
    EXPECT_EQ(incomplete, (std::vector<QString>{"1/2", "1/5", "2/1"}));

    EXPECT_TRUE(carry->store(preview).complete());
    EXPECT_EQ(exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT", "PP4_TEXT"}).at("105"),
              (std::vector<std::string>{"5", "E", ""}));
    // Position 2 has no price: the check lists it as not offered, before any other rule.
    EXPECT_EQ(checkListing(connection, QStringLiteral("PP4_TEXT")),
              (std::vector<QString>{"1/5", "2/1"}));
    const exporttest::ProgramRun xml = exporttest::brxOffer(
        {"xml", newFile, "2", "--type", "price", "-o", folder.file("offer.xml")}, folder.path());
    EXPECT_EQ(xml.status, 1);
    EXPECT_TRUE(xml.err.contains("Позиция №1: \"Рег. номер\" трябва да е попълнено."))
        << xml.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.file("offer.xml")));
}

// A value's caption changed, its kind and decimals not: the value is carried and the renamed
// caption is listed to look at again, old and new side by side; a tender parameter where it is
// typed, a value of the positions in each lot it was carried into.
TEST_F(OfferCarryTest, ARenamedCaptionIsCarriedAndListedToLookAtAgain) {
    nlohmann::json after = newTender();
    after["SPECS"][0]["PP3_IME"] = "Гаранционен срок";
    after["SPECS"][0]["KP1_IME"] = "Гаранция в месеци";
    write(oldTender(), after);

    const offercarry::Preview preview = carry->preview(oldFile);
    ASSERT_EQ(preview.renamed.size(), 2u);
    EXPECT_EQ(preview.renamed[0].column, "KP1_NUMBER");
    EXPECT_EQ(preview.renamed[1].column, "PP3_NUMBER");
    EXPECT_EQ(preview.renamed[1].before, "Срок");
    EXPECT_EQ(preview.renamed[1].after, "Гаранционен срок");
    ASSERT_EQ(preview.tender.size(), 3u);
    EXPECT_EQ(preview.tender[2].caption, "Гаранция в месеци");
    int carried = 0;
    for (const offercarry::Position& position : preview.positions)
        for (const offercarry::Value& value : position.values)
            if (value.column == QLatin1String("PP3_NUMBER")) {
                EXPECT_EQ(value.caption, "Гаранционен срок");
                ++carried;
            }
    EXPECT_EQ(carried, 3); // 2/1's still has more decimals than its column takes
    EXPECT_EQ(preview.refused.size(), 3u);
    EXPECT_TRUE(preview.text().contains("PP3_NUMBER: „Срок“ → „Гаранционен срок“"))
        << preview.text().toStdString();

    std::vector<QString> listed;
    for (const offercheck::Problem& problem : offercarry::leftToLookAt(preview))
        if (problem.message.contains("наименованието е променено"))
            listed.push_back(QString::number(static_cast<int>(problem.where)) + problem.lotCode +
                             QLatin1Char(' ') + problem.column);
    EXPECT_EQ(listed,
              (std::vector<QString>{
                  QString::number(static_cast<int>(offercheck::Where::Tender)) + " KP1_NUMBER",
                  QString::number(static_cast<int>(offercheck::Where::Lot)) + "1 PP3_NUMBER"}));
}

// Positions are matched by PRODUCT_CODE: one without a number is carried like the rest and
// named by its name wherever the bidder reads about it.
TEST_F(OfferCarryTest, APositionWithoutANumberIsCarriedAndNamedByItsName) {
    nlohmann::json before = oldTender();
    nlohmann::json after = newTender();
    for (nlohmann::json* tender : {&before, &after})
        for (nlohmann::json& row : (*tender)["PREDLOGENIA"])
            if (row["PRODUCT_CODE"] == 102)
                row.erase("CUSTOM_CODE");
    write(before, after);

    const offercarry::Preview preview = carry->preview(oldFile);
    const auto unnumbered = std::find_if(
        preview.positions.begin(), preview.positions.end(),
        [](const offercarry::Position& p) { return p.place.productCode.toLongLong() == 102; });
    ASSERT_NE(unnumbered, preview.positions.end()) << preview.text().toStdString();
    EXPECT_EQ(unnumbered->place.position, "„Аналгин“");
    EXPECT_EQ(unnumbered->values.size(), 2u);
    const auto refused = std::find_if(
        preview.refused.begin(), preview.refused.end(),
        [](const offercarry::Value& value) { return value.productCode.toLongLong() == 102; });
    ASSERT_NE(refused, preview.refused.end());
    EXPECT_EQ(refused->position, "„Аналгин“");
    EXPECT_TRUE(preview.text().contains("обособена позиция 1, позиция „Аналгин“: „Марка“: B"))
        << preview.text().toStdString();

    EXPECT_TRUE(carry->store(preview).complete());
    EXPECT_EQ(exported(newFile, "PREDLOGENIA", {"PP2_TEXT", "PP3_NUMBER"}).at("102"),
              (std::vector<std::string>{"B", "1"}));
    EXPECT_EQ(checkListing(connection, QStringLiteral("PP1_NUMBER")),
              (std::vector<QString>{"1/4.1", "1/4.2", "1/„Аналгин“", "2/2"}));
}

struct ReplacementCase {
    const char* name;
    offercarry::Replacements choice;
    double price;        // position 1 of lot 2 afterwards
    const char* company; // the company name afterwards
    int tenderTotal;
};

void PrintTo(const ReplacementCase& c, std::ostream* out) {
    *out << c.name;
}

class Replacements : public OfferCarryTest,
                     public ::testing::WithParamInterface<ReplacementCase> {};

// Values the new file holds differently already are listed as replacements, new → old, and
// give way only to the bidder's choice: the new file's are the newer.
TEST_P(Replacements, AreListedAndStoredOnlyWhenChosen) {
    const ReplacementCase& c = GetParam();
    nlohmann::json after = newTender();
    after["SPECS"][0]["IME_NA_FIRMATA"] = "Медикс АД";
    for (nlohmann::json& row : after["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 201)
            row["PP1_NUMBER"] = 7.5;
    write(oldTender(), after);

    const offercarry::Preview preview = carry->preview(oldFile);
    EXPECT_EQ(preview.replacements(), 2);
    const QString text = preview.text();
    EXPECT_TRUE(text.contains("Стойности, които новият файл съдържа различно: 2"));
    EXPECT_TRUE(text.contains("„Наименование на фирмата“: Медикс АД → Медикс ООД"));
    EXPECT_TRUE(text.contains(QStringLiteral("обособена позиция 2, позиция 1: „Цена“: 7") +
                              QLocale::system().decimalPoint() + QStringLiteral("5 → 7, ")))
        << text.toStdString();

    const offercarry::Outcome outcome = carry->store(preview, c.choice);
    EXPECT_TRUE(outcome.complete()) << outcome.text().toStdString();
    EXPECT_EQ(outcome.tenderTotal, c.tenderTotal);
    EXPECT_EQ(outcome.positions.stored, 4);
    EXPECT_EQ(fixture::readColumn(newFile, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{201},
                                  "PP1_NUMBER"),
              jet::Value(c.price));
    // The position's other values are carried either way.
    EXPECT_EQ(exported(newFile, "PREDLOGENIA", {"PP2_TEXT"}).at("201"),
              std::vector<std::string>{"F"});
    EXPECT_EQ(exported(newFile, "SPECS", {"IME_NA_FIRMATA"}).at(""),
              std::vector<std::string>{c.company});
}

INSTANTIATE_TEST_SUITE_P(
    HeldDifferently, Replacements,
    ::testing::Values(
        ReplacementCase{"KeepNew", offercarry::Replacements::KeepNew, 7.5, "Медикс АД", 2},
        ReplacementCase{"TakeOld", offercarry::Replacements::TakeOld, 7.0, "Медикс ООД", 3}),
    [](const ::testing::TestParamInfo<ReplacementCase>& param) {
        return std::string(param.param.name);
    });

// A PRODUCT_CODE given twice leaves a value no single place: the carry is refused, naming the
// code and the file, before anything is stored.
TEST_F(OfferCarryTest, APositionCodeGivenTwiceIsRefusedNamingTheCodeAndTheFile) {
    for (const bool inOld : {true, false}) {
        SCOPED_TRACE(inOld ? "in the old file" : "in the new file");
        nlohmann::json before = oldTender();
        nlohmann::json after = newTender();
        (inOld ? before : after)["PREDLOGENIA"].push_back(
            {{"PRODUCT_CODE", 105}, {"MASTER_CODE", 100}, {"CUSTOM_CODE", "6"}, {"IME", "Вата"}});
        // Without its key's index, as some writers leave a file.
        const tender::SchemaChanges unkeyed{{}, {}, {}, {"PREDLOGENIA.PRODUCT_CODE"}};
        write(before, after, inOld ? unkeyed : tender::SchemaChanges{},
              inOld ? tender::SchemaChanges{} : unkeyed);
        const QByteArray untouched = digest(newFile);
        try {
            carry->preview(oldFile);
            FAIL() << "carried with a code given twice";
        } catch (const data::Error& refused) {
            const QString message = QString::fromUtf8(refused.what());
            EXPECT_TRUE(message.contains("PRODUCT_CODE 105")) << message.toStdString();
            EXPECT_TRUE(message.startsWith(inOld ? QStringLiteral("Старият файл ") + oldFile
                                                 : QStringLiteral("Новият файл ") + newFile))
                << message.toStdString();
        }
        EXPECT_EQ(digest(newFile), untouched);
    }
}

// Whatever keeps a file from being read is told naming which of the two it is.
TEST_F(OfferCarryTest, AFileThatCannotBeReadIsNamedAsTheOldOrTheNewOne) {
    const tender::SchemaChanges retyped{{}, {}, {{"PREDLOGENIA.PP1_NUMBER", "text(50)"}}, {}};
    for (const auto& [what, inOld, schema] :
         {std::tuple{"the old file cut short", true, tender::SchemaChanges{}},
          std::tuple{"a column of the old file of another type", true, retyped},
          std::tuple{"a column of the new file of another type", false, retyped}}) {
        SCOPED_TRACE(what);
        write(oldTender(), newTender(), inOld ? schema : tender::SchemaChanges{},
              inOld ? tender::SchemaChanges{} : schema);
        if (schema.retyped.empty()) {
            QFile damaged(oldFile);
            ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
            ASSERT_TRUE(damaged.resize(3000));
        }
        try {
            carry->preview(oldFile);
            FAIL() << "read all the same";
        } catch (const data::Error& refused) {
            EXPECT_TRUE(QString::fromUtf8(refused.what())
                            .startsWith(inOld ? QStringLiteral("Старият файл ") + oldFile + ": "
                                              : QStringLiteral("Новият файл ") + newFile + ": "))
                << refused.what();
        }
    }
}

// The old file is only read: not its bytes, nor its mode, change, even where it is read-only.
TEST_F(OfferCarryTest, AReadOnlyOldFileKeepsItsBytesAndItsMode) {
    const QByteArray path = QFile::encodeName(oldFile);
    const auto mode = [&] {
        struct stat status {};
        EXPECT_EQ(::stat(path.constData(), &status), 0);
        return status.st_mode & 07777;
    };
    ASSERT_EQ(::chmod(path.constData(), 0444), 0);
    const QByteArray before = digest(oldFile);
    const offercarry::Outcome outcome = carry->store(carry->preview(oldFile));
    EXPECT_TRUE(outcome.complete()) << outcome.text().toStdString();
    EXPECT_EQ(mode(), 0444u);
    EXPECT_EQ(digest(oldFile), before);
}

// A file that holds everything already: the preview is shown as a warning, nothing is asked and
// nothing written.
TEST_F(OfferCarryTest, NothingToCarryIsShownAndNothingAsked) {
    write(oldTender(), oldTender());
    const QByteArray before = digest(newFile);
    ScriptedDialogs dialogs;
    dialogs.confirmAnswers.push_back(true);
    carry.reset();
    const OfferCarryWorkflow::Report report = OfferCarryWorkflow(dialogs, connection).run(oldFile);
    EXPECT_TRUE(report.read);
    EXPECT_FALSE(report.stored);
    EXPECT_TRUE(dialogs.texts(ScriptedDialogs::Kind::Confirm).isEmpty());
    const QStringList warned = dialogs.texts(ScriptedDialogs::Kind::Warning);
    ASSERT_EQ(warned.size(), 1);
    EXPECT_TRUE(warned[0].startsWith("Няма какво да се пренесе от " + oldFile))
        << warned[0].toStdString();
    EXPECT_EQ(digest(newFile), before);
}

// A tender file as tenderdb create writes it from `description`, in `folder` under `name`.
QString created(const fixture::TenderFolder& folder, const nlohmann::json& description,
                const QString& name) {
    const std::string json = folder.file(name + ".json").toStdString();
    std::ofstream(json) << description.dump();
    const QString file = folder.file(name + ".mdb");
    EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "create", json, file.toStdString()}).status, 0);
    return file;
}

// brx-offer carry on files made by tenderdb create, as a bidder's script would run it.
TEST(OfferCarryCommand, PreviewsWithDryRunThenStoresAndRefusesAnotherTender) {
    fixture::TenderFolder folder;
    const auto create = [&](const nlohmann::json& description, const QString& name) {
        return created(folder, description, name);
    };
    const QString oldFile = create(oldTender(), QStringLiteral("old"));
    const QString newFile = create(newTender(), QStringLiteral("new"));
    const QByteArray oldBefore = digest(oldFile);
    const QByteArray newBefore = digest(newFile);

    const exporttest::ProgramRun dryRun =
        exporttest::brxOffer({"carry", oldFile, newFile, "--dry-run"}, folder.path());
    EXPECT_EQ(dryRun.status, 1) << dryRun.err.toStdString(); // values are refused
    EXPECT_TRUE(dryRun.out.contains("Позиции със стойности за пренасяне: 4 (стойности: 9)"));
    EXPECT_FALSE(dryRun.out.contains("Записани"));
    EXPECT_EQ(digest(newFile), newBefore);

    const exporttest::ProgramRun run =
        exporttest::brxOffer({"carry", oldFile, newFile}, folder.path());
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Записани позиции: 4 от 4")) << run.out.toStdString();
    // The offer check follows: the positions still to price and what the carry left.
    EXPECT_TRUE(run.out.contains("1\t4.1\tЦена (PP1_NUMBER)\t")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("1\t5\t\tописанието е променено")) << run.out.toStdString();
    EXPECT_EQ(exported(newFile, "PREDLOGENIA", {"PP1_NUMBER"}).at("105"),
              std::vector<std::string>{"5"});
    EXPECT_EQ(digest(oldFile), oldBefore);

    nlohmann::json other = newTender();
    other["SPECS"][0]["KONKURS"] = 99;
    const QString otherFile = create(other, QStringLiteral("other"));
    const exporttest::ProgramRun refused =
        exporttest::brxOffer({"carry", oldFile, otherFile}, folder.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("№4711") && refused.err.contains("№99"))
        << refused.err.toStdString();
    EXPECT_EQ(exporttest::brxOffer({"carry", oldFile}, folder.path()).status, 2);
}

// A value the new file holds differently stays unless --take-old is given.
TEST(OfferCarryCommand, KeepsTheNewFilesValuesUnlessTakeOldIsGiven) {
    fixture::TenderFolder folder;
    nlohmann::json after = newTender();
    for (nlohmann::json& row : after["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 201)
            row["PP1_NUMBER"] = 7.5;
    const QString oldFile = created(folder, oldTender(), QStringLiteral("old"));
    for (const auto& [option, price] : {std::pair{"", 7.5}, std::pair{"--take-old", 7.0}}) {
        SCOPED_TRACE(option);
        const QString newFile = created(folder, after, QStringLiteral("new"));
        QStringList args{"carry", oldFile, newFile};
        if (*option != '\0')
            args << option;
        const exporttest::ProgramRun run = exporttest::brxOffer(args, folder.path());
        EXPECT_TRUE(run.out.contains("Стойности, които новият файл съдържа различно: 1"))
            << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("Записани позиции: 4 от 4")) << run.out.toStdString();
        EXPECT_EQ(fixture::readColumn(newFile, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{201},
                                      "PP1_NUMBER"),
                  jet::Value(price));
        QFile::remove(newFile);
    }
}

} // namespace
