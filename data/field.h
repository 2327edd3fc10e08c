// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace data {

class Dataset;

enum class FieldType { AutoIncrement, Integer, Boolean, Double, Text, Memo };

// Where a field's value comes from.
enum class FieldKind {
    Column,     // a column of the table, written back on post
    Derived,    // computed by the query when the dataset opens; read-only
    Calculated, // set by the dataset's calc-fields event; never stored
};

// One entry of a dataset's field list, as the dataset declares it.
struct FieldDef {
    FieldDef(QString fieldName, FieldType fieldType, int fieldSize = 0,
             FieldKind fieldKind = FieldKind::Column)
        : name(std::move(fieldName)), type(fieldType), size(fieldSize), kind(fieldKind) {}
    FieldDef& withLabel(QString label) {
        displayLabel = std::move(label);
        return *this;
    }
    FieldDef& withFormat(QString format) {
        displayFormat = std::move(format);
        return *this;
    }
    FieldDef& asReadOnly() {
        readOnly = true;
        return *this;
    }

    QString name;
    FieldType type;
    int size; // characters of a text field
    FieldKind kind;
    QString displayLabel;
    QString displayFormat;
    bool readOnly = false;
};

QString fieldTypeName(FieldType type);

// A field of an open or closed dataset. Its value is that of the dataset's current record, or
// of the edit buffer while the dataset is being edited; without a current record it is null.
// A null reads as 0, "" or false through the typed accessors.
class Field {
public:
    Field(Dataset& dataset, int index, FieldDef def);

    const QString& name() const { return def_.name; }
    FieldType type() const { return def_.type; }
    int size() const { return def_.size; }
    FieldKind kind() const { return def_.kind; }
    bool readOnly() const { return def_.readOnly || def_.kind == FieldKind::Derived; }
    int index() const { return index_; }
    Dataset& dataset() const { return dataset_; }

    // The label shown above a grid column: the display label, else the field name.
    QString displayLabel() const;
    void setDisplayLabel(const QString& label) { def_.displayLabel = label; }
    const QString& displayFormat() const { return def_.displayFormat; }
    void setDisplayFormat(const QString& format) { def_.displayFormat = format; }

    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    QString asString() const;
    double asFloat() const;
    qint64 asInteger() const;
    bool asBoolean() const;
    // The value as shown on screen: numbers through the display format, a null as "".
    QString displayText() const { return displayText(value()); }
    // Any value of this field as it would be shown.
    QString displayText(const QVariant& value) const;

    // Writes the field of the edit buffer, or of the record being calculated for a calculated
    // field. Throws Error when the dataset is not being edited or the field is read-only.
    void setValue(const QVariant& value);
    void clear() { setValue(QVariant()); }

    // Rules the dataset's owner hangs on the field. onChange runs after every write through
    // setValue and may write the field again; onGetText, when set, gives the text of every value,
    // a null included, in place of the display format's.
    std::function<void(Field&)> onChange;
    std::function<QString(const Field&, const QVariant&)> onGetText;

private:
    Dataset& dataset_;
    int index_;
    FieldDef def_;
};

} // namespace data
