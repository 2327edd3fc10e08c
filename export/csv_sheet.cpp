// SPDX-License-Identifier: Apache-2.0
// CSV as spreadsheet programs write it: ';' or ',' or tab between fields, numbers with the
// decimal separator of the regional settings, UTF-8 or the Windows code page of Cyrillic.

#include "export/sheet_formats.h"

#include <QLocale>
#include <QStringDecoder>

namespace sheet::formats {

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");
const QByteArray kUtf16LeMark("\xFF\xFE");
const QByteArray kUtf16BeMark("\xFE\xFF");

QString decode(const QString& path, const QByteArray& bytes) {
    const auto strictly = [&](QStringDecoder decoder,
                              QByteArrayView data) -> std::optional<QString> {
        QString text = decoder(data);
        if (decoder.hasError())
            return std::nullopt;
        return text;
    };
    if (bytes.startsWith(kUtf16LeMark) || bytes.startsWith(kUtf16BeMark)) {
        const auto text =
            strictly(QStringDecoder(bytes.startsWith(kUtf16LeMark) ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE),
                     QByteArrayView(bytes).sliced(2));
        // The decoder lets half a surrogate pair through; it is no character.
        if (!text || hasLoneSurrogate(*text))
            refuseToRead(path, QStringLiteral("текстът му не е правилен UTF-16"));
        return *text;
    }
    if (bytes.startsWith(kUtf8Mark)) {
        const auto text = strictly(QStringDecoder(QStringDecoder::Utf8),
                                   QByteArrayView(bytes).sliced(kUtf8Mark.size()));
        if (!text)
            refuseToRead(path, QStringLiteral("текстът му не е правилен UTF-8"));
        return *text;
    }
    if (const auto text = strictly(QStringDecoder(QStringDecoder::Utf8), bytes))
        return *text;
    // Bytes that are not UTF-8 come from a spreadsheet program saving in the Windows code page
    // of Cyrillic, where every byte is a character.
    QStringDecoder windows1251("windows-1251");
    return windows1251(bytes);
}

// Text files hold no control characters but tab and line ends: anything else is a binary file,
// a damaged workbook or one in a format not known here.
void refuseBinary(const QString& path, const QString& text) {
    for (const QChar c : text)
        if (!isShownCharacter(c.unicode()))
            refuseToRead(path,
                         QStringLiteral("не е нито работна книга XLSX, нито текстов файл CSV"));
}

// The separator the first record uses most outside quotes; ';' when it uses none.
QChar fieldSeparator(const QString& text) {
    int semicolons = 0;
    int tabs = 0;
    int commas = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\n' || c == u'\r')
            break;
        else if (c == u';')
            ++semicolons;
        else if (c == u'\t')
            ++tabs;
        else if (c == u',')
            ++commas;
    }
    if (commas > semicolons && commas > tabs)
        return u',';
    return tabs > semicolons ? u'\t' : u';';
}

// The fields of the file, row by row, within the limits.
std::vector<std::vector<QString>> fields(const QString& path, const QString& text,
                                         const Limits& limits, const ReadProgress& proceed) {
    const QChar separator = fieldSeparator(text);
    std::vector<std::vector<QString>> rows(1);
    QString field;
    qint64 cells = 0;
    bool quoted = false;
    bool fieldStarted = false; // a field in progress, maybe empty but quoted
    const auto endField = [&] {
        if (field.size() > limits.stringLength)
            refuseToRead(
                path, QStringLiteral("има текст от повече от %1 знака").arg(limits.stringLength));
        if (static_cast<qint64>(rows.back().size()) >= limits.columns)
            refuseToRead(path, QStringLiteral("има повече от %1 колони").arg(limits.columns));
        if (++cells > limits.cells)
            refuseToRead(path, QStringLiteral("има повече от %1 клетки").arg(limits.cells));
        rows.back().push_back(field);
        field.clear();
        fieldStarted = false;
    };
    const auto endRow = [&](qsizetype at) {
        if (fieldStarted || !rows.back().empty())
            endField();
        if (proceed && !proceed(at, text.size()))
            throw ReadingStopped{};
        if (static_cast<qint64>(rows.size()) > limits.rows)
            refuseToRead(path, QStringLiteral("има повече от %1 реда").arg(limits.rows));
        rows.emplace_back();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != u'"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else
                quoted = false;
            if (field.size() > limits.stringLength)
                endField(); // refuses
        } else if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endRow(i);
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        refuseToRead(path, QStringLiteral("кавички в последния ред не са затворени; файлът е "
                                          "непълен или повреден"));
    if (fieldStarted || !rows.back().empty())
        endField();
    return rows;
}

} // namespace

Table readCsv(const QString& path, const QByteArray& bytes, const Limits& limits,
              const ReadProgress& proceed) {
    const std::vector<std::vector<QString>> rows = [&] {
        const QString text = decode(path, bytes);
        refuseBinary(path, text);
        return fields(path, text, limits, proceed);
    }();
    Table table;
    table.decimalSeparator = regionalDecimalSeparator();
    for (const std::vector<QString>& row : rows) {
        std::vector<Cell>& cells = table.rows.emplace_back();
        for (const QString& text : row) {
            Cell& cell = cells.emplace_back();
            cell.text = text;
            if (text.trimmed().isEmpty()) {
                cell = {};
            } else if (const auto number = readNumber(text, table.decimalSeparator)) {
                cell.kind = CellKind::Number;
                cell.number = *number;
            } else {
                cell.kind = otherSeparatorReadings(text, table.decimalSeparator).isEmpty()
                                ? CellKind::Text
                                : CellKind::NumberAsText;
            }
        }
    }
    dropTrailingEmpty(table);
    return table;
}

namespace {

QString csvField(const Cell& cell, QChar decimalSeparator) {
    if (cell.kind == CellKind::Number) {
        // The decimals asked for pad the number; they never cut digits the value has.
        QString number = QString::number(cell.number, 'f', QLocale::FloatingPointShortest);
        const qsizetype point = number.indexOf(u'.');
        const qsizetype decimals = point < 0 ? 0 : number.size() - point - 1;
        if (cell.decimals > decimals)
            number += (point < 0 ? QStringLiteral(".") : QString()) +
                      QString(cell.decimals - decimals, u'0');
        return number.replace(u'.', decimalSeparator);
    }
    const QString& text = cell.text;
    const bool quote = text.contains(u';') || text.contains(u'"') || text.contains(u'\n') ||
                       text.contains(u'\r') || text != text.trimmed();
    if (!quote)
        return text;
    QString escaped = text;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

} // namespace

QByteArray csvBytes(const Table& table, QChar decimalSeparator) {
    QString text;
    for (const std::vector<Cell>& row : table.rows) {
        QStringList fields;
        for (const Cell& cell : row)
            fields << csvField(cell, decimalSeparator);
        text += fields.join(u';') + QStringLiteral("\r\n");
    }
    return kUtf8Mark + text.toUtf8();
}

} // namespace sheet::formats
