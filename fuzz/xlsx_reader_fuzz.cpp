// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the XLSX reader. An input that starts like a zip is the whole file;
// any other is split at its first NUL byte into the worksheet part and the shared strings part
// of an otherwise well-formed workbook, so that the fuzzer reaches the XML of the sheet instead
// of stopping at the checksums of the zip. Every number cell is also counted as the import
// counts its digits.

#include "export/sheet_formats.h"
#include "export/workbook.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QFile>
#include <QString>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

const QByteArray kTypes = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const QByteArray kPackage = "http://schemas.openxmlformats.org/package/2006/relationships";

void writeWorkbook(const QString& path, const QByteArray& sheet, const QByteArray& strings) {
    const std::vector<std::pair<QString, QByteArray>> parts = {
        {QStringLiteral("_rels/.rels"),
         "<Relationships xmlns=\"" + kPackage + "\"><Relationship Id=\"rId1\" Type=\"" + kTypes +
             "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {QStringLiteral("xl/workbook.xml"),
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"" +
             kTypes.chopped(1) +
             "\"><sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships xmlns=\"" + kPackage + "\"><Relationship Id=\"rId1\" Type=\"" + kTypes +
             "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
             kTypes + "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
        {QStringLiteral("xl/sharedStrings.xml"), strings},
    };
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        throw std::runtime_error("the workbook cannot be written");
    for (const auto& [name, bytes] : parts) {
        QuaZipFile file(&zip);
        // Stored, not deflated: the fuzzer's bytes are the part's bytes.
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, 0, 0))
            throw std::runtime_error("a part cannot be written");
        file.write(bytes);
        file.close();
    }
    zip.close();
}

// Small enough limits that a run spends its time on variety, not on one huge table.
sheet::Limits fuzzLimits() {
    sheet::Limits limits;
    limits.unpackedBytes = 8 << 20;
    limits.rows = 10'000;
    limits.cells = 100'000;
    limits.sharedStrings = 10'000;
    return limits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path = QStringLiteral("/dev/shm/xlsx_reader_fuzz.%1.xlsx").arg(::getpid());
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (input.startsWith("PK")) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(input) != input.size())
            return 0;
    } else {
        const qsizetype split = input.indexOf('\0');
        writeWorkbook(path, split < 0 ? input : input.left(split),
                      split < 0 ? QByteArray() : input.mid(split + 1));
    }
    try {
        const sheet::Table table = sheet::formats::readXlsx(path, fuzzLimits());
        for (const std::vector<sheet::Cell>& row : table.rows)
            for (const sheet::Cell& cell : row)
                if (cell.kind == sheet::CellKind::Number)
                    sheet::numberDigits(cell.text, u'.');
    } catch (const sheet::WorkbookError&) {
    }
    return 0;
}
