// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/error.h"
#include "data/field.h"

#include "jet/database.h"

#include <QHash>
#include <QObject>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace data {

class Connection;

// The columns a query reads, as indexes into its table's columns: first those the dataset's
// fields stand for, then any the query looks at for itself. Nothing else is decoded: a lot of
// 10,000 positions read whole would cost several times what its few wanted columns do.
class ColumnPick {
public:
    // The place of table column `column` among the picked ones; it is picked when it was not.
    std::size_t place(std::size_t column);
    std::span<const std::size_t> columns() const { return columns_; }

private:
    std::vector<std::size_t> columns_;
};

// One row of a query result: where it lives in its table, the values of the picked columns in
// the pick's order, and the values the query derived, by field name.
struct SnapshotRow {
    jet::RowId id;
    jet::Row columns;
    QVariantMap derived;
};

class Dataset;

// A value of the engine as a field holds it: null, a number, a yes/no or a text (UTF-8 or UTF-16).
QVariant toVariant(const jet::Value& value);

// Runs a dataset's query over its table and returns the rows in their final order, each holding
// the columns of the pick, to which the query adds those it needs for itself before reading.
using Query = std::function<std::vector<SnapshotRow>(const jet::Database&, const jet::TableDef&,
                                                     const Dataset&, ColumnPick&)>;

// A static snapshot of query rows with a current record, in the manner of the data-aware
// toolkits the bidder's windows are written against. Opening runs the query once; an edit
// changes a buffer; post writes the changed columns of that one row to the file and nothing
// else. A snapshot does not see other datasets' posts until it is closed and opened again.
//
// Events are single handlers that may throw: an error in before-open keeps the dataset closed,
// one in before-post keeps the record in edit state with nothing written.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit };

    Dataset(QString name, Connection& connection, QString table, std::vector<FieldDef> fields,
            Query query);
    ~Dataset() override;

    const QString& name() const { return name_; }
    State state() const { return state_; }
    bool active() const { return state_ != State::Inactive; }

    // Fields in the order of the field list.
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    Field& field(int index) { return *fields_.at(static_cast<std::size_t>(index)); }
    const Field& field(int index) const { return *fields_.at(static_cast<std::size_t>(index)); }
    Field* findField(const QString& name);
    const Field* findField(const QString& name) const;
    // Throws Error naming the dataset and the field when there is none of that name.
    Field& fieldByName(const QString& name);
    const Field& fieldByName(const QString& name) const;

    // Query parameters, such as qryData's MASTER_CODE; a null QVariant is SQL null.
    void setParameter(const QString& name, const QVariant& value) { parameters_[name] = value; }
    QVariant parameter(const QString& name) const { return parameters_.value(name); }

    // Runs before-open, checks the field list against the table (FieldError), reads the rows,
    // computes the calculated fields and stands on the first row. Does nothing when open.
    void open();
    // Drops the snapshot and any pending edit without storing it.
    void close();

    // Records visible through the filter, and the index of the current one (-1 when none).
    int recordCount() const { return static_cast<int>(visible_.size()); }
    int recNo() const { return current_; }
    bool isEmpty() const { return visible_.empty(); }
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }

    // Moves; a pending edit is posted first, and when that fails the move does not happen. A
    // move past either end leaves the record and sets bof or eof; after-scroll runs after every
    // move.
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int record);
    // Makes the first visible record whose field `field` holds exactly `value` current: text
    // as it stands (no trimming, no partial match), numbers by value; a null never matches.
    // A pending edit is posted first. Found, even on the record already current, the bof and
    // eof marks are cleared and after-scroll runs; not found, nothing moves. True when found.
    bool locate(const QString& field, const QVariant& value);

    // Puts the current record into edit state (nothing when already editing). Throws Error when
    // the dataset is closed or has no current record.
    void edit();
    // Writes the columns changed in the edit buffer, addressed by the row's id, then returns to
    // browse state. Throws Error when not editing; an error of before-post or of the engine
    // leaves the record in edit state with nothing written.
    void post();
    // Drops the edit buffer.
    void cancel();

    // The value of a field in visible record `record` without moving there (the edit buffer for
    // the record being edited). For grids.
    QVariant valueAt(int record, int field) const;

    // A filter hides the records it rejects while filtering is on; the predicate reads the
    // dataset's fields, which stand on the record being tested. Switching either returns to the
    // first visible record.
    using Filter = std::function<bool(const Dataset&)>;
    void setFilter(Filter filter);
    void setFiltered(bool filtered);
    bool filtered() const { return filtered_; }

    std::function<void(Dataset&)> beforeOpen;
    std::function<void(Dataset&)> beforePost;
    std::function<void(Dataset&)> afterScroll;
    std::function<void(Dataset&)> onCalcFields;
    // Told, while the query of open() runs, how much of its table it has read: `done` of
    // `total` pages. Only queries that read a whole table report.
    std::function<void(std::size_t done, std::size_t total)> onProgress;
    void reportProgress(std::size_t done, std::size_t total) const {
        if (onProgress)
            onProgress(done, total);
    }

    // A data-aware control that holds typed input not yet handed to its field registers here;
    // post calls `handOver` first, and an error it throws stops the post. The registration ends
    // when `owner` is destroyed.
    void addPendingInput(QObject* owner, std::function<void()> handOver);

    // For Field.
    QVariant currentValue(int field) const;
    void setCurrentValue(int field, const QVariant& value);

signals:
    // The dataset opened, closed or changed its visible records.
    void reset();
    // Another record became current.
    void scrolled();
    // The dataset changed between browse and edit state.
    void stateChanged();
    // A value of visible record `record` changed (an edit, a post or a cancel).
    void recordChanged(int record);

private:
    struct Record {
        jet::RowId id;
        std::vector<QVariant> values;
    };

    std::vector<int> bindColumns(const jet::TableDef& table) const;
    void calculate(Record& record);
    void rebuildVisible();
    void checkBrowseMode();
    void arrive(int record, bool bof, bool eof);
    Record* currentRecord();
    const Record* currentRecord() const;
    Error notActive() const;

    QString name_;
    Connection& connection_;
    QString tableName_;
    std::vector<std::unique_ptr<Field>> fields_;
    // Every loop over the records asks for fields by name, row after row: the names are looked
    // up, as written first and then without regard to case, rather than compared one by one.
    QHash<QString, int> fieldOfName_;
    QHash<QString, int> fieldOfFoldedName_;
    Query query_;
    QVariantMap parameters_;

    State state_ = State::Inactive;
    std::optional<jet::TableDef> table_;
    std::vector<int> columnOfField_;
    std::vector<Record> records_;
    std::vector<int> visible_;
    int current_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    std::optional<Record> editBuffer_;
    Record* calculating_ = nullptr;
    const Record* filtering_ = nullptr;
    Filter filter_;
    bool filtered_ = false;
    std::vector<std::pair<QObject*, std::function<void()>>> pendingInputs_;
};

// Connects data-aware controls to a dataset. A control that is about to change a value asks
// the data source to put the dataset into edit state.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(Dataset& dataset, QObject* parent = nullptr)
        : QObject(parent), dataset_(dataset) {}

    Dataset& dataset() const { return dataset_; }
    // True when the dataset is now being edited; false when it has no record to edit.
    bool edit();

private:
    Dataset& dataset_;
};

} // namespace data
