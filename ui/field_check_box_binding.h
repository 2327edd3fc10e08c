// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QObject>
#include <QString>

class ErrorGuard;
class QCheckBox;
namespace data {
class DataSource;
class Field;
} // namespace data

// Binds a check box to a yes/no field of a data source. The box shows the field of the current
// record, a null as unticked; a click puts the dataset into edit state and stores true when
// ticked and false when not (without a record to edit, the box goes back to what it showed).
class FieldCheckBoxBinding : public QObject {
    Q_OBJECT
public:
    // Throws data::FieldError when the data source's dataset has no field `fieldName`.
    FieldCheckBoxBinding(QCheckBox& box, data::DataSource& source, const QString& fieldName,
                         ErrorGuard& guard);

    data::Field& field() const { return field_; }

private:
    void show();
    void clicked(bool ticked);

    QCheckBox& box_;
    data::DataSource& source_;
    data::Field& field_;
    ErrorGuard& guard_;
};
