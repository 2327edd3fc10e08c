// SPDX-License-Identifier: Apache-2.0
#include "offer/positions_page.h"

#include "data/dataset.h"
#include "offer/position_keys.h"
#include "ui/captions.h"
#include "ui/colours.h"
#include "ui/dataset_table_model.h"
#include "ui/error_guard.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace offer {

namespace {

constexpr int kFirstOfferColumn = 4;
constexpr int kBandHeight = 18;
constexpr int kOfferColumnsWidth = 583;
constexpr int kTextParameter = 2;
constexpr int kNumberParameter = 3;

QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

QLabel* headerBand(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

PositionsPage::PositionsPage(data::Dataset& positions, ErrorGuard& guard, QWidget* parent)
    : QWidget(parent), positions_(positions) {
    setObjectName(QStringLiteral("tsGrid"));
    // The bands stand over the grid's columns, which grow with their titles and scroll across.
    auto* bands = new QWidget(this);
    bands->setFixedHeight(kBandHeight);
    specificationBand_ = headerBand(QStringLiteral("С П Е Ц И Ф И К А Ц И Я "),
                                    QStringLiteral("lblSpecifikacia"), bands);
    offerBand_ = headerBand(QStringLiteral("О Ф Е Р Т А"), QStringLiteral("lblOferta"), bands);

    std::vector<GridColumn> columns{
        {QStringLiteral("CUSTOM_CODE"), QStringLiteral("CUSTOM_CODE"), 57, colours::kTender},
        {QStringLiteral("IME"), QStringLiteral("Наименование"), 166, colours::kTender},
        {QStringLiteral("GODISHNO_POTREBLENIE"), QStringLiteral("Год. потр."), 63,
         colours::kTender},
        {QStringLiteral("MEASURE_IME"), QStringLiteral("Мярка"), 63, colours::kTender},
    };
    for (int n = 1; n <= 6; ++n)
        columns.push_back(
            {numbered("PP%1_NUMBER", n), numbered("PP%1_NUMBER", n), 96, colours::kOffer});
    grdData = new QTableView(this);
    grdData->setObjectName(QStringLiteral("grdData"));
    grdData->setAccessibleName(QStringLiteral("Предложения"));
    grdDataModel = new DatasetTableModel(positions, std::move(columns), this);
    setUpDatasetGrid(*grdData, *grdDataModel, guard);
    grdData->setTabKeyNavigation(false); // Tab leaves the grid, as in the rest of the window
    (new PositionKeys(positions, guard, this))->watch(*grdData);
    setFocusProxy(grdData);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bands);
    layout->addWidget(grdData);
    connect(grdData->horizontalHeader(), &QHeaderView::sectionResized, this,
            &PositionsPage::fitBands);
    connect(grdData->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &PositionsPage::fitBands);
    fitBands();

    connect(grdData, &QTableView::doubleClicked, this, [this, &guard](const QModelIndex& index) {
        guard.run([this, index] {
            positions_.moveTo(index.row());
            grdDataDblClick();
        });
    });
}

void PositionsPage::setUpColumns(const data::Dataset& specs) {
    const auto title = [this, &specs](int column, const QString& captionColumn) {
        grdDataModel->setColumnTitle(column, specs.fieldByName(captionColumn).asString(),
                                     nameForUncaptioned(captionColumn));
    };
    title(0, QStringLiteral("CAPTION_NOMER"));
    title(1, QStringLiteral("CAPTION_PRODUCT"));
    title(2, QStringLiteral("CAPTION_GOD_POTREBLENIE"));
    for (int n = 1; n <= 6; ++n)
        title(n + 3, numbered("PP%1_IME", n));

    int shown = 1; // the price is always shown
    for (int n = 2; n <= 6; ++n) {
        const qint64 type = specs.fieldByName(numbered("PP%1_TIP", n)).asInteger();
        const int column = n + 3;
        if (type == kTextParameter)
            grdDataModel->setColumnField(column, numbered("PP%1_TEXT", n));
        const bool inUse = type == kTextParameter || type == kNumberParameter;
        grdData->setColumnHidden(column, !inUse);
        if (inUse)
            ++shown;
    }
    const int width = (kOfferColumnsWidth - shown) / shown;
    for (int column = kFirstOfferColumn; column < grdDataModel->columnCount(); ++column)
        setGridColumnWidth(*grdData, column, width);
    fitBands();
}

void PositionsPage::fitBands() {
    // Where a column starts, seen from the grid's left edge, which is the bands' too.
    const auto start = [this](int column) {
        return grdData->frameWidth() + grdData->columnViewportPosition(column);
    };
    int lastOffer = kFirstOfferColumn;
    for (int column = kFirstOfferColumn; column < grdDataModel->columnCount(); ++column)
        if (!grdData->isColumnHidden(column))
            lastOffer = column;
    const int offerStart = start(kFirstOfferColumn);
    const int specificationStart = start(0) - grdData->frameWidth();
    specificationBand_->setGeometry(specificationStart, 0, offerStart - specificationStart,
                                    kBandHeight);
    offerBand_->setGeometry(offerStart, 0,
                            start(lastOffer) + grdData->columnWidth(lastOffer) - offerStart,
                            kBandHeight);
}

void PositionsPage::grdDataDblClick() {
    emit editRequested();
}

} // namespace offer
