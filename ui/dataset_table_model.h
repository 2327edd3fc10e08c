// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class ErrorGuard;
class QTableView;
namespace data {
class Dataset;
}

// One column of a grid over a dataset: the field shown, its title, colour and alignment.
struct GridColumn {
    QString field;
    QString title;
    int width = 64;
    QColor color;
    // Unset: numbers to the right, everything else to the left.
    std::optional<Qt::Alignment> alignment = std::nullopt;
    // What a screen reader reads for a shown text that the eye reads by its place or colour,
    // such as a blank or a dash; any other text is read as shown.
    QHash<QString, QString> readAs = {};
    // What a screen reader reads as the title while the title is empty.
    QString untitled = QString();
};

// The visible records of a dataset as rows, the grid's columns as columns. Values show through
// their fields' display formats.
class DatasetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetTableModel(data::Dataset& dataset, std::vector<GridColumn> columns,
                      QObject* parent = nullptr);

    data::Dataset& dataset() const { return dataset_; }
    const GridColumn& column(int index) const {
        return columns_.at(static_cast<std::size_t>(index));
    }
    void setColumnField(int index, const QString& field);
    // A title the tender leaves empty is read as `untitled`.
    void setColumnTitle(int index, const QString& title, const QString& untitled = QString());

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    data::Dataset& dataset_;
    std::vector<GridColumn> columns_;
};

// Makes `view` a read-only, whole-row grid over `model` that follows the dataset's current
// record, and moves the record when the bidder picks another row. A move the dataset refuses
// (a pending edit that cannot be posted) shows its error and keeps the row.
// The columns are at least as wide as their titles need in the header's font, also after a
// title changes.
void setUpDatasetGrid(QTableView& view, DatasetTableModel& model, ErrorGuard& guard);

// Sets a column of a grid to `width`, or to what its title needs when that is more.
void setGridColumnWidth(QTableView& view, int column, int width);
