// SPDX-License-Identifier: Apache-2.0
#include "export/sheet_formats.h"
#include "export/workbook.h"

#include <quazip/quacrc32.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "tender_fixture.h"

#include <functional>

namespace {

using sheet::Cell;
using sheet::CellKind;
using sheet::Table;

struct Part {
    QString name;
    QByteArray bytes;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A zip as another program writes it. A part may declare an uncompressed size of its own, as a
// zip bomb would, instead of its true one.
void writeZip(const QString& path, const std::vector<Part>& parts,
              std::optional<quint64> declaredSize = std::nullopt, const char* password = nullptr) {
    QuaZip zip(path);
    ASSERT_TRUE(zip.open(QuaZip::mdCreate));
    for (const Part& part : parts) {
        QuaZipFile file(&zip);
        if (declaredSize && part.name.endsWith(QLatin1String("sheet1.xml"))) {
            // Deflated by zlib, stripped to the raw stream that zip holds.
            QuaCrc32 crc;
            const auto checksum = static_cast<quint32>(crc.calculate(part.bytes));
            const QByteArray zlib = qCompress(part.bytes, 9);
            const QByteArray raw = zlib.mid(4 + 2, zlib.size() - 4 - 2 - 4);
            QuaZipNewInfo info(part.name);
            info.uncompressedSize = static_cast<ulong>(*declaredSize);
            ASSERT_TRUE(
                file.open(QIODevice::WriteOnly, info, nullptr, checksum, Z_DEFLATED, 9, true));
            file.write(raw);
            file.close();
        } else {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly, QuaZipNewInfo(part.name), password));
            file.write(part.bytes);
            file.close();
        }
        ASSERT_EQ(file.getZipError(), 0);
    }
    zip.close();
}

const QByteArray kXmlHead = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray worksheet(const QByteArray& sheetData, const QByteArray& after = {}) {
    return kXmlHead + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelationships +
           "\"><sheetData>" + sheetData + "</sheetData>" + after + "</worksheet>";
}

