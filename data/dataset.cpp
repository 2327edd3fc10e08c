// SPDX-License-Identifier: Apache-2.0
#include "data/dataset.h"

#include "data/engine_error.h"

#include "data/connection.h"

#include <algorithm>

namespace data {

namespace {

bool sameBaseType(FieldType type, jet::ColumnType column) {
    using jet::ColumnType;
    switch (type) {
    case FieldType::AutoIncrement:
    case FieldType::Integer:
        return column == ColumnType::Byte || column == ColumnType::Integer ||
               column == ColumnType::Long;
    case FieldType::Boolean:
        return column == ColumnType::Boolean;
    case FieldType::Double:
        return column == ColumnType::Double || column == ColumnType::Single;
    case FieldType::Text:
        return column == ColumnType::Text;
    case FieldType::Memo:
        return column == ColumnType::Memo;
    }
    return false;
}

jet::Value toEngineValue(const QVariant& value, FieldType type) {
    if (value.isNull())
        return std::monostate{};
    switch (type) {
    case FieldType::AutoIncrement:
    case FieldType::Integer:
        return static_cast<std::int64_t>(value.toLongLong());
    case FieldType::Boolean:
        return value.toBool();
    case FieldType::Double:
        return value.toDouble();
    case FieldType::Text:
    case FieldType::Memo: {
        // Unit for unit, as the texts were read: UTF-8 has no form for half a surrogate pair.
        const QString text = value.toString();
        return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                              static_cast<std::size_t>(text.size()));
    }
    }
    return std::monostate{};
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace

QVariant toVariant(const jet::Value& value) {
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return static_cast<qlonglong>(*i);
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* s = std::get_if<std::string>(&value))
        return QString::fromStdString(*s);
    if (const auto* s = std::get_if<std::u16string>(&value))
        return QString::fromUtf16(s->data(), static_cast<qsizetype>(s->size()));
    return {}; // null; other kinds never pass the field list check
}

std::size_t ColumnPick::place(std::size_t column) {
    const auto found = std::find(columns_.begin(), columns_.end(), column);
    if (found != columns_.end())
        return static_cast<std::size_t>(found - columns_.begin());
    columns_.push_back(column);
    return columns_.size() - 1;
}

Dataset::Dataset(QString name, Connection& connection, QString table, std::vector<FieldDef> fields,
                 Query query)
    : name_(std::move(name)), connection_(connection), tableName_(std::move(table)),
      query_(std::move(query)) {
    for (FieldDef& def : fields) {
        const int index = static_cast<int>(fields_.size());
        fields_.push_back(std::make_unique<Field>(*this, index, std::move(def)));
        const QString& fieldName = fields_.back()->name();
        // Of two fields of one name the first is found.
        if (!fieldOfName_.contains(fieldName))
            fieldOfName_.insert(fieldName, index);
        if (!fieldOfFoldedName_.contains(fieldName.toCaseFolded()))
            fieldOfFoldedName_.insert(fieldName.toCaseFolded(), index);
    }
}

Dataset::~Dataset() = default;

Field* Dataset::findField(const QString& name) {
    auto found = fieldOfName_.constFind(name);
    if (found == fieldOfName_.constEnd()) {
        found = fieldOfFoldedName_.constFind(name.toCaseFolded());
        if (found == fieldOfFoldedName_.constEnd())
            return nullptr;
    }
    return fields_[static_cast<std::size_t>(*found)].get();
}

const Field* Dataset::findField(const QString& name) const {
    return const_cast<Dataset*>(this)->findField(name);
}

Field& Dataset::fieldByName(const QString& name) {
    if (Field* field = findField(name))
        return *field;
    throw FieldError(QStringLiteral("%1: Полето '%2' не е намерено").arg(name_, name));
}

const Field& Dataset::fieldByName(const QString& name) const {
    return const_cast<Dataset*>(this)->fieldByName(name);
}

std::vector<int> Dataset::bindColumns(const jet::TableDef& table) const {
    std::vector<int> columnOf;
    for (const auto& field : fields_) {
        if (field->kind() != FieldKind::Column) {
            columnOf.push_back(-1);
            continue;
        }
        const jet::Column* column = table.find(field->name().toStdString());
        if (column == nullptr)
            throw FieldError(
                QStringLiteral("%1: Полето '%2' не е намерено").arg(name_, field->name()));
        if (!sameBaseType(field->type(), column->type))
            throw FieldError(
                QStringLiteral("%1: Полето '%2' е от тип %3, а се очаква %4")
                    .arg(name_, field->name(),
                         QString::fromUtf8(
                             jet::columnTypeName(column->type).data(),
                             static_cast<qsizetype>(jet::columnTypeName(column->type).size())),
                         fieldTypeName(field->type())));
        columnOf.push_back(static_cast<int>(column - table.columns.data()));
    }
    return columnOf;
}

void Dataset::open() {
    if (active())
        return;
    if (beforeOpen)
        beforeOpen(*this);
    const jet::Database& database = connection_.database();
    jet::TableDef table = engineCall([&] { return database.table(tableName_.toStdString()); });
    std::vector<int> columnOf = bindColumns(table);
    ColumnPick pick;
    std::vector<std::optional<std::size_t>> placeOf(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (columnOf[i] >= 0)
            placeOf[i] = pick.place(static_cast<std::size_t>(columnOf[i]));
    std::vector<SnapshotRow> rows =
        engineCall([&] { return query_(database, table, *this, pick); });

    std::vector<Record> records;
    records.reserve(rows.size());
    for (SnapshotRow& row : rows) {
        Record record{row.id, std::vector<QVariant>(fields_.size())};
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (placeOf[i])
                record.values[i] = toVariant(row.columns.at(*placeOf[i]));
            else if (fields_[i]->kind() == FieldKind::Derived)
                record.values[i] = row.derived.value(fields_[i]->name());
        }
        // Freed as it is copied, so that the records take the room the rows leave.
        row = SnapshotRow{};
        records.push_back(std::move(record));
    }

    records_ = std::move(records);
    table_ = std::move(table);
    columnOfField_ = std::move(columnOf);
    state_ = State::Browse;
    try {
        for (Record& record : records_)
            calculate(record);
    } catch (...) {
        // A dataset whose calculated fields could not be computed is not open: nothing may
        // browse or post records that hold half of their values.
        close();
        throw;
    }
    rebuildVisible();
    arrive(visible_.empty() ? -1 : 0, true, visible_.empty());
    emit reset();
    if (!visible_.empty() && afterScroll)
        afterScroll(*this);
}

void Dataset::close() {
    if (!active())
        return;
    editBuffer_.reset();
    records_.clear();
    visible_.clear();
    table_.reset();
    columnOfField_.clear();
    state_ = State::Inactive;
    arrive(-1, true, true);
    emit reset();
}

void Dataset::calculate(Record& record) {
    if (!onCalcFields)
        return;
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i]->kind() == FieldKind::Calculated)
            record.values[i] = QVariant();
    calculating_ = &record;
    try {
        onCalcFields(*this);
    } catch (...) {
        calculating_ = nullptr;
        throw;
    }
    calculating_ = nullptr;
}

