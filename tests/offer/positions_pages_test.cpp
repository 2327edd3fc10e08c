// SPDX-License-Identifier: Apache-2.0
// The positions grid and the edit page: keys, navigation, storing and leaving.
#include "jet/database.h"
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include "offer_pages_support.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

using Kind = ScriptedDialogs::Kind;
using State = data::Dataset::State;

const QString kPriceMessage = QStringLiteral("\"Ед. цена\" трябва да е по-голямо от 0.\r\n");

class Positions : public pages::Client {
protected:
    // Lot "2" current and the edit page shown, focus in the price.
    void editLot(const char* lot) {
        chooseLot(QString::fromLatin1(lot));
        window->pcMain->setCurrentWidget(window->tsEdit);
        price()->setFocus();
    }
    QLineEdit* price() const { return window->frmParameter[0]->edtParam; }
    // Types into the price as the bidder does: what was shown is replaced.
    void typePrice(const QString& text) const {
        price()->selectAll();
        QTest::keyClick(price(), Qt::Key_Backspace);
        QTest::keyClicks(price(), text);
    }
    bool upEnabled() const { return window->btnUp->isEnabled(); }
    bool downEnabled() const { return window->btnDown->isEnabled(); }
};

TEST_F(Positions, TabGoesFromTheOfferedValuesToMovingOnAndThenToTheDescription) {
    start(fixture::TenderFolder::sample()); // price, three parameters and two info fields
    editLot("1");
    window->btnDownClick(); // "Предишен" works from the second position on
    std::vector<QWidget*> expected;
    for (std::size_t frame = 0; frame < 4; ++frame)
        expected.push_back(window->frmParameter[frame]->edtParam);
    // One by one: GCC 12's optimiser warns falsely on a range insert here.
    for (QWidget* control : std::initializer_list<QWidget*>{
             window->btnUp, window->edtGoTo, window->btnDown, window->edtInfo[0],
             window->edtInfo[1], window->edtKod, window->edtMeranEd, window->edtGodProtr,
             window->mmoIME, window->btnGoTo})
        expected.push_back(control);
    ASSERT_EQ(QApplication::focusWidget(), expected.front());
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i])
            << "step " << i << ": " << QApplication::focusWidget()->objectName().toStdString();
    }
    // The page keys work from every control, the multi-line name included.
    QTest::keyClick(window->mmoIME, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsInfo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u' ').toStdString();
}

TEST_F(Positions, DownOnTheLastRowInsertAndDeleteLeaveTheListsAsTheyAre) {
    start();
    chooseLot(QStringLiteral("2"));
    for (QTableView* grid : {window->grdObPoz, window->grdData}) {
        window->pcMain->setCurrentWidget(grid == window->grdObPoz
                                             ? static_cast<QWidget*>(window->tsObosobeniPozicii)
                                             : window->tsGrid);
        grid->setFocus();
        data::Dataset& dataset = grid == window->grdObPoz ? lots() : positions();
        const int rows = dataset.recordCount();
        dataset.last();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, Qt::Key_Delete);
        EXPECT_EQ(dataset.recordCount(), rows);
        EXPECT_EQ(grid->model()->rowCount(), rows);
        EXPECT_EQ(dataset.recNo(), rows - 1);
        EXPECT_EQ(grid->currentIndex().row(), rows - 1);
    }
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(Positions, DownInTheLotsGridMovesFromALotWithoutListedPositionsToTheNext) {
    start();
    chooseLot(QStringLiteral("1"));
    ASSERT_EQ(positions().recordCount(), 0);
    QTest::keyClick(window->grdObPoz, Qt::Key_Down);
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
    EXPECT_EQ(positions().recordCount(), 3);
}

TEST_F(Positions, EnterStoresAPositionBeingEditedThroughItsCheckAndOtherwiseDoesNothing) {
    start();
    editLot("2");
    const QByteArray unchanged = [this] {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }();
    QTest::keyClick(window->grdData, Qt::Key_Return);
    QTest::keyClick(window->edtGodProtr, Qt::Key_Return);
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), unchanged);
    EXPECT_TRUE(dialogs.asked.empty());

    struct Case {
        QWidget* where;
        const char* typed;
        jet::Value stored;
        QStringList errors;
    };
    const Case cases[] = {
        {price(), "", jet::Value(1.5), {kPriceMessage}},
        {window->edtMeranEd, "4", jet::Value(4.0), {}},
        {window->grdData, "5", jet::Value(5.0), {}},
        {window->grdObPoz, "6", jet::Value(6.0), {}},
        {price(), "7", jet::Value(7.0), {}},
    };
    for (const Case& c : cases) {
        dialogs.asked.clear();
        typePrice(QString::fromLatin1(c.typed));
        ASSERT_EQ(positions().state(), State::Edit);
        QTest::keyClick(c.where, Qt::Key_Enter);
        EXPECT_EQ(dialogs.errors(), c.errors) << c.typed;
        EXPECT_EQ(positions().state(), c.errors.isEmpty() ? State::Browse : State::Edit);
        EXPECT_EQ(onDisk(21, "PP1_NUMBER"), c.stored) << c.typed;
    }
    // Enter in the code or the name is no key of the position.
    typePrice(QStringLiteral("8"));
    QTest::keyClick(window->edtKod, Qt::Key_Return);
    QTest::keyClick(window->mmoIME, Qt::Key_Return);
    EXPECT_EQ(positions().state(), State::Edit);
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(7.0));
}

