// SPDX-License-Identifier: Apache-2.0
#include "offer/lots_page.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "export/offer_export.h"
#include "export/price_list.h"
#include "offer/carry_workflow.h"
#include "offer/import_workflow.h"
#include "offer/position_keys.h"
#include "sign/signing_dialog.h"
#include "ui/colours.h"
#include "ui/dataset_table_model.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"
#include "ui/wait_progress.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>

namespace offer {

namespace {

const QString kMasterCode = QStringLiteral("MASTER_CODE");
const QString kProductCode = QStringLiteral("PRODUCT_CODE");
const QString kParticipation = QStringLiteral("PP2_TEXT");
// No position has this lot, so the positions of a lot not taken part in are none.
constexpr int kNoLot = -1;
constexpr qsizetype kWholeNameBelow = 50;
constexpr qsizetype kCutNameLength = 47;

const QColor kParticipationColour(0xD7, 0xFB, 0xC8);
const QColor kTotalsColour(0xEC, 0xEC, 0xFF);

QPushButton* fixedWidthButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFixedWidth(222);
    return button;
}

} // namespace

QString positionsPageCaption(const QString& code, const QString& name) {
    const QString shown =
        name.size() >= kWholeNameBelow ? name.left(kCutNameLength) + QStringLiteral("...") : name;
    return QStringLiteral("Предложения за: ") + code + QStringLiteral(". ") + shown;
}

QString proposedSigningFile(const QString& folder, const QString& companyName,
                            const QString& lotCode) {
    QStringList names{QStringLiteral("Оферта.pdf")};
    for (const int offerType : {PriceOffer, TechnicalOffer}) {
        const QString offer = OfferExport::proposedFileName(offerType, companyName, lotCode);
        names << offer << QFileInfo(offer).completeBaseName() + QStringLiteral(".pdf");
    }
    QString newest;
    QDateTime newestTime;
    for (const QString& name : names) {
        const QFileInfo file(QDir(folder), name);
        if (file.isFile() && (newest.isEmpty() || file.lastModified() > newestTime)) {
            newest = file.absoluteFilePath();
            newestTime = file.lastModified();
        }
    }
    return newest;
}

