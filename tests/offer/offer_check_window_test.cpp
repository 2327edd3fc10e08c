// SPDX-License-Identifier: Apache-2.0
// "Проверка на офертата" driven offscreen: the list, the road from a line to its value, and the
// list after corrections.
#include "../app/typing.h"

#include "offer/offer_check_window.h"
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include "offer_pages_support.h"
#include "offer_problems_tender.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {

using Kind = ScriptedDialogs::Kind;

class OfferCheckWindow : public pages::Client {
protected:
    offer::OfferCheckWindow& openCheck() {
        window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
        window->tsObosobeniPozicii->btnProverka->click();
        EXPECT_NE(window->fmProverka, nullptr);
        return *window->fmProverka;
    }
    QString line(int row, int column) const {
        return window->fmProverka->grdProblems->item(row, column)->text();
    }
    // Activates line `row` of the list by Enter or by a double-click, as the bidder does, and
    // waits for the main window to come to the front.
    void activate(int row, bool byKeyboard) {
        QTableWidget& list = *window->fmProverka->grdProblems;
        list.setCurrentCell(row, 0);
        if (byKeyboard) {
            QTest::keyClick(&list, Qt::Key_Return);
        } else {
            const QPoint at = list.visualRect(list.model()->index(row, 0)).center();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        }
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Types into `input` as the bidder does: what was shown is replaced.
    static void typeInto(QLineEdit* input, const QString& text) {
        input->selectAll();
        typing::keys(input, text);
    }
    QLineEdit* offerInput(std::size_t frame) const { return window->frmParameter[frame]->edtParam; }
};

TEST_F(OfferCheckWindow, ListsTheProblemsAndActivatingALineLandsOnItsValue) {
    start(fixture::offerProblemsTender());
    EXPECT_EQ(window->tsObosobeniPozicii->btnProverka->text(),
              QStringLiteral("Проверка на офертата"));
    offer::OfferCheckWindow& check = openCheck();
    ASSERT_TRUE(check.isVisible());
    EXPECT_EQ(check.windowTitle(), QStringLiteral("Проверка на офертата"));
    ASSERT_EQ(check.grdProblems->rowCount(), 8);
    EXPECT_EQ(check.lblSummary->text(), QStringLiteral("Открити проблеми: 8"));
    const QStringList lots{QStringLiteral("Данни за фирмата"),
                           QStringLiteral("Данни за фирмата"),
                           QStringLiteral("3"),
                           QStringLiteral("9"),
                           QStringLiteral("10"),
                           QStringLiteral("10"),
                           QStringLiteral("10"),
                           QStringLiteral("10")};
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(line(row, 0), lots[row]) << row;
    // The tender's captions; the columns only in the tooltips.
    const std::pair<int, const char*> fields[] = {
        {0, "IME_NA_FIRMATA"}, {1, "KP2_TEXT"}, {7, "PP4_TEXT"}};
    for (const auto& [row, column] : fields) {
        EXPECT_FALSE(line(row, 2).contains(QLatin1Char('('))) << line(row, 2).toStdString();
        EXPECT_EQ(check.grdProblems->item(row, 2)->toolTip(), QString::fromLatin1(column));
    }
    EXPECT_EQ(line(7, 2), QStringLiteral("Производител"));
    EXPECT_EQ(line(7, 3), QStringLiteral("\"Производител\" трябва да е попълнено."));

    struct Case {
        int row;
        bool byKeyboard;
        QWidget* page;
        const char* lot; // the current lot afterwards; null when it does not matter
        const char* position;
        QWidget* focused;
    };
    const Case cases[] = {
        {7, true, window->tsEdit, "10", "2", offerInput(3)},
        {3, false, window->tsEdit, "9", "9", offerInput(2)},
        {5, true, window->tsEdit, "10", "1", offerInput(0)},
        {1, false, window->tsInfo, nullptr, nullptr, window->frmKParam[1]->edtParam},
        {6, false, window->tsEdit, "10", "2", offerInput(2)},
        {0, true, window->tsInfo, nullptr, nullptr, window->edtfirma},
        {4, true, window->tsObosobeniPozicii, "10", nullptr, window->grdObPoz},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        activate(c.row, c.byKeyboard);
        EXPECT_EQ(window->pcMain->currentWidget(), c.page);
        if (c.lot != nullptr) {
            EXPECT_EQ(lotText("CUSTOM_CODE"), QString::fromLatin1(c.lot));
        }
        if (c.position != nullptr) {
            EXPECT_EQ(positionCode(), QString::fromLatin1(c.position));
        }
        EXPECT_EQ(QApplication::focusWidget(), c.focused);
    }
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'\n').toStdString();
}

// A position being edited is stored through its check before the road leaves it, or keeps the
// bidder on it; "Обнови" shows what is left after the corrections.
TEST_F(OfferCheckWindow, AnEditIsStoredOrRefusedBeforeMovingAndRefreshShowsWhatIsLeft) {
    start(fixture::offerProblemsTender());
    offer::OfferCheckWindow& check = openCheck();
    activate(5, true); // lot "10", position "1", without a price
    typeInto(offerInput(0), QStringLiteral("7"));
    check.btnObnovi->click();
    EXPECT_EQ(onDisk(101, "PP1_NUMBER"), jet::Value(7.0));
    ASSERT_EQ(check.grdProblems->rowCount(), 6); // the price and the lot's refusal are gone
    EXPECT_EQ(line(4, 1), QStringLiteral("2"));

    activate(4, false); // lot "10", position "2": a negative discount and no maker
    typeInto(offerInput(2), QStringLiteral("1"));
    activate(3, true); // lot "9", position "9": refused, the maker is still missing
    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("\"Производител\" трябва да е попълнено.\r\n")});
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("10"));
    EXPECT_EQ(positionCode(), QStringLiteral("2"));
    EXPECT_EQ(offerInput(2)->text(), QStringLiteral("1"));

    typeInto(offerInput(3), QStringLiteral("Алфа"));
    activate(3, true); // stored now, and on to lot "9"
    EXPECT_EQ(onDisk(102, "PP4_TEXT"), jet::Value(std::string("Алфа")));
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("9"));
    EXPECT_EQ(positionCode(), QStringLiteral("9"));
    typeInto(offerInput(2), QStringLiteral("0"));
    activate(1, false); // the payment method, on the company page
    typeInto(window->frmKParam[1]->edtParam, QStringLiteral("в брой"));
    activate(0, true); // the company name
    typeInto(window->edtfirma, QStringLiteral("Медикс ООД"));

    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    clickRow(*window->grdObPoz, QStringLiteral("3"));
    dialogs.confirmAnswers.push_back(true);
    window->btnOtkazUchastieClick();
    check.btnObnovi->click();
    EXPECT_EQ(check.grdProblems->rowCount(), 0);
    EXPECT_EQ(check.lblSummary->text(), QStringLiteral("Няма открити проблеми."));
    EXPECT_EQ(dialogs.errors().size(), 1);
}

} // namespace