void Dataset::rebuildVisible() {
    visible_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (filtered_ && filter_) {
            filtering_ = &records_[i];
            bool keep = false;
            try {
                keep = filter_(*this);
            } catch (...) {
                filtering_ = nullptr;
                throw;
            }
            filtering_ = nullptr;
            if (!keep)
                continue;
        }
        visible_.push_back(static_cast<int>(i));
    }
}

void Dataset::arrive(int record, bool bof, bool eof) {
    current_ = record;
    bof_ = bof;
    eof_ = eof;
}

Error Dataset::notActive() const {
    return Error(QStringLiteral("%1: Наборът от данни е затворен").arg(name_));
}

Dataset::Record* Dataset::currentRecord() {
    if (current_ < 0)
        return nullptr;
    return &records_[static_cast<std::size_t>(visible_[static_cast<std::size_t>(current_)])];
}

const Dataset::Record* Dataset::currentRecord() const {
    return const_cast<Dataset*>(this)->currentRecord();
}

void Dataset::checkBrowseMode() {
    if (!active())
        throw notActive();
    if (state_ == State::Edit)
        post();
}

void Dataset::first() {
    checkBrowseMode();
    const int before = current_;
    arrive(isEmpty() ? -1 : 0, true, isEmpty());
    if (current_ != before)
        emit scrolled();
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::last() {
    checkBrowseMode();
    const int before = current_;
    arrive(recordCount() - 1, isEmpty(), true);
    if (current_ != before)
        emit scrolled();
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::next() {
    checkBrowseMode();
    if (current_ >= 0 && current_ + 1 < recordCount()) {
        arrive(current_ + 1, false, false);
        emit scrolled();
    } else {
        eof_ = true;
    }
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::prior() {
    checkBrowseMode();
    if (current_ > 0) {
        arrive(current_ - 1, false, false);
        emit scrolled();
    } else {
        bof_ = true;
    }
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::moveTo(int record) {
    checkBrowseMode();
    if (record < 0 || record >= recordCount() || record == current_)
        return;
    arrive(record, false, false);
    emit scrolled();
    if (afterScroll)
        afterScroll(*this);
}

bool Dataset::locate(const QString& field, const QVariant& value) {
    const Field& key = fieldByName(field);
    checkBrowseMode();
    if (value.isNull())
        return false;
    const bool text = key.type() == FieldType::Text || key.type() == FieldType::Memo;
    const auto matches = [&](const QVariant& stored) {
        if (stored.isNull())
            return false;
        return text ? stored.toString() == value.toString() : stored.toDouble() == value.toDouble();
    };
    for (int record = 0; record < recordCount(); ++record) {
        if (!matches(valueAt(record, key.index())))
            continue;
        const int before = current_;
        arrive(record, false, false);
        if (current_ != before)
            emit scrolled();
        if (afterScroll)
            afterScroll(*this);
        return true;
    }
    return false;
}

void Dataset::edit() {
    if (!active())
        throw notActive();
    if (state_ == State::Edit)
        return;
    const Record* record = currentRecord();
    if (record == nullptr)
        throw Error(QStringLiteral("%1: Няма запис за редактиране").arg(name_));
    connection_.checkWritable();
    editBuffer_ = *record;
    state_ = State::Edit;
    emit stateChanged();
}

void Dataset::post() {
    if (state_ != State::Edit)
        throw Error(QStringLiteral("%1: Записът не се редактира").arg(name_));
    for (const auto& pending : pendingInputs_)
        pending.second();
    if (beforePost)
        beforePost(*this);

    Record& record = *currentRecord();
    std::vector<jet::Database::ColumnChange> changes;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (columnOfField_[i] < 0 || sameValue(record.values[i], editBuffer_->values[i]))
            continue;
        const jet::Column& column = table_->columns[static_cast<std::size_t>(columnOfField_[i])];
        changes.push_back({column.name, toEngineValue(editBuffer_->values[i], fields_[i]->type())});
    }
    if (!changes.empty())
        engineCall([&] { connection_.database().update(*table_, record.id, changes); });

    record.values = std::move(editBuffer_->values);
    editBuffer_.reset();
    state_ = State::Browse;
    calculate(record);
    emit stateChanged();
    emit recordChanged(current_);
}

void Dataset::cancel() {
    if (state_ != State::Edit)
        return;
    editBuffer_.reset();
    state_ = State::Browse;
    emit stateChanged();
    emit recordChanged(current_);
}

QVariant Dataset::valueAt(int record, int field) const {
    if (record < 0 || record >= recordCount())
        return {};
    const std::size_t f = static_cast<std::size_t>(field);
    if (record == current_ && editBuffer_)
        return editBuffer_->values.at(f);
    return records_[static_cast<std::size_t>(visible_[static_cast<std::size_t>(record)])].values.at(
        f);
}

void Dataset::setFilter(Filter filter) {
    filter_ = std::move(filter);
    if (filtered_)
        setFiltered(true);
}

void Dataset::setFiltered(bool filtered) {
    // The pending edit is posted first: when it is refused, the filter stays as it was.
    if (active())
        checkBrowseMode();
    filtered_ = filtered;
    if (!active())
        return;
    rebuildVisible();
    arrive(isEmpty() ? -1 : 0, true, isEmpty());
    emit reset();
    if (!isEmpty() && afterScroll)
        afterScroll(*this);
}

void Dataset::addPendingInput(QObject* owner, std::function<void()> handOver) {
    pendingInputs_.emplace_back(owner, std::move(handOver));
    connect(owner, &QObject::destroyed, this, [this, owner] {
        std::erase_if(pendingInputs_, [owner](const auto& entry) { return entry.first == owner; });
    });
}

QVariant Dataset::currentValue(int field) const {
    const std::size_t f = static_cast<std::size_t>(field);
    if (calculating_ != nullptr)
        return calculating_->values.at(f);
    if (filtering_ != nullptr)
        return filtering_->values.at(f);
    if (editBuffer_)
        return editBuffer_->values.at(f);
    const Record* record = currentRecord();
    return record == nullptr ? QVariant() : record->values.at(f);
}

void Dataset::setCurrentValue(int field, const QVariant& value) {
    const std::size_t f = static_cast<std::size_t>(field);
    Field& target = *fields_.at(f);
    if (calculating_ != nullptr && target.kind() == FieldKind::Calculated) {
        calculating_->values[f] = value;
        return;
    }
    if (state_ != State::Edit)
        throw Error(QStringLiteral("%1: Записът не се редактира").arg(name_));
    if (target.readOnly())
        throw Error(
            QStringLiteral("%1: Полето '%2' не може да се променя").arg(name_, target.name()));
    editBuffer_->values[f] = value;
    if (target.kind() != FieldKind::Calculated)
        calculate(*editBuffer_);
    emit recordChanged(current_);
}

bool DataSource::edit() {
    if (!dataset_.active() || dataset_.isEmpty())
        return false;
    dataset_.edit();
    return true;
}

} // namespace data
