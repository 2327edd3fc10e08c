// SPDX-License-Identifier: Apache-2.0
#include "app/client_application.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "data/dataset.h"
#include "data/error.h"
#include "print/fHelp.h"
#include "ui/application_title.h"
#include "ui/captions.h"
#include "ui/dataset_table_model.h"
#include "ui/error_guard.h"
#include "ui/field_edit_binding.h"
#include "ui/frParameter.h"
#include "ui/scripted_dialogs.h"
#include "ui/validating_edit.h"

#include "tender_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <functional>

#include <unistd.h>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace {

using Kind = ScriptedDialogs::Kind;
using State = data::Dataset::State;

// Runs a test in `folder` as the working directory, as the bidder starts the program from the
// tender's folder, and restores the previous one afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const QString& path) : previous_(QDir::currentPath()) {
        QDir::setCurrent(path);
    }
    ~WorkingDirectory() { QDir::setCurrent(previous_); }

private:
    QString previous_;
};

class MainWindow : public ::testing::Test {
protected:
    // Makes and shows the main window over DB.mdb of the test's folder.
    void start() {
        WorkingDirectory here(folder.path());
        window = std::make_unique<TfmMain>(guard);
        window->show();
    }

    fixture::TenderFolder folder;
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;
};

// The dialogs Qt draws itself (file, print, a message box's details) speak Bulgarian too.
TEST(QtTexts, AreLoadedInBulgarian) {
    QTranslator translator;
    ASSERT_TRUE(loadQtTranslation(translator));
    for (const auto& [context, text] :
         {std::pair{"QMessageBox", "Show Details..."}, std::pair{"QFileDialog", "Look in:"},
          std::pair{"QPrintDialog", "Print"}}) {
        const QString translated = translator.translate(context, text);
        EXPECT_FALSE(translated.isEmpty()) << context << " " << text;
        EXPECT_NE(translated, QString::fromLatin1(text));
    }
}

