// SPDX-License-Identifier: Apache-2.0
// The lots page: participation, what follows the current lot, and the tender without lots.
#include "data/error.h"
#include "export/offer_export.h"
#include "offer/lots_page.h"
#include "ui/dataset_table_model.h"

#include "offer_pages_support.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <optional>

namespace {

using Kind = ScriptedDialogs::Kind;
using pages::Client;

const QString kDeclare = QStringLiteral(
    "Необходимо е да оферирате всички подпозиции в избраната обособена позиция. Потвърдете "
    "участието си за обособена позиция №");
const QString kWithdraw = QStringLiteral("Сигурни ли сте, че няма да подадете оферта за позиция №");

class LotsPage : public Client {
protected:
    int tab(QWidget* page) const { return window->pcMain->indexOf(page); }
    bool positionsPageOpen() const {
        return window->pcMain->isTabEnabled(tab(window->tsGrid)) &&
               window->pcMain->isTabEnabled(tab(window->tsEdit));
    }
    QString positionsCaption() const { return window->pcMain->tabText(tab(window->tsGrid)); }
    QString editCaption() const { return window->pcMain->tabText(tab(window->tsEdit)); }
};

struct ParticipationCase {
    const char* name;
    const char* lot;
    bool withdraw; // else declare
    bool yes;
    std::optional<std::string> markAfter;
    const char* statusAfter;
    int positionsListed;
};

void PrintTo(const ParticipationCase& c, std::ostream* out) {
    *out << c.name;
}

class Participation : public LotsPage, public ::testing::WithParamInterface<ParticipationCase> {};

TEST_P(Participation, AsksWithTheLotsCodeAndFollowsTheAnswer) {
    const ParticipationCase& c = GetParam();
    start();
    chooseLot(QString::fromLatin1(c.lot));
    dialogs.confirmAnswers.push_back(c.yes);
    QTest::mouseClick(c.withdraw ? window->btnOtkazUchastie : window->btnUchastie, Qt::LeftButton);

    EXPECT_EQ(dialogs.texts(Kind::Confirm),
              QStringList{(c.withdraw ? kWithdraw : kDeclare) + QString::fromLatin1(c.lot)});
    EXPECT_EQ(dialogs.asked.size(), 1u);
    const jet::Value mark = c.markAfter ? jet::Value(*c.markAfter) : jet::Value();
    const std::int64_t lotProduct = lots().fieldByName(QStringLiteral("PRODUCT_CODE")).asInteger();
    EXPECT_EQ(onDisk(lotProduct, "PP2_TEXT"), mark);
    EXPECT_EQ(window->grdObPoz->model()->index(lots().recNo(), 2).data().toString(),
              QString::fromStdString(c.markAfter.value_or("")));
    EXPECT_EQ(lotText("_STATUS"), QString::fromUtf8(c.statusAfter));
    const bool takingPart = c.markAfter.has_value();
    EXPECT_EQ(positions().recordCount(), c.positionsListed);
    EXPECT_EQ(positionsPageOpen(), takingPart);
    EXPECT_EQ(window->btnUchastie->isEnabled(), !takingPart);
    EXPECT_EQ(window->btnOtkazUchastie->isEnabled(), takingPart);
    EXPECT_EQ(editCaption(), takingPart ? QStringLiteral("Редактиране") : QString());
}

TEST_P(Participation, FromTheKeyboardLeavesTheFocusOnTheLots) {
    const ParticipationCase& c = GetParam();
    dialogs.modal = true; // the question is a real box, which takes the focus while open
    start();
    chooseLot(QString::fromLatin1(c.lot));
    dialogs.confirmAnswers.push_back(c.yes);
    QPushButton* button = c.withdraw ? window->btnOtkazUchastie : window->btnUchastie;
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    QApplication::processEvents();
    ASSERT_EQ(dialogs.texts(Kind::Confirm).size(), 1);
    // Never on a button the answer left enabled, such as the import's, where the next Space
    // would open a file dialog.
    EXPECT_EQ(QApplication::focusWidget(), window->grdObPoz)
        << QApplication::focusWidget()->objectName().toStdString();
    EXPECT_EQ(lotText("CUSTOM_CODE"), QString::fromLatin1(c.lot));
}

INSTANTIATE_TEST_SUITE_P(
    YesAndNo, Participation,
    ::testing::Values(ParticipationCase{"DeclareYes", "1", false, true, "Да",
                                        "Не са оферирани всички позиции!", 3},
                      ParticipationCase{"DeclareNo", "1", false, false, std::nullopt, "-", 0},
                      ParticipationCase{"WithdrawYes", "2", true, true, std::nullopt, "-", 0},
                      ParticipationCase{"WithdrawNo", "2", true, false, "Да",
                                        "Не са оферирани всички позиции!", 3}),
    [](const ::testing::TestParamInfo<ParticipationCase>& c) { return c.param.name; });

TEST_F(LotsPage, ButtonsOfTheOtherStateAskNothingAndChangeNothing) {
    start();
    chooseLot(QStringLiteral("2"));
    window->btnUchastieClick(); // already taking part
    chooseLot(QStringLiteral("1"));
    window->btnOtkazUchastieClick(); // not taking part
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(onDisk(10, "PP2_TEXT"), jet::Value());
    EXPECT_EQ(onDisk(20, "PP2_TEXT"), jet::Value(std::string("Да")));
}

TEST_F(LotsPage, WithdrawingKeepsThePricesAndPrintingFollowsTheCountsAlone) {
    start();
    chooseLot(QStringLiteral("4"));
    ASSERT_TRUE(window->btnPrint->isEnabled());
    dialogs.confirmAnswers.push_back(true);
    window->btnOtkazUchastieClick();
    EXPECT_EQ(lotText("_STATUS"), QStringLiteral("-"));
    EXPECT_EQ(onDisk(41, "PP1_NUMBER"), jet::Value(3.0));
    EXPECT_FALSE(positionsPageOpen());
    EXPECT_EQ(positionsCaption(), QString());
    EXPECT_TRUE(window->btnPrint->isEnabled());
    EXPECT_TRUE(window->btnExport->isEnabled());

    dialogs.confirmAnswers.push_back(true);
    window->btnUchastieClick(); // the prices show again
    ASSERT_EQ(positions().recordCount(), 1);
    EXPECT_EQ(positions().fieldByName(QStringLiteral("PP1_NUMBER")).asFloat(), 3.0);
}

// What the eye reads by its place, a blank participation mark and the status dash, a screen reader
// reads as words; the grid shows them as before.
TEST_F(LotsPage, AScreenReaderReadsTheBlankMarkAndTheStatusDashAsWords) {
    start();
    chooseLot(QStringLiteral("4"));
    dialogs.confirmAnswers.push_back(true);
    window->btnOtkazUchastieClick();
    const DatasetTableModel& grid = *window->grdObPozModel;
    const int row = window->qryObosobeniPozicii->recNo();
    struct ReadCase {
        int column;
        QString shown;
        QString read;
    };
    const ReadCase cases[] = {
        {0, QStringLiteral("4"), QStringLiteral("4")},
        {2, QString(), QStringLiteral("Не")},
        {5, QStringLiteral("-"), QStringLiteral("Без участие")},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.column);
        const QModelIndex cell = grid.index(row, c.column);
        EXPECT_EQ(grid.data(cell, Qt::DisplayRole).toString(), c.shown);
        EXPECT_EQ(grid.data(cell, Qt::AccessibleTextRole).toString(), c.read);
    }
    dialogs.confirmAnswers.push_back(true);
    window->btnUchastieClick();
    EXPECT_EQ(grid.data(grid.index(row, 2), Qt::AccessibleTextRole).toString(),
              QStringLiteral("Да"));
}

