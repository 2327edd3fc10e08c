#include "app/Main.h"

#include "app/dataset_table_model.h"
#include "app/error_guard.h"
#include "app/frParameter.h"
#include "app/opening_progress.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "offer/dataset_rules.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QColor kTenderColour(0xFF, 0xE8, 0xEA); // the tender's read-only descriptions
const QColor kOfferColour(0xE9, 0xFE, 0xE7);  // what the bidder fills in
const QColor kTotalsColour(0xEC, 0xEC, 0xFF);
const QColor kParticipationColour(0xD7, 0xFB, 0xC8);

QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    return label;
}

QLineEdit* readOnlyEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setStyleSheet(QStringLiteral("background-color: #FFE8EA;"));
    return edit;
}

QPushButton* fixedWidthButton(const QString& caption, int width, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFixedWidth(width);
    return button;
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
      dsObosobeniPozcii(new data::DataSource(*qryObosobeniPozicii, this)), guard_(guard) {
    setObjectName(QStringLiteral("fmMain"));
    offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createPages();
    createBottomPanel();
    layout->addWidget(pcMain);
    layout->addWidget(pnlBottom);
    setCentralWidget(client);

    setFixedSize(1009, 590);
    centreOnScreen();

    connect(pcMain, &QTabWidget::currentChanged, this,
            [this] { guard_.run([this] { pcMainChange(); }); });
    connect(btnExit, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnExitClick(); }); });

    guard_.run([this] { FormCreate(); });
}

TfmMain::~TfmMain() {
    // Pages, grids and bound controls read the datasets to their end, so they go first: the
    // datasets, being members, would otherwise die before the window's children.
    delete takeCentralWidget();
    delete grdDataModel;
    delete grdObPozModel;
}

void TfmMain::FormCreate() {
    Connection.open(data::Connection::databasePath());
}

void TfmMain::createPages() {
    pcMain = new QTabWidget(this);
    tsInfo = createInfoPage();
    tsObosobeniPozicii = createLotsPage();
    tsGrid = createGridPage();
    tsEdit = createEditPage();
    pcMain->addTab(tsInfo, QStringLiteral("Данни за фирмата"));
    pcMain->addTab(tsObosobeniPozicii, QStringLiteral("Обособени позиции"));
    pcMain->addTab(tsGrid, QStringLiteral("Предложения"));
    pcMain->addTab(tsEdit, QStringLiteral("Редактиране"));
}

QWidget* TfmMain::createLotsPage() {
    auto* page = new QWidget;
    grdObPoz = new QTableView(page);
    grdObPozModel = new DatasetTableModel(
        *qryObosobeniPozicii,
        {
            {QStringLiteral("CUSTOM_CODE"), QStringLiteral("CUSTOM_CODE"), 70, kTenderColour},
            {QStringLiteral("IME"), QStringLiteral("Обособена позиция"), 414, kTenderColour},
            {QStringLiteral("PP2_TEXT"), QStringLiteral("Участие"), 61, kParticipationColour,
             Qt::AlignCenter},
            {QStringLiteral("_OBSHT_BROI_POZICII"), QStringLiteral("Общо поз."), 65, kTotalsColour},
            {QStringLiteral("_OFERIRANI_POZICII"), QStringLiteral("Офер. поз."), 65, kTotalsColour},
            {QStringLiteral("_STATUS"), QStringLiteral("Статус"), 256, kTotalsColour},
        },
        this);
    setUpDatasetGrid(*grdObPoz, *grdObPozModel, guard_);

    btnUchastie = fixedWidthButton(QStringLiteral("Деклариране участие за позицията"), 222, page);
    btnOtkazUchastie = fixedWidthButton(QStringLiteral("Отказ от участие за позицията"), 222, page);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnUchastie);
    buttons->addWidget(btnOtkazUchastie);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grdObPoz);
    layout->addLayout(buttons);
    return page;
}

QWidget* TfmMain::createGridPage() {
    auto* page = new QWidget;
    auto band = [page](const QString& text, int width) {
        auto* label = new QLabel(text, page);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setFixedSize(width, 18);
        return label;
    };
    auto* bands = new QHBoxLayout;
    bands->setSpacing(0);
    bands->addWidget(band(QStringLiteral("С П Е Ц И Ф И К А Ц И Я "), 355));
    bands->addWidget(band(QStringLiteral("О Ф Е Р Т А"), 585));
    bands->addStretch();

    std::vector<GridColumn> columns{
        {QStringLiteral("CUSTOM_CODE"), QStringLiteral("CUSTOM_CODE"), 57, kTenderColour},
        {QStringLiteral("IME"), QStringLiteral("Наименование"), 166, kTenderColour},
        {QStringLiteral("GODISHNO_POTREBLENIE"), QStringLiteral("Год. потр."), 63, kTenderColour},
        {QStringLiteral("MEASURE_IME"), QStringLiteral("Мярка"), 63, kTenderColour},
    };
    for (int n = 1; n <= 6; ++n)
        columns.push_back(
            {numbered("PP%1_NUMBER", n), numbered("PP%1_NUMBER", n), 96, kOfferColour});
    grdData = new QTableView(page);
    grdDataModel = new DatasetTableModel(*qryData, std::move(columns), this);
    setUpDatasetGrid(*grdData, *grdDataModel, guard_);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(bands);
    layout->addWidget(grdData);
    return page;
}