// The parts of a workbook whose first sheet in the workbook's order is `sheet`; it is stored as
// sheet1.xml, after a second sheet in sheet2.xml, so that only the workbook tells them apart.
std::vector<Part> workbook(const QByteArray& sheet, const QByteArray& sharedStrings = {},
                           const QByteArray& styles = {}, const QByteArray& workbookPr = {}) {
    const QByteArray type = kRelationships + "/";
    QByteArray rels = kXmlHead +
                      "<Relationships "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" +
                      type + "worksheet\" Target=\"worksheets/sheet2.xml\"/>" +
                      "<Relationship Id=\"rId7\" Type=\"" + type +
                      "worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>";
    if (!sharedStrings.isEmpty())
        rels += "<Relationship Id=\"rId3\" Type=\"" + type +
                "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    if (!styles.isEmpty())
        rels += "<Relationship Id=\"rId4\" Type=\"" + type + "styles\" Target=\"styles.xml\"/>";
    rels += "</Relationships>";
    std::vector<Part> parts = {
        {QStringLiteral("[Content_Types].xml"),
         kXmlHead + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                    "content-types\"/>"},
        {QStringLiteral("_rels/.rels"),
         kXmlHead +
             "<Relationships "
             "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Type=\"" +
             type + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {QStringLiteral("xl/workbook.xml"),
         kXmlHead + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelationships + "\">" +
             workbookPr +
             "<sheets><sheet name=\"Цени\" sheetId=\"2\" r:id=\"rId7\"/>"
             "<sheet name=\"Друг\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), rels},
        {QStringLiteral("xl/worksheets/sheet2.xml"),
         worksheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>друг лист</t></is></c></row>")},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
    };
    if (!sharedStrings.isEmpty())
        parts.push_back({QStringLiteral("xl/sharedStrings.xml"), sharedStrings});
    if (!styles.isEmpty())
        parts.push_back({QStringLiteral("xl/styles.xml"), styles});
    return parts;
}

QString kindName(CellKind kind) {
    switch (kind) {
    case CellKind::Empty:
        return QStringLiteral("Empty");
    case CellKind::Text:
        return QStringLiteral("Text");
    case CellKind::Number:
        return QStringLiteral("Number");
    case CellKind::NumberAsText:
        return QStringLiteral("NumberAsText");
    case CellKind::Formula:
        return QStringLiteral("Formula");
    case CellKind::Date:
        return QStringLiteral("Date");
    case CellKind::Error:
        return QStringLiteral("Error");
    }
    return {};
}

// The table, a line a row, each cell as kind:text, numbers with their value: readable in a
// failure and compared in one go.
QString describe(const Table& table) {
    QStringList lines;
    for (const std::vector<Cell>& row : table.rows) {
        QStringList cells;
        for (const Cell& cell : row) {
            QString text = kindName(cell.kind) + u':' + cell.text;
            if (cell.kind == CellKind::Number || cell.kind == CellKind::Date)
                text += u'=' + QString::number(cell.number, 'g', QLocale::FloatingPointShortest);
            cells << text;
        }
        lines << cells.join(QStringLiteral(" | "));
    }
    return lines.join(u'\n');
}

class Workbooks : public ::testing::Test {
protected:
    QString file(const QString& name) const { return folder.filePath(name); }
    QTemporaryDir folder;
};

// Every kind of cell another writer may put into the first sheet, placed by its reference.
TEST_F(Workbooks, ReadsTheFirstSheetOfAnotherWritersWorkbook) {
    const QByteArray strings =
        kXmlHead + "<sst xmlns=\"" + kMain +
        "\" count=\"3\" uniqueCount=\"3\">"
        "<si><t>Код</t></si>"
        "<si><r><t>Наиме</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">нование </t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>фонетика</t></rPh></si>"
        "<si><t>12,50</t></si></sst>";
    const QByteArray styles =
        kXmlHead + "<styleSheet xmlns=\"" + kMain +
        "\"><numFmts count=\"3\">"
        "<numFmt numFmtId=\"164\" formatCode=\"[h]:mm\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"dd.mm.yyyy hh:mm\"/>"
        "<numFmt numFmtId=\"166\" formatCode=\"&quot;day &quot;0.00\"/></numFmts>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
        "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
        "<xf numFmtId=\"165\"><alignment horizontal=\"left\"/></xf><xf numFmtId=\"166\"/>"
        "<xf numFmtId=\"4\"/></cellXfs></styleSheet>";
    const QByteArray sheet = worksheet(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"D1\" t=\"inlineStr\"><is><t>Вграден</t></is></c></row>"
        "<row r=\"3\"><c r=\"A3\"><v>12.5</v></c><c r=\"B3\" s=\"5\"/><c r=\"C3\" t=\"s\"><v>2</v>"
        "</c><c r=\"E3\" s=\"1\"><v>46366</v></c></row>"
        "<row r=\"4\"><c r=\"A4\"><f>A3*2</f><v>25</v></c><c t=\"b\"><v>1</v></c>"
        "<c t=\"e\"><v>#DIV/0!</v></c><c s=\"2\"><v>0.5</v></c><c s=\"3\"><v>46366.25</v></c>"
        "</row>"
        "<row r=\"5\"><c r=\"A5\"><f t=\"shared\" ref=\"A5:A6\" si=\"0\">B5+1</f><v>1</v></c>"
        "</row>"
        "<row r=\"6\"><c r=\"A6\"><f t=\"shared\" si=\"0\"/><v>2</v></c>"
        "<c r=\"B6\" s=\"4\"><v>7</v></c><c r=\"C6\" s=\"5\"><v>1234.5</v></c>"
        "<c r=\"D6\" t=\"str\"><v>текст</v></c></row>"
        "<row r=\"7\"><c r=\"A7\" s=\"1\"/></row>");
    writeZip(file(QStringLiteral("other.xlsx")), workbook(sheet, strings, styles));

    EXPECT_EQ(describe(sheet::readWorkbook(file(QStringLiteral("other.xlsx")))),
              QStringLiteral("Text:Код | Text:Наименование  | Empty: | Text:Вграден\n"
                             "\n"
                             "Number:12.5=12.5 | Empty: | NumberAsText:12,50 | Empty: | "
                             "Date:2026-12-10=46366\n"
                             "Formula: | Text:TRUE | Error:#DIV/0! | Date:12:00:00=0.5 | "
                             "Date:2026-12-10 06:00:00=46366.25\n"
                             "Formula:\n"
                             "Formula: | Number:7=7 | Number:1234.5=1234.5 | Text:текст"));
}

TEST_F(Workbooks, DatesFollowTheWorkbooksDateSystem) {
    const QByteArray styles = kXmlHead + "<styleSheet xmlns=\"" + kMain +
                              "\"><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>"
                              "</cellXfs></styleSheet>";
    const QByteArray sheet = worksheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c>"
                                       "<c r=\"B1\" s=\"1\"><v>61</v></c></row>");
    struct Case {
        QByteArray workbookPr;
        QString expected;
    } cases[] = {
        {"", QStringLiteral("Date:1900-01-01=1 | Date:1900-03-01=61")},
        {"<workbookPr date1904=\"1\"/>", QStringLiteral("Date:1904-01-02=1 | Date:1904-03-02=61")},
    };
    for (const Case& c : cases) {
        writeZip(file(QStringLiteral("dates.xlsx")), workbook(sheet, {}, styles, c.workbookPr));
        EXPECT_EQ(describe(sheet::readWorkbook(file(QStringLiteral("dates.xlsx")))), c.expected)
            << c.workbookPr.constData();
        QFile::remove(file(QStringLiteral("dates.xlsx")));
    }
}

TEST_F(Workbooks, MergedCellsAreRefusedOnlyWhereTheyReachTheData) {
    const QByteArray data = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Код</t></is></c>"
                            "<c r=\"B1\" t=\"inlineStr\"><is><t>Цена</t></is></c></row>"
                            "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>2</v></c></row>";
    struct Case {
        const char* merged;
        bool refused;
    } cases[] = {
        {"A2:A3", true}, {"B1:C1", true}, {"D1:E4", false}, {"A5:B6", false}, {"B2", false},
    };
    for (const Case& c : cases) {
        const QString path = file(QStringLiteral("merged.xlsx"));
        QFile::remove(path);
        writeZip(path, workbook(worksheet(data, QByteArray("<mergeCells count=\"1\"><mergeCell "
                                                           "ref=\"") +
                                                    c.merged + "\"/></mergeCells>")));
        if (c.refused) {
            try {
                sheet::readWorkbook(path);
                ADD_FAILURE() << c.merged << " was read";
            } catch (const sheet::WorkbookError& error) {
                EXPECT_TRUE(error.message().contains(QStringLiteral("обединени клетки")))
                    << error.what();
            }
        } else {
            EXPECT_EQ(sheet::readWorkbook(path).rows.size(), 2u) << c.merged;
        }
    }
}

QByteArray rows(int count, const QByteArray& cells) {
    QByteArray result;
    for (int row = 1; row <= count; ++row)
        result += "<row r=\"" + QByteArray::number(row) + "\">" + cells + "</row>";
    return result;
}

// Only the cells of sheetData in the sheet's own namespace are the sheet's: a cell an extension
// keeps, or one of another namespace, never replaces the 0.05 a spreadsheet program shows.
TEST_F(Workbooks, OnlyTheSheetsOwnCellsOfSheetDataAreRead) {
    const QByteArray visible = "<row r=\"1\"><c r=\"A1\"><v>0.05</v></c></row>";
    const QByteArray hidden = "<row r=\"1\"><c r=\"A1\"><v>0.09</v></c></row>";
    const struct {
        const char* name;
        QByteArray sheet;
    } cases[] = {
        {"a row in an extension after sheetData",
         worksheet(visible, "<extLst><ext uri=\"{x}\">" + hidden + "</ext></extLst>")},
        {"a row of another namespace inside sheetData",
         worksheet(visible + "<x:row xmlns:x=\"urn:other\" r=\"1\"><x:c r=\"A1\"><x:v>0.09</x:v>"
                             "</x:c><c r=\"A1\"><v>0.09</v></c></x:row>")},
        {"a cell of another namespace in the row",
         worksheet("<row r=\"1\"><c r=\"A1\"><v>0.05</v></c><x:c xmlns:x=\"urn:other\" "
                   "r=\"A1\"><v>0.09</v></x:c></row>")},
        {"a value of another namespace in the cell",
         worksheet("<row r=\"1\"><c r=\"A1\"><v>0.05</v><x:v xmlns:x=\"urn:other\">0.09</x:v>"
                   "</c></row>")},
        {"rows before sheetData", kXmlHead + "<worksheet xmlns=\"" + kMain + "\"><sheetPr>" +
                                      hidden + "</sheetPr><sheetData>" + visible +
                                      "</sheetData></worksheet>"},
    };
    for (const auto& c : cases) {
        const QString path = file(QStringLiteral("hidden.xlsx"));
        QFile::remove(path);
        writeZip(path, workbook(c.sheet));
        EXPECT_EQ(describe(sheet::readWorkbook(path)), QStringLiteral("Number:0.05=0.05"))
            << c.name;
    }
}

// A formula shared by every cell, or a long text shared by thousands, is read once: the cells
// name it, nothing is copied or parsed again per cell.
TEST_F(Workbooks, SharedFormulasAndStringsAreReadOnce) {
    QByteArray formulaRows = "<row><c><f t=\"shared\" ref=\"A1:A100000\" si=\"0\">" +
                             QByteArray(30'000, '1') + "</f></c></row>";
    formulaRows += QByteArray("<row><c><f t=\"shared\" si=\"0\"/></c></row>").repeated(99'999);
    writeZip(file(QStringLiteral("formulas.xlsx")), workbook(worksheet(formulaRows)));
    const Table formulas = sheet::readWorkbook(file(QStringLiteral("formulas.xlsx")));
    ASSERT_EQ(formulas.rows.size(), 100'000u);
    EXPECT_EQ(formulas.rows.back().at(0).kind, CellKind::Formula);
    EXPECT_TRUE(formulas.rows.back().at(0).text.isEmpty());

    const QByteArray strings = kXmlHead + "<sst xmlns=\"" + kMain + "\"><si><t>" +
                               QByteArray(32'767, '7') + "</t></si></sst>";
    writeZip(file(QStringLiteral("strings.xlsx")),
             workbook(worksheet(rows(5000, "<c t=\"s\"><v>0</v></c>")), strings));
    const Table texts = sheet::readWorkbook(file(QStringLiteral("strings.xlsx")));
    ASSERT_EQ(texts.rows.size(), 5000u);
    // Longer than any number a column takes: a text, not a number kept as text.
    EXPECT_EQ(texts.rows.back().at(0).kind, CellKind::Text);
    EXPECT_EQ(texts.rows.back().at(0).text.size(), 32'767);
}

TEST(NumberDigits, AreCountedOnTheTextAsWritten) {
    struct Case {
        const char* text;
        QChar separator;
        std::optional<std::pair<qint64, qint64>> digits; // integer, decimals
    } cases[] = {
        {"12.50", u'.', std::pair{2, 1}},
        {"0,0500", u',', std::pair{0, 2}},
        {"1 234 567,25", u',', std::pair{7, 2}},
        // Only spaces group digits: the other mark makes no number of the separator's.
        {"1.234.567,25", u',', std::nullopt},
        {"-0012.3", u'.', std::pair{2, 1}},
        {"1.5E3", u'.', std::pair{4, 0}},
        {"1E-12", u'.', std::pair{0, 12}},
        {"1e308", u'.', std::pair{309, 0}},
        {"0", u'.', std::pair{0, 0}},
        {"0.000", u'.', std::pair{0, 0}},
        {"1000000000.4", u'.', std::pair{10, 1}},
        {"1e99999999999999999999", u'.', std::nullopt},
        {"12,5", u'.', std::nullopt},
        {"abc", u'.', std::nullopt},
        {"", u'.', std::nullopt},
    };
    for (const Case& c : cases) {
        const auto digits = sheet::numberDigits(QString::fromLatin1(c.text), c.separator);
        ASSERT_EQ(digits.has_value(), c.digits.has_value()) << c.text;
        if (digits) {
            EXPECT_EQ(digits->integer, c.digits->first) << c.text;
            EXPECT_EQ(digits->decimals, c.digits->second) << c.text;
        }
    }
}

QByteArray windows1251(const QString& text) {
    QStringEncoder encoder("windows-1251");
    return encoder(text);
}

QByteArray utf16le(const QString& text) {
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder(text));
}

// Files that must be refused with a message naming the file and the reason, nothing read.
TEST_F(Workbooks, HostileAndBrokenFilesAreRefused) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        QString reason;
        sheet::Limits limits = {};
    };
    const auto zipOf = [](std::vector<Part> parts, std::optional<quint64> declared = {},
                          const char* password = nullptr) {
        return [=](const QString& path) { writeZip(path, parts, declared, password); };
    };
    const auto bytes = [](QByteArray data) {
        return [=](const QString& path) { writeFile(path, data); };
    };
    // Four megabytes of nothing but blanks inside the sheet: a few kilobytes deflated.
    const QByteArray bomb = worksheet(QByteArray(4 << 20, ' '));
    sheet::Limits oneMegabyte;
    oneMegabyte.unpackedBytes = 1 << 20;
    sheet::Limits hundredRows;
    hundredRows.rows = 100;
    sheet::Limits fiftyCells;
    fiftyCells.cells = 50;
    sheet::Limits tenStrings;
    tenStrings.sharedStrings = 10;
    QByteArray elevenStrings = kXmlHead + "<sst xmlns=\"" + kMain + "\">";
    for (int i = 0; i < 11; ++i)
        elevenStrings += "<si><t>текст " + QByteArray::number(i) + "</t></si>";
    elevenStrings += "</sst>";
    const QByteArray doctype =
        kXmlHead +
        "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
        "<worksheet xmlns=\"" +
        kMain +
        "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&b;</t></is></c>"
        "</row></sheetData></worksheet>";
    // Eighty thousand elements nested inside a value or a text, which a recursive reader
    // follows to the end of its stack.
    const QByteArray nested =
        QByteArray("<a>").repeated(80'000) + QByteArray("</a>").repeated(80'000);
    const QByteArray utf16Sheet = [] {
        QStringEncoder encoder(QStringEncoder::Utf16LE);
        QString xml =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><worksheet xmlns=\"") +
            QString::fromLatin1(kMain) +
            QStringLiteral("\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>а") +
            QChar(0xD800) + QStringLiteral("б</t></is></c></row></sheetData></worksheet>");
        return QByteArray("\xFF\xFE") + QByteArray(encoder(xml));
    }();
    const QString valid = file(QStringLiteral("valid.xlsx"));
    writeZip(valid, workbook(worksheet(rows(200, "<c><v>1</v></c><c><v>2</v></c>"))));
    const QByteArray validBytes = contents(valid);

    const Case cases[] = {
        {"zip bomb", zipOf(workbook(bomb)), QStringLiteral("по-голям от 1 MB"), oneMegabyte},
        {"zip bomb declaring a small size", zipOf(workbook(bomb), 1000), QString(), oneMegabyte},
        {"too many rows", zipOf(workbook(worksheet(rows(101, "<c><v>1</v></c>")))),
         QStringLiteral("повече от 100 реда"), hundredRows},
        {"a row far down",
         zipOf(workbook(worksheet("<row r=\"1048576\"><c r=\"A1048576\">"
                                  "<v>1</v></c></row>"))),
         QStringLiteral("повече от 200000 реда")},
        {"a column far right",
         zipOf(workbook(worksheet("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c></row>"))),
         QStringLiteral("повече от 512 колони")},
        {"too many cells",
         zipOf(workbook(worksheet(rows(9, "<c/><c/><c/><c/><c/><c><v>1</v></c>")))),
         QStringLiteral("повече от 50 клетки"), fiftyCells},
        {"too many shared strings", zipOf(workbook(worksheet(""), elevenStrings)),
         QStringLiteral("повече от 10 различни текста"), tenStrings},
        {"too long a text",
         zipOf(workbook(worksheet("<row><c t=\"inlineStr\"><is><t>" + QByteArray(40000, 'a') +
                                  "</t></is></c></row>"))),
         QStringLiteral("повече от 32767 знака")},
        {"a document type with entities", zipOf(workbook(doctype)), QStringLiteral("DOCTYPE")},
        {"deep nesting in a value",
         zipOf(workbook(worksheet("<row r=\"1\"><c r=\"A1\"><v>" + nested + "</v></c></row>"))),
         QStringLiteral("вложен по-дълбоко от 64 нива")},
        {"deep nesting in a text",
         zipOf(workbook(
             worksheet("<row><c t=\"inlineStr\"><is><t>" + nested + "</t></is></c></row>"))),
         QStringLiteral("вложен по-дълбоко от 64 нива")},
        {"a row number near the lowest int",
         zipOf(workbook(
             worksheet("<row r=\"-2147483647\"><c><v>1</v></c></row><row><c><v>2</v></c></row>"))),
         QStringLiteral("ред с непознат номер -2147483647")},
        {"a row number beyond any",
         zipOf(workbook(worksheet("<row r=\"99999999999\"><c><v>1</v></c></row>"))),
         QStringLiteral("ред с непознат номер")},
        {"a number longer than any value",
         zipOf(workbook(worksheet("<row><c><v>" + QByteArray(100, '1') + "</v></c></row>"))),
         QStringLiteral("неправилно число")},
        {"a lone surrogate in a UTF-16 sheet", zipOf(workbook(utf16Sheet)),
         QStringLiteral("самотен сурогат")},
        {"a lone surrogate in a UTF-16 CSV",
         bytes(utf16le(QStringLiteral("Код;Цена\r\n1;") + QChar(0xDC00) + QStringLiteral("\r\n"))),
         QStringLiteral("не е правилен UTF-16")},
        {"broken XML", zipOf(workbook(worksheet("<row><c><v>1</v></row>"))),
         QStringLiteral("XML на работната книга е повреден")},
        {"an unknown cell reference",
         zipOf(workbook(worksheet("<row><c r=\"1A\"><v>1</v></c></row>"))),
         QStringLiteral("непознат адрес 1A")},
        {"a zip that is no workbook",
         zipOf({{QStringLiteral("readme.txt"), QByteArray("Здравейте")}}),
         QStringLiteral("липсва xl/workbook.xml")},
        {"an encrypted part", zipOf(workbook(worksheet("")), {}, "парола"),
         QStringLiteral("защитен е с парола")},
        {"a truncated zip", bytes(validBytes.left(validBytes.size() / 2)),
         QStringLiteral("архивът не се отваря")},
        {"zip signature and nothing else",
         bytes(QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x')),
         QStringLiteral("архивът не се отваря")},
        {"an XLS or encrypted workbook",
         bytes(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(512, '\0')),
         QStringLiteral("XLS")},
        {"binary bytes", bytes(QByteArray("\x01\x02\x03\x00\xFF", 5)),
         QStringLiteral("нито работна книга XLSX, нито текстов файл CSV")},
        // What a spreadsheet program shows once is never given twice: neither value is taken.
        {"a cell given twice",
         zipOf(workbook(worksheet("<row r=\"2\"><c r=\"C2\"><v>9.99</v></c>"
                                  "<c r=\"C2\"><v>1.15</v></c></row>"))),
         QStringLiteral("клетка C2 е дадена два пъти")},
        {"an empty cell given again with a value",
         zipOf(workbook(worksheet("<row r=\"1\"><c r=\"A1\" s=\"0\"/><c r=\"A1\"><v>1</v></c>"
                                  "</row>"))),
         QStringLiteral("клетка A1 е дадена два пъти")},
        {"a cell placed by its reference onto a cell of another row",
         zipOf(workbook(worksheet("<row r=\"2\"><c r=\"B3\"><v>1</v></c></row>"
                                  "<row r=\"3\"><c r=\"B3\"><v>2</v></c></row>"))),
         QStringLiteral("клетка B3 е дадена два пъти")},
        {"a row given twice",
         zipOf(workbook(worksheet("<row r=\"2\"><c r=\"A2\"><v>1</v></c></row>"
                                  "<row r=\"2\"><c r=\"B2\"><v>2</v></c></row>"))),
         QStringLiteral("ред 2 е даден два пъти")},
        {"a row without a number after the one before a given row",
         zipOf(workbook(worksheet("<row r=\"2\"><c><v>1</v></c></row>"
                                  "<row r=\"1\"><c><v>2</v></c></row><row><c><v>3</v></c></row>"))),
         QStringLiteral("ред 2 е даден два пъти")},
        // Control characters and units that are no characters, escaped or not, in every kind of
        // text: refused as a CSV file holding them is.
        {"an escaped NUL in a shared string",
         zipOf(workbook(worksheet("<row><c t=\"s\"><v>0</v></c></row>"),
                        kXmlHead + "<sst xmlns=\"" + kMain +
                            "\"><si><t>Марка_x0000_</t></si></sst>")),
         QStringLiteral("управляващ знак (U+0000)")},
        {"an escaped vertical tab in an inline string",
         zipOf(workbook(
             worksheet("<row><c t=\"inlineStr\"><is><r><t>a_x000B_</t></r></is></c></row>"))),
         QStringLiteral("управляващ знак (U+000B)")},
        {"an escaped non-character in a formula's text",
         zipOf(workbook(worksheet("<row><c t=\"str\"><v>_xFFFE_</v></c></row>"))),
         QStringLiteral("управляващ знак (U+FFFE)")},
        {"a raw control character",
         zipOf(workbook(worksheet("<row><c t=\"inlineStr\"><is><t>a&#x1;</t></is></c></row>"))),
         QStringLiteral("XML на работната книга е повреден")},
        {"a vertical tab in a CSV", bytes("Цена;Марка\n1;a\x0B\n"),
         QStringLiteral("нито работна книга XLSX, нито текстов файл CSV")},
        {"a non-character in a CSV", bytes("Цена;Марка\n1;a\xEF\xBF\xBE\n"),
         QStringLiteral("нито работна книга XLSX, нито текстов файл CSV")},
    };
    for (const Case& c : cases) {
        const QString path = file(QStringLiteral("hostile.xlsx"));
        QFile::remove(path);
        c.make(path);
        try {
            const Table table = sheet::readWorkbook(path, c.limits);
            ADD_FAILURE() << c.name << " was read:\n" << describe(table).toStdString();
        } catch (const sheet::WorkbookError& error) {
            EXPECT_TRUE(error.message().contains(QDir::toNativeSeparators(path))) << c.name;
            EXPECT_TRUE(error.message().contains(c.reason))
                << c.name << ": " << error.message().toStdString();
        }
    }
    EXPECT_EQ(sheet::readWorkbook(valid).rows.size(), 200u);
    EXPECT_THROW(sheet::readWorkbook(file(QStringLiteral("missing.xlsx"))), sheet::WorkbookError);
}

bool regionalPoint() {
    return QLocale::system().decimalPoint() == QLatin1String(".");
}

QChar regionalDecimal() {
    return regionalPoint() ? u'.' : u',';
}

// Every encoding and field separator a spreadsheet program saves CSV in; "D" in a case stands
// for the regional decimal separator, which is the one its numbers are written with.
TEST_F(Workbooks, ReadsCsvOfEveryEncodingAndFieldSeparator) {
    struct Case {
        const char* name;
        std::function<QByteArray(const QString&)> encode;
        QString content;
        QString expected;
    };
    const auto utf8WithMark = [](const QString& text) { return "\xEF\xBB\xBF" + text.toUtf8(); };
    const auto utf8 = [](const QString& text) { return text.toUtf8(); };
    const Case cases[] = {
        {"UTF-8 with a byte order mark and ';'", utf8WithMark,
         QStringLiteral("Код;Цена\r\n1;12D50\r\n2;1 234D5\r\n\r\n"),
         QStringLiteral("Text:Код | Text:Цена\nNumber:1=1 | Number:12D50=12.5\n"
                        "Number:2=2 | Number:1 234D5=1234.5")},
        {"UTF-8, ';' between fields, quoted fields", utf8,
         QStringLiteral("Код;Име;Цена\n1;\"Болт \"\"М8\"\"; горещо поцинкован\";\"1 234D50\"\n"
                        "2;\"два\nреда\";0D5\n3;;7"),
         QStringLiteral("Text:Код | Text:Име | Text:Цена\n"
                        "Number:1=1 | Text:Болт \"М8\"; горещо поцинкован | "
                        "Number:1 234D50=1234.5\n"
                        "Number:2=2 | Text:два\nреда | Number:0D5=0.5\n"
                        "Number:3=3 | Empty: | Number:7=7")},
        {"Windows-1251 with tabs", windows1251,
         QStringLiteral("Код\tМярка\tЦена\r\n7\tбр.\t3D25\r\n"),
         QStringLiteral("Text:Код | Text:Мярка | Text:Цена\nNumber:7=7 | Text:бр. | "
                        "Number:3D25=3.25")},
        {"UTF-16 with ','", utf16le, QStringLiteral("Код,Цена\r\n7,\"0D125\"\r\n"),
         QStringLiteral("Text:Код | Text:Цена\nNumber:7=7 | Number:0D125=0.125")},
    };
    for (const Case& c : cases) {
        const QString path = file(QStringLiteral("prices.csv"));
        QString content = c.content;
        writeFile(path, c.encode(content.replace(u'D', regionalDecimal())));
        const Table table = sheet::readWorkbook(path);
        QString expected = c.expected;
        EXPECT_EQ(describe(table), expected.replace(u'D', regionalDecimal())) << c.name;
        EXPECT_EQ(table.decimalSeparator, regionalDecimal()) << c.name;
    }
}

// A CSV number is read with the regional decimal separator only, its digits grouped by spaces
// only: the other of '.' and ',' makes a field a number written under other settings, which no
// guess may turn into a value a thousand times another.
TEST_F(Workbooks, CsvNumbersAreReadWithTheRegionalSeparatorOnly) {
    struct Case {
        QString field;
        QString underComma; // the cell under a decimal comma, in the terms of describe()
        QString underPoint;
    };
    const Case cases[] = {
        {QStringLiteral("12,50"), QStringLiteral("Number:12,50=12.5"),
         QStringLiteral("NumberAsText:12,50")},
        {QStringLiteral("1.234"), QStringLiteral("NumberAsText:1.234"),
         QStringLiteral("Number:1.234=1.234")},
        {QStringLiteral("1,250"), QStringLiteral("Number:1,250=1.25"),
         QStringLiteral("NumberAsText:1,250")},
        {QStringLiteral("1.15"), QStringLiteral("NumberAsText:1.15"),
         QStringLiteral("Number:1.15=1.15")},
        {QStringLiteral("1,234.50"), QStringLiteral("NumberAsText:1,234.50"),
         QStringLiteral("NumberAsText:1,234.50")},
        {QStringLiteral("1.234,50"), QStringLiteral("NumberAsText:1.234,50"),
         QStringLiteral("NumberAsText:1.234,50")},
        {QStringLiteral("1\u00A0234"), QStringLiteral("Number:1\u00A0234=1234"),
         QStringLiteral("Number:1\u00A0234=1234")},
        {QStringLiteral("-20"), QStringLiteral("Number:-20=-20"), QStringLiteral("Number:-20=-20")},
        {QStringLiteral("1.2.3"), QStringLiteral("Text:1.2.3"), QStringLiteral("Text:1.2.3")},
        {QStringLiteral("бр."), QStringLiteral("Text:бр."), QStringLiteral("Text:бр.")},
    };
    for (const Case& c : cases) {
        const QString path = file(QStringLiteral("prices.csv"));
        writeFile(path, (QStringLiteral("Цена\n") + c.field + u'\n').toUtf8());
        EXPECT_EQ(describe(sheet::readWorkbook(path)),
                  QStringLiteral("Text:Цена\n") + (regionalPoint() ? c.underPoint : c.underComma))
            << c.field.toStdString();
    }
}

TEST(OtherSeparatorReadings, NameEveryNumberTheTextCouldBe) {
    const std::pair<const char*, QChar> texts[] = {
        {"1.234", u','},   {"1,250", u'.'}, {"1.15", u','},  {"0.125", u','}, {"1,234.50", u','},
        {"1.234,5", u','}, {"12,5", u','},  {"1 234", u'.'}, {"абв", u','},
    };
    const QStringList expected[] = {
        {QStringLiteral("1234"), QStringLiteral("1,234")},
        {QStringLiteral("1250"), QStringLiteral("1.250")},
        {QStringLiteral("1,15")},
        {QStringLiteral("0,125")},
        {QStringLiteral("1234,50")},
        {QStringLiteral("1234,5")},
        {},
        {},
        {},
    };
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(sheet::otherSeparatorReadings(QString::fromUtf8(texts[i].first), texts[i].second),
                  expected[i])
            << texts[i].first;
}

TEST_F(Workbooks, CsvWithAnUnclosedQuoteIsRefused) {
    const QString path = file(QStringLiteral("cut.csv"));
    writeFile(path, "Код;Име\n1;\"недовършен\n");
    EXPECT_THROW(sheet::readWorkbook(path), sheet::WorkbookError);
}

Table sampleTable() {
    Table table;
    table.rows = {
        {{CellKind::Text, QStringLiteral("Код")},
         {CellKind::Text, QStringLiteral("Наименование")},
         {CellKind::Text, QStringLiteral("Количество")},
         {CellKind::Text, QStringLiteral("Цена")}},
        {{CellKind::Text, QStringLiteral("1.10")},
         {CellKind::Text, QStringLiteral("Болт \"М8\"; горещо\nпоцинкован")},
         {CellKind::Number, QString(), 1000.25},
         {CellKind::Number, QString(), 12.5, 2}},
        // Decimals pad a number but never cut its digits.
        {{CellKind::Text, QStringLiteral("2")},
         {},
         {CellKind::Number, QString(), 3},
         {CellKind::Number, QString(), 0.125, 0}},
        {{CellKind::Text, QStringLiteral(" с интервали ")}},
    };
    return table;
}

// What was written reads back as the same values: texts by their text (a code that looks like a
// number included), numbers by their value.
void expectSameValues(const Table& written, const Table& read, const char* format) {
    ASSERT_EQ(read.rows.size(), written.rows.size()) << format;
    for (std::size_t row = 0; row < written.rows.size(); ++row) {
        ASSERT_EQ(read.rows[row].size(), written.rows[row].size()) << format << " row " << row;
        for (std::size_t column = 0; column < written.rows[row].size(); ++column) {
            const Cell& expected = written.rows[row][column];
            const Cell& actual = read.rows[row][column];
            const auto where = [&] {
                return std::string(format) + " " + std::to_string(row) + "/" +
                       std::to_string(column) + ": " + actual.text.toStdString();
            };
            if (expected.kind == CellKind::Number) {
                EXPECT_EQ(actual.kind, CellKind::Number) << where();
                EXPECT_EQ(actual.number, expected.number) << where();
            } else if (expected.kind == CellKind::Empty) {
                EXPECT_EQ(actual.kind, CellKind::Empty) << where();
            } else {
                EXPECT_EQ(actual.text, expected.text) << where();
            }
        }
    }
}

TEST_F(Workbooks, WhatIsWrittenReadsBack) {
    const Table table = sampleTable();
    for (const char* name : {"prices.xlsx", "prices.csv"}) {
        const QString path = file(QString::fromLatin1(name));
        sheet::writeWorkbook(path, table, regionalDecimal());
        const Table read = sheet::readWorkbook(path);
        expectSameValues(table, read, name);
    }
    // The decimals the table gives show in the CSV; the code keeps its text.
    const QByteArray csv = contents(file(QStringLiteral("prices.csv")));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF")) << csv.constData();
    EXPECT_TRUE(csv.contains(QStringLiteral("1.10;\"Болт \"\"М8\"\"; горещо\nпоцинкован\";"
                                            "1000D25;12D50\r\n")
                                 .replace(u'D', regionalDecimal())
                                 .toUtf8()))
        << csv.constData();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file is left behind";
}

// Texts that a spreadsheet's XML carries escaped, and texts that read like an escape, read back
// as they were written; so does another writer's escape in small letters. A text with a control
// character is written so that it stands for itself, and the file is then refused on reading,
// since no spreadsheet program shows the character.
TEST_F(Workbooks, EscapedTextsReadBackAsWritten) {
    const QStringList texts{QStringLiteral("_x0041_ буквално"), QStringLiteral("x_x005F_y_"),
                            QStringLiteral("ред\r\nнов"), QStringLiteral("_x00e9_ не е é"),
                            // Escape-like once the character after it is escaped.
                            QStringLiteral("_x0041\r и _x0042\r")};
    Table table;
    table.rows.emplace_back();
    for (const QString& text : texts)
        table.rows[0].push_back({CellKind::Text, text});
    const QString path = file(QStringLiteral("texts.xlsx"));
    sheet::writeWorkbook(path, table);
    const Table read = sheet::readWorkbook(path);
    ASSERT_EQ(read.rows.size(), 1u);
    ASSERT_EQ(read.rows[0].size(), table.rows[0].size());
    for (qsizetype column = 0; column < texts.size(); ++column)
        EXPECT_EQ(read.rows[0][static_cast<std::size_t>(column)].text, texts[column]) << column;
    EXPECT_EQ(sheet::formats::unescapedSpreadsheetText(QStringLiteral("_x00e9_ и _x00C9_")),
              QStringLiteral("é и É"));

    for (const QString& controlled :
         {QStringLiteral("знаци \x01 и \x0B"), QStringLiteral("_x0042\x01")}) {
        EXPECT_EQ(sheet::formats::unescapedSpreadsheetText(
                      sheet::formats::escapedSpreadsheetText(controlled)),
                  controlled);
        table.rows[0] = {{CellKind::Text, controlled}};
        sheet::writeWorkbook(path, table);
        EXPECT_THROW(sheet::readWorkbook(path), sheet::WorkbookError);
    }
}

// An escape is "_x", exactly four hexadecimal digits and "_", in whichever cell the text stands:
// a shared string, an inline string or a formula's text result ("str").
TEST_F(Workbooks, EscapesTakeExactlyFourHexDigitsInEveryKindOfText) {
    const std::pair<QByteArray, QString> escapes[] = {
        {"_x0041_", QStringLiteral("A")},         {"_x041_", QStringLiteral("_x041_")},
        {"_x00041_", QStringLiteral("_x00041_")}, {"_x004G_", QStringLiteral("_x004G_")},
        {"a_x0431_b", QStringLiteral("aбb")},
    };
    for (const auto& [written, read] : escapes) {
        const QByteArray strings =
            kXmlHead + "<sst xmlns=\"" + kMain + "\"><si><t>" + written + "</t></si></sst>";
        const QString path = file(QStringLiteral("escapes.xlsx"));
        QFile::remove(path);
        writeZip(path, workbook(worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                                          "<c r=\"B1\" t=\"inlineStr\"><is><t>" +
                                          written +
                                          "</t></is></c>"
                                          "<c r=\"C1\" t=\"str\"><v>" +
                                          written + "</v></c></row>"),
                                strings));
        EXPECT_EQ(describe(sheet::readWorkbook(path)),
                  QStringList(3, QStringLiteral("Text:") + read).join(QStringLiteral(" | ")))
            << written.constData();
    }
}

// A spreadsheet program shows the double of a number cell rounded to 15 significant digits, and
// that is the number read, whatever digits the file writes it with.
TEST_F(Workbooks, NumberCellsReadAsTheProgramShowsThem) {
    const std::pair<QByteArray, QString> numbers[] = {
        {"4.3499999999999996", QStringLiteral("Number:4.35=4.35")},
        {"11.970000000000001", QStringLiteral("Number:11.97=11.97")},
        {"0.07000000000000001", QStringLiteral("Number:0.07=0.07")},
        {"1.005", QStringLiteral("Number:1.005=1.005")},
        {"1E-12", QStringLiteral("Number:1e-12=1e-12")},
        {"123456789012345678", QStringLiteral("Number:1.23456789012346e+17=123456789012346000")},
        {"-0.5", QStringLiteral("Number:-0.5=-0.5")},
    };
    for (const auto& [written, read] : numbers) {
        const QString path = file(QStringLiteral("numbers.xlsx"));
        QFile::remove(path);
        writeZip(path,
                 workbook(worksheet("<row r=\"1\"><c r=\"A1\"><v>" + written + "</v></c></row>")));
        EXPECT_EQ(describe(sheet::readWorkbook(path)), read) << written.constData();
    }
}

// A hidden sheet, however early in the workbook, is never read: the first visible one is, and
// the table names it. A workbook with no visible sheet is refused.
TEST_F(Workbooks, OnlyAVisibleSheetIsRead) {
    const auto sheets = [](const QByteArray& first, const QByteArray& second) {
        std::vector<Part> parts =
            workbook(worksheet("<row r=\"1\"><c r=\"A1\"><v>1.15</v></c></row>"));
        for (Part& part : parts) {
            if (part.name == QLatin1String("xl/workbook.xml"))
                part.bytes = kXmlHead + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" +
                             kRelationships + "\"><sheets><sheet name=\"Скрит\" sheetId=\"1\" " +
                             first + " r:id=\"rId1\"/><sheet name=\"Цени\" sheetId=\"2\" " +
                             second + " r:id=\"rId7\"/></sheets></workbook>";
            else if (part.name == QLatin1String("xl/worksheets/sheet2.xml"))
                part.bytes = worksheet("<row r=\"1\"><c r=\"A1\"><v>9.99</v></c></row>");
        }
        return parts;
    };
    for (const QByteArray& hidden :
         {QByteArray("state=\"hidden\""), QByteArray("state=\"veryHidden\"")}) {
        const QString path = file(QStringLiteral("hidden.xlsx"));
        QFile::remove(path);
        writeZip(path, sheets(hidden, "state=\"visible\""));
        const Table table = sheet::readWorkbook(path);
        EXPECT_EQ(describe(table), QStringLiteral("Number:1.15=1.15")) << hidden.constData();
        EXPECT_EQ(table.sheetName, QStringLiteral("Цени"));
    }
    const QString path = file(QStringLiteral("all-hidden.xlsx"));
    writeZip(path, sheets("state=\"hidden\"", "state=\"veryHidden\""));
    try {
        sheet::readWorkbook(path);
        ADD_FAILURE() << "a workbook without a visible sheet was read";
    } catch (const sheet::WorkbookError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("няма видим работен лист")))
            << error.message().toStdString();
    }
}

TEST_F(Workbooks, AFailedWriteLeavesTheEarlierFile) {
    const QString path = file(QStringLiteral("prices.xlsx"));
    sheet::writeWorkbook(path, sampleTable());
    const QByteArray before = contents(path);
    Table tooLong = sampleTable();
    tooLong.rows[1][1].text = QString(40000, u'я');
    EXPECT_THROW(sheet::writeWorkbook(path, tooLong), sheet::WorkbookError);
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("prices.xlsx")});
    EXPECT_THROW(
        sheet::writeWorkbook(file(QStringLiteral("no/such/folder/prices.csv")), sampleTable()),
        sheet::WorkbookError);
}

} // namespace