LotsPage::LotsPage(data::Dataset& lots, data::Dataset& positions, ErrorGuard& guard,
                   QWidget* parent)
    : QWidget(parent), lots_(lots), positions_(positions), guard_(guard) {
    setObjectName(QStringLiteral("tsObosobeniPozicii"));
    grdObPoz = new QTableView(this);
    grdObPoz->setObjectName(QStringLiteral("grdObPoz"));
    grdObPoz->setAccessibleName(QStringLiteral("Обособени позиции"));
    grdObPozModel = new DatasetTableModel(
        lots,
        {
            {QStringLiteral("CUSTOM_CODE"), QStringLiteral("CUSTOM_CODE"), 70, colours::kTender},
            {QStringLiteral("IME"), QStringLiteral("Обособена позиция"), 414, colours::kTender},
            // A blank mark, a blank count and the status dash are read as words.
            {kParticipation,
             QStringLiteral("Участие"),
             61,
             kParticipationColour,
             Qt::AlignCenter,
             {{QString(), QStringLiteral("Не")}}},
            {QStringLiteral("_OBSHT_BROI_POZICII"),
             QStringLiteral("Общо поз."),
             65,
             kTotalsColour,
             std::nullopt,
             {{QString(), QStringLiteral("0")}}},
            {QStringLiteral("_OFERIRANI_POZICII"),
             QStringLiteral("Офер. поз."),
             65,
             kTotalsColour,
             std::nullopt,
             {{QString(), QStringLiteral("0")}}},
            {QStringLiteral("_STATUS"),
             QStringLiteral("Статус"),
             256,
             kTotalsColour,
             std::nullopt,
             {{QStringLiteral("-"), QStringLiteral("Без участие")}}},
        },
        this);
    setUpDatasetGrid(*grdObPoz, *grdObPozModel, guard);
    grdObPoz->setTabKeyNavigation(false); // Tab leaves the grid, as in the rest of the window
    (new PositionKeys(positions, guard, this))->watch(*grdObPoz);
    setFocusProxy(grdObPoz);

    btnUchastie = fixedWidthButton(QStringLiteral("Деклариране участие за позицията"), this);
    btnOtkazUchastie = fixedWidthButton(QStringLiteral("Отказ от участие за позицията"), this);
    btnCenovaTablica = new QPushButton(QStringLiteral("Таблица с цените..."), this);
    btnCenovaTablica->setObjectName(QStringLiteral("btnCenovaTablica"));
    btnCenovaTablica->setToolTip(QStringLiteral(
        "Записва позициите на обособената позиция като таблица (XLSX или CSV) за попълване"));
    btnImport = new QPushButton(QStringLiteral("Импорт от таблица..."), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnImport->setToolTip(QStringLiteral(
        "Въвежда цените и предлаганите стойности от попълнена таблица (XLSX или CSV)"));
    btnPrenasyane = new QPushButton(QStringLiteral("Пренасяне от друг файл..."), this);
    btnPrenasyane->setObjectName(QStringLiteral("btnPrenasyane"));
    btnPrenasyane->setToolTip(
        QStringLiteral("Пренася офертата от по-стар файл на същата поръчка в този (изменения) "
                       "файл"));
    btnProverka = new QPushButton(QStringLiteral("Проверка на офертата"), this);
    btnProverka->setObjectName(QStringLiteral("btnProverka"));
    btnPodpisvane = new QPushButton(QStringLiteral("Подписване..."), this);
    btnPodpisvane->setObjectName(QStringLiteral("btnPodpisvane"));
    btnPodpisvane->setToolTip(QStringLiteral(
        "Подписва файл на офертата с квалифицирания сертификат от картата или от файл"));
    // Participation, the check and signing in one row, the sheets and the carry in the next:
    // seven captions do not fit the fixed window's width in one.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnUchastie);
    buttons->addWidget(btnOtkazUchastie);
    buttons->addWidget(btnProverka);
    buttons->addWidget(btnPodpisvane);
    buttons->addStretch();
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(btnCenovaTablica);
    fileButtons->addWidget(btnImport);
    fileButtons->addWidget(btnPrenasyane);
    fileButtons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdObPoz);
    layout->addLayout(buttons);
    layout->addLayout(fileButtons);

    connect(btnUchastie, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnUchastieClick(); }); });
    connect(btnOtkazUchastie, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnOtkazUchastieClick(); }); });
    connect(btnCenovaTablica, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnCenovaTablicaClick(); }); });
    connect(btnImport, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnImportClick(); }); });
    connect(btnPrenasyane, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnPrenasyaneClick(); }); });
    connect(btnProverka, &QPushButton::clicked, this, &LotsPage::btnProverkaClick);
    connect(btnPodpisvane, &QPushButton::clicked, this,
            [this] { guard_.run([this] { btnPodpisvaneClick(); }); });
    connect(grdObPoz, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        guard_.run([this, index] {
            lots_.moveTo(index.row());
            grdObPozDblClick();
        });
    });

    lots.afterScroll = [this](data::Dataset&) {
        if (refreshing_)
            RefreshPozicii();
    };
    // Opening without a lot runs no after-scroll; the pages must still show that there is none.
    connect(&lots, &data::Dataset::reset, this, [this] {
        if (lots_.active() && lots_.isEmpty())
            guard_.run([this] { RefreshPozicii(); });
    });
}

LotsPage::~LotsPage() {
    lots_.afterScroll = nullptr;
}

void LotsPage::follow(const LotFollowers& followers) {
    followers_ = followers;
}

bool LotsPage::hasLot() const {
    return lots_.active() && lots_.recNo() >= 0;
}

bool LotsPage::participating() const {
    return hasLot() && !lots_.fieldByName(kParticipation).isNull();
}

