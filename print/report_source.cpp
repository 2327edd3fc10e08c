// SPDX-License-Identifier: Apache-2.0
#include "print/report_source.h"

#include "data/dataset.h"

DatasetReportSource::DatasetReportSource(QString userName, data::Dataset& dataset)
    : report::ReportDataset(std::move(userName)), dataset_(dataset) {}

void DatasetReportSource::first() {
    if (dataset_.active())
        dataset_.first();
}

void DatasetReportSource::next() {
    if (dataset_.active())
        dataset_.next();
}

bool DatasetReportSource::eof() const {
    return !dataset_.active() || dataset_.isEmpty() || dataset_.eof();
}

int DatasetReportSource::rowCount() const {
    return dataset_.recordCount();
}

bool DatasetReportSource::hasField(const QString& field) const {
    return dataset_.findField(field) != nullptr;
}

QVariant DatasetReportSource::value(const QString& field) const {
    return dataset_.fieldByName(field).value();
}

QString DatasetReportSource::displayText(const QString& field) const {
    return dataset_.fieldByName(field).displayText();
}