QFrame* TfmMain::createSpecPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("pnlSpec"));
    panel->setFixedHeight(159);
    heading(QStringLiteral("По спецификация:"), panel)->move(8, 2);
    auto captioned = [panel](QLabel*& label, QWidget* input, int left, int top, int width,
                             int height) {
        label = new QLabel(panel);
        label->setGeometry(left, top, width, 15);
        input->setGeometry(left, top + 16, width, height);
    };
    QLabel* lblMeranEd = nullptr;
    edtKod = readOnlyEdit(panel);
    captioned(lblCaptionKod, edtKod, 8, 20, 121, 21);
    edtMeranEd = readOnlyEdit(panel);
    captioned(lblMeranEd, edtMeranEd, 8, 59, 121, 21);
    lblMeranEd->setText(QStringLiteral("Мярка"));
    edtGodProtr = readOnlyEdit(panel);
    captioned(lblCaptionGodPotreblenie, edtGodProtr, 8, 98, 121, 21);
    mmoIME = new QPlainTextEdit(panel);
    mmoIME->setReadOnly(true);
    mmoIME->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoIME->setStyleSheet(QStringLiteral("background-color: #FFE8EA;"));
    captioned(lblCaptionProduct, mmoIME, 140, 20, 678, 119);
    // The maximum price is not shown to the bidder; its caption is kept with the others.
    lblMaxCena = new QLabel(panel);
    lblMaxCena->hide();
    return panel;
}

QFrame* TfmMain::createInfoPanel(int first) {
    auto* panel = new QFrame;
    panel->setObjectName(numbered("pnlInfo%1", first) + QString::number(first + 1));
    panel->setFixedHeight(50);
    for (int k = first; k <= first + 1; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const int left = k == first ? 8 : 480;
        lblInfo[i] = new QLabel(panel);
        lblInfo[i]->setObjectName(numbered("lblInfo%1", k));
        lblInfo[i]->setGeometry(left, 4, 464, 15);
        edtInfo[i] = readOnlyEdit(panel);
        edtInfo[i]->setObjectName(numbered("edtInfo%1", k));
        edtInfo[i]->setGeometry(left, 20, 464, 21);
    }
    return panel;
}

QFrame* TfmMain::createOfferPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("pnlOferta"));
    panel->setFixedHeight(110);
    heading(QStringLiteral("Оферта:"), panel)->move(8, 2);
    for (std::size_t i = 0; i < frmParameter.size(); ++i) {
        frmParameter[i] = new TfrmParameter(guard_, panel);
        frmParameter[i]->setObjectName(numbered("frmParameter%1", static_cast<int>(i) + 1));
        const int column = static_cast<int>(i % 3);
        const int row = static_cast<int>(i / 3);
        frmParameter[i]->setGeometry(8 + column * 328, 18 + row * 45, 320, 37);
    }
    return panel;
}

QWidget* TfmMain::createEditPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pnlSpec = createSpecPanel();
    layout->addWidget(pnlSpec);
    for (std::size_t i = 0; i < pnlInfo.size(); ++i) {
        pnlInfo[i] = createInfoPanel(static_cast<int>(2 * i + 1));
        layout->addWidget(pnlInfo[i]);
    }
    pnlOferta = createOfferPanel();
    layout->addWidget(pnlOferta);
    layout->addStretch();

    btnUp = fixedWidthButton(QStringLiteral("Предишен"), 82, page);
    btnDown = fixedWidthButton(QStringLiteral("Следващ"), 82, page);
    edtGoTo = new QLineEdit(page);
    edtGoTo->setFixedWidth(66);
    edtGoTo->setStyleSheet(QStringLiteral("background-color: #E3EFFD;"));
    btnGoTo = fixedWidthButton(QStringLiteral("Търси позиция"), 119, page);
    auto* navigation = new QHBoxLayout;
    navigation->setContentsMargins(8, 4, 8, 4);
    navigation->addWidget(btnUp);
    navigation->addWidget(btnDown);
    navigation->addWidget(edtGoTo);
    navigation->addWidget(btnGoTo);
    navigation->addStretch();
    layout->addLayout(navigation);
    return page;
}

