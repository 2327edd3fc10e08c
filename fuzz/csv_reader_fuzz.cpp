// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the CSV reader as the bytes of a file: encodings, separators,
// quotes and the decimal separator each column decides; every number field is also counted as
// the import counts its digits, with the separator its column was read with.

#include "export/sheet_formats.h"
#include "export/workbook.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    sheet::Limits limits;
    limits.rows = 10'000;
    limits.cells = 100'000;
    try {
        const sheet::Table table =
            sheet::formats::readCsv(QStringLiteral("fuzz.csv"), bytes, limits);
        for (const std::vector<sheet::Cell>& row : table.rows) {
            for (const sheet::Cell& cell : row) {
                if (cell.kind == sheet::CellKind::Number)
                    sheet::numberDigits(cell.text, table.decimalSeparator);
                else if (cell.kind == sheet::CellKind::NumberAsText)
                    sheet::otherSeparatorReadings(cell.text, table.decimalSeparator);
            }
        }
    } catch (const sheet::WorkbookError&) {
    }
    return 0;
}
