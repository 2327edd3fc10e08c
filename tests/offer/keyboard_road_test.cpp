// SPDX-License-Identifier: Apache-2.0
// The bidder's road through a lot with the keyboard alone, read back by an independent reader.
#include "../app/typing.h"
#include "../tools/tender_file_support.h"

#include "ui/frParameter.h"

#include "offer_pages_support.h"

#include <QApplication>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>

#include <map>

namespace {

using Kind = ScriptedDialogs::Kind;

class KeyboardRoad : public pages::Client {
protected:
    // A key to whatever holds the focus, as the keyboard sends it.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
    }
    static void type(const QString& text) { typing::type(QApplication::focusWidget(), text); }
};

TEST_F(KeyboardRoad, DeclarePriceEveryPositionLeaveAndFindEveryPriceInTheFile) {
    start();
    ASSERT_EQ(window->pcMain->currentWidget(), window->tsInfo);

    press(Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(window->pcMain->currentWidget(), window->tsObosobeniPozicii);
    ASSERT_EQ(QApplication::focusWidget(), window->grdObPoz);
    ASSERT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("1")); // not taken part in yet

    // Past the positions and edit pages, which are closed to a lot not taken part in.
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsInfo);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), window->grdObPoz);

    dialogs.confirmAnswers.push_back(true);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window->btnUchastie);
    press(Qt::Key_Space);
    ASSERT_EQ(dialogs.texts(Kind::Confirm).size(), 1);
    ASSERT_EQ(lotText("PP2_TEXT"), QStringLiteral("Да"));

    press(Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(window->pcMain->currentWidget(), window->tsGrid);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    ASSERT_EQ(QApplication::focusWidget(), window->frmParameter[0]->edtParam);

    const std::map<std::int64_t, double> prices{{11, 12.5}, {12, 0.75}, {13, 3}};
    const QStringList typed{QStringLiteral("12{sep}5"), QStringLiteral("0{sep}75"),
                            QStringLiteral("3")};
    for (qsizetype i = 0; i < typed.size(); ++i) {
        ASSERT_EQ(positionCode(), QString::number(i + 1));
        type(typed[i]);
        press(Qt::Key_Enter); // stored at once
        EXPECT_EQ(positions().state(), data::Dataset::State::Browse);
        if (i + 1 < typed.size())
            press(Qt::Key_PageDown); // "Следващ"
    }

    press(Qt::Key_PageUp, Qt::ControlModifier);
    press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(window->pcMain->currentWidget(), window->tsObosobeniPozicii);
    EXPECT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u' ').toStdString();

    const tendertest::ExportedTable table =
        tendertest::mdbExport(file.toStdString(), "PREDLOGENIA");
    const auto column = [&table](const std::string& name) {
        const auto at = std::find(table.columns.begin(), table.columns.end(), name);
        EXPECT_NE(at, table.columns.end()) << name;
        return static_cast<std::size_t>(at - table.columns.begin());
    };
    const std::size_t product = column("PRODUCT_CODE");
    const std::size_t price = column("PP1_NUMBER");
    const std::size_t mark = column("PP2_TEXT");
    std::size_t priced = 0;
    for (const std::vector<std::string>& row : table.rows) {
        const std::int64_t code = std::stoll(row[product]);
        if (code == 10) {
            EXPECT_EQ(row[mark], "Да");
        }
        if (const auto expected = prices.find(code); expected != prices.end()) {
            EXPECT_DOUBLE_EQ(std::strtod(row[price].c_str(), nullptr), expected->second)
                << "position " << code << ": " << row[price];
            ++priced;
        }
    }
    EXPECT_EQ(priced, prices.size());

    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("1"));
    const QString status = window->grdObPoz->model()->index(lots().recNo(), 5).data().toString();
    EXPECT_EQ(status, QStringLiteral("OK; Обща стойност: 16") + QLocale::system().decimalPoint() +
                          QStringLiteral("2500"));
    EXPECT_TRUE(window->btnExport->isEnabled());
}

} // namespace