void TfmMain::createBottomPanel() {
    pnlBottom = new QFrame(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(40);
    btnPrint = new QPushButton(QStringLiteral("Печат"), pnlBottom);
    btnExport = new QPushButton(QStringLiteral("Генериране на изх. файл"), pnlBottom);
    btn1 = new QPushButton(QStringLiteral("Помощ"), pnlBottom);
    btnExit = new QPushButton(QStringLiteral("Изход"), pnlBottom);
    auto* layout = new QHBoxLayout(pnlBottom);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(btnPrint);
    layout->addWidget(btnExport);
    layout->addStretch();
    layout->addWidget(btn1);
    layout->addWidget(btnExit);
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
    const data::Dataset& specs = *qrySpecs;
    const auto integer = [&specs](const QString& name) {
        return static_cast<int>(specs.fieldByName(name).asInteger());
    };
    const auto text = [&specs](const QString& name) { return specs.fieldByName(name).asString(); };
    frmParameter[0]->InitFrame(*dsData, 3, integer(QStringLiteral("PP1_RAZRYAD")),
                               QStringLiteral("PP1_"), text(QStringLiteral("PP1_IME")));
    for (int n = 2; n <= 6; ++n)
        frmParameter[static_cast<std::size_t>(n - 1)]->InitFrame(
            *dsData, integer(numbered("PP%1_TIP", n)), integer(numbered("PP%1_RAZRYAD", n)),
            numbered("PP%1_", n), text(numbered("PP%1_IME", n)));

    {
        // The lots sum every position of the tender, which takes a while on a big one.
        OpeningProgress progress(*qryObosobeniPozicii, this);
        qryObosobeniPozicii->open();
    }
    qryData->open();

    for (int k = 1; k <= 8; ++k)
        lblInfo[static_cast<std::size_t>(k - 1)]->setText(text(numbered("CAPTION_INFO%1", k)));
    lblCaptionKod->setText(text(QStringLiteral("CAPTION_NOMER")));
    lblCaptionProduct->setText(text(QStringLiteral("CAPTION_PRODUCT")));
    lblCaptionGodPotreblenie->setText(text(QStringLiteral("CAPTION_GOD_POTREBLENIE")));
    lblMaxCena->setText(text(QStringLiteral("CAPTION_MAX_CENA")));

    grdDataModel->setColumnTitle(0, text(QStringLiteral("CAPTION_NOMER")));
    grdDataModel->setColumnTitle(1, text(QStringLiteral("CAPTION_PRODUCT")));
    grdDataModel->setColumnTitle(2, text(QStringLiteral("CAPTION_GOD_POTREBLENIE")));
    for (int n = 1; n <= 6; ++n)
        grdDataModel->setColumnTitle(n + 3, text(numbered("PP%1_IME", n)));
    grdObPozModel->setColumnTitle(0, text(QStringLiteral("CAPTION_NOMER")));

    setUpPositionColumns();
    setUpInfoRows();
    fitHeightToOfferPanel();
    UpdateCaption();
}

void TfmMain::setUpPositionColumns() {
    int shown = 1; // the price is always shown
    for (int n = 2; n <= 6; ++n) {
        const qint64 type = qrySpecs->fieldByName(numbered("PP%1_TIP", n)).asInteger();
        const int column = n + 3;
        if (type == 2)
            grdDataModel->setColumnField(column, numbered("PP%1_TEXT", n));
        const bool inUse = type == 2 || type == 3;
        grdData->setColumnHidden(column, !inUse);
        if (inUse)
            ++shown;
    }
    const int width = (583 - shown) / shown;
    for (int column = 4; column <= 9; ++column)
        grdData->setColumnWidth(column, width);
}

void TfmMain::setUpInfoRows() {
    const qint64 used = qrySpecs->fieldByName(QStringLiteral("BROI_INFO_POLETA")).asInteger();
    for (std::size_t i = 0; i < pnlInfo.size(); ++i)
        pnlInfo[i]->setVisible(used >= static_cast<qint64>(2 * i + 1));
    for (std::size_t i = 0; i < edtInfo.size(); ++i) {
        const bool shown = used >= static_cast<qint64>(i + 1);
        edtInfo[i]->setVisible(shown);
        lblInfo[i]->setVisible(shown);
    }
}

void TfmMain::fitHeightToOfferPanel() {
    const bool secondRow = !frmParameter[3]->isHidden() || !frmParameter[4]->isHidden() ||
                           !frmParameter[5]->isHidden();
    pnlOferta->setFixedHeight(secondRow ? 110 : 61);

    // Lay the page out now, hidden panels collapsed, to learn where the offer panel starts.
    QLayout* layout = tsEdit->layout();
    layout->invalidate();
    QRect area = tsEdit->rect();
    area.setHeight(std::max(area.height(), layout->minimumSize().height()));
    layout->setGeometry(area);
    setFixedHeight(pnlOferta->geometry().top() + pnlOferta->height() + 153);
    centreOnScreen();
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
    QGuiApplication::setApplicationDisplayName(title);
}

void TfmMain::pcMainChange() {
    if (qrySpecs->state() == data::Dataset::State::Edit)
        qrySpecs->post();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (guard_.run([this] { FormClose(); }))
        event->accept();
    else
        event->ignore();
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
    close();
}
