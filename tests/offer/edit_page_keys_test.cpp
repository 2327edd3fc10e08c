// SPDX-License-Identifier: Apache-2.0
// The edit page driven from the keyboard, each question a real modal box: leaving it, Escape,
// where the focus goes, and which page the bidder lands on.
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include "offer_pages_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace {

using State = data::Dataset::State;

// The small tender with a second offered value, "Отстъпка от цената", a number that must not be
// below 0: a position whose discount is -1 cannot be stored.
nlohmann::json tenderWithDiscount() {
    nlohmann::json tender = pages::smallTender();
    nlohmann::json& specs = tender["SPECS"][0];
    specs["PP2_TIP"] = 3;
    specs["PP2_IME"] = "Отстъпка от цената";
    specs["PP2_RAZRYAD"] = 0;
    specs["PP2_OGRANICHENIE"] = 3;
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row.contains("MASTER_CODE"))
            row["PP2_NUMBER"] = 0.0;
    return tender;
}

class EditPageKeys : public pages::Client {
protected:
    void SetUp() override { dialogs.modal = true; }

    // Lot `lot` current, the edit page chosen from the keyboard, the focus in the price.
    void editLot(const char* lot) {
        chooseLot(QString::fromLatin1(lot));
        window->grdObPoz->setFocus();
        window->pcMain->setCurrentWidget(window->tsEdit);
        price()->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), price());
    }
    ValidatingEdit* price() const { return window->frmParameter[0]->edtParam; }
    ValidatingEdit* discount() const { return window->frmParameter[1]->edtParam; }

    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
        QApplication::processEvents();
    }
    static void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
};

TEST_F(EditPageKeys, ARefusedLeaveIsToldOnceAndKeepsThePageAndTheInputBeingEdited) {
    start(tenderWithDiscount());
    editLot("2");
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), discount());
    discount()->selectAll();
    type(QStringLiteral("-1"));
    ASSERT_EQ(positions().state(), State::Edit);
    // The page the bidder sees while each refusal is read.
    std::vector<QWidget*> behind;
    dialogs.whileShown = [&] { behind.push_back(window->pcMain->currentWidget()); };

    const std::pair<Qt::Key, Qt::KeyboardModifiers> leaves[] = {
        {Qt::Key_Tab, Qt::ControlModifier},
        {Qt::Key_PageUp, Qt::ControlModifier},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_PageDown, Qt::ControlModifier},
    };
    for (const auto& [key, modifiers] : leaves) {
        SCOPED_TRACE(QKeySequence(static_cast<int>(key) | static_cast<int>(modifiers))
                         .toString()
                         .toStdString());
        dialogs.asked.clear();
        press(key, modifiers);
        EXPECT_EQ(dialogs.errors().size(), 1) << dialogs.errors().join(u'|').toStdString();
        EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
        EXPECT_EQ(QApplication::focusWidget(), discount());
        EXPECT_EQ(discount()->text(), QStringLiteral("-1"));
        EXPECT_EQ(positions().state(), State::Edit);
    }
    // A click on another tab, likewise.
    dialogs.asked.clear();
    QTabBar& tabs = *window->pcMain->tabBar();
    QTest::mouseClick(&tabs, Qt::LeftButton, {},
                      tabs.tabRect(window->pcMain->indexOf(window->tsGrid)).center());
    EXPECT_EQ(dialogs.errors().size(), 1) << dialogs.errors().join(u'|').toStdString();
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_EQ(QApplication::focusWidget(), discount());
    EXPECT_EQ(behind, std::vector<QWidget*>(std::size(leaves) + 1, window->tsEdit));
    // The keys typed next reach the input, and the discount corrected leaves at once.
    press(Qt::Key_Home);
    press(Qt::Key_Delete);
    EXPECT_EQ(discount()->text(), QStringLiteral("1"));
    dialogs.asked.clear();
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'|').toStdString();
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsInfo);
    EXPECT_EQ(onDisk(21, "PP2_NUMBER"), jet::Value(1.0));
}