TEST_F(Positions, DoubleClickOpensTheEditPageOnThePositionUnderTheCursor) {
    start();
    chooseLot(QStringLiteral("2"));
    window->pcMain->setCurrentWidget(window->tsGrid);
    doubleClickRow(*window->grdData, QStringLiteral("8"));
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_EQ(positionCode(), QStringLiteral("8"));
    EXPECT_EQ(window->edtKod->text(), QStringLiteral("8"));
    EXPECT_EQ(window->mmoIME->toPlainText(), QStringLiteral("Изделие 8"));
}

TEST_F(Positions, OnALotWithOnePositionOnlyNextWorksAndThenKeepsThePosition) {
    start();
    editLot("4");
    EXPECT_FALSE(upEnabled());
    EXPECT_TRUE(downEnabled());
    QTest::mouseClick(window->btnDown, Qt::LeftButton);
    EXPECT_EQ(positionCode(), QStringLiteral("1"));
    EXPECT_FALSE(upEnabled());
    EXPECT_FALSE(downEnabled());
}

TEST_F(Positions, BackFromTheSecondPositionPreviousStaysEnabledUntilPressedOnceMore) {
    start();
    editLot("2");
    QTest::mouseClick(window->btnDown, Qt::LeftButton);
    EXPECT_TRUE(upEnabled());
    QTest::mouseClick(window->btnUp, Qt::LeftButton);
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_TRUE(upEnabled());
    EXPECT_TRUE(downEnabled());
    QTest::mouseClick(window->btnUp, Qt::LeftButton);
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_FALSE(upEnabled());
}

TEST_F(Positions, GoToFindsTheWholeCodeExactlyAndWarnsOtherwise) {
    struct Case {
        const char* typed;
        const char* current; // afterwards
        QStringList warnings;
    };
    const Case cases[] = {
        {"7", "7", {}},
        {"07", "07", {}}, // the position already current: both buttons work again
        {" 7", "07", {QStringLiteral("Не е намерена позицията.")}},
        {"", "07", {QStringLiteral("Не е въведена позиция.")}},
    };
    start();
    editLot("2");
    for (const Case& c : cases) {
        dialogs.asked.clear();
        positions().first(); // the beginning mark set
        window->edtGoTo->setText(QString::fromLatin1(c.typed));
        QTest::mouseClick(window->btnGoTo, Qt::LeftButton);
        EXPECT_EQ(dialogs.texts(Kind::Warning), c.warnings) << c.typed;
        EXPECT_EQ(positionCode(), QString::fromLatin1(c.current)) << c.typed;
        EXPECT_EQ(upEnabled(), c.warnings.isEmpty()) << c.typed;
        EXPECT_TRUE(downEnabled()) << c.typed;
        if (!c.warnings.isEmpty()) {
            EXPECT_EQ(QApplication::focusWidget(), window->edtGoTo) << c.typed;
        }
    }
    // Enter in the go-to input searches as the button does.
    window->edtGoTo->setText(QStringLiteral("8"));
    QTest::keyClick(window->edtGoTo, Qt::Key_Return);
    EXPECT_EQ(positionCode(), QStringLiteral("8"));
}

TEST_F(Positions, GoToAndNextStoreThePositionFirstAndStayWhenTheCheckRefuses) {
    start();
    editLot("2");
    typePrice(QString());
    QTest::mouseClick(window->btnDown, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors(), QStringList{kPriceMessage});
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_EQ(positions().state(), State::Edit);
    EXPECT_EQ(price()->text(), QString());

    window->edtGoTo->setText(QStringLiteral("8"));
    QTest::mouseClick(window->btnGoTo, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors().size(), 2);
    EXPECT_EQ(positionCode(), QStringLiteral("07"));
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(1.5));

    typePrice(QStringLiteral("9"));
    QTest::mouseClick(window->btnGoTo, Qt::LeftButton);
    EXPECT_EQ(positionCode(), QStringLiteral("8"));
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(9.0));
}

