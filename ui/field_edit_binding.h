// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class ErrorGuard;
class QLineEdit;
namespace data {
class DataSource;
class Field;
} // namespace data

// How a bound edit shows a value and reads typed text back. Either may be left empty: the value
// then shows as its text, and the text is read as it stands, an empty one as null. A reader
// that throws keeps the typed text pending.
struct EditConversion {
    std::function<QString(const QVariant&)> show;
    std::function<QVariant(const QString&)> read;
};

// Binds a line edit to a field of a data source. The edit shows the field of the current
// record; the first keystroke puts the dataset into edit state (or, without a record to edit,
// restores the shown value); the typed text reaches the field when the edit loses the focus or
// when the record is posted, an empty text as null. Typed text that the field refuses stays
// pending, so a later post tries it again instead of storing the old value under it.
class FieldEditBinding : public QObject {
    Q_OBJECT
public:
    // Throws data::FieldError when the data source's dataset has no field `fieldName`.
    FieldEditBinding(QLineEdit& edit, data::DataSource& source, const QString& fieldName,
                     ErrorGuard& guard, EditConversion conversion = {});

    data::Field& field() const { return field_; }
    // Hands typed text to the field; throws what the field throws.
    void handOver();

private:
    void show();
    void typed();

    QLineEdit& edit_;
    data::DataSource& source_;
    data::Field& field_;
    ErrorGuard& guard_;
    EditConversion conversion_;
    bool modified_ = false;
};
