// SPDX-License-Identifier: Apache-2.0
#include "ui/dataset_table_model.h"

#include "data/dataset.h"
#include "ui/error_guard.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

DatasetTableModel::DatasetTableModel(data::Dataset& dataset, std::vector<GridColumn> columns,
                                     QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset), columns_(std::move(columns)) {
    connect(&dataset, &data::Dataset::reset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&dataset, &data::Dataset::recordChanged, this, [this](int record) {
        if (record >= 0 && record < rowCount())
            emit dataChanged(index(record, 0), index(record, columnCount() - 1));
    });
}

void DatasetTableModel::setColumnField(int index, const QString& field) {
    columns_.at(static_cast<std::size_t>(index)).field = field;
    if (rowCount() > 0)
        emit dataChanged(this->index(0, index), this->index(rowCount() - 1, index));
}

void DatasetTableModel::setColumnTitle(int index, const QString& title, const QString& untitled) {
    columns_.at(static_cast<std::size_t>(index)).title = title;
    columns_.at(static_cast<std::size_t>(index)).untitled = untitled;
    emit headerDataChanged(Qt::Horizontal, index, index);
}

int DatasetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : dataset_.recordCount();
}

int DatasetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DatasetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const GridColumn& shown = column(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        const data::Field* field = dataset_.findField(shown.field);
        if (field == nullptr)
            return {};
        return field->displayText(dataset_.valueAt(index.row(), field->index()));
    }
    case Qt::AccessibleTextRole: {
        const QString text = data(index, Qt::DisplayRole).toString();
        return shown.readAs.value(text, text);
    }
    case Qt::BackgroundRole:
        return shown.color.isValid() ? QVariant(shown.color) : QVariant();
    case Qt::TextAlignmentRole: {
        if (shown.alignment)
            return QVariant::fromValue(*shown.alignment);
        const data::Field* field = dataset_.findField(shown.field);
        const bool number = field != nullptr && (field->type() == data::FieldType::Double ||
                                                 field->type() == data::FieldType::Integer);
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return column(section).title;
    if (role == Qt::AccessibleTextRole)
        return column(section).title.isEmpty() ? column(section).untitled : column(section).title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

void setGridColumnWidth(QTableView& view, int column, int width) {
    view.setColumnWidth(column, std::max(width, view.horizontalHeader()->sectionSizeHint(column)));
}

namespace {

void showCurrentRecord(QTableView& view, const data::Dataset& dataset) {
    QItemSelectionModel* selection = view.selectionModel();
    const int record = dataset.recNo();
    if (record < 0) {
        selection->clear();
        return;
    }
    const QModelIndex target = view.model()->index(record, 0);
    if (selection->currentIndex().row() != record)
        selection->setCurrentIndex(target,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

void setUpDatasetGrid(QTableView& view, DatasetTableModel& model, ErrorGuard& guard) {
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.verticalHeader()->setVisible(false);
    view.verticalHeader()->setDefaultSectionSize(17);
    view.horizontalHeader()->setFixedHeight(17);
    view.horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < model.columnCount(); ++c)
        setGridColumnWidth(view, c, model.column(c).width);
    QObject::connect(&model, &QAbstractItemModel::headerDataChanged, &view,
                     [&view](Qt::Orientation orientation, int first, int last) {
                         if (orientation != Qt::Horizontal)
                             return;
                         for (int c = first; c <= last; ++c)
                             if (!view.isColumnHidden(c))
                                 setGridColumnWidth(view, c, view.columnWidth(c));
                     });

    data::Dataset& dataset = model.dataset();
    auto follow = [&view, &dataset] { showCurrentRecord(view, dataset); };
    QObject::connect(&dataset, &data::Dataset::scrolled, &view, follow);
    QObject::connect(&dataset, &data::Dataset::reset, &view, follow);
    QObject::connect(view.selectionModel(), &QItemSelectionModel::currentRowChanged, &view,
                     [&view, &dataset, &guard](const QModelIndex& current) {
                         if (!current.isValid() || current.row() == dataset.recNo())
                             return;
                         if (!guard.run([&] { dataset.moveTo(current.row()); }))
                             showCurrentRecord(view, dataset);
                     });
}
