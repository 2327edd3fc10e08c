// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"

#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/dMain.h"
#include "export/offer_check.h"
#include "export/offer_export.h"
#include "offer/dataset_rules.h"
#include "offer/offer_check_window.h"
#include "offer/position_keys.h"
#include "print/builtin_layouts.h"
#include "print/dReports.h"
#include "print/fHelp.h"
#include "print/report_source.h"
#include "report/report.h"
#include "ui/application_title.h"
#include "ui/captions.h"
#include "ui/dataset_table_model.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"
#include "ui/frParameter.h"
#include "ui/opening_progress.h"
#include "ui/validating_edit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kWindowBelowOfferPanel = 153;

QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

// The first control of `page` that the Tab key would reach.
void focusFirstControl(QWidget& page) {
    if (page.focusProxy() != nullptr) {
        page.setFocus(Qt::TabFocusReason);
        return;
    }
    for (QWidget* control = page.nextInFocusChain(); page.isAncestorOf(control);
         control = control->nextInFocusChain()) {
        if ((control->focusPolicy() & Qt::TabFocus) != 0 && control->isVisibleTo(&page) &&
            control->isEnabled()) {
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// The number of the parameter whose value `column` holds: 3 for "PP3_NUMBER", 2 for
// "KP2_TEXT"; 0 for a column of no parameter.
int parameterNumber(const QString& column) {
    static const QRegularExpression parameterColumn(QStringLiteral("^[KP]P([1-6])_"));
    const QRegularExpressionMatch match = parameterColumn.match(column);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

TfmMain::TfmMain(ErrorGuard& guard)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      qrySpecsInit(data::makeQrySpecsInit(Connection)), qrySpecs(data::makeQrySpecs(Connection)),
      qryObosobeniPozicii(data::makeQryObosobeniPozicii(Connection)),
      qryData(data::makeQryData(Connection)), dsSpecs(new data::DataSource(*qrySpecs, this)),
      dsData(new data::DataSource(*qryData, this)),
      dsObosobeniPozcii(new data::DataSource(*qryObosobeniPozicii, this)),
      dsReportSpecs(
          std::make_unique<DatasetReportSource>(QStringLiteral("dsReportSpecs"), *qrySpecs)),
      dsReportData(std::make_unique<DatasetReportSource>(QStringLiteral("dsReportData"), *qryData)),
      dsReportOP(std::make_unique<DatasetReportSource>(QStringLiteral("dsReportOP"),
                                                       *qryObosobeniPozicii)),
      rptReport(std::make_unique<report::Report>()), rptReport2(std::make_unique<report::Report>()),
      rptReportAll(std::make_unique<report::Report>()), guard_(guard) {
    setObjectName(QStringLiteral("fmMain"));
    offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // Without a tender there is nothing to show: the failure ends the window's creation, before
    // a control is made, and with it the program.
    FormCreate();

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createPages();
    createBottomPanel();
    connectPages();
    layout->addWidget(pcMain);
    layout->addWidget(pnlBottom);
    setCentralWidget(client);

    setFixedSize(1009, 590);
    centreOnScreen();

    connect(pcMain, &QTabWidget::currentChanged, this, &TfmMain::pageChosen);
    pcMain->tabBar()->installEventFilter(this);
    connect(btnExit, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnExitClick(); }); });
    connect(btnPrint, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnPrintClick(); }); });
    connect(btn1, &QPushButton::clicked, this, [this] { guard_.run([this] { btn1Click(); }); });
    rptReport->setModel(layouts::lotPriceOffer());
    rptReport2->setModel(layouts::offerWithNotes());
    rptReportAll->setModel(layouts::offerWithPriceAndNotes());
    connect(btnExport, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnExportClick(); }); });
}

TfmMain::~TfmMain() {
    // Pages, grids and bound controls read the datasets to their end, so they go first: the
    // datasets, being members, would otherwise die before the window's children.
    delete takeCentralWidget();
}

void TfmMain::FormCreate() {
    Connection.open(data::Connection::databasePath());
    data::checkIsTender(Connection);
}

