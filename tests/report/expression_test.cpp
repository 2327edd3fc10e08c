// SPDX-License-Identifier: Apache-2.0
#include "report/error.h"
#include "report/expression.h"
#include "report/report_dataset.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using report::DisplayFormat;
using report::EvalContext;
using report::MemoText;

class Expressions : public ::testing::Test {
protected:
    Expressions() { QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria)); }
    ~Expressions() override { QLocale::setDefault(QLocale::c()); }

    report::ListDataset positions{QStringLiteral("Pozicii"),
                                  {QStringLiteral("IME"), QStringLiteral("CENA"),
                                   QStringLiteral("BROI"), QStringLiteral("FLAG"),
                                   QStringLiteral("EMPTY")},
                                  {{QStringLiteral("Марля"), 1234.5678, 12, true, QVariant()}}};
    EvalContext context{2, 1, QDateTime(QDate(2026, 3, 9), QTime(8, 5, 7))};
};

DisplayFormat numeric(const char* format) {
    DisplayFormat result;
    result.kind = DisplayFormat::Kind::Numeric;
    result.format = QString::fromLatin1(format);
    return result;
}

TEST_F(Expressions, EvaluateToTheTextsAMemoShows) {
    struct Case {
        const char* text;
        DisplayFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {"[pozicii.\"ime\"]", {}, "Марля"}, // dataset and field names in any case
        {"Цена: [(<Pozicii.\"CENA\">*1.2)] лв.", numeric("# ##0.00"), "Цена: 1 481,48 лв."},
        {"[Pozicii.\"CENA\"]", numeric("%2.2n"), "1 234,57"},
        {"[Pozicii.\"CENA\"]", numeric("%2.1f"), "1234,6"},
        {"[Pozicii.\"CENA\"]", {}, "1234,5678"},
        {"[1 + 2 * 3] [(1 + 2) * 3] [-<Pozicii.\"BROI\"> / 4]", {}, "7 9 -3"},
        {"[<Pozicii.\"BROI\"> / 0]", {}, ""},
        {"[IIF(<Pozicii.\"FLAG\">, 'да', 'не')] [IIF(not <Pozicii.\"FLAG\">, 'да', 'не')]",
         {},
         "да не"},
        {"[IIF(<Pozicii.\"EMPTY\"> = '', 'празно', 'пълно')]", {}, "празно"},
        {"[IIF((<Pozicii.\"BROI\"> >= 12) and (<Pozicii.\"BROI\"> <> 13), 1, 0)]", {}, "1"},
        {"[IIF((<Pozicii.\"BROI\"> < 12) or (<Pozicii.\"IME\"> > 'Я'), 1, 0)]", {}, "0"},
        {"[<Pozicii.\"IME\"> + ': ' + <Pozicii.\"CENA\">]", {}, "Марля: 1234,5678"},
        {"['It''s']", {}, "It's"},
        {"Стр. [Page#] от [TotalPages#], ред [Line#]", {}, "Стр. 2 от \uE000, ред 1"},
        {"[Date] [Time]", {}, "09.03.2026 08:05:07"},
        {"Без [скоба", {}, "Без [скоба"},
        {"[Pozicii.\"EMPTY\"]|", {}, "|"},
    };
    for (const Case& c : cases) {
        const MemoText memo = MemoText::bind(QString::fromUtf8(c.text), QStringLiteral("Memo1"));
        EXPECT_EQ(memo.evaluate(context, c.format).toStdString(), std::string(c.expected))
            << c.text;
    }
}

TEST_F(Expressions, NamesThatDoNotExistAndBrokenExpressionsFailWhenBound) {
    const char* broken[] = {
        "[Nyama.\"IME\"]",     // no such dataset
        "[Pozicii.\"NYAMA\"]", // no such field
        "[NyamaTakava]",       // no such variable
        "[1 +]",               // cut short
        "[(1 + 2]",            // unclosed parenthesis
        "[IIF(1, 2)]",         // too few values
    };
    for (const char* text : broken) {
        try {
            MemoText::bind(QString::fromUtf8(text), QStringLiteral("Memo7"));
            ADD_FAILURE() << "bound: " << text;
        } catch (const report::Error& error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("Memo7"))) << text;
        }
    }
}