void LotsPage::RefreshPozicii() {
    const bool lot = hasLot();
    const bool takingPart = participating();
    positions_.close();
    if (lot)
        positions_.setParameter(kMasterCode, takingPart ? lots_.fieldByName(kProductCode).value()
                                                        : QVariant(kNoLot));
    positions_.open();

    btnUchastie->setEnabled(lot && !takingPart);
    btnOtkazUchastie->setEnabled(takingPart);
    btnCenovaTablica->setEnabled(takingPart);

    const bool everyPositionOffered =
        lot && lots_.fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).asInteger() ==
                   lots_.fieldByName(QStringLiteral("_OFERIRANI_POZICII")).asInteger();
    followers_.print->setEnabled(everyPositionOffered);
    followers_.exportOffer->setEnabled(everyPositionOffered);

    QTabWidget& pages = *followers_.pages;
    const int positionsTab = pages.indexOf(followers_.positionsPage);
    const int editTab = pages.indexOf(followers_.editPage);
    pages.setTabEnabled(positionsTab, takingPart);
    pages.setTabEnabled(editTab, takingPart);
    pages.setTabText(positionsTab,
                     takingPart ? positionsPageCaption(
                                      lots_.fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
                                      lots_.fieldByName(QStringLiteral("IME")).asString())
                                : QString());
    pages.setTabText(editTab, takingPart ? QStringLiteral("Редактиране") : QString());
    // A closed page shows no caption, yet a screen reader names it and says it is unavailable.
    pages.tabBar()->setAccessibleTabName(positionsTab,
                                         takingPart ? QString() : QStringLiteral("Предложения"));
    pages.tabBar()->setAccessibleTabName(editTab,
                                         takingPart ? QString() : QStringLiteral("Редактиране"));
}

void LotsPage::btnUchastieClick() {
    if (!hasLot() || participating())
        return;
    const QString question =
        QStringLiteral("Необходимо е да оферирате всички подпозиции в избраната обособена "
                       "позиция. Потвърдете участието си за обособена позиция №") +
        lots_.fieldByName(QStringLiteral("CUSTOM_CODE")).asString();
    const bool yes = guard_.dialogs().confirm(question);
    keepFocusOnTheLots();
    if (yes)
        storeParticipation(QStringLiteral("Да"));
}

void LotsPage::btnOtkazUchastieClick() {
    if (!participating())
        return;
    const QString question =
        QStringLiteral("Сигурни ли сте, че няма да подадете оферта за позиция №") +
        lots_.fieldByName(QStringLiteral("CUSTOM_CODE")).asString();
    const bool yes = guard_.dialogs().confirm(question);
    keepFocusOnTheLots();
    if (yes)
        storeParticipation(QVariant());
}

void LotsPage::keepFocusOnTheLots() {
    // The button pressed may be disabled by the answer, which would hand the focus on to the next
    // button in line, where the next Space opens a file dialog.
    if (isVisible())
        grdObPoz->setFocus(Qt::OtherFocusReason);
}

void LotsPage::storeParticipation(const QVariant& mark) {
    lots_.edit();
    try {
        lots_.fieldByName(kParticipation).setValue(mark);
        lots_.post();
    } catch (...) {
        // The mark was not stored: the lot shows what the file holds, and no later move keeps
        // trying to store it.
        lots_.cancel();
        throw;
    }
    RefreshPozicii();
}

void LotsPage::grdObPozDblClick() {
    if (!hasLot())
        return;
    if (participating())
        followers_.pages->setCurrentWidget(followers_.positionsPage);
    else
        btnUchastieClick();
}

void LotsPage::btnCenovaTablicaClick() {
    if (!participating())
        return;
    pricelist::saveTemplate(guard_.dialogs(), *followers_.tender, lots_, positions_);
}

void LotsPage::btnProverkaClick() {
    emit offerCheckRequested();
}