void TfmMain::createPages() {
    pcMain = new QTabWidget(this);
    tsInfo = createInfoPage();
    tsObosobeniPozicii = new offer::LotsPage(*qryObosobeniPozicii, *qryData, guard_);
    tsGrid = new offer::PositionsPage(*qryData, guard_);
    tsEdit = new offer::EditPage(*dsData, guard_);
    pcMain->addTab(tsInfo, QStringLiteral("Данни за фирмата"));
    pcMain->addTab(tsObosobeniPozicii, QStringLiteral("Обособени позиции"));
    pcMain->addTab(tsGrid, QStringLiteral("Предложения"));
    pcMain->addTab(tsEdit, QStringLiteral("Редактиране"));
    previousPage_ = pcMain->currentWidget();
    nameTheControlsOfThePages();
}

void TfmMain::nameTheControlsOfThePages() {
    grdObPoz = tsObosobeniPozicii->grdObPoz;
    grdObPozModel = tsObosobeniPozicii->grdObPozModel;
    btnUchastie = tsObosobeniPozicii->btnUchastie;
    btnOtkazUchastie = tsObosobeniPozicii->btnOtkazUchastie;
    grdData = tsGrid->grdData;
    grdDataModel = tsGrid->grdDataModel;
    pnlSpec = tsEdit->pnlSpec;
    lblCaptionKod = tsEdit->lblCaptionKod;
    lblCaptionProduct = tsEdit->lblCaptionProduct;
    lblCaptionGodPotreblenie = tsEdit->lblCaptionGodPotreblenie;
    lblMaxCena = tsEdit->lblMaxCena;
    edtKod = tsEdit->edtKod;
    edtMeranEd = tsEdit->edtMeranEd;
    edtGodProtr = tsEdit->edtGodProtr;
    mmoIME = tsEdit->mmoIME;
    pnlInfo = tsEdit->pnlInfo;
    lblInfo = tsEdit->lblInfo;
    edtInfo = tsEdit->edtInfo;
    pnlOferta = tsEdit->pnlOferta;
    frmParameter = tsEdit->frmParameter;
    btnUp = tsEdit->btnUp;
    btnDown = tsEdit->btnDown;
    edtGoTo = tsEdit->edtGoTo;
    btnGoTo = tsEdit->btnGoTo;
}

void TfmMain::createBottomPanel() {
    pnlBottom = new QFrame(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(40);
    btnPrint = new QPushButton(QStringLiteral("Печат"), pnlBottom);
    btnPrint->setToolTip(QStringLiteral("Разпечатване..."));
    btnExport = new QPushButton(QStringLiteral("Генериране на изх. файл"), pnlBottom);
    btn1 = new QPushButton(QStringLiteral("Помощ"), pnlBottom);
    // F1, where every desktop program keeps its help.
    btn1->setShortcut(QKeySequence::HelpContents);
    btnExit = new QPushButton(QStringLiteral("Изход"), pnlBottom);
    auto* layout = new QHBoxLayout(pnlBottom);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(btnPrint);
    layout->addWidget(btnExport);
    layout->addStretch();
    layout->addWidget(btn1);
    layout->addWidget(btnExit);
}

void TfmMain::connectPages() {
    tsObosobeniPozicii->follow(
        {pcMain, tsGrid, tsEdit, btnPrint, btnExport, &Connection, qrySpecs.get()});
    connect(tsGrid, &offer::PositionsPage::editRequested, this, &TfmMain::grdDataDblClick);
    connect(tsEdit, &offer::EditPage::focusLeft, this, [this](QWidget* now) {
        // A control outside the pages, such as a button below them. While another page is being
        // chosen the page is hidden first and the focus passes on to whatever control follows,
        // a button below the pages included; the page control reports that change on its own,
        // and leaving is tried once for it, not twice.
        if (pcMain->currentWidget() != tsEdit || !tsEdit->isVisible() || pcMain->isAncestorOf(now))
            return;
        leaveEditPage();
        if (onEditPage_)
            tsEdit->restoreFocus();
    });
    connect(tsEdit, &offer::EditPage::focusEntered, this, [this] { onEditPage_ = true; });
    connect(tsObosobeniPozicii, &offer::LotsPage::offerCheckRequested, this,
            [this] { guard_.run([this] { btnProverkaClick(); }); });
    connect(tsObosobeniPozicii, &offer::LotsPage::offerCarried, this,
            [this](const QString& stored, const std::vector<offercheck::Problem>& left) {
                carryStored_ = stored;
                carryLeftToLookAt_ = left;
                guard_.run([this] { btnProverkaClick(); });
            });

    // Every page is reachable from the keyboard, wherever the focus is in the window.
    const auto pageKeys = [this](QKeySequence keys, int step) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this,
                [this, step] { choosePageBeside(step); });
    };
    pageKeys(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
    pageKeys(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
    pageKeys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
    // X servers differ in whether Shift turns the Tab key into Backtab.
    pageKeys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1);
    pageKeys(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);

    // Escape drops the changes of the record not yet stored, as data-aware forms do: the stored
    // values come back and nothing is written, so a half-typed position never holds the bidder.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { cancelPendingEdit(); });
}

