#pragma once

#include <QString>

#include <stdexcept>
#include <vector>

// The sheets bidders keep their price lists in, read into and written from one plain table, so
// that the price list and its import never see the file format. XLSX and CSV are read; XLSX and
// CSV are written.
namespace sheet {

// What a cell held in the file. Only text and numbers are values an offer can take; the other
// kinds are kept so that the import can name them instead of taking them for something else.
enum class CellKind {
    Empty,
    Text,
    Number,
    NumberAsText, // a number the sheet stores as text, or a CSV field that reads as a number only
                  // with the decimal separator the file does not use
    Formula,      // the text is the formula; a cached result is never trusted
    Date,         // a date or time in a number-formatted cell
    Error,        // #DIV/0! and the like
};

struct Cell {
    CellKind kind = CellKind::Empty;
    QString text;      // the text as the file holds it (for a number, as written in the file)
    double number = 0; // for Number
};

// The first sheet of a workbook, rows from the top, cells from the left; row 0 holds the heads.
// Trailing empty cells and rows are dropped.
struct Table {
    std::vector<std::vector<Cell>> rows;
    // For CSV: the decimal separator found in the file ('.' or ','), 0 when no number needed one.
    QChar decimalSeparator;
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
// WorkbookError.
Table readWorkbook(const QString& path);

enum class Format { Xlsx, Csv };
// The format that writing `path` uses, by its extension (.csv is CSV, anything else XLSX).
Format formatOf(const QString& path);

// Writes `table` (Text and Number cells; every row may have its own length), replacing the file
// only once it is complete. CSV is written in UTF-8 with a byte order mark, ';' between fields
// and the decimal separator `decimalSeparator`. Throws WorkbookError.
void writeWorkbook(const QString& path, const Table& table, QChar decimalSeparator = u',');

} // namespace sheet
