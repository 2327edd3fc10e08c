#include "export/workbook.h"

#include "data/output_file.h"
#include "export/sheet_formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

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

std::optional<double> readNumber(QStringView text, QChar decimal) {
    const QStringView trimmed = text.trimmed();
    const QChar otherMark = decimal == u'.' ? u',' : u'.';
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
        } else if (isGroupSpace(c) || c == otherMark) {
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
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
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

Table readWorkbook(const QString& path, const Limits& limits) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        formats::refuseToRead(path, QStringLiteral("не съществува или не може да бъде отворен"));
    const QByteArray start = file.peek(8);
    if (start.startsWith(kZipSignature) || start.startsWith(kEmptyZipSignature)) {
        file.close();
        return formats::readXlsx(path, limits);
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
    return formats::readCsv(path, bytes, limits);
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