void TfmMain::cancelPendingEdit() {
    data::Dataset& record = pcMain->currentWidget() == tsInfo ? *qrySpecs : *qryData;
    if (record.state() != data::Dataset::State::Edit)
        return;
    record.cancel();
    // The company name taken back was already in the title.
    if (&record == qrySpecs.get())
        UpdateCaption();
}

bool TfmMain::mayLeaveEditPage() {
    if (pcMain->currentWidget() != tsEdit)
        return true;
    leaveEditPage();
    if (!onEditPage_)
        return true;
    tsEdit->restoreFocus();
    return false;
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    // A click on another tab is a page change like the keys': the edit page is left first.
    if (watched == pcMain->tabBar() && event->type() == QEvent::MouseButtonPress) {
        const int tab =
            pcMain->tabBar()->tabAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (tab >= 0 && tab != pcMain->currentIndex() && pcMain->isTabEnabled(tab) &&
            !mayLeaveEditPage())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfmMain::choosePageBeside(int step) {
    // The edit page is left before another page shows, so that a refusal is read over the page
    // it concerns and the bidder goes on typing where they were.
    if (!mayLeaveEditPage())
        return;
    const int count = pcMain->count();
    const int from = pcMain->currentIndex();
    int index = from;
    do
        index = (index + step + count) % count;
    while (index != from && !pcMain->isTabEnabled(index));
    if (index == from)
        return;
    pcMain->setCurrentIndex(index);
    focusFirstControl(*pcMain->currentWidget());
}

void TfmMain::pageChosen(int index) {
    QWidget* page = pcMain->widget(index);
    if (previousPage_ == tsEdit && page != tsEdit) {
        leaveEditPage();
        if (onEditPage_) {
            // The position could not be stored: the bidder stays with it, the values typed and
            // the input being edited.
            pcMain->setCurrentWidget(tsEdit);
            tsEdit->restoreFocus();
            return;
        }
    }
    previousPage_ = page;
    if (page == tsEdit)
        onEditPage_ = true;
    guard_.run([this] { pcMainChange(); });
}

void TfmMain::leaveEditPage() {
    leaveRefused_ = false;
    if (!onEditPage_)
        return;
    onEditPage_ = false;
    if (!guard_.run([this] { tsEditExit(); })) {
        onEditPage_ = true;
        leaveRefused_ = true;
    }
}

void TfmMain::tsEditExit() {
    offer::storeEditedPosition(*qryData);
    tsObosobeniPozicii->rereadOnCurrentLot();
}

void TfmMain::btnProverkaClick() {
    if (fmProverka == nullptr)
        fmProverka = new offer::OfferCheckWindow(
            [this] { return findOfferProblems(); },
            [this](const offercheck::Problem& problem) { goToProblem(problem); }, guard_, this);
    fmProverka->setNote(carryStored_);
    fmProverka->btnObnoviClick();
    fmProverka->show();
    fmProverka->raise();
    fmProverka->activateWindow();
}

std::vector<offercheck::Problem> TfmMain::findOfferProblems() {
    offer::storeEditedPosition(*qryData);
    std::vector<offercheck::Problem> problems =
        offercheck::offerProblems(*qrySpecs, Connection, &offer::PoziciaIsFill);
    problems.insert(problems.end(), carryLeftToLookAt_.begin(), carryLeftToLookAt_.end());
    return problems;
}

void TfmMain::goToProblem(const offercheck::Problem& problem) {
    raise();
    activateWindow();
    if (problem.where == offercheck::Where::File)
        return; // nothing on screen corrects a damaged file
    if (problem.where == offercheck::Where::Tender) {
        pcMain->setCurrentWidget(tsInfo);
        if (pcMain->currentWidget() != tsInfo)
            return; // held on the edit page: the position being edited was refused
        const int parameter = parameterNumber(problem.column);
        QWidget* input = parameter >= 1 && parameter <= 4
                             ? frmKParam[static_cast<std::size_t>(parameter - 1)]->edtParam
                             : edtfirma;
        (input->isVisibleTo(tsInfo) ? input : edtfirma)->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The change of lot stores the position being edited, or stays with it when it is refused.
    if (pcMain->currentWidget() == tsEdit) {
        leaveEditPage();
        if (onEditPage_)
            return;
    }
    const auto showLot = [this] {
        pcMain->setCurrentWidget(tsObosobeniPozicii);
        grdObPoz->setFocus(Qt::OtherFocusReason);
    };
    if (!qryObosobeniPozicii->locate(QStringLiteral("PRODUCT_CODE"), problem.lot)) {
        guard_.dialogs().warning(
            QStringLiteral("Не е намерена обособена позиция №%1.").arg(problem.lotCode));
        return;
    }
    // A lot's own problem, or a lot no longer taken part in, is shown on the lots page.
    if (problem.where == offercheck::Where::Lot || !pcMain->isTabEnabled(pcMain->indexOf(tsEdit))) {
        showLot();
        return;
    }
    if (!qryData->locate(QStringLiteral("PRODUCT_CODE"), problem.position)) {
        guard_.dialogs().warning(QStringLiteral("Не е намерена позицията."));
        showLot();
        return;
    }
    pcMain->setCurrentWidget(tsEdit);
    onEditPage_ = true;
    previousPage_ = tsEdit;
    const int parameter = parameterNumber(problem.column);
    QWidget* input = parameter >= 1 && parameter <= 6
                         ? frmParameter[static_cast<std::size_t>(parameter - 1)]->edtParam
                         : nullptr;
    // A limit on a parameter the tender does not use has no input to correct it in.
    if (input != nullptr && input->isVisibleTo(tsEdit))
        input->setFocus(Qt::OtherFocusReason);
    else
        focusFirstControl(*tsEdit);
}

void TfmMain::RefreshPozicii() {
    tsObosobeniPozicii->RefreshPozicii();
}

bool TfmMain::PoziciaIsFill() const {
    return offer::PoziciaIsFill(*qryData);
}

void TfmMain::btnUchastieClick() {
    tsObosobeniPozicii->btnUchastieClick();
}

void TfmMain::btnOtkazUchastieClick() {
    tsObosobeniPozicii->btnOtkazUchastieClick();
}

void TfmMain::grdObPozDblClick() {
    tsObosobeniPozicii->grdObPozDblClick();
}

void TfmMain::grdDataDblClick() {
    pcMain->setCurrentWidget(tsEdit);
}

void TfmMain::UpdateNavButtons() {
    tsEdit->UpdateNavButtons();
}

void TfmMain::btnUpClick() {
    tsEdit->btnUpClick();
}

void TfmMain::btnDownClick() {
    tsEdit->btnDownClick();
}

void TfmMain::btnGoToClick() {
    tsEdit->btnGoToClick();
}

void TfmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guard_.run([this] { FormShow(); });
}

void TfmMain::FormShow() {
    pcMain->setCurrentWidget(tsInfo);

    qrySpecsInit->open();
    qrySpecsInit->first();
    for (int n = 1; n <= 4; ++n) {
        const data::Dataset& init = *qrySpecsInit;
        frmKParam[static_cast<std::size_t>(n - 1)]->InitFrame(
            *dsSpecs, static_cast<int>(init.fieldByName(numbered("KP%1_TIP", n)).asInteger()),
            static_cast<int>(init.fieldByName(numbered("KP%1_RAZRYAD", n)).asInteger()),
            numbered("KP%1_", n), init.fieldByName(numbered("KP%1_IME", n)).asString());
    }
    qrySpecsInit->close();

    qrySpecs->open();
    tsEdit->setUpOfferFrames(*qrySpecs);

    {
        // The lots sum every position of the tender, which takes a while on a big one.
        OpeningProgress progress(*qryObosobeniPozicii, this);
        qryObosobeniPozicii->open();
    }
    qryData->open();

    tsEdit->setCaptions(*qrySpecs);
    tsGrid->setUpColumns(*qrySpecs);
    grdObPozModel->setColumnTitle(0,
                                  qrySpecs->fieldByName(QStringLiteral("CAPTION_NOMER")).asString(),
                                  nameForUncaptioned(QStringLiteral("CAPTION_NOMER")));
    tsEdit->setUpInfoRows(*qrySpecs);
    underlineCaptions(*tsInfo);
    underlineCaptions(*tsEdit);
    fitHeightToOfferPanel();
    UpdateCaption();
}

void TfmMain::fitHeightToOfferPanel() {
    outerHeight_ = tsEdit->fitOfferPanel() + kWindowBelowOfferPanel;
    keepOuterHeight();
    centreOnScreen();
}

void TfmMain::keepOuterHeight() {
    // The height is the window's outer one; the frame, known once the window has one, is not
    // the pages'.
    if (outerHeight_ == 0)
        return;
    const int inner = outerHeight_ - (frameGeometry().height() - height());
    if (inner != height())
        setFixedHeight(inner);
}

void TfmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // A window manager frames the window after it is shown, and moves it to make room.
    keepOuterHeight();
}

void TfmMain::centreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfmMain::UpdateCaption() {
    const QString title =
        QStringLiteral("ТЕНДИРО  (Велдора, ") +
        qrySpecs->fieldByName(QStringLiteral("IME_NA_KONKURSA")).asString() + QStringLiteral(", ") +
        qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA")).asString() + QStringLiteral(")");
    setWindowTitle(title);
    setApplicationTitle(title);
}