// Parsing, evaluating and releasing an expression all descend it: one nested past what the
// stack holds is refused when bound, with a message that names the object without repeating
// the whole expression, and one nested as deep as the bound allows still works.
TEST_F(Expressions, DeepExpressionsAreRefusedWhenBound) {
    const auto repeat = [](const char* piece, int times) {
        QString text;
        for (int i = 0; i < times; ++i)
            text += QString::fromLatin1(piece);
        return text;
    };
    const QString refused[] = {
        QLatin1Char('[') + repeat("(", 10000) + QLatin1Char('1') + repeat(")", 10000) +
            QLatin1Char(']'),
        QLatin1Char('[') + repeat("IIF(1, ", 10000) + QLatin1Char('1') + repeat(", 0)", 10000) +
            QLatin1Char(']'),
        QLatin1Char('[') + repeat("not ", 100000) + QStringLiteral("1]"),
        QLatin1Char('[') + repeat("-", 100000) + QStringLiteral("1]"),
        QStringLiteral("[1") + repeat("+1", 1000000) + QLatin1Char(']'),
        QStringLiteral("[1") + repeat(" and 1", 1000) + QLatin1Char(']'),
    };
    for (const QString& text : refused) {
        try {
            MemoText::bind(text, QStringLiteral("Memo7"));
            ADD_FAILURE() << "bound: " << text.left(20).toStdString();
        } catch (const report::Error& error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(QStringLiteral("Memo7"))) << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("вложен"))) << message.toStdString();
            EXPECT_LT(message.size(), 300);
        }
    }
    const MemoText deepest = MemoText::bind(
        QStringLiteral("[") + repeat("(", 90) + QStringLiteral("-1") + repeat(")", 90) +
            QStringLiteral(" + ") + repeat("1 + ", 90) + QStringLiteral("1]"),
        QStringLiteral("Memo7"));
    EXPECT_EQ(deepest.evaluate(context, {}), QStringLiteral("90"));
}

// A format asking for more characters than a line of a page shows is refused before anything is
// laid out; what a page can show is not.
TEST(DisplayFormats, ThatNoLineCanShowAreRefused) {
    struct Case {
        QString format;
        bool refused;
    };
    const Case cases[] = {
        {QStringLiteral("%.999999999f"), true},
        {QStringLiteral("%.400000000e"), true},
        {QStringLiteral("%999999999999.2n"), true},
        {QStringLiteral("%.101f"), true},
        {QStringLiteral("0.") + QString(1000000, u'0'), true},
        {QStringLiteral("%.100f"), false},
        {QStringLiteral("%2.2n"), false},
        {QStringLiteral("# ##0.") + QString(90, u'0'), false},
    };
    for (const Case& c : cases) {
        DisplayFormat format = numeric("");
        format.format = c.format;
        EXPECT_EQ(!report::displayFormatProblem(format).isEmpty(), c.refused)
            << c.format.left(20).toStdString();
    }
}

TEST_F(Expressions, SumsAddUpTheRowsSinceTheLastReset) {
    report::ListDataset rows{
        QStringLiteral("Rows"), {QStringLiteral("N")}, {{2}, {3.5}, {QVariant()}}};
    const MemoText memo =
        MemoText::bind(QStringLiteral("[SUM(<Rows.\"N\"> * 2)]"), QStringLiteral("Total"));
    memo.resetSums();
    for (rows.first(); !rows.eof(); rows.next())
        memo.accumulate(context);
    EXPECT_EQ(memo.evaluate(context, {}), QStringLiteral("11"));
    memo.resetSums();
    EXPECT_EQ(memo.evaluate(context, {}), QStringLiteral("0"));
}

TEST(ReportDatasets, AreFoundWhileTheyExistWhateverTheCase) {
    {
        report::ListDataset specs{QStringLiteral("Specs"), {QStringLiteral("X")}};
        EXPECT_EQ(report::findDataset(QStringLiteral("SPECS")), &specs);
    }
    EXPECT_EQ(report::findDataset(QStringLiteral("Specs")), nullptr);
}

} // namespace
