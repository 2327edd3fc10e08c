// XLSX through libxlsxwriter: the price list as a bidder expects to open it, heads in bold and
// frozen, columns wide enough to read, numbers as numbers.

#include "export/sheet_formats.h"

#include <xlsxwriter.h>

#include <QFile>

#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace sheet::formats {

namespace {

constexpr double kNarrowest = 8;
constexpr double kWidest = 60;

// The number format showing `decimals` decimals, digits grouped by threes.
std::string numberFormatCode(int decimals) {
    std::string code = "#,##0";
    if (decimals > 0) {
        code += '.';
        code.append(static_cast<std::size_t>(decimals), '0');
    }
    return code;
}

QString cellText(const Cell& cell) {
    return cell.kind == CellKind::Number ? QString::number(cell.number) : cell.text;
}

std::vector<double> columnWidths(const Table& table) {
    std::vector<double> widths;
    for (const std::vector<Cell>& row : table.rows) {
        if (widths.size() < row.size())
            widths.resize(row.size(), kNarrowest);
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::clamp(static_cast<double>(cellText(row[column]).size()) + 2,
                                        widths[column], kWidest);
    }
    return widths;
}

// libxlsxwriter reaches its zip functions (libminizip) by their plain names, and QuaZip exports
// a modified minizip under the same names: linked into one program, the writer called QuaZip's
// functions and crashed. So the writer is loaded on its own, its names bound to its own
// dependencies first, and nothing of it enters the program's name space.
struct Library {
    decltype(&::workbook_new) workbook_new = nullptr;
    decltype(&::workbook_add_worksheet) workbook_add_worksheet = nullptr;
    decltype(&::workbook_add_format) workbook_add_format = nullptr;
    decltype(&::workbook_close) workbook_close = nullptr;
    decltype(&::format_set_bold) format_set_bold = nullptr;
    decltype(&::format_set_num_format) format_set_num_format = nullptr;
    decltype(&::worksheet_set_column) worksheet_set_column = nullptr;
    decltype(&::worksheet_freeze_panes) worksheet_freeze_panes = nullptr;
    decltype(&::worksheet_write_number) worksheet_write_number = nullptr;
    decltype(&::worksheet_write_string) worksheet_write_string = nullptr;
    decltype(&::lxw_strerror) lxw_strerror = nullptr;
};

template <typename Function> bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

std::optional<Library> load() {
    // The run-time name of the Debian package libxlsxwriter4; never unloaded.
    void* handle = dlopen("libxlsxwriter.so.4", RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (handle == nullptr)
        return std::nullopt;
    Library library;
    const bool bound = bind(handle, "workbook_new", library.workbook_new) &&
                       bind(handle, "workbook_add_worksheet", library.workbook_add_worksheet) &&
                       bind(handle, "workbook_add_format", library.workbook_add_format) &&
                       bind(handle, "workbook_close", library.workbook_close) &&
                       bind(handle, "format_set_bold", library.format_set_bold) &&
                       bind(handle, "format_set_num_format", library.format_set_num_format) &&
                       bind(handle, "worksheet_set_column", library.worksheet_set_column) &&
                       bind(handle, "worksheet_freeze_panes", library.worksheet_freeze_panes) &&
                       bind(handle, "worksheet_write_number", library.worksheet_write_number) &&
                       bind(handle, "worksheet_write_string", library.worksheet_write_string) &&
                       bind(handle, "lxw_strerror", library.lxw_strerror);
    if (!bound)
        return std::nullopt;
    return library;
}

const Library& library(const QString& path) {
    static const std::optional<Library> loaded = load();
    if (!loaded)
        refuseToWrite(path, QStringLiteral("библиотеката libxlsxwriter липсва или е непълна"));
    return *loaded;
}

class XlsxWriter {
public:
    XlsxWriter(const QString& temporary, const QString& path)
        : path_(path), lxw_(library(path)),
          workbook_(lxw_.workbook_new(QFile::encodeName(temporary).constData())) {
        if (workbook_ == nullptr)
            refuseToWrite(path_, QStringLiteral("работната книга не може да бъде създадена"));
        sheet_ = lxw_.workbook_add_worksheet(workbook_, nullptr);
        bold_ = lxw_.workbook_add_format(workbook_);
        lxw_.format_set_bold(bold_);
    }
    ~XlsxWriter() {
        if (workbook_ != nullptr)
            lxw_.workbook_close(workbook_);
    }
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    void write(const Table& table) {
        const std::vector<double> widths = columnWidths(table);
        for (std::size_t column = 0; column < widths.size(); ++column)
            check(lxw_.worksheet_set_column(sheet_, static_cast<lxw_col_t>(column),
                                            static_cast<lxw_col_t>(column), widths[column],
                                            nullptr));
        if (!table.rows.empty())
            lxw_.worksheet_freeze_panes(sheet_, 1, 0);
        for (std::size_t row = 0; row < table.rows.size(); ++row)
            for (std::size_t column = 0; column < table.rows[row].size(); ++column)
                writeCell(static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                          table.rows[row][column]);
        lxw_workbook* workbook = std::exchange(workbook_, nullptr);
        check(lxw_.workbook_close(workbook));
    }

private:
    void writeCell(lxw_row_t row, lxw_col_t column, const Cell& cell) {
        if (cell.kind == CellKind::Empty)
            return;
        if (cell.kind == CellKind::Number) {
            check(lxw_.worksheet_write_number(sheet_, row, column, cell.number,
                                              row == 0 ? bold_ : numberFormat(cell)));
            return;
        }
        check(lxw_.worksheet_write_string(sheet_, row, column, cell.text.toUtf8().constData(),
                                          row == 0 ? bold_ : nullptr));
    }

    lxw_format* numberFormat(const Cell& cell) {
        if (cell.decimals < 0)
            return nullptr;
        lxw_format*& format = numberFormats_[cell.decimals];
        if (format == nullptr) {
            format = lxw_.workbook_add_format(workbook_);
            lxw_.format_set_num_format(format, numberFormatCode(cell.decimals).c_str());
        }
        return format;
    }

    void check(lxw_error error) const {
        switch (error) {
        case LXW_NO_ERROR:
            return;
        case LXW_ERROR_CREATING_XLSX_FILE:
        case LXW_ERROR_CREATING_TMPFILE:
            refuseToWrite(path_, QStringLiteral("няма права за запис в папката или няма място"));
        case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
            refuseToWrite(path_, QStringLiteral("има текст, по-дълъг от 32 767 знака"));
        default:
            refuseToWrite(path_, QStringLiteral("грешка при записа (%1)")
                                     .arg(QString::fromUtf8(lxw_.lxw_strerror(error))));
        }
    }

    const QString& path_;
    const Library& lxw_;
    lxw_workbook* workbook_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    std::map<int, lxw_format*> numberFormats_;
};

} // namespace

void writeXlsx(const QString& temporary, const Table& table, const QString& path) {
    XlsxWriter(temporary, path).write(table);
}

} // namespace sheet::formats
