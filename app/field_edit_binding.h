#pragma once

#include <QObject>
#include <QString>

class ErrorGuard;
class QLineEdit;
namespace data {
class DataSource;
class Field;
} // namespace data

// Binds a line edit to a field of a data source. The edit shows the field of the current
// record; the first keystroke puts the dataset into edit state (or, without a record to edit,
// restores the shown value); the typed text reaches the field when the edit loses the focus or
// when the record is posted, an empty text as null.
class FieldEditBinding : public QObject {
    Q_OBJECT
public:
    FieldEditBinding(QLineEdit& edit, data::DataSource& source, const QString& fieldName,
                     ErrorGuard& guard);

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
    bool modified_ = false;
};
