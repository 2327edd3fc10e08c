// SPDX-License-Identifier: Apache-2.0
#include "export/workbook.h"

#include "data/output_file.h"
#include "export/sheet_formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>

namespace sheet {

namespace formats {

void refuseToRead(const QString& path, const QString& reason) {
    throw WorkbookError(QStringLiteral("Файлът %1 не може да бъде прочетен като таблица: %2.")
                            .arg(QDir::toNativeSeparators(path), reason));
}

void refuseToWrite(const QString& path, const QString& reason) {
    throw WorkbookError(QStringLiteral("Файлът %1 не може да бъде записан: %2.")
                            .arg(QDir::toNativeSeparators(path), reason));
}

namespace {

bool isGroupSpace(QChar c) {
    return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F);
}

} // namespace

namespace {

// What the XML of a cell carries as it is. A carriage return is not: every XML reader turns it
// into a line feed.
bool carriedAsItIs(char16_t c) {
    return c == u'\t' || c == u'\n' || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

// The unit that the escape at `at` of `text` stands for, when there is one.
std::optional<char16_t> escapeAt(const QString& text, qsizetype at) {
    constexpr qsizetype kLength = 7; // _xHHHH_
    if (at + kLength > text.size() || text[at] != u'_' || text[at + 1] != u'x' ||
        text[at + kLength - 1] != u'_')
        return std::nullopt;
    char16_t unit = 0;
    for (qsizetype i = at + 2; i < at + kLength - 1; ++i) {
        const char16_t h = text[i].unicode();
        int digit = 0;
        if (h >= u'0' && h <= u'9')
            digit = h - u'0';
        else if (h >= u'a' && h <= u'f')
            digit = h - u'a' + 10;
        else if (h >= u'A' && h <= u'F')
            digit = h - u'A' + 10;
        else
            return std::nullopt;
        unit = static_cast<char16_t>(unit * 16 + digit);
    }
    return unit;
}

} // namespace

// Whether the '_' at `at` of `text` would start what reads as an escape once `text` is written:
// "_xHHHH" followed by a '_', or by a character that is itself written as an escape.
bool startsEscapeOnceWritten(const QString& text, qsizetype at) {
    constexpr qsizetype kEnd = 6; // the place of the escape's closing '_'
    if (at + kEnd >= text.size())
        return false;
    QString shape = text.mid(at, kEnd + 1);
    if (!carriedAsItIs(shape[kEnd].unicode()))
        shape[kEnd] = u'_';
    return escapeAt(shape, 0).has_value();
}

QString escapedSpreadsheetText(const QString& text) {
    QString written;
    written.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (carriedAsItIs(c) && !(c == u'_' && startsEscapeOnceWritten(text, i)))
            written += text[i];
        else
            written += QStringLiteral("_x%1_").arg(
                QStringLiteral("%1").arg(int(c), 4, 16, QLatin1Char('0')).toUpper());
    }
    return written;
}

QString unescapedSpreadsheetText(const QString& text) {
    QString read;
    read.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const std::optional<char16_t> unit = escapeAt(text, i)) {
            read += QChar(*unit);
            i += 6;
        } else {
            read += text[i];
        }
    }
    return read;
}