TEST_F(MainWindow, HasFourPagesAndTheBottomButtons) {
    folder.writeSample();
    start();
    ASSERT_EQ(window->pcMain->count(), 4);
    // The first lot of the sample is taken part in: the positions page is captioned with it.
    const QStringList captions{"Данни за фирмата", "Обособени позиции",
                               "Предложения за: 1. Спринцовки, игли и канюли за еднократна "
                               "употреб...",
                               "Редактиране"};
    const std::array<QWidget*, 4> pages{window->tsInfo, window->tsObosobeniPozicii, window->tsGrid,
                                        window->tsEdit};
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(window->pcMain->tabText(page), captions[page]);
        EXPECT_EQ(window->pcMain->widget(page), pages[static_cast<std::size_t>(page)]);
    }
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsInfo);
    EXPECT_EQ(window->pnlBottom->height(), 40);
    EXPECT_EQ(window->btnPrint->text(), QStringLiteral("Печат"));
    EXPECT_EQ(window->btnPrint->toolTip(), QStringLiteral("Разпечатване..."));
    EXPECT_EQ(window->btnExport->text(), QStringLiteral("Генериране на изх. файл"));
    EXPECT_EQ(window->btn1->text(), QStringLiteral("Помощ"));
    EXPECT_EQ(window->btnExit->text(), QStringLiteral("Изход"));
    EXPECT_LT(window->btnExport->x(), window->btn1->x());
    EXPECT_LT(window->btn1->x(), window->btnExit->x());
    EXPECT_EQ(window->width(), 1009);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // fixed size
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(MainWindow, TakesCaptionsAndColumnTitlesFromTheTender) {
    folder.writeSample();
    start();
    EXPECT_EQ(captionOf(*window->lblCaptionKod), QStringLiteral("№ по ред"));
    EXPECT_EQ(captionOf(*window->lblCaptionProduct),
              QStringLiteral("Наименование на медицинското изделие"));
    EXPECT_EQ(captionOf(*window->lblInfo[1]), QStringLiteral("Вид на опаковката"));
    const QAbstractItemModel& grid = *window->grdData->model();
    EXPECT_EQ(grid.headerData(0, Qt::Horizontal).toString(), QStringLiteral("№ по ред"));
    EXPECT_EQ(grid.headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Прогнозно количество за 12 месеца"));
    EXPECT_EQ(grid.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Мярка"));
    EXPECT_EQ(grid.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Ед. цена без ДДС"));
    EXPECT_EQ(grid.headerData(7, Qt::Horizontal).toString(), QStringLiteral("Опаковка (бр.)"));
    EXPECT_EQ(window->grdObPoz->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("№ по ред"));
    EXPECT_EQ(window->qrySpecs->state(), State::Browse);
    EXPECT_TRUE(window->qryObosobeniPozicii->active());
    EXPECT_TRUE(window->qryData->active());
    EXPECT_FALSE(window->qrySpecsInit->active());
}

// A screen reader names each input by the caption beside it, and Alt with the caption's
// underlined letter moves there: on both pages that hold inputs every shown input is captioned,
// named as its caption reads, and reached by a letter that no other caption of the page
// underlines. A "&" in a tender's caption is shown as it stands.
TEST_F(MainWindow, EveryCaptionNamesItsInputAndItsUnderlinedLetterReachesIt) {
    folder.writeSample({{"KP2_IME", std::string("Начин & срок на плащане")}});
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (QWidget* page : {window->tsInfo, static_cast<QWidget*>(window->tsEdit)}) {
        SCOPED_TRACE(page->objectName().toStdString());
        window->pcMain->setCurrentWidget(page);
        ASSERT_EQ(window->pcMain->currentWidget(), page);
        QSet<int> letters;
        int captioned = 0;
        for (const QLabel* label : page->findChildren<QLabel*>()) {
            QWidget* input = label->buddy();
            if (input == nullptr || !input->isVisible())
                continue;
            ++captioned;
            SCOPED_TRACE(captionOf(*label).toStdString());
            EXPECT_EQ(input->accessibleName(), captionOf(*label));
            const QKeySequence mnemonic = QKeySequence::mnemonic(label->text());
            ASSERT_FALSE(mnemonic.isEmpty());
            EXPECT_FALSE(letters.contains(mnemonic[0].key())) << "a letter underlined twice";
            letters.insert(mnemonic[0].key());
            // A Cyrillic key is sent with its text: QTest names only Latin keys by themselves.
            const Qt::Key key = mnemonic[0].key();
            QTest::sendKeyEvent(QTest::Click, window.get(), key, QString(QChar(key)).toLower(),
                                mnemonic[0].keyboardModifiers());
            EXPECT_EQ(QApplication::focusWidget(), input);
        }
        // Every input that shows is captioned but the code to search for, which no caption
        // stands beside.
        int inputs = 0;
        for (const QWidget* input : page->findChildren<QWidget*>())
            if ((qobject_cast<const QLineEdit*>(input) ||
                 qobject_cast<const QPlainTextEdit*>(input)) &&
                input->isVisible() && input != window->edtGoTo)
                ++inputs;
        EXPECT_EQ(captioned, inputs);
        EXPECT_GE(captioned, 3);
    }
    EXPECT_EQ(window->frmKParam[1]->edtParam->accessibleName(),
              QStringLiteral("Начин & срок на плащане"));
}

// What the tender leaves uncaptioned shows no caption, yet a screen reader still names it: the
// inputs of the edit page and the heads of both grids.
TEST_F(MainWindow, WhatTheTenderLeavesUncaptionedIsStillNamed) {
    folder.writeSample({{"CAPTION_NOMER", jet::Value()},
                        {"CAPTION_PRODUCT", std::string()},
                        {"CAPTION_INFO2", jet::Value()},
                        {"PP2_IME", jet::Value()}});
    start();
    const std::pair<QWidget*, QString> inputs[] = {
        {window->edtKod, QStringLiteral("Код")},
        {window->mmoIME, QStringLiteral("Наименование")},
        {window->edtInfo[1], QStringLiteral("Информация 2")},
        {window->frmParameter[1]->edtParam, QStringLiteral("Предлагана стойност 2")},
    };
    for (const auto& [input, name] : inputs) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(input->isVisibleTo(window->tsEdit));
        EXPECT_EQ(input->accessibleName(), name);
    }
    EXPECT_EQ(captionOf(*window->lblCaptionKod), QString());
    const std::tuple<QAbstractItemModel*, int, QString> heads[] = {
        {window->grdData->model(), 0, QStringLiteral("Код")},
        {window->grdData->model(), 1, QStringLiteral("Наименование")},
        {window->grdData->model(), 5, QStringLiteral("Предлагана стойност 2")},
        {window->grdObPoz->model(), 0, QStringLiteral("Код")},
    };
    for (const auto& [grid, column, name] : heads) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(grid->headerData(column, Qt::Horizontal).toString(), QString());
        EXPECT_EQ(grid->headerData(column, Qt::Horizontal, Qt::AccessibleTextRole).toString(),
                  name);
    }
}

// Long captions of the tender (the sample's "Прогнозно количество за 12 месеца") are shown
// whole, and each header band of the positions grid stands over its own columns.
TEST_F(MainWindow, CaptionsAreShownWholeAndTheBandsStandOverTheirColumns) {
    folder.writeSample();
    start();
    window->pcMain->setCurrentWidget(window->tsEdit);
    QApplication::processEvents();
    std::vector<QLabel*> captions{window->lblCaptionKod, window->lblCaptionProduct,
                                  window->lblCaptionGodPotreblenie};
    captions.insert(captions.end(), window->lblInfo.begin(), window->lblInfo.end());
    for (const QLabel* caption : captions) {
        if (caption->isVisibleTo(window->tsEdit)) {
            EXPECT_GE(caption->width(), caption->sizeHint().width())
                << caption->text().toStdString();
        }
    }
    for (const QWidget* left : {static_cast<QWidget*>(window->lblCaptionKod),
                                static_cast<QWidget*>(window->lblCaptionGodPotreblenie),
                                static_cast<QWidget*>(window->edtGodProtr)})
        EXPECT_LT(left->geometry().right(), window->mmoIME->geometry().left());
    EXPECT_LE(window->mmoIME->geometry().right(), window->pnlSpec->width());

    window->pcMain->setCurrentWidget(window->tsGrid);
    QApplication::processEvents();
    const QTableView& grid = *window->grdData;
    const auto onPage = [&](const QWidget& widget, QPoint at) {
        return widget.mapTo(window->tsGrid, at).x();
    };
    const auto* describedBand =
        window->tsGrid->findChild<QLabel*>(QStringLiteral("lblSpecifikacia"));
    const auto* offer = window->tsGrid->findChild<QLabel*>(QStringLiteral("lblOferta"));
    ASSERT_NE(describedBand, nullptr);
    ASSERT_NE(offer, nullptr);
    int lastOffer = 4;
    for (int column = 4; column < grid.model()->columnCount(); ++column)
        if (!grid.isColumnHidden(column))
            lastOffer = column;
    // Also with the grid scrolled across: its titles make it wider than the window.
    ASSERT_GT(grid.horizontalScrollBar()->maximum(), 0);
    for (const int scrolled : {0, grid.horizontalScrollBar()->maximum()}) {
        SCOPED_TRACE(scrolled);
        window->grdData->horizontalScrollBar()->setValue(scrolled);
        const auto columnStart = [&](int column) {
            return onPage(*grid.viewport(), QPoint(grid.columnViewportPosition(column), 0));
        };
        EXPECT_EQ(onPage(*describedBand, QPoint(describedBand->width(), 0)), columnStart(4));
        EXPECT_EQ(onPage(*offer, QPoint(0, 0)), columnStart(4));
        EXPECT_EQ(onPage(*offer, QPoint(offer->width(), 0)),
                  columnStart(lastOffer) + grid.columnWidth(lastOffer));
    }
    window->grdData->horizontalScrollBar()->setValue(0);
    EXPECT_EQ(onPage(*describedBand, QPoint(0, 0)), onPage(grid, QPoint(0, 0)));
}

struct GeometryCase {
    const char* name;
    std::int64_t infoFields;                // BROI_INFO_POLETA
    std::array<std::int64_t, 5> offerTypes; // PP2_TIP … PP6_TIP
    int offerColumnWidth;
    std::vector<int> offerColumnsShown; // of columns 5 … 9
    std::array<bool, 4> infoPanels;
    int shownInfoFields;
    int offerPanelHeight;
    int windowHeight;
};

class MainWindowGeometry : public MainWindow, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(MainWindowGeometry, FitsColumnsPanelsAndHeightToTheTender) {
    const GeometryCase& c = GetParam();
    fixture::ColumnValues specs{{"BROI_INFO_POLETA", c.infoFields}};
    for (int n = 2; n <= 6; ++n)
        specs.push_back({"PP" + std::to_string(n) + "_TIP", c.offerTypes[n - 2]});
    folder.writeSample(specs);
    start();
    ASSERT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();

    // Each offer column has the width the count of them gives, or more where its head needs
    // more in the font in use.
    const auto offerColumnWidth = [this, &c](int column) {
        return std::max(c.offerColumnWidth,
                        window->grdData->horizontalHeader()->sectionSizeHint(column));
    };
    for (int column = 5; column <= 9; ++column) {
        const bool shown =
            std::count(c.offerColumnsShown.begin(), c.offerColumnsShown.end(), column) > 0;
        EXPECT_EQ(window->grdData->isColumnHidden(column), !shown) << "column " << column;
        if (shown) {
            EXPECT_EQ(window->grdData->columnWidth(column), offerColumnWidth(column));
        }
    }
    EXPECT_FALSE(window->grdData->isColumnHidden(4));
    EXPECT_EQ(window->grdData->columnWidth(4), offerColumnWidth(4));
    for (std::size_t panel = 0; panel < 4; ++panel)
        EXPECT_EQ(!window->pnlInfo[panel]->isHidden(), c.infoPanels[panel]) << "panel " << panel;
    for (int k = 1; k <= 8; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        EXPECT_EQ(!window->edtInfo[i]->isHidden(), k <= c.shownInfoFields) << "info " << k;
        EXPECT_EQ(!window->lblInfo[i]->isHidden(), k <= c.shownInfoFields) << "info " << k;
    }
    EXPECT_EQ(window->pnlOferta->height(), c.offerPanelHeight);
    // The height the tender gives is the window's outer one, its frame included.
    EXPECT_EQ(window->frameGeometry().height(), c.windowHeight);
}

INSTANTIATE_TEST_SUITE_P(Tenders, MainWindowGeometry,
                         ::testing::Values(GeometryCase{"OnlyThePriceNoInfo",
                                                        0,
                                                        {0, 0, 0, 0, 0},
                                                        582,
                                                        {},
                                                        {false, false, false, false},
                                                        0,
                                                        61,
                                                        159 + 61 + 153},
                                           GeometryCase{"OneTextParameterThreeInfo",
                                                        3,
                                                        {2, 0, 1, 4, 0},
                                                        290,
                                                        {5},
                                                        {true, true, false, false},
                                                        3,
                                                        61,
                                                        159 + 100 + 61 + 153},
                                           GeometryCase{"TextAndNumberParameters",
                                                        2,
                                                        {2, 3, 0, 0, 0},
                                                        193,
                                                        {5, 6},
                                                        {true, false, false, false},
                                                        2,
                                                        61,
                                                        159 + 50 + 61 + 153},
                                           GeometryCase{"SecondRowOfOfferFrames",
                                                        5,
                                                        {0, 0, 3, 0, 0},
                                                        290,
                                                        {7},
                                                        {true, true, true, false},
                                                        5,
                                                        110,
                                                        159 + 150 + 110 + 153},
                                           GeometryCase{"EverythingInUse",
                                                        8,
                                                        {2, 3, 3, 2, 3},
                                                        96,
                                                        {5, 6, 7, 8, 9},
                                                        {true, true, true, true},
                                                        8,
                                                        110,
                                                        622}),
                         [](const ::testing::TestParamInfo<GeometryCase>& tender) {
                             return tender.param.name;
                         });

TEST_F(MainWindow, ATextParameterShowsItsTextColumn) {
    folder.writeSample({{"PP2_TIP", std::int64_t{2}}, {"PP3_TIP", std::int64_t{3}}});
    start();
    auto& model = static_cast<DatasetTableModel&>(*window->grdData->model());
    EXPECT_EQ(model.column(5).field, QStringLiteral("PP2_TEXT"));
    EXPECT_EQ(model.column(6).field, QStringLiteral("PP3_NUMBER"));
}

TEST_F(MainWindow, TheTitleNamesTenderAndCompany) {
    folder.writeSample({{"IME_NA_FIRMATA", std::string("Медика ООД")},
                        {"IME_NA_KONKURSA", std::string("Консумативи")}});
    start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ТЕНДИРО  (Велдора, Консумативи, Медика ООД)"));
    EXPECT_EQ(applicationTitle(), window->windowTitle());
    // Qt appends a display name that has been set to every window title; none may be set.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(MainWindow, TheTitleKeepsItsFrameWhenTheNamesAreEmpty) {
    folder.writeSample(
        {{"IME_NA_FIRMATA", std::monostate{}}, {"IME_NA_KONKURSA", std::monostate{}}});
    start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ТЕНДИРО  (Велдора, , )"));
}

TEST_F(MainWindow, AReadOnlyFileIsMadeWritableWithItsOtherPermissionsKept) {
    const QString file = folder.writeSample();
    const QFileDevice::Permissions readOnly =
        QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    start();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(QFile::permissions(file) &
                  ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              readOnly | QFileDevice::WriteOwner);
}

// The program runs as the user nobody while it opens the file, so that the file is truly not
// theirs to write: permission bits alone do not stop root.
class AsUserWhoMayNotWrite {
public:
    AsUserWhoMayNotWrite() : switched_(::geteuid() == 0 && ::seteuid(kNobody) == 0) {}
    ~AsUserWhoMayNotWrite() {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    bool switched() const { return switched_; }

private:
    static constexpr uid_t kNobody = 65534;
    bool switched_;
};

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A tender the bidder may not write is opened read-only: it shows, checks and exports as any
// other, and every way of typing into it is refused with what to do, the file left untouched.
TEST_F(MainWindow, ATenderTheUserMayNotWriteOpensReadOnlyAndRefusesTyping) {
    const QString file = folder.write(
        {{"SPECS",
          {{{"IME_NA_FIRMATA", "Medix OOD"},
            {"IME_NA_KONKURSA", "Konsumativi"},
            {"PP1_IME", "Ед. цена"},
            {"PP1_RAZRYAD", 2},
            {"PP1_OFERTA", 2},
            {"CAPTION_NOMER", "№"}}}},
         {"PREDLOGENIA",
          {{{"PRODUCT_CODE", 10}, {"CUSTOM_CODE", "1"}, {"IME", "Igli"}, {"PP2_TEXT", "Да"}},
           {{"PRODUCT_CODE", 11},
            {"MASTER_CODE", 10},
            {"CUSTOM_CODE", "1"},
            {"IME", "Igla"},
            {"PP1_NUMBER", 2.5}}}}});
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
    ASSERT_TRUE(QFile::setPermissions(
        folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                           QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                           QFileDevice::ExeOther));
    const QByteArray before = contentOf(file);
    {
        const AsUserWhoMayNotWrite nobody;
        if (!nobody.switched())
            GTEST_SKIP() << "needs root to run as a user who may not write the file";
        start();
    }
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'|').toStdString();
    EXPECT_TRUE(window->Connection.readOnly());
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Medix OOD")));

    const auto expectRefused = [&](const char* what, const std::function<void()>& typing) {
        SCOPED_TRACE(what);
        dialogs.asked.clear();
        typing();
        ASSERT_EQ(dialogs.errors().size(), 1) << dialogs.errors().join(u'|').toStdString();
        EXPECT_TRUE(dialogs.errors().front().contains(QStringLiteral("само за четене")));
        EXPECT_TRUE(
            dialogs.errors().front().contains(QStringLiteral("копирайте файла в своя папка")));
        EXPECT_EQ(dialogs.texts(Kind::OpenFile), QStringList());
        EXPECT_EQ(window->qrySpecs->state(), State::Browse);
        EXPECT_EQ(window->qryData->state(), State::Browse);
    };
    expectRefused("the company name", [&] {
        window->edtfirma->setFocus();
        QTest::keyClick(window->edtfirma, Qt::Key_X);
    });
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("Medix OOD"));
    expectRefused("the VAT choice", [&] { QTest::mouseClick(window->chk1, Qt::LeftButton); });
    EXPECT_FALSE(window->chk1->isChecked());
    expectRefused("the price", [&] {
        window->pcMain->setCurrentWidget(window->tsEdit);
        window->frmParameter[0]->edtParam->selectAll();
        QTest::keyClick(window->frmParameter[0]->edtParam, Qt::Key_7);
    });
    EXPECT_EQ(window->frmParameter[0]->edtParam->text(), QLocale::system().toString(2.5, 'f', 2));
    expectRefused("the withdrawal", [&] {
        window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
        dialogs.confirmAnswers = {true};
        guard.run([&] { window->btnOtkazUchastieClick(); });
    });
    expectRefused("the import",
                  [&] { guard.run([&] { window->tsObosobeniPozicii->btnImportClick(); }); });

    // Checked and exported all the same.
    dialogs.asked.clear();
    EXPECT_TRUE(window->findOfferProblems().empty());
    fixture::TenderFolder elsewhere;
    const QString offer = elsewhere.file(QStringLiteral("offer.xml"));
    dialogs.offerTypeAnswers = {2};
    dialogs.saveFileAnswers = {offer};
    window->ExportXML();
    EXPECT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'|').toStdString();
    EXPECT_TRUE(QFile::exists(offer));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(contentOf(file), before);
}