TEST_F(EditPageKeys, EscapeDropsAHalfTypedPositionAndTheBidderCanLeave) {
    start(tenderWithDiscount());
    editLot("2");
    press(Qt::Key_PageDown);
    press(Qt::Key_PageDown);
    ASSERT_EQ(positionCode(), QStringLiteral("8")); // unpriced
    type(QStringLiteral("5"));
    ASSERT_EQ(positions().state(), State::Edit);

    press(Qt::Key_Escape);
    EXPECT_EQ(positions().state(), State::Browse);
    EXPECT_EQ(price()->text(), QString());
    EXPECT_EQ(discount()->text(), QStringLiteral("0"));
    EXPECT_EQ(QApplication::focusWidget(), price());

    // Every way out is open again, and nothing was written.
    press(Qt::Key_PageUp);
    EXPECT_EQ(positionCode(), QStringLiteral("7"));
    press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsGrid);
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'|').toStdString();
    EXPECT_TRUE(jet::isNull(onDisk(23, "PP1_NUMBER")));
    EXPECT_EQ(onDisk(22, "PP1_NUMBER"), jet::Value(2.0));

    // In the grids too, on the position left.
    ASSERT_EQ(QApplication::focusWidget(), window->grdData);
    ASSERT_EQ(positionCode(), QStringLiteral("7"));
    positions().edit();
    positions().fieldByName(QStringLiteral("PP1_NUMBER")).setValue(9.0);
    press(Qt::Key_Escape);
    EXPECT_EQ(positions().state(), State::Browse);
    EXPECT_EQ(positions().fieldByName(QStringLiteral("PP1_NUMBER")).value(), QVariant(2.0));
    EXPECT_EQ(onDisk(22, "PP1_NUMBER"), jet::Value(2.0));
}

TEST_F(EditPageKeys, MovingToAnotherPositionPutsTheFocusInItsPrice) {
    start(tenderWithDiscount());
    editLot("2");
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), discount());
    press(Qt::Key_PageDown);
    EXPECT_EQ(positionCode(), QStringLiteral("7"));
    EXPECT_EQ(QApplication::focusWidget(), price());
    press(Qt::Key_Tab);
    press(Qt::Key_PageUp);
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_EQ(QApplication::focusWidget(), price());

    // From the price itself, either way: the price of the position reached is selected, so that
    // what is typed replaces it.
    for (const auto& [key, code] :
         {std::pair{Qt::Key_PageDown, "7"}, std::pair{Qt::Key_PageUp, "07"}}) {
        price()->setCursorPosition(0);
        press(key);
        EXPECT_EQ(positionCode(), QString::fromLatin1(code));
        EXPECT_FALSE(price()->text().isEmpty());
        EXPECT_EQ(price()->selectedText(), price()->text()) << code;
    }

    // Typed at once: the price of the next position, no key in between.
    press(Qt::Key_PageDown);
    press(Qt::Key_PageDown);
    type(QStringLiteral("6"));
    press(Qt::Key_Enter);
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(6.0));

    // A position found by its code likewise.
    window->edtGoTo->setFocus();
    window->edtGoTo->setText(QStringLiteral("07"));
    press(Qt::Key_Return);
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_EQ(QApplication::focusWidget(), price());
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'|').toStdString();
}

TEST_F(EditPageKeys, LeavingTheEditPageLandsOnThePageChosenWhateverTheFirstLot) {
    start(); // the first lot in code order, "1", is not taken part in
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "a price typed" : "nothing typed");
        editLot("2");
        if (edited) {
            press(Qt::Key_PageDown);
            press(Qt::Key_PageDown);
            type(QStringLiteral("4"));
        }
        press(Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(window->pcMain->currentWidget(), window->tsGrid);
        EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
        EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'|').toStdString();
        // The grid stands on the position left, the lots grid on the lot and has the keys.
        EXPECT_EQ(positionCode(), QString::fromLatin1(edited ? "8" : "07"));
        EXPECT_EQ(window->grdData->currentIndex().row(), edited ? 2 : 0);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(window->pcMain->currentWidget(), window->tsObosobeniPozicii);
        EXPECT_EQ(QApplication::focusWidget(), window->grdObPoz);
        EXPECT_EQ(window->grdObPoz->currentIndex().row(), lots().recNo());
        EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
    }
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.0));
    EXPECT_EQ(lotText("_OFERIRANI_POZICII"), QStringLiteral("3"));

    // The help button below the pages takes the focus from the edit page: the page stays.
    editLot("2");
    window->btn1->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
}

} // namespace