void LotsPage::btnImportClick() {
    data::Connection& connection = *followers_.connection;
    // Told before a file is chosen, not after the preview.
    connection.checkWritable();
    // A position being edited is stored, or refused, first, as before any lot switch.
    if (positions_.state() == data::Dataset::State::Edit)
        positions_.post();
    const QString path = guard_.dialogs().openFileName(
        QFileInfo(QString::fromStdString(connection.database().path())).absolutePath(),
        QStringLiteral("Таблици (*.xlsx *.csv)"));
    if (path.isEmpty())
        return;
    // Storing ten thousand prices takes a second: the bidder sees it go and may stop it, which
    // puts back what was stored. The wait is counted from the first position stored.
    std::optional<WaitProgress> progress;
    const auto proceed = [this, &progress](int done, int total) {
        if (!progress)
            progress.emplace(this, QStringLiteral("Запис на цените…"));
        return progress->report(done, total);
    };
    // Reading a sheet of fifty thousand rows takes seconds too, and may be stopped as well; its
    // progress goes before the preview is shown.
    std::optional<WaitProgress> readingProgress;
    const auto reading = [this, &readingProgress](int done, int total) {
        if (!readingProgress)
            readingProgress.emplace(this, QStringLiteral("Четене на таблицата…"));
        const bool go = readingProgress->report(done, total);
        if (done == total)
            readingProgress.reset();
        return go;
    };
    if (PriceImportWorkflow(guard_.dialogs(), connection, *followers_.tender)
            .run(path, proceed, reading)
            .stored)
        rereadOnCurrentLot();
}

void LotsPage::btnPrenasyaneClick() {
    // The carry compares with the file.
    data::Dataset& tender = *followers_.tender;
    data::Connection& connection = *followers_.connection;
    connection.checkWritable();
    storeEditedRecords(tender, positions_);
    const QString path = guard_.dialogs().openFileName(
        QFileInfo(QString::fromStdString(connection.database().path())).absolutePath(),
        QStringLiteral("Тръжни файлове (*.mdb)"));
    if (path.isEmpty())
        return;
    const OfferCarryWorkflow::Report report =
        OfferCarryWorkflow(guard_.dialogs(), connection).run(path);
    if (!report.stored)
        return;
    tender.close();
    tender.open();
    rereadOnCurrentLot();
    emit offerCarried(QStringLiteral("Пренесено от %1:\n").arg(QFileInfo(path).fileName()) +
                          report.outcome.text().trimmed(),
                      offercarry::leftToLookAt(report.preview));
}

void LotsPage::rereadOnCurrentLot() {
    const QVariant lot = hasLot() ? lots_.fieldByName(kProductCode).value() : QVariant();
    // The refresh reopens the positions on the lot's first; the bidder's place is the position
    // they stood on.
    const QVariant position = positions_.active() && !positions_.isEmpty()
                                  ? positions_.fieldByName(kProductCode).value()
                                  : QVariant();
    grdObPoz->setUpdatesEnabled(false);
    const auto repaint = qScopeGuard([this] { grdObPoz->setUpdatesEnabled(true); });
    {
        // Opening stands on the first lot for a moment. Refreshing for it would close the pages
        // of the current lot when the first is not taken part in, and the tab bar would move the
        // bidder off the page chosen; the refresh waits for the lot to be found again.
        const QScopedValueRollback passing(refreshing_, false);
        lots_.close();
        lots_.open();
    }
    if (!lots_.locate(kProductCode, lot))
        RefreshPozicii();
    positions_.locate(kProductCode, position);
}

void LotsPage::btnPodpisvaneClick() {
    // A file is signed as it is, so it must hold what the tender file holds.
    if (followers_.tender)
        storeEditedRecords(*followers_.tender, positions_);
    QString proposed;
    if (hasLot() && followers_.tender)
        proposed = proposedSigningFile(
            QDir::currentPath(),
            followers_.tender->fieldByName(QStringLiteral("IME_NA_FIRMATA")).asString(),
            lots_.fieldByName(QStringLiteral("CUSTOM_CODE")).asString());
    sign::SigningDialog dialog(guard_, proposed, window());
    guard_.dialogs().showPreview(dialog);
}

} // namespace offer
