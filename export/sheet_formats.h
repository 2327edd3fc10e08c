// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/workbook.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The file formats behind readWorkbook and writeWorkbook, one file each.
namespace sheet::formats {

// A WorkbookError naming `path` and `reason` for a file that cannot be read.
[[noreturn]] void refuseToRead(const QString& path, const QString& reason);
// The same for a file that cannot be written.
[[noreturn]] void refuseToWrite(const QString& path, const QString& reason);

// `text` read as a number whose decimal separator is `decimal` ('.' or ','): an optional sign,
// the integer digits, grouped by threes with spaces or not at all, and a decimal part. Nothing
// when it is not such a number.
// Nothing for a text longer than kMaxNumberLength.
std::optional<double> readNumber(QStringView text, QChar decimal);
// No value a column takes is written with more characters than this, grouped or not: longer
// texts are no numbers, and are never parsed as such.
inline constexpr qsizetype kMaxNumberLength = 64;

// Whether a text may hold `c`: not a control character but tab and line ends, nor one of the two
// units that are no characters (U+FFFE, U+FFFF). Whatever else a file holds is shown by no
// program, or not as what it is.
bool isShownCharacter(char16_t c);

// Whether `text` holds half of a UTF-16 surrogate pair without the other: no character at all,
// which would be stored as another.
bool hasLoneSurrogate(QStringView text);

// A text as a spreadsheet's XML carries it: a character XML cannot hold is written as _xHHHH_
// (the hexadecimal UTF-16 unit), and so is the '_' that starts a text reading as such an escape,
// so that a spreadsheet program shows every text as it was.
QString escapedSpreadsheetText(const QString& text);
// The text an escaped text stands for: each _xHHHH_ (of either case) as its unit.
QString unescapedSpreadsheetText(const QString& text);

// The letters a sheet names the column `column` (from 0) by: A, B, ... Z, AA, AB ...
QString columnName(std::size_t column);

// Grows the table to hold the cell at `row`, `column` and returns it; refuses what would pass
// `limits` (`cellCount` counts the cells of all rows so far).
Cell& cellAt(Table& table, int row, int column, const Limits& limits, qint64& cellCount,
             const QString& path);
// Drops trailing empty cells and rows.
void dropTrailingEmpty(Table& table);

// The namespaces of an XLSX file's parts: the sheet's, the relationship attributes' within a
// part, the package's relationship parts' and its content types'.
inline const QString kSpreadsheetNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
inline const QString kPartRelationshipsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
inline const QString kPackageRelationshipsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
inline const QString kContentTypesNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types");

Table readXlsx(const QString& path, const Limits& limits, const ReadProgress& proceed = {});
Table readCsv(const QString& path, const QByteArray& bytes, const Limits& limits,
              const ReadProgress& proceed = {});

// Writes the workbook into `temporary`; errors name `path`, the file it becomes.
void writeXlsx(const QString& temporary, const Table& table, const QString& path);
QByteArray csvBytes(const Table& table, QChar decimalSeparator);

} // namespace sheet::formats