TEST_F(MainWindow, OpensTheTenderOfTheWorkingDirectoryNotOfTheProgramsFolder) {
    folder.writeSample({{"IME_NA_KONKURSA", std::string("От работната папка")}});
    ASSERT_NE(QDir(folder.path()).canonicalPath(),
              QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    start();
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("От работната папка")));
}

TEST_F(MainWindow, ChangingPagesStoresTheTenderRecord) {
    const QString file = folder.writeSample();
    start();
    window->qrySpecs->edit();
    window->qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA"))
        .setValue(QStringLiteral("Фирма"));
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    EXPECT_EQ(window->qrySpecs->state(), State::Browse);
    EXPECT_EQ(fixture::readColumn(file, "SPECS", {}, {}, "IME_NA_FIRMATA"),
              jet::Value(std::string("Фирма")));
}

TEST_F(MainWindow, ClosingStoresThePositionAndTheTenderBeingEdited) {
    const QString file = folder.writeSample();
    start();
    // A company name still being typed into a bound edit.
    auto* edit = new QLineEdit(window->tsInfo);
    new FieldEditBinding(*edit, *window->dsSpecs, QStringLiteral("IME_NA_FIRMATA"), guard);
    edit->show();
    QTest::keyClicks(edit, QStringLiteral("Medika"));
    EXPECT_EQ(window->qrySpecs->state(), State::Edit);
    // A price entered for the current position of lot 1.
    window->qryData->close();
    window->qryData->setParameter(QStringLiteral("MASTER_CODE"), 1);
    window->qryData->open();
    const jet::Value product =
        window->qryData->fieldByName(QStringLiteral("PRODUCT_CODE")).asInteger();
    window->qryData->edit();
    window->qryData->fieldByName(QStringLiteral("PP1_NUMBER")).setValue(4.5);

    QTest::mouseClick(window->btnExit, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
    EXPECT_EQ(fixture::readColumn(file, "SPECS", {}, {}, "IME_NA_FIRMATA"),
              jet::Value(std::string("Medika")));
    EXPECT_EQ(fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", product, "PP1_NUMBER"),
              jet::Value(4.5));
}

TEST_F(MainWindow, TextTypedForOneRecordIsNeverHandedToAnother) {
    folder.writeSample();
    start();
    data::Dataset& positions = *window->qryData;
    positions.close();
    positions.setParameter(QStringLiteral("MASTER_CODE"), 1);
    positions.open();
    auto* edit = new QLineEdit(window->tsEdit);
    new FieldEditBinding(*edit, *window->dsData, QStringLiteral("PP3_TEXT"), guard);
    edit->show();
    QTest::keyClicks(edit, QStringLiteral("Stale"));
    ASSERT_EQ(positions.state(), State::Edit);

    positions.close(); // another lot becomes current: the typed text is dropped
    positions.setParameter(QStringLiteral("MASTER_CODE"), 9);
    positions.open();
    EXPECT_EQ(edit->text(), QString());
    emit edit->editingFinished(); // the focus leaves the edit
    EXPECT_EQ(positions.state(), State::Browse);
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
}

TEST_F(MainWindow, TheGridFollowsTheCurrentPositionAndMovesIt) {
    folder.writeSample();
    start();
    data::Dataset& positions = *window->qryData;
    positions.close();
    positions.setParameter(QStringLiteral("MASTER_CODE"), 1);
    positions.open();
    QTableView& grid = *window->grdData;
    const QAbstractItemModel& model = *grid.model();
    ASSERT_EQ(model.rowCount(), 7);
    EXPECT_EQ(model.index(0, 2).data().toString(), QStringLiteral("60 000"));
    EXPECT_EQ(model.index(0, 4).data().toString(), QStringLiteral("0.08"));
    const auto alignment = [&](int column) {
        return model.index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(4), Qt::AlignRight);
    EXPECT_EQ(alignment(5), Qt::AlignLeft); // PP2_TEXT, a text parameter in the sample
    EXPECT_EQ(grid.currentIndex().row(), 0);

    positions.next();
    EXPECT_EQ(grid.currentIndex().row(), 1);
    grid.setCurrentIndex(model.index(4, 0)); // the bidder picks a row
    EXPECT_EQ(positions.recNo(), 4);

    positions.beforePost = [](data::Dataset&) {
        throw data::Error(QStringLiteral("Не е въведена цена."));
    };
    positions.edit();
    grid.setCurrentIndex(model.index(2, 0));
    EXPECT_EQ(dialogs.errors(), QStringList{QStringLiteral("Не е въведена цена.")});
    EXPECT_EQ(positions.recNo(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 4);
    EXPECT_EQ(positions.state(), State::Edit);
}

TEST_F(MainWindow, ClosingIsRefusedWhileThePositionFailsItsCheck) {
    const QString file = folder.writeSample();
    start();
    window->qryData->close();
    window->qryData->setParameter(QStringLiteral("MASTER_CODE"), 1);
    window->qryData->open();
    window->qryData->beforePost = [](data::Dataset& dataset) {
        if (dataset.fieldByName(QStringLiteral("PP1_NUMBER")).asFloat() <= 0)
            throw data::Error(QStringLiteral("Не е въведена цена.\r\n"));
    };
    const jet::Value product =
        window->qryData->fieldByName(QStringLiteral("PRODUCT_CODE")).asInteger();
    window->qryData->edit();
    window->qryData->fieldByName(QStringLiteral("PP1_NUMBER")).clear();

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dialogs.errors(), QStringList{QStringLiteral("Не е въведена цена.\r\n")});
    EXPECT_EQ(window->qryData->state(), State::Edit);
    EXPECT_EQ(window->qryData->recNo(), 0);
    EXPECT_EQ(fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", product, "PP1_NUMBER"),
              jet::Value(0.08));
}

TEST_F(MainWindow, AnEmptyTenderRecordShowsNoParametersAndEmptyNames) {
    nlohmann::json description = fixture::TenderFolder::sample();
    description["SPECS"] = nlohmann::json::array();
    folder.write(description);
    start();
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ТЕНДИРО  (Велдора, , )"));
    for (TfrmParameter* frame : window->frmKParam)
        EXPECT_TRUE(frame->isHidden());
    EXPECT_FALSE(window->frmParameter[0]->isHidden()); // the price is always asked for
    for (std::size_t n = 1; n < 6; ++n)
        EXPECT_TRUE(window->frmParameter[n]->isHidden());
    EXPECT_EQ(window->grdData->columnWidth(4), 582);
    EXPECT_EQ(window->frameGeometry().height(), 373);
}

TEST_F(MainWindow, AMissingColumnShowsTheFieldErrorAndTheWindowStillCloses) {
    folder.write(fixture::TenderFolder::sample(), {{}, {"SPECS.CAPTION_NOMER"}, {}, {}});
    start();
    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("qrySpecs: Полето 'CAPTION_NOMER' не е намерено")});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->qrySpecs->active());
    EXPECT_EQ(window->windowTitle(), QString()); // the remaining steps were skipped
    EXPECT_TRUE(window->close());
}

