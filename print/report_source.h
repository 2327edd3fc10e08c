// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/report_dataset.h"

namespace data {
class Dataset;
}

// A dataset of the program as a report reads it, registered under `userName`. A report moves
// through its rows; it never opens or closes it, so the dataset stays open after every report.
class DatasetReportSource : public report::ReportDataset {
public:
    DatasetReportSource(QString userName, data::Dataset& dataset);

    void first() override;
    void next() override;
    bool eof() const override;
    int rowCount() const override;
    bool hasField(const QString& field) const override;
    QVariant value(const QString& field) const override;
    // As the program shows it on screen: numbers through the field's display format.
    QString displayText(const QString& field) const override;

private:
    data::Dataset& dataset_;
};
