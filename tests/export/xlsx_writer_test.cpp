// SPDX-License-Identifier: Apache-2.0
#include "export/workbook.h"

#include "xlsx_elsewhere.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using sheet::Cell;
using sheet::CellKind;
using sheet::Table;

Cell text(const QString& value) {
    return {CellKind::Text, value};
}

Cell number(double value, int decimals = -1) {
    return {CellKind::Number, QString(), value, decimals};
}

// Heads of both kinds, numbers with and without decimals to show, texts XML cannot carry as they
// are (control characters, a carriage return that XML readers would turn into a line feed), a
// text that looks like the escape of one, and a row wider than 26 columns.
Table priceList() {
    Table table;
    table.rows = {
        {text(QStringLiteral("Код")), text(QStringLiteral("Наименование")),
         text(QStringLiteral("Цена")), number(2026)},
        {text(QStringLiteral("1.10")), text(QStringLiteral("Болт \"М8\"; горещо\nпоцинкован")),
         number(12.5, 2), number(1000.25)},
        {text(QStringLiteral("_x0041_ буквално")),
         text(QStringLiteral("управляващи знаци \x01 и \x1F,\r\nредове")), number(0.125, 0),
         number(-3, 3)},
        {text(QStringLiteral("  с интервали  ")), {}, number(1e-7)},
        {},
    };
    for (int column = 0; column < 28; ++column)
        table.rows.back().push_back(text(QString(column * 4, u'ш')));
    return table;
}

QString formatOf(const Cell& cell, bool head) {
    if (head || cell.kind != CellKind::Number || cell.decimals < 0)
        return QStringLiteral("General");
    return cell.decimals == 0 ? QStringLiteral("#,##0")
                              : QStringLiteral("#,##0.") + QString(cell.decimals, u'0');
}

QString reference(std::size_t row, std::size_t column) {
    const auto letter = [](std::size_t n) { return QChar(static_cast<char16_t>(u'A' + n)); };
    const QString letters = column < 26 ? QString(letter(column))
                                        : QString(letter(column / 26 - 1)) + letter(column % 26);
    return letters + QString::number(row + 1);
}

TEST(XlsxWriter, AnotherReaderFindsEveryCellWithItsHeadsWidthsAndFormats) {
    QTemporaryDir folder;
    for (const Table& table : {priceList(), Table()}) {
        const QString path = folder.filePath(QStringLiteral("цени.xlsx"));
        sheet::writeWorkbook(path, table);
        const QJsonObject read = exporttest::readXlsxElsewhere(path);
        EXPECT_FALSE(read[QLatin1String("sheet")].toString().isEmpty());
        EXPECT_EQ(read[QLatin1String("frozen_rows")].toInt(), table.rows.empty() ? 0 : 1);

        const QJsonArray rows = read[QLatin1String("rows")].toArray();
        ASSERT_EQ(rows.size(), static_cast<qsizetype>(table.rows.size()));
        std::vector<qsizetype> longest;
        for (std::size_t row = 0; row < table.rows.size(); ++row) {
            const QJsonArray cells = rows[static_cast<qsizetype>(row)].toArray();
            ASSERT_EQ(cells.size(), static_cast<qsizetype>(table.rows[row].size())) << row;
            longest.resize(std::max(longest.size(), table.rows[row].size()), 0);
            for (std::size_t column = 0; column < table.rows[row].size(); ++column) {
                const Cell& written = table.rows[row][column];
                const QJsonValue cell = cells[static_cast<qsizetype>(column)];
                const std::string where = reference(row, column).toStdString();
                if (written.kind == CellKind::Empty) {
                    EXPECT_TRUE(cell.isNull()) << where;
                    continue;
                }
                EXPECT_EQ(cell[QLatin1String("ref")].toString(), reference(row, column));
                if (written.kind == CellKind::Number) {
                    EXPECT_EQ(cell[QLatin1String("value")].toDouble(), written.number) << where;
                } else {
                    EXPECT_EQ(cell[QLatin1String("value")].toString(), written.text) << where;
                    longest[column] = std::max(longest[column], written.text.size());
                }
                EXPECT_EQ(cell[QLatin1String("bold")].toBool(), row == 0) << where;
                EXPECT_EQ(cell[QLatin1String("format")].toString(), formatOf(written, row == 0))
                    << where;
            }
        }
        // Every column shows its longest text, up to a width that still fits on a screen.
        const QJsonArray widths = read[QLatin1String("widths")].toArray();
        ASSERT_EQ(widths.size(), static_cast<qsizetype>(longest.size()));
        for (std::size_t column = 0; column < longest.size(); ++column) {
            const double width = widths[static_cast<qsizetype>(column)].toDouble();
            EXPECT_GE(width, std::min<double>(static_cast<double>(longest[column]), 58)) << column;
            EXPECT_LE(width, 60) << column;
        }
    }
}

TEST(XlsxWriter, ANumberNoSheetCanHoldIsRefused) {
    QTemporaryDir folder;
    for (const double value :
         {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        Table table = priceList();
        table.rows[1][2] = number(value, 2);
        EXPECT_THROW(sheet::writeWorkbook(folder.filePath(QStringLiteral("x.xlsx")), table),
                     sheet::WorkbookError)
            << value;
    }
}

} // namespace
