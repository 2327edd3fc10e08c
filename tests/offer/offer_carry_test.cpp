// SPDX-License-Identifier: Apache-2.0
// The carry of an offer from an older tender file into the authority's amended one: what the
// preview lists and counts for a pair of files that differ as amendments do, what storing writes
// (read back with mdb-export), the old file left byte for byte as it was, the refusals of the new
// file's rules, and what a failure part way leaves.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/tender_datasets.h"
#include "offer/offer_carry.h"

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
    void write(const nlohmann::json& before, const nlohmann::json& after) {
        carry.reset();
        connection = data::Connection();
        oldFile = folder.write(before, {}, QStringLiteral("old.mdb"));
        newFile = folder.write(after, {}, QStringLiteral("DB.mdb"));
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
    EXPECT_EQ(codesOf(preview.positions.accepted), (std::vector<QString>{"1/1", "1/5", "2/1"}));
    EXPECT_EQ(preview.positionValues(), 7);
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
    ASSERT_EQ(refused.size(), 5u) << preview.text().toStdString();
    EXPECT_EQ(refused[0].first, "/ KP2_TEXT");
    EXPECT_TRUE(refused[0].second.contains("число вместо текст"));
    EXPECT_EQ(refused[1].first, "1/2 PP1_NUMBER");
    EXPECT_TRUE(refused[1].second.contains(
        "допуска до 2 знака след десетичния знак, а стойността има 3 знака"));
    // Without its price the rest of position 2 fails the check of typing.
    EXPECT_EQ(refused[2].first, "1/2 PP2_TEXT");
    EXPECT_TRUE(refused[2].second.contains("\"Цена\" трябва да е по-голямо от 0."));
    EXPECT_EQ(refused[3].first, "1/2 PP3_NUMBER");
    EXPECT_EQ(refused[4].first, "2/1 PP3_NUMBER");
    EXPECT_TRUE(refused[4].second.contains(
        "допуска до 1 знак след десетичния знак, а стойността има 2 знака"));

    const QString text = preview.text();
    for (const char* line :
         {"Данни за фирмата и параметри на поръчката за пренасяне: 3",
          "Обособени позиции с участие за пренасяне: 1",
          "Позиции със стойности за пренасяне: 3 (стойности: 7)", "Позиции с променено описание: 1",
          "Позиции, които новият файл няма: 2", "Нови позиции за оценяване: 3",
          "Отказани стойности (не се пренасят): 5",
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
    EXPECT_EQ(outcome.positions.stored, 3);

    auto expected = positionsBefore;
    expected["200"] = {"", "Да", ""};
    expected["101"] = {"1.5", "A", "2"};
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
    EXPECT_EQ(again.equal, 3 + 2 + 8); // tender values, lots, position values
    EXPECT_EQ(again.refused.size(), 5u);

    // What is left to look at: the changed description and every refused value, each where the
    // bidder corrects it.
    const std::vector<offercheck::Problem> left = offercarry::leftToLookAt(preview);
    ASSERT_EQ(left.size(), 6u);
    EXPECT_EQ(left[0].where, offercheck::Where::Position);
    EXPECT_EQ(left[0].position.toInt(), 105);
    EXPECT_TRUE(left[0].message.contains("„Марля“ → „Марля стерилна“"));
    EXPECT_EQ(left[1].where, offercheck::Where::Tender);
    EXPECT_EQ(left[1].column, "KP2_TEXT");
    EXPECT_EQ(left[5].position.toInt(), 201);
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

// What cannot be put in its place without doubt is refused: a lot the new file no longer has,
// and a position whose number its lot now gives twice, as the values are stored by number.
TEST_F(OfferCarryTest, ALotGoneAndANumberGivenTwiceAreRefusedNotGuessed) {
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
    EXPECT_EQ(refused, (std::vector<QString>{
                           "2/ PP2_TEXT: новият файл няма тази обособена позиция",
                           "1/5 PP1_NUMBER: номерът на позицията в новия файл не е единствен в "
                           "обособената позиция",
                           "1/5 PP2_TEXT: номерът на позицията в новия файл не е единствен в "
                           "обособената позиция",
                           "1/5 PP3_NUMBER: номерът на позицията в новия файл не е единствен в "
                           "обособената позиция"}));
    EXPECT_EQ(codesOf(preview.gone), (std::vector<QString>{"1/3", "1/4", "2/1"}));
    EXPECT_EQ(codesOf(preview.positions.accepted), std::vector<QString>{"1/1"});

    EXPECT_TRUE(carry->store(preview).complete());
    const auto held = exported(newFile, "PREDLOGENIA", {"PP1_NUMBER", "PP2_TEXT"});
    EXPECT_EQ(held.at("105"), (std::vector<std::string>{"", ""}));
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
    EXPECT_EQ(preview.positions.accepted.size() + preview.tender.size(), c.carried);
}

INSTANTIATE_TEST_SUITE_P(
    AmendedFiles, NewRules,
    ::testing::Values(
        RuleCase{
            "WholeNumbersOnly", {{"KP1_RAZRYAD", 0}}, "KP1_NUMBER", "само цели числа", 1, 3 + 4},
        RuleCase{"AnotherCaption",
                 {{"PP3_IME", "Гаранция"}},
                 "PP3_NUMBER",
                 "„Срок“ → „Гаранция“",
                 4,
                 4 + 4},
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
    // value was stored: the three positions and the lot of the pair, and 24 more in lot 3.
    std::map<std::string, std::vector<std::string>> carried = {
        {"101", {"1.5", "A"}}, {"105", {"5", "E"}}, {"201", {"7", "F"}}};
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
        ASSERT_EQ(preview.positions.accepted.size(), carried.size());
        connection.database().file().failAfterWrites(limit);
        const offercarry::Outcome outcome = carry->store(preview);
        connection.database().file().failAfterWrites(std::nullopt);
        EXPECT_FALSE(outcome.complete());

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
        EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "check", newFile.toStdString()}).status, 0);
    }
}

// brx-offer carry on files made by tenderdb create, as a bidder's script would run it.
TEST(OfferCarryCommand, PreviewsWithDryRunThenStoresAndRefusesAnotherTender) {
    fixture::TenderFolder folder;
    const auto create = [&](const nlohmann::json& description, const QString& name) {
        const std::string json = folder.file(name + ".json").toStdString();
        std::ofstream(json) << description.dump();
        const QString file = folder.file(name + ".mdb");
        EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "create", json, file.toStdString()}).status,
                  0);
        return file;
    };
    const QString oldFile = create(oldTender(), QStringLiteral("old"));
    const QString newFile = create(newTender(), QStringLiteral("new"));
    const QByteArray oldBefore = digest(oldFile);
    const QByteArray newBefore = digest(newFile);

    const exporttest::ProgramRun dryRun =
        exporttest::brxOffer({"carry", oldFile, newFile, "--dry-run"}, folder.path());
    EXPECT_EQ(dryRun.status, 1) << dryRun.err.toStdString(); // values are refused
    EXPECT_TRUE(dryRun.out.contains("Позиции със стойности за пренасяне: 3 (стойности: 7)"));
    EXPECT_FALSE(dryRun.out.contains("Записани"));
    EXPECT_EQ(digest(newFile), newBefore);

    const exporttest::ProgramRun run =
        exporttest::brxOffer({"carry", oldFile, newFile}, folder.path());
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Записани позиции: 3 от 3")) << run.out.toStdString();
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

} // namespace