void TfmMain::pcMainChange() {
    if (qrySpecs->state() == data::Dataset::State::Edit)
        qrySpecs->post();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (guard_.run([this] { FormClose(); })) {
        event->accept();
        if (fmProverka != nullptr)
            fmProverka->close();
    } else {
        event->ignore();
    }
}

void TfmMain::FormClose() {
    // A window whose datasets never opened (start-up failed) has nothing to store and closes.
    if (qryData->active())
        qryData->next();
    btnExit->setFocus();
    if (qrySpecs->state() == data::Dataset::State::Edit)
        qrySpecs->post();
}

void TfmMain::btnExitClick() {
    if (leaveRefused_)
        return;
    close();
}

void TfmMain::btnPrintClick() {
    if (leaveRefused_)
        return;
    offer::storeEditedRecords(*qrySpecs, *qryData);
    const QString problems = TdmMain::IsKonkOK(*qrySpecs);
    if (!problems.isEmpty()) {
        guard_.dialogs().error(
            QStringLiteral("Необходимо е данните за фирмата да са попълнени коректно:\n\r\n\r") +
            problems);
        // The company page comes to the front without the page change handler; the lots are
        // read again as leaving the edit page does.
        leaveEditPage();
        if (onEditPage_)
            return;
        const QSignalBlocker quiet(pcMain);
        pcMain->setCurrentWidget(tsInfo);
        previousPage_ = tsInfo;
        return;
    }
    refuseUntypableValues(
        {*qrySpecs, *qryObosobeniPozicii, *qryData, [this] { return PoziciaIsFill(); }},
        QLocale::system().decimalPoint(), OfferOutput::Print);
    if (dmReports != nullptr)
        dmReports->PrintObshtestvenaPorachka();
}

void TfmMain::btn1Click() {
    if (fmHelp != nullptr)
        fmHelp->ShowHelp(guard_.dialogs());
}

void TfmMain::btnExportClick() {
    if (leaveRefused_)
        return;
    ExportXML();
}

int TfmMain::ExportXML() {
    // An offer never holds a value the tender file does not: what is being edited is stored,
    // through its check, before anything is read.
    offer::storeEditedRecords(*qrySpecs, *qryData);
    OfferExport(guard_.dialogs()).ExportXML({*qrySpecs, *qryObosobeniPozicii, *qryData, [this] {
                                                 return PoziciaIsFill();
                                             }});
    return 0;
}

void TfmMain::SaveFile(const QString& FileName, const QString& content) {
    OfferExport(guard_.dialogs()).SaveFile(FileName, content);
}