// A file is signed as it stands, so signing first stores the position being edited, through its
// check: a price the check takes is in the tender file before the signing window opens; one it
// refuses stops with the check's message, and no window opens.
TEST_F(LotsPage, SigningStoresThePositionBeingEditedOrStopsWithItsCheck) {
    start();
    chooseLot(QStringLiteral("4"));
    positions().edit();
    positions().fieldByName(QStringLiteral("PP1_NUMBER")).setValue(4.5);
    window->tsObosobeniPozicii->btnPodpisvane->click();
    EXPECT_EQ(onDisk(41, "PP1_NUMBER"), jet::Value(4.5));
    EXPECT_EQ(dialogs.texts(Kind::Preview).size(), 1);
    EXPECT_EQ(dialogs.errors(), QStringList());

    positions().edit();
    positions().fieldByName(QStringLiteral("PP1_NUMBER")).setValue(0.0);
    window->tsObosobeniPozicii->btnPodpisvane->click();
    ASSERT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors()[0].endsWith(QStringLiteral(" трябва да е по-голямо от 0.\r\n")))
        << dialogs.errors()[0].toStdString();
    EXPECT_EQ(dialogs.texts(Kind::Preview).size(), 1) << "the signing window opened";
    EXPECT_EQ(onDisk(41, "PP1_NUMBER"), jet::Value(4.5));
    positions().cancel();
}

