// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QWidget>

class DatasetTableModel;
class ErrorGuard;
class QLabel;
class QTableView;
namespace data {
class Dataset;
}

namespace offer {

// The positions of the current lot, one row each: the tender's description on the left, the
// bidder's offered values on the right. Read-only; a double-click opens the position for editing.
class PositionsPage : public QWidget {
    Q_OBJECT
public:
    PositionsPage(data::Dataset& positions, ErrorGuard& guard, QWidget* parent = nullptr);

    // Titles from the tender record; the offer parameters in use shown, a text parameter by its
    // text column, and the offer columns sharing the width that the price alone would have.
    void setUpColumns(const data::Dataset& specs);

    QTableView* grdData;
    DatasetTableModel* grdDataModel;

signals:
    // The bidder asked to edit the current position.
    void editRequested();

private:
    void grdDataDblClick();
    // Each band as wide as the columns below it, which grow with their titles.
    void fitBands();

    data::Dataset& positions_;
    QLabel* specificationBand_;
    QLabel* offerBand_;
};

} // namespace offer
