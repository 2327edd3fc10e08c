// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace report {

// The rows a report reads, under a user name by which templates name them. A dataset registers
// itself while it exists, and templates find it among all registered datasets whatever the
// letter case of the name. A report only moves through the rows: it never opens or closes
// what lies behind them.
class ReportDataset {
public:
    explicit ReportDataset(QString userName);
    virtual ~ReportDataset();
    ReportDataset(const ReportDataset&) = delete;
    ReportDataset& operator=(const ReportDataset&) = delete;

    const QString& userName() const { return userName_; }

    virtual void first() = 0;
    virtual void next() = 0;
    // True past the last row, and at once when there are no rows.
    virtual bool eof() const = 0;
    // How many rows there are: what a long layout's progress counts against.
    virtual int rowCount() const = 0;
    virtual bool hasField(const QString& field) const = 0;
    // The value of a field of the current row; null without a current row.
    virtual QVariant value(const QString& field) const = 0;
    // The value as the data source itself shows it, used where a template gives no format.
    virtual QString displayText(const QString& field) const;

private:
    QString userName_;
};

// The registered dataset of that user name, compared without regard to letter case; the one
// registered first when several share it; null when there is none.
ReportDataset* findDataset(const QString& userName);

// Rows held in memory, for reports that are not fed from elsewhere.
class ListDataset : public ReportDataset {
public:
    ListDataset(QString userName, QStringList fields, std::vector<QVariantList> rows = {});

    void setRows(std::vector<QVariantList> rows);

    void first() override { current_ = 0; }
    void next() override;
    bool eof() const override { return current_ >= rows_.size(); }
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    bool hasField(const QString& field) const override;
    QVariant value(const QString& field) const override;

private:
    QStringList fields_;
    std::vector<QVariantList> rows_;
    std::size_t current_ = 0;
};

} // namespace report