TEST_F(LotsPage, PrintAndExportAreEnabledExactlyWhenEveryPositionIsOffered) {
    struct Case {
        const char* lot;
        bool enabled;
    };
    const Case cases[] = {
        {"1", false}, // not taken part in, nothing priced
        {"2", false}, // taken part in, one position unpriced
        {"3", true},  // without positions: both counts read 0
        {"4", true},  // every position priced
    };
    start();
    for (const Case& c : cases) {
        chooseLot(QString::fromLatin1(c.lot));
        EXPECT_EQ(window->btnPrint->isEnabled(), c.enabled) << "lot " << c.lot;
        EXPECT_EQ(window->btnExport->isEnabled(), c.enabled) << "lot " << c.lot;
    }
    // A lot without positions is complete whether or not it is taken part in.
    chooseLot(QStringLiteral("3"));
    dialogs.confirmAnswers.push_back(true);
    window->btnOtkazUchastieClick();
    EXPECT_TRUE(window->btnPrint->isEnabled());
    EXPECT_TRUE(window->btnExport->isEnabled());
}

TEST(PositionsPageCaption, ShowsANameOf49CharactersWholeAndCutsOneOf50) {
    const QString name49 = QString(48, QChar(u'Ж')) + QStringLiteral("Я");
    const QString name50 = QString(49, QChar(u'Ж')) + QStringLiteral("Я");
    EXPECT_EQ(offer::positionsPageCaption(QStringLiteral("12"), name49),
              QStringLiteral("Предложения за: 12. ") + name49);
    EXPECT_EQ(offer::positionsPageCaption(QStringLiteral("12"), name50),
              QStringLiteral("Предложения за: 12. ") + QString(47, QChar(u'Ж')) +
                  QStringLiteral("..."));
    EXPECT_EQ(offer::positionsPageCaption(QString(), QString()),
              QStringLiteral("Предложения за: . "));
}

TEST_F(LotsPage, TheTabCaptionsFollowTheCurrentLot) {
    nlohmann::json tender = pages::smallTender();
    const std::string name50(50, 'N');
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 20)
            row["IME"] = name50;
    start(tender);
    chooseLot(QStringLiteral("2"));
    EXPECT_EQ(positionsCaption(),
              QStringLiteral("Предложения за: 2. ") + QString(47, u'N') + QStringLiteral("..."));
    EXPECT_EQ(editCaption(), QStringLiteral("Редактиране"));
    const QTabBar& tabs = *window->pcMain->tabBar();
    EXPECT_EQ(tabs.accessibleTabName(tab(window->tsGrid)), QString()); // read as shown
    chooseLot(QStringLiteral("1"));
    EXPECT_EQ(positionsCaption(), QString());
    EXPECT_EQ(editCaption(), QString());
    EXPECT_FALSE(positionsPageOpen());
    // A closed page shows no caption, yet a screen reader names it (and says it is unavailable).
    EXPECT_EQ(tabs.accessibleTabName(tab(window->tsGrid)), QStringLiteral("Предложения"));
    EXPECT_EQ(tabs.accessibleTabName(tab(window->tsEdit)), QStringLiteral("Редактиране"));
}

TEST_F(LotsPage, DoubleClickAsksOnALotNotTakenPartInAndOpensThePositionsOfOneTakenPartIn) {
    start();
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    doubleClickRow(*window->grdObPoz, QStringLiteral("1"));
    EXPECT_EQ(dialogs.texts(Kind::Confirm), QStringList{kDeclare + QStringLiteral("1")});
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsObosobeniPozicii);
    EXPECT_EQ(onDisk(10, "PP2_TEXT"), jet::Value()); // unanswered questions read as No

    doubleClickRow(*window->grdObPoz, QStringLiteral("2"));
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsGrid);
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
}

TEST_F(LotsPage, ALotRowThatCannotBeStoredShowsTheErrorAndKeepsWhatTheFileHolds) {
    start();
    chooseLot(QStringLiteral("1"));
    lots().beforePost = [](data::Dataset&) {
        throw data::Error(QStringLiteral("Файлът е заключен."));
    };
    dialogs.confirmAnswers.push_back(true);
    QTest::mouseClick(window->btnUchastie, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors(), QStringList{QStringLiteral("Файлът е заключен.")});
    // Not left half-stored: the next move does not try the refused write again.
    EXPECT_EQ(lots().state(), data::Dataset::State::Browse);
    EXPECT_EQ(lotText("_STATUS"), QStringLiteral("-"));
    EXPECT_TRUE(window->btnUchastie->isEnabled());
    EXPECT_FALSE(positionsPageOpen());
    EXPECT_EQ(onDisk(10, "PP2_TEXT"), jet::Value());
    chooseLot(QStringLiteral("2"));
    EXPECT_EQ(dialogs.errors().size(), 1);
}

