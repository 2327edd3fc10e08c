// SPDX-License-Identifier: Apache-2.0
#include "data/number_format.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace data {

namespace {

QString groupByThrees(const QString& digits) {
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += QLatin1Char(' ');
        grouped += digits[i];
    }
    return grouped;
}

// The fewest digits that read back as the same double: 0.1 stays "0.1", not the seventeen digits
// of its binary value. Plain decimals over the range a tender's prices and quantities take;
// beyond it an exponent, so that 1e300 does not fill a cell with three hundred digits.
QString shortestForm(double value) {
    const double magnitude = std::abs(value);
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e15);
    return QString::number(value, plain ? 'f' : 'e', QLocale::FloatingPointShortest);
}

} // namespace

QString formatNumber(double value, const QString& format, QChar decimalPoint) {
    if (format.isEmpty())
        return shortestForm(value).replace(QLatin1Char('.'), decimalPoint);

    const qsizetype point = format.indexOf(QLatin1Char('.'));
    const QString integerPattern = point < 0 ? format : format.left(point);
    const QString decimalPattern = point < 0 ? QString() : format.mid(point + 1);
    const qsizetype requiredIntegers = integerPattern.count(QLatin1Char('0'));
    const bool grouped = integerPattern.contains(QLatin1Char(' '));
    const qsizetype requiredDecimals = decimalPattern.count(QLatin1Char('0'));
    const qsizetype maximumDecimals = requiredDecimals + decimalPattern.count(QLatin1Char('#'));

    const QString fixed = QString::number(std::abs(value), 'f', static_cast<int>(maximumDecimals));
    const qsizetype fixedPoint = fixed.indexOf(QLatin1Char('.'));
    QString integers = fixedPoint < 0 ? fixed : fixed.left(fixedPoint);
    QString decimals = fixedPoint < 0 ? QString() : fixed.mid(fixedPoint + 1);
    while (decimals.size() > requiredDecimals && decimals.endsWith(QLatin1Char('0')))
        decimals.chop(1);
    if (integers == QLatin1String("0") && requiredIntegers == 0)
        integers.clear();
    while (integers.size() < requiredIntegers)
        integers.prepend(QLatin1Char('0'));
    if (grouped)
        integers = groupByThrees(integers);

    QString text = integers;
    if (!decimals.isEmpty())
        text += decimalPoint + decimals;
    const bool showsNonZero = std::any_of(
        fixed.begin(), fixed.end(), [](QChar c) { return c.isDigit() && c != QLatin1Char('0'); });
    if (value < 0 && showsNonZero)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString formatStoredNumber(double value, const QString& format, QChar decimalPoint) {
    if (format.isEmpty())
        return formatNumber(value, format, decimalPoint);
    const qsizetype point = format.indexOf(QLatin1Char('.'));
    const qsizetype shown = point < 0 ? 0 : format.size() - point - 1;
    const qsizetype missing = decimalsOf(value) - shown;
    if (missing <= 0)
        return formatNumber(value, format, decimalPoint);
    return formatNumber(value,
                        format + (point < 0 ? QStringLiteral(".") : QString()) +
                            QString(missing, QLatin1Char('0')),
                        decimalPoint);
}

QString numberDisplayMask(qint64 decimals) {
    // Beyond fifteen decimals a double shows only rounding noise, and a count read from a
    // damaged file must not make a pattern of gigabytes.
    const qint64 shown = std::min(decimals, kMaxDisplayDecimals);
    QString mask = QStringLiteral("# ### ##0");
    if (shown > 0)
        mask += QLatin1Char('.') + QString(static_cast<qsizetype>(shown), QLatin1Char('0'));
    return mask;
}

qint64 decimalsOf(double value) {
    if (!std::isfinite(value))
        return 0;
    const QString plain = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const qsizetype point = plain.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : std::min(plain.size() - point - 1, kMaxDisplayDecimals);
}

qint64 significantDigitsOf(double value) {
    if (!std::isfinite(value))
        return 0;
    // The scientific form keeps neither leading nor trailing zeros in its mantissa.
    std::array<char, 32> chars{};
    const char* const begin = chars.data();
    const char* const end = std::to_chars(chars.data(), chars.data() + chars.size(), value,
                                          std::chars_format::scientific)
                                .ptr;
    const char* const exponent = std::find(begin, end, 'e');
    return std::count_if(begin, exponent, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace data
