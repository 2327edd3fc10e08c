// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

// The sheets bidders keep their price lists in, read into and written from one plain table, so
// that the price list and its import never see the file format. XLSX and CSV are read; XLSX and
// CSV are written.
namespace sheet {

// What a cell held in the file. Only text and numbers are values an offer can take; the other
// kinds are kept so that the import can name them instead of taking them for something else.
// Whatever the kind, `text` is what the file shows for the cell, so a text column (a code, a
// name) can take any non-empty cell by its text: a code "1.10" kept as text in an XLSX reads as
// NumberAsText with the text "1.10", and in a CSV as Number with the text "1.10".
enum class CellKind {
    Empty,
    Text,
    Number,
    NumberAsText, // a number the sheet stores as text, or a CSV field that reads as a number only
                  // with the decimal separator the file does not use
    Formula,      // no value whatever it holds: a cached result is never trusted, and the text
                  // stays empty (a shared formula would copy its text into every cell)
    Date,         // a date or time in a number-formatted cell: the text is ISO 8601
                  // ("2026-12-10", "08:30:00" or "2026-12-10 08:30:00"), the number the serial
    Error,        // #DIV/0! and the like: the text is the error
};

struct Cell {
    CellKind kind = CellKind::Empty;
    // The text as the file holds it. For a CSV number, as written in the file; for an XLSX
    // number, whose cell holds a double, as a spreadsheet program shows it: the double rounded to
    // 15 significant digits ("4.3499999999999996" shows, and reads, as "4.35").
    QString text;
    double number = 0; // for Number, the value of `text`; for Date, the serial day number
    int decimals = -1; // for writing a Number: the decimals it shows at least (a value with
                       // more keeps them in CSV; XLSX rounds only the display); -1 as it is
};

// The significant digits a spreadsheet program shows of a number: an XLSX number cell reads as
// its double rounded to these.
inline constexpr int kShownDigits = 15;

// The first visible sheet of a workbook, rows from the top, cells from the left; row 0 holds the
// heads. Trailing empty cells and rows are dropped.
//
// A CSV file's numbers are read with the regional settings' decimal separator and nothing else:
// their integer digits may be grouped by threes with spaces (also no-break ones), which no
// regional setting reads as a decimal separator. A field that is a number only where the other
// of '.' and ',' is a decimal separator or groups digits ("1.234" under a decimal comma: 1234 or
// 1,234?) is kept as NumberAsText: a sheet written under other settings is refused, never read
// with a guessed value a thousand times another.
struct Table {
    std::vector<std::vector<Cell>> rows;
    // For CSV: the decimal separator its numbers were read with ('.' or ','), the regional
    // settings' one. 0 for XLSX, whose numbers carry no separator.
    QChar decimalSeparator;
    // For XLSX: the name of the sheet read. Empty for CSV.
    QString sheetName;
};

// What a reader takes from one file at most; a file beyond any of these is refused as hostile.
// Counted on what is actually read: the bytes inflated from the zip, not the sizes it declares.
struct Limits {
    qint64 unpackedBytes = qint64(128) << 20; // all parts read from an XLSX, or a CSV file
    int rows = 200'000;
    int columns = 512;
    qint64 cells = 2'000'000; // the cells of all rows up to the last one each row holds
    qint64 sharedStrings = 1'000'000;
    qsizetype stringLength = 32'767; // the characters of one text, as in a spreadsheet cell
};

// A file that cannot be read as a sheet, or that is refused as hostile (too large once unpacked,
// too many rows or columns, merged cells across the data, not a workbook). The message is
// Bulgarian and names the file and what is wrong with it; nothing was read.
class WorkbookError : public std::runtime_error {
public:
    explicit WorkbookError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Reads the file by its content (a zip container is XLSX, anything else CSV); throws
// WorkbookError. Of an XLSX, the first visible worksheet in the workbook's order (a hidden sheet
// is never read, since the bidder does not see it): cells by their references, shared and inline
// strings, numbers, booleans as the text TRUE or FALSE, formulas, dates (numbers whose style has a
// date or time format), errors. Refused: a zip that is not a workbook, an encrypted or XLS (Excel
// 97-2003) file, XML with a document type declaration, a cell or a row given twice, a text with a
// control character, merged cells that reach into the data, anything beyond `limits`. A CSV with
// a control character is refused as no text file. A CSV may be UTF-8 (with or
// without a byte order mark), UTF-16 with a byte order mark, or Windows-1251 (when its bytes are
// not UTF-8); its field separator (';', ',' or tab) is the one its first line uses most,
// outside quotes; quoted fields may hold separators, doubled quotes and line breaks.
//
// `proceed` is told as the file is read how far it has come, `done` of `total` in a measure of
// the reader's own; false stops the reading, which then throws ReadingStopped.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;
Table readWorkbook(const QString& path, const Limits& limits = Limits(),
                   const ReadProgress& proceed = {});

// Reading was stopped by the one who asked for it: no error, and nothing was read.
struct ReadingStopped {};

// How many digits a number has before and after its decimal point, counted on its text, not on
// the double it reads as: leading zeros of the integer part and trailing zeros of the decimals do
// not count ("0,0500" has 0 and 2, "1.5E3" 4 and 0). A text may be grouped with spaces and use
// `decimalSeparator` as CSV fields do, or be written with a point and an exponent as an XLSX
// number cell's text is. Nothing when the text is no such number.
struct NumberDigits {
    qint64 integer = 0;
    qint64 decimals = 0;
};
std::optional<NumberDigits> numberDigits(QStringView text, QChar decimalSeparator);

// The numbers `text` could be where the other of '.' and ',' than `decimalSeparator` is a decimal
// separator or groups digits by threes, each written with `decimalSeparator` and without grouping
// ("1.234" under ',': "1234" and "1,234"). Empty when the text holds no such mark or is no such
// number.
QStringList otherSeparatorReadings(QStringView text, QChar decimalSeparator);

// The decimal separator of the regional settings, as CSV files are read and written with it: '.'
// where the settings use a point, ',' otherwise.
QChar regionalDecimalSeparator();

enum class Format { Xlsx, Csv };
// The format that writing `path` uses, by its extension (.csv is CSV, anything else XLSX).
Format formatOf(const QString& path);

// Writes `table` (Text and Number cells; every row may have its own length), replacing the file
// only once it is complete. CSV is written in UTF-8 with a byte order mark, ';' between fields,
// CR LF after each row and the decimal separator `decimalSeparator`. XLSX gets a bold, frozen
// head row (row 0), columns as wide as their texts, and numbers as numbers with their decimals.
// Any other kind of cell is written as its text. Throws WorkbookError.
void writeWorkbook(const QString& path, const Table& table, QChar decimalSeparator = u',');

} // namespace sheet
