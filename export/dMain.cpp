#include "export/dMain.h"

#include "data/dataset.h"

namespace {

const QString kGreaterThanZero = QStringLiteral(" трябва да е по-голямо от 0.");
const QString kNotNegative = QStringLiteral(" трябва да е по-голямо или равно на 0.");
const QString kFilledIn = QStringLiteral(" трябва да е попълнено.");

// The limit codes of the tender's parameters; any other code puts no limit on the value.
enum Limit : qint64 { GreaterThanZero = 2, NotNegative = 3, FilledIn = 5 };

QString message(const QString& caption, const QString& suffix) {
    return QLatin1Char('"') + caption + QLatin1Char('"') + suffix + QStringLiteral("\r\n");
}

bool isBlank(const QVariant& text) {
    return text.isNull() || trimControls(text.toString()).isEmpty();
}

QString numbered(const QString& prefix, int n, const char* suffix) {
    return prefix + QString::number(n) + QLatin1Char('_') + QLatin1String(suffix);
}

bool greaterThanZero(const QVariant& number) {
    return !number.isNull() && number.toDouble() > 0;
}

bool notNegative(const QVariant& number) {
    return !number.isNull() && number.toDouble() >= 0;
}

// The message of the limit that parameter `prefix`n carries in `descriptors` (its limit code
// and caption), broken by its value in `values`; empty when the value keeps to the limit.
QString limitMessage(const data::Dataset& values, const data::Dataset& descriptors,
                     const QString& prefix, int n) {
    const auto value = [&](const char* column) {
        return values.fieldByName(numbered(prefix, n, column)).value();
    };
    QString suffix;
    switch (descriptors.fieldByName(numbered(prefix, n, "OGRANICHENIE")).asInteger()) {
    case GreaterThanZero:
        if (!greaterThanZero(value("NUMBER")))
            suffix = kGreaterThanZero;
        break;
    case NotNegative:
        if (!notNegative(value("NUMBER")))
            suffix = kNotNegative;
        break;
    case FilledIn:
        if (isBlank(value("TEXT")))
            suffix = kFilledIn;
        break;
    default:
        break;
    }
    if (suffix.isEmpty())
        return {};
    return message(descriptors.fieldByName(numbered(prefix, n, "IME")).asString(), suffix);
}

} // namespace

TdmMain::TdmMain(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("dmMain"));
}

QString TdmMain::IsKonkOK(const data::Dataset& qry) {
    QString result;
    if (isBlank(qry.fieldByName(QStringLiteral("IME_NA_FIRMATA")).value()))
        result += message(QStringLiteral("Наименование на фирмата"), kFilledIn);
    for (int n = 1; n <= 4; ++n)
        result += limitMessage(qry, qry, QStringLiteral("KP"), n);
    return result;
}

QString TdmMain::IsPosOk(const data::Dataset& qry, const data::Dataset& qryKonk) {
    QString result;
    if (!greaterThanZero(qry.fieldByName(QStringLiteral("PP1_NUMBER")).value()))
        result +=
            message(qryKonk.fieldByName(QStringLiteral("PP1_IME")).asString(), kGreaterThanZero);
    for (int n = 2; n <= 6; ++n)
        result += limitMessage(qry, qryKonk, QStringLiteral("PP"), n);
    return result;
}

QString trimControls(const QString& text) {
    const auto isTrimmed = [](QChar c) { return c.unicode() <= 32; };
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isTrimmed(text[first]))
        ++first;
    while (end > first && isTrimmed(text[end - 1]))
        --end;
    return text.mid(first, end - first);
}
