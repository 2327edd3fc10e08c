// SPDX-License-Identifier: Apache-2.0
#include "report/report_dataset.h"

#include <QLocale>

#include <algorithm>

namespace report {

namespace {

std::vector<ReportDataset*>& registered() {
    static std::vector<ReportDataset*> datasets;
    return datasets;
}

} // namespace

ReportDataset::ReportDataset(QString userName) : userName_(std::move(userName)) {
    registered().push_back(this);
}

ReportDataset::~ReportDataset() {
    auto& datasets = registered();
    datasets.erase(std::remove(datasets.begin(), datasets.end(), this), datasets.end());
}

QString ReportDataset::displayText(const QString& field) const {
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::Double)
        return QLocale().toString(v.toDouble(), 'g', 15);
    return v.toString();
}

ReportDataset* findDataset(const QString& userName) {
    for (ReportDataset* dataset : registered())
        if (dataset->userName().compare(userName, Qt::CaseInsensitive) == 0)
            return dataset;
    return nullptr;
}

ListDataset::ListDataset(QString userName, QStringList fields, std::vector<QVariantList> rows)
    : ReportDataset(std::move(userName)), fields_(std::move(fields)), rows_(std::move(rows)) {}

void ListDataset::setRows(std::vector<QVariantList> rows) {
    rows_ = std::move(rows);
    current_ = 0;
}

void ListDataset::next() {
    if (current_ < rows_.size())
        ++current_;
}

bool ListDataset::hasField(const QString& field) const {
    return fields_.contains(field, Qt::CaseInsensitive);
}

QVariant ListDataset::value(const QString& field) const {
    if (eof())
        return {};
    const QVariantList& row = rows_[current_];
    for (qsizetype i = 0; i < fields_.size() && i < row.size(); ++i)
        if (fields_[i].compare(field, Qt::CaseInsensitive) == 0)
            return row[i];
    return {};
}

} // namespace report
