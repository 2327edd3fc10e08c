// SPDX-License-Identifier: Apache-2.0
#include "data/field.h"

#include "data/dataset.h"
#include "data/number_format.h"

#include <QLocale>

namespace data {

QString fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::AutoIncrement:
        return QStringLiteral("autonumber");
    case FieldType::Integer:
        return QStringLiteral("integer");
    case FieldType::Boolean:
        return QStringLiteral("yes/no");
    case FieldType::Double:
        return QStringLiteral("double");
    case FieldType::Text:
        return QStringLiteral("text");
    case FieldType::Memo:
        return QStringLiteral("memo");
    }
    return {};
}

Field::Field(Dataset& dataset, int index, FieldDef def)
    : dataset_(dataset), index_(index), def_(std::move(def)) {}

QString Field::displayLabel() const {
    return def_.displayLabel.isEmpty() ? def_.name : def_.displayLabel;
}

QVariant Field::value() const {
    return dataset_.currentValue(index_);
}

QString Field::asString() const {
    const QVariant v = value();
    return v.isNull() ? QString() : v.toString();
}

double Field::asFloat() const {
    const QVariant v = value();
    return v.isNull() ? 0.0 : v.toDouble();
}

qint64 Field::asInteger() const {
    const QVariant v = value();
    return v.isNull() ? 0 : v.toLongLong();
}

bool Field::asBoolean() const {
    const QVariant v = value();
    return !v.isNull() && v.toBool();
}

QString Field::displayText(const QVariant& v) const {
    if (onGetText)
        return onGetText(*this, v);
    if (v.isNull())
        return {};
    switch (def_.type) {
    case FieldType::Double:
        // A value of the file is shown as it is stored; sums and calculations as formatted.
        return def_.kind == FieldKind::Column ? formatStoredNumber(v.toDouble(), def_.displayFormat,
                                                                   QLocale().decimalPoint().front())
                                              : formatNumber(v.toDouble(), def_.displayFormat,
                                                             QLocale().decimalPoint().front());
    case FieldType::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

void Field::setValue(const QVariant& value) {
    QVariant typed;
    if (!value.isNull()) {
        bool ok = true;
        switch (def_.type) {
        case FieldType::AutoIncrement:
        case FieldType::Integer:
            typed = value.toLongLong(&ok);
            break;
        case FieldType::Double:
            typed = value.toDouble(&ok);
            break;
        case FieldType::Boolean:
            typed = value.toBool();
            break;
        case FieldType::Text:
        case FieldType::Memo:
            typed = value.toString();
            break;
        }
        if (!ok)
            throw Error(QStringLiteral("'%1' не е валидна стойност за поле '%2'")
                            .arg(value.toString(), def_.name));
    }
    dataset_.setCurrentValue(index_, typed);
    if (onChange)
        onChange(*this);
}

} // namespace data