// Without a tender to open there is nothing to show: one message, no main window (the program
// then ends), and the modules that need no tender are made all the same.
TEST(StartUp, WithoutATenderFileTellsOnceAndMakesNoMainWindow) {
    const std::pair<const char*, QByteArray> files[] = {
        {"missing", {}},
        {"a text file", "Оферта за търга\n"},
    };
    for (const auto& [what, content] : files) {
        SCOPED_TRACE(what);
        fixture::TenderFolder folder;
        if (!content.isNull()) {
            QFile text(folder.file());
            ASSERT_TRUE(text.open(QIODevice::WriteOnly));
            text.write(content);
        }
        WorkingDirectory here(folder.path());
        ScriptedDialogs dialogs;
        ErrorGuard guard(dialogs);
        ClientModules modules = createModules(guard);
        EXPECT_EQ(modules.fmMain, nullptr);
        ASSERT_EQ(dialogs.errors().size(), 1);
        EXPECT_TRUE(dialogs.errors().front().contains(QStringLiteral("DB.mdb")))
            << dialogs.errors().front().toStdString();
        EXPECT_NE(modules.fmHelp, nullptr);
        EXPECT_NE(modules.fmSelectReport, nullptr);
        EXPECT_NE(modules.dmMain, nullptr);
        EXPECT_FALSE(modules.fmHelp->isVisible());
    }
}

TEST(ErrorGuard, ShowsTheErrorAndLetsTheProgramGoOn) {
    ScriptedDialogs dialogs;
    ErrorGuard guard(dialogs);
    EXPECT_TRUE(guard.run([] {}));
    EXPECT_FALSE(guard.run([] { throw data::Error(QStringLiteral("Грешка в данните")); }));
    EXPECT_FALSE(guard.run([] { throw 42; }));
    EXPECT_EQ(dialogs.errors(), (QStringList{QStringLiteral("Грешка в данните"),
                                             QStringLiteral("Неочаквана грешка.")}));
}

} // namespace