// A column is at least as wide as its head needs in the header's font: the counts' short heads
// of the lots grid, and the offer columns of the positions grid, whose width the count of
// offered values otherwise decides.
TEST_F(LotsPage, EveryColumnOfBothGridsShowsItsWholeHead) {
    nlohmann::json tender = pages::smallTender();
    nlohmann::json& specs = tender["SPECS"][0];
    specs["PP1_IME"] = "Единична цена без ДДС в лева";
    const char* const captions[] = {"Отстъпка от цената в проценти", "Срок на годност в месеци",
                                    "Брой в опаковка", "Производител и страна на произход",
                                    "Регистрационен номер"};
    for (int n = 2; n <= 6; ++n) {
        specs["PP" + std::to_string(n) + "_TIP"] = n == 5 ? 2 : 3;
        specs["PP" + std::to_string(n) + "_IME"] = captions[n - 2];
    }
    start(tender);
    for (QTableView* grid : {window->grdObPoz, window->grdData}) {
        const QHeaderView& header = *grid->horizontalHeader();
        const int margins = 2 * grid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, grid);
        const QFontMetrics metrics(header.font());
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            const QString head = grid->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_GE(grid->columnWidth(c), metrics.horizontalAdvance(head) + margins)
                << grid->objectName().toStdString() << ": " << head.toStdString();
        }
    }
    // The lots grid keeps its widths where the heads fit.
    EXPECT_EQ(window->grdObPoz->columnWidth(1), 414);
}

// The window has a fixed size: every button of the page must still show its whole caption,
// side by side, none drawn over another.
TEST_F(LotsPage, EveryButtonShowsItsWholeCaptionInTheFixedWindow) {
    start();
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    QCoreApplication::processEvents();
    const QList<QPushButton*> buttons = window->tsObosobeniPozicii->findChildren<QPushButton*>();
    ASSERT_GE(buttons.size(), 5);
    for (const QPushButton* button : buttons) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()));
        EXPECT_TRUE(window->tsObosobeniPozicii->rect().contains(button->geometry()));
        for (const QPushButton* other : buttons)
            EXPECT_TRUE(other == button || !other->geometry().intersects(button->geometry()))
                << other->text().toStdString();
    }
}

TEST_F(LotsPage, ATenderWithoutLotsOffersNothingAndAddsNoRow) {
    nlohmann::json tender = pages::smallTender();
    tender["PREDLOGENIA"] = nlohmann::json::array();
    start(tender);
    const QByteArray before = [this] {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }();
    EXPECT_EQ(lots().recordCount(), 0);
    EXPECT_FALSE(window->btnUchastie->isEnabled());
    EXPECT_FALSE(window->btnOtkazUchastie->isEnabled());
    EXPECT_FALSE(window->btnPrint->isEnabled());
    EXPECT_FALSE(window->btnExport->isEnabled());
    EXPECT_FALSE(positionsPageOpen());

    dialogs.confirmAnswers = {true, true};
    window->btnUchastieClick();
    window->btnOtkazUchastieClick();
    window->grdObPozDblClick();
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    window->grdObPoz->setFocus();
    QTest::keyClick(window->grdObPoz, Qt::Key_Insert);
    QTest::keyClick(window->grdObPoz, Qt::Key_Down);
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(lots().recordCount(), 0);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST(ProposedSigningFile, IsTheLotsOfferFileWrittenLast) {
    QTemporaryDir folder;
    const QString company = QStringLiteral("Медика ООД");
    const QString price = OfferExport::proposedFileName(PriceOffer, company, QStringLiteral("3"));
    const QString technical =
        OfferExport::proposedFileName(TechnicalOffer, company, QStringLiteral("3"));
    const QString technicalPdf = QFileInfo(technical).completeBaseName() + QStringLiteral(".pdf");
    const QString otherLot =
        OfferExport::proposedFileName(PriceOffer, company, QStringLiteral("4"));
    const auto written = [&](const QString& name, int secondsAgo) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush();
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                                     QFileDevice::FileModificationTime));
    };
    const auto proposed = [&] {
        return QFileInfo(offer::proposedSigningFile(folder.path(), company, QStringLiteral("3")))
            .fileName();
    };
    EXPECT_EQ(proposed(), QString());
    written(otherLot, 0); // another lot's file is never proposed
    EXPECT_EQ(proposed(), QString());
    written(price, 100);
    EXPECT_EQ(proposed(), price);
    written(technicalPdf, 50);
    EXPECT_EQ(proposed(), technicalPdf);
    written(QStringLiteral("Оферта.pdf"), 10); // the printed offer's own proposed name
    EXPECT_EQ(proposed(), QStringLiteral("Оферта.pdf"));
    // A folder of an offer's name is no file to sign.
    ASSERT_TRUE(QDir(folder.path()).mkdir(technical));
    EXPECT_EQ(proposed(), QStringLiteral("Оферта.pdf"));
}

} // namespace