TEST_F(Positions, APriceEnteredAndTheLotsPageChosenIsStoredAndCountedAtOnce) {
    start();
    editLot("2");
    window->edtGoTo->setText(QStringLiteral("8"));
    window->btnGoToClick();
    typePrice(QStringLiteral("4"));
    ASSERT_EQ(lotText("_OFERIRANI_POZICII"), QStringLiteral("2"));
    ASSERT_FALSE(window->btnExport->isEnabled());

    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u' ').toStdString();
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.0));
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
    EXPECT_EQ(lotText("_OFERIRANI_POZICII"), QStringLiteral("3"));
    EXPECT_EQ(lotText("_STATUS"), QStringLiteral("OK; Обща стойност: 7") +
                                      QLocale::system().decimalPoint() + QStringLiteral("5000"));
    EXPECT_EQ(window->grdObPoz->currentIndex().row(), 1);
    EXPECT_TRUE(window->btnPrint->isEnabled());
    EXPECT_TRUE(window->btnExport->isEnabled());

    // The positions were read again; the bidder's place is the position priced.
    window->pcMain->setCurrentWidget(window->tsGrid);
    EXPECT_EQ(positionCode(), QStringLiteral("8"));
    EXPECT_EQ(window->grdData->currentIndex().row(), 2);
}

TEST_F(Positions, LeavingWithAPositionTheCheckRefusesKeepsTheBidderOnTheEditPage) {
    start();
    editLot("2");
    typePrice(QString());
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    EXPECT_EQ(dialogs.errors(), QStringList{kPriceMessage});
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);
    EXPECT_EQ(positions().state(), State::Edit);
    EXPECT_EQ(lotText("_OFERIRANI_POZICII"), QStringLiteral("2")); // the lots were not read
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(1.5));

    // A button below the pages takes the focus: the same check, the same refusal.
    window->btnExit->setFocus();
    EXPECT_EQ(dialogs.errors().size(), 2);
    EXPECT_EQ(positions().state(), State::Edit);

    // The page keys: asked once, and the edit page stays.
    price()->setFocus();
    QTest::keyClick(price(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(dialogs.errors().size(), 3);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsEdit);

    price()->setFocus();
    typePrice(QStringLiteral("3"));
    window->btn1->setFocus();
    EXPECT_EQ(dialogs.errors().size(), 3);
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(3.0));
    EXPECT_EQ(positions().state(), State::Browse);
}

TEST_F(Positions, ALotTakenPartInWithoutPositionsRefusesInputAndAddsNoRow) {
    start();
    editLot("3");
    EXPECT_EQ(positions().recordCount(), 0);
    EXPECT_FALSE(upEnabled());
    EXPECT_FALSE(downEnabled());
    EXPECT_FALSE(price()->isEnabled());
    QTest::keyClicks(price(), QStringLiteral("5"));
    window->btnDownClick();
    window->btnUpClick();
    window->edtGoTo->setText(QStringLiteral("1"));
    window->btnGoToClick();
    EXPECT_EQ(dialogs.texts(Kind::Warning),
              QStringList{QStringLiteral("Не е намерена позицията.")});
    EXPECT_TRUE(dialogs.errors().isEmpty());
    EXPECT_EQ(positions().state(), State::Browse);

    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    EXPECT_EQ(positions().recordCount(), 0);
    int rows = 0;
    jet::Database database(file.toStdString(), jet::Database::Mode::ReadOnly);
    database.scan(database.table("PREDLOGENIA"), [&](jet::RowId, const jet::Row&) { ++rows; });
    EXPECT_EQ(rows, 11);

    chooseLot(QStringLiteral("2")); // another lot: the offer is open again
    window->pcMain->setCurrentWidget(window->tsEdit);
    EXPECT_TRUE(price()->isEnabled());
}

TEST_F(Positions, APriceStoredWithMoreDecimalsThanItsColumnShowsIsShownWhole) {
    nlohmann::json tender = pages::smallTender();
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 22)
            row["PP1_NUMBER"] = 11.999;
    start(tender);
    editLot("2");
    const QString whole = QStringLiteral("11") + QLocale().decimalPoint() + QStringLiteral("999");
    EXPECT_EQ(window->grdData->model()->index(1, 4).data().toString(), whole);
    window->btnDownClick();
    ASSERT_EQ(positionCode(), QStringLiteral("7"));
    EXPECT_EQ(price()->text(), whole);
    // Left alone, it is not touched: moving on stores nothing.
    window->btnDownClick();
    EXPECT_EQ(onDisk(22, "PP1_NUMBER"), jet::Value(11.999));
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u' ').toStdString();
}

TEST_F(Positions, PoziciaIsFillDemandsAPriceAboveZero) {
    struct Case {
        nlohmann::json price;
        bool fill;
    };
    const Case cases[] = {{nullptr, false}, {0.0, false}, {-1.0, false}, {0.01, true}, {5.0, true}};
    nlohmann::json tender = pages::smallTender();
    tender["PREDLOGENIA"] = {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", "1"}, {"PP2_TEXT", "Да"}}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        tender["PREDLOGENIA"].push_back({{"PRODUCT_CODE", 2 + i},
                                         {"MASTER_CODE", 1},
                                         {"CUSTOM_CODE", std::to_string(i)},
                                         {"PP1_NUMBER", cases[i].price}});
    start(tender);
    ASSERT_EQ(positions().recordCount(), static_cast<int>(std::size(cases)));
    for (const Case& c : cases) {
        EXPECT_EQ(window->PoziciaIsFill(), c.fill) << c.price.dump();
        positions().next();
    }
}

} // namespace
