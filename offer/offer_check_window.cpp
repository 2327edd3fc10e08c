// SPDX-License-Identifier: Apache-2.0
#include "offer/offer_check_window.h"

#include "ui/captions.h"
#include "ui/error_guard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace offer {

namespace {

enum Column { LotColumn, PositionColumn, FieldColumn, MessageColumn, ColumnCount };

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    // Enter in the list activates its line; it must not also press a button of the window.
    pushButton->setAutoDefault(false);
    return pushButton;
}

// The first column: the lot, or what stands in the place of one.
QString whereText(const offercheck::Problem& problem) {
    switch (problem.where) {
    case offercheck::Where::File:
        return QStringLiteral("Тръжният файл");
    case offercheck::Where::Tender:
        return QStringLiteral("Данни за фирмата");
    default:
        return problem.lotCode;
    }
}

} // namespace

OfferCheckWindow::OfferCheckWindow(Find find, GoTo goTo, ErrorGuard& guard, QWidget* parent)
    : QDialog(parent), find_(std::move(find)), goTo_(std::move(goTo)), guard_(guard) {
    setObjectName(QStringLiteral("fmProverka"));
    setWindowTitle(QStringLiteral("Проверка на офертата"));
    setModal(false);
    resize(860, 420);

    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->hide();
    lblSummary = new QLabel(this);
    grdProblems = new QTableWidget(0, ColumnCount, this);
    grdProblems->setObjectName(QStringLiteral("grdProblems"));
    grdProblems->setHorizontalHeaderLabels({QStringLiteral("Обособена позиция"),
                                            QStringLiteral("Позиция"), QStringLiteral("Поле"),
                                            QStringLiteral("Съобщение")});
    grdProblems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdProblems->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdProblems->setSelectionMode(QAbstractItemView::SingleSelection);
    grdProblems->setTabKeyNavigation(false);
    grdProblems->verticalHeader()->hide();
    grdProblems->horizontalHeader()->setStretchLastSection(true);
    // The narrow columns are at least as wide as their heads, whatever the font.
    for (const auto& [column, width] : {std::pair{LotColumn, 120}, std::pair{PositionColumn, 70}})
        grdProblems->setColumnWidth(
            column, std::max(width, grdProblems->horizontalHeader()->sectionSizeHint(column)));
    grdProblems->setColumnWidth(FieldColumn, 220);

    btnObnovi = button(QStringLiteral("Обнови"), this);
    btnClose = button(QStringLiteral("Затвори"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnObnovi);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNote);
    layout->addWidget(lblSummary);
    layout->addWidget(grdProblems);
    layout->addLayout(buttons);

    // The list is read first, under the summary that captions it.
    tieCaption(*lblSummary, *grdProblems);
    grdProblems->setFocus();

    connect(btnObnovi, &QPushButton::clicked, this, [this] { btnObnoviClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    // Double-click and Enter both activate a line.
    connect(grdProblems, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { activateLine(index.row()); });
}

void OfferCheckWindow::setNote(const QString& note) {
    lblNote->setText(note);
    lblNote->setVisible(!note.isEmpty());
}

void OfferCheckWindow::btnObnoviClick() {
    guard_.run([this] { list(find_()); });
}

void OfferCheckWindow::activateLine(int row) {
    if (row < 0 || row >= static_cast<int>(problems_.size()))
        return;
    const offercheck::Problem problem = problems_[static_cast<std::size_t>(row)];
    guard_.run([this, &problem] { goTo_(problem); });
}

void OfferCheckWindow::list(std::vector<offercheck::Problem> problems) {
    const int current = grdProblems->currentRow();
    problems_ = std::move(problems);
    const int count = static_cast<int>(problems_.size());
    setCaption(*lblSummary, count == 0 ? QStringLiteral("Няма открити проблеми.")
                                       : QStringLiteral("Открити проблеми: %1").arg(count));
    grdProblems->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        const offercheck::Problem& problem = problems_[static_cast<std::size_t>(row)];
        // The value by the caption the bidder sees on screen; its column, which support asks
        // for, only in the tooltip.
        const QString cells[ColumnCount] = {
            whereText(problem), problem.positionCode,
            problem.caption.isEmpty() ? problem.column : problem.caption,
            (problem.warning ? QStringLiteral("Предупреждение: ") : QString()) + problem.message};
        for (int column = 0; column < ColumnCount; ++column)
            grdProblems->setItem(row, column, new QTableWidgetItem(cells[column]));
        grdProblems->item(row, FieldColumn)->setToolTip(problem.column);
    }
    if (count > 0)
        grdProblems->setCurrentCell(std::clamp(current, 0, count - 1), 0);
}

} // namespace offer