bool isShownCharacter(char16_t c) {
    return (c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') && c != 0xFFFE && c != 0xFFFF;
}

bool hasLoneSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

namespace {

// The number `text` writes with `decimal` as its decimal separator, as the C locale writes it:
// sign, digits and a '.', without grouping; nothing when it is no such number. Its integer digits
// may be grouped by threes with spaces, or with `groupMark` where one is given.
std::optional<QString> plainNumber(QStringView text, QChar decimal, QChar groupMark = QChar()) {
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() > kMaxNumberLength)
        return std::nullopt;
    qsizetype i = 0;
    QString plain; // sign, digits and a '.', for the C locale
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+'))
        plain += trimmed[i++];
    QChar grouping;
    qsizetype groupDigits = 0;
    qsizetype integerDigits = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c.isDigit() && c.unicode() < 128) {
            plain += c;
            ++groupDigits;
            ++integerDigits;
        } else if (isGroupSpace(c) || (!groupMark.isNull() && c == groupMark)) {
            // Grouping by threes only: the first group 1 to 3 digits, the others exactly 3.
            // A first group of "0" groups nothing: "0.125" is only ever a fraction.
            const bool firstGroup = grouping.isNull();
            const bool zeroGroup = groupDigits == 1 && plain.endsWith(u'0');
            if (groupDigits == 0 || (firstGroup && (groupDigits > 3 || zeroGroup)) ||
                (!firstGroup && (groupDigits != 3 || c != grouping)))
                return std::nullopt;
            grouping = c;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (integerDigits == 0 || (!grouping.isNull() && groupDigits != 3))
        return std::nullopt;
    if (i < trimmed.size()) {
        if (trimmed[i] != decimal || i + 1 == trimmed.size())
            return std::nullopt;
        plain += u'.';
        for (++i; i < trimmed.size(); ++i) {
            if (!trimmed[i].isDigit() || trimmed[i].unicode() >= 128)
                return std::nullopt;
            plain += trimmed[i];
        }
    }
    return plain;
}

// The digits and the exponent of a number as XLSX writes it ("1.25", "-3E-5"); nothing when the
// text is no such number.
std::optional<std::pair<QString, qint64>> exponentNumber(QStringView text) {
    const qsizetype mark = std::max(text.indexOf(u'e'), text.indexOf(u'E'));
    if (mark < 0)
        return std::nullopt;
    const auto mantissa = plainNumber(text.left(mark), u'.');
    bool ok = false;
    const qint64 exponent = text.mid(mark + 1).toLongLong(&ok);
    if (!mantissa || !ok)
        return std::nullopt;
    return std::pair{*mantissa, exponent};
}

} // namespace

std::optional<double> readNumber(QStringView text, QChar decimal) {
    const auto plain = plainNumber(text, decimal);
    bool ok = false;
    const double value = plain ? plain->toDouble(&ok) : 0.0;
    if (!ok)
        return std::nullopt;
    return value;
}

QString columnName(std::size_t column) {
    QString name;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + static_cast<char16_t>((n - 1) % 26)));
    return name;
}

Cell& cellAt(Table& table, int row, int column, const Limits& limits, qint64& cellCount,
             const QString& path) {
    if (row < 0 || row >= limits.rows)
        refuseToRead(path, QStringLiteral("има повече от %1 реда").arg(limits.rows));
    if (column < 0 || column >= limits.columns)
        refuseToRead(path, QStringLiteral("има повече от %1 колони").arg(limits.columns));
    if (static_cast<std::size_t>(row) >= table.rows.size())
        table.rows.resize(static_cast<std::size_t>(row) + 1);
    std::vector<Cell>& cells = table.rows[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= cells.size()) {
        cellCount += column + 1 - static_cast<qint64>(cells.size());
        if (cellCount > limits.cells)
            refuseToRead(path, QStringLiteral("има повече от %1 клетки").arg(limits.cells));
        cells.resize(static_cast<std::size_t>(column) + 1);
    }
    return cells[static_cast<std::size_t>(column)];
}

void dropTrailingEmpty(Table& table) {
    for (std::vector<Cell>& cells : table.rows)
        while (!cells.empty() && cells.back().kind == CellKind::Empty)
            cells.pop_back();
    while (!table.rows.empty() && table.rows.back().empty())
        table.rows.pop_back();
}

} // namespace formats

namespace {

const QByteArray kZipSignature("PK\x03\x04", 4);
const QByteArray kEmptyZipSignature("PK\x05\x06", 4);
// The compound file that holds XLS workbooks and encrypted XLSX ones.
const QByteArray kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// Writes the file through data::writeOutputFile, its refusal in the words of the other
// workbook errors.
void replaceWhenComplete(const QString& path, const std::function<bool(QFile&)>& write) {
    try {
        data::writeOutputFile(path, write);
    } catch (const data::OutputError& error) {
        formats::refuseToWrite(path, error.reason());
    }
}

} // namespace

Table readWorkbook(const QString& path, const Limits& limits, const ReadProgress& proceed) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        formats::refuseToRead(path, QStringLiteral("не съществува или не може да бъде отворен"));
    const QByteArray start = file.peek(8);
    if (start.startsWith(kZipSignature) || start.startsWith(kEmptyZipSignature)) {
        file.close();
        return formats::readXlsx(path, limits, proceed);
    }
    if (start.startsWith(kCompoundFileSignature))
        formats::refuseToRead(path, QStringLiteral("той е във формат XLS (Excel 97-2003) или е "
                                                   "защитен с парола; запишете го като XLSX без "
                                                   "парола или като CSV"));
    if (file.size() > limits.unpackedBytes)
        formats::refuseToRead(
            path, QStringLiteral("по-голям е от %1 MB").arg(limits.unpackedBytes >> 20));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        formats::refuseToRead(path, QStringLiteral("четенето от диска не успя"));
    return formats::readCsv(path, bytes, limits, proceed);
}

std::optional<NumberDigits> numberDigits(QStringView text, QChar decimalSeparator) {
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() > formats::kMaxNumberLength)
        return std::nullopt;
    QString plain;
    qint64 exponent = 0;
    if (const auto grouped = formats::plainNumber(trimmed, decimalSeparator)) {
        plain = *grouped;
    } else if (const auto written = formats::exponentNumber(trimmed)) {
        std::tie(plain, exponent) = *written;
    } else {
        return std::nullopt;
    }
    // The digits without the sign, and where the point stands among them once the exponent
    // moved it.
    QString digits;
    qint64 point = -1;
    for (const QChar c : plain) {
        if (c == u'.')
            point = digits.size();
        else if (c.isDigit())
            digits += c;
    }
    if (point < 0)
        point = digits.size();
    // Far beyond any column's digits, and far from the end of a qint64.
    point += std::clamp<qint64>(exponent, -100'000, 100'000);
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == u'0')
        ++first;
    qsizetype end = digits.size();
    while (end > first && digits[end - 1] == u'0')
        --end;
    if (first == end)
        return NumberDigits{}; // zero
    return NumberDigits{std::max<qint64>(point - first, 0), std::max<qint64>(end - point, 0)};
}

QStringList otherSeparatorReadings(QStringView text, QChar decimalSeparator) {
    const QChar other = decimalSeparator == u'.' ? u',' : u'.';
    QStringList readings;
    if (!text.contains(other))
        return readings;
    // The other mark grouping the digits, then the other mark as the decimal separator.
    for (const auto& plain : {formats::plainNumber(text, decimalSeparator, other),
                              formats::plainNumber(text, other, decimalSeparator)}) {
        if (!plain)
            continue;
        QString reading = *plain;
        reading.replace(u'.', decimalSeparator);
        if (!readings.contains(reading))
            readings << reading;
    }
    return readings;
}

QChar regionalDecimalSeparator() {
    return QLocale::system().decimalPoint() == QLatin1String(".") ? u'.' : u',';
}

Format formatOf(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
               ? Format::Csv
               : Format::Xlsx;
}

void writeWorkbook(const QString& path, const Table& table, QChar decimalSeparator) {
    if (formatOf(path) == Format::Xlsx) {
        replaceWhenComplete(path, [&](QFile& file) {
            formats::writeXlsx(file.fileName(), table, path);
            return true;
        });
        return;
    }
    const QByteArray bytes = formats::csvBytes(table, decimalSeparator);
    replaceWhenComplete(path, [&](QFile& file) { return file.write(bytes) == bytes.size(); });
}

} // namespace sheet
