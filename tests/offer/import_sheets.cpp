// SPDX-License-Identifier: Apache-2.0
#include "import_sheets.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QBuffer>
#include <QLocale>
#include <QStringEncoder>

#include <stdexcept>
#include <utility>

namespace importsheets {

nlohmann::json importTender() {
    const auto position = [](int product, int lot, const char* code) {
        return nlohmann::json{{"PRODUCT_CODE", product},
                              {"MASTER_CODE", lot},
                              {"CUSTOM_CODE", code},
                              {"IME", std::string("Изделие ") + code}};
    };
    nlohmann::json priced = position(101, 100, "1");
    priced.update({{"PP1_NUMBER", 5.0}, {"PP2_TEXT", "Старо"}, {"PP3_NUMBER", 10.0}});
    nlohmann::json other = position(301, 300, "1");
    other.update({{"PP1_NUMBER", 1.0}, {"PP2_TEXT", "X"}, {"PP3_NUMBER", 1.0}});
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "Медикс ООД"},
               {"PP1_IME", "Цена"},
               {"PP1_RAZRYAD", 2},
               {"PP2_TIP", 2},
               {"PP2_IME", "Марка"},
               {"PP2_OGRANICHENIE", 5},
               {"PP3_TIP", 3},
               {"PP3_IME", "Срок"},
               {"PP3_RAZRYAD", 0},
               {"PP3_OGRANICHENIE", 2}}}},
            {"PREDLOGENIA",
             {{{"PRODUCT_CODE", 100}, {"CUSTOM_CODE", "1"}, {"PP2_TEXT", "Да"}},
              priced,
              position(102, 100, "2"),
              position(103, 100, "3"),
              {{"PRODUCT_CODE", 200}, {"CUSTOM_CODE", "2"}},
              position(201, 200, "1"),
              {{"PRODUCT_CODE", 300}, {"CUSTOM_CODE", "3"}, {"PP2_TEXT", "Да"}},
              other}}};
}

namespace {

const QByteArray kXmlHead = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kTypes = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A zip of the parts, deflated, as a spreadsheet program writes it.
QByteArray zipOf(const std::vector<std::pair<QString, QByteArray>>& parts) {
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        throw std::runtime_error("the zip cannot be made");
    for (const auto& [name, bytes] : parts) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, Z_DEFLATED,
                       Z_BEST_COMPRESSION) ||
            file.write(bytes) != bytes.size())
            throw std::runtime_error("a part cannot be zipped");
        file.close();
    }
    zip.close();
    return buffer.data();
}

// A workbook of one sheet, with shared strings when given, and before it a hidden sheet when
// given.
QByteArray workbookOf(const QByteArray& sheet, const QByteArray& sharedStrings = {},
                      const QByteArray& hiddenSheet = {}) {
    const QByteArray relationships =
        "\"http://schemas.openxmlformats.org/package/2006/relationships\"";
    QByteArray workbookRels = kXmlHead + "<Relationships xmlns=" + relationships +
                              "><Relationship Id=\"rId1\" Type=\"" + kTypes +
                              "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!sharedStrings.isEmpty())
        workbookRels += "<Relationship Id=\"rId2\" Type=\"" + kTypes +
                        "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    if (!hiddenSheet.isEmpty())
        workbookRels += "<Relationship Id=\"rId3\" Type=\"" + kTypes +
                        "worksheet\" Target=\"worksheets/sheet2.xml\"/>";
    workbookRels += "</Relationships>";
    const QByteArray hidden =
        hiddenSheet.isEmpty()
            ? QByteArray()
            : QByteArray("<sheet name=\"Скрит\" sheetId=\"2\" state=\"hidden\" r:id=\"rId3\"/>");
    std::vector<std::pair<QString, QByteArray>> parts = {
        {QStringLiteral("_rels/.rels"),
         kXmlHead + "<Relationships xmlns=" + relationships + "><Relationship Id=\"rId1\" Type=\"" +
             kTypes + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {QStringLiteral("xl/workbook.xml"),
         kXmlHead + "<workbook xmlns=\"" + kMain +
             "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships\"><sheets>" +
             hidden + "<sheet name=\"Цени\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), workbookRels},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
    };
    if (!sharedStrings.isEmpty())
        parts.push_back({QStringLiteral("xl/sharedStrings.xml"), sharedStrings});
    if (!hiddenSheet.isEmpty())
        parts.push_back({QStringLiteral("xl/worksheets/sheet2.xml"), hiddenSheet});
    return zipOf(parts);
}

QByteArray text(const QByteArray& value) {
    return "<c t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
}

QByteArray number(const QByteArray& value) {
    return "<c><v>" + value + "</v></c>";
}

QByteArray row(const QByteArray& cells) {
    return "<row>" + cells + "</row>";
}

const QByteArray kHeads =
    row(text("Обособена позиция") + text("Номер") + text("Цена") + text("Марка") + text("Срок"));

QByteArray worksheet(const QByteArray& rows, const QByteArray& after = {}) {
    return kXmlHead + "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + kHeads + rows +
           "</sheetData>" + after + "</worksheet>";
}

// Position 3 of lot 1 priced `price`, with its other values in order.
QByteArray pricedRow(const QByteArray& priceCell) {
    return row(text("1") + text("3") + priceCell + text("Б") + number("2"));
}

QByteArray sharedStringsOf(const QList<QByteArray>& strings) {
    QByteArray xml = kXmlHead + "<sst xmlns=\"" + kMain + "\">";
    for (const QByteArray& string : strings)
        xml += "<si><t>" + string + "</t></si>";
    return xml + "</sst>";
}

QByteArray utf16WithMark(const QString& content) {
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder(content));
}

// Rows that name one shared formula or string: as many as a file of a few kilobytes holds.
constexpr int kSharingRows = 20'000;

const QString kCsvHeads = QStringLiteral("Обособена позиция;Номер;Цена;Марка;Срок\r\n");

// A CSV file's numbers are written with the decimal separator they are read with.
QChar regionalDecimal() {
    return QLocale::system().decimalPoint() == QLatin1String(".") ? u'.' : u',';
}

// The other of '.' and ',', which a CSV file's numbers must not hold.
QChar otherMark() {
    return regionalDecimal() == u'.' ? u',' : u'.';
}

} // namespace

std::vector<HostileSheet> hostileSheets() {
    const QByteArray nested =
        QByteArray("<a>").repeated(80'000) + QByteArray("</a>").repeated(80'000);
    // The codes "1" and "3" as the shared strings 1 and 2, so that a row takes few bytes.
    const QByteArray codes = "<c t=\"s\"><v>1</v></c><c t=\"s\"><v>2</v></c>";
    const QByteArray sharedFormula =
        row(codes + "<c><f t=\"shared\" ref=\"C2:C20001\" si=\"0\">" + QByteArray(30'000, '1') +
            "</f></c>") +
        row(codes + "<c><f t=\"shared\" si=\"0\"/></c>").repeated(kSharingRows - 1);
    const QByteArray utf16Sheet = [] {
        QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") +
                      QString::fromUtf8(worksheet(pricedRow(number("7.5"))).mid(kXmlHead.size()));
        xml.replace(QStringLiteral("<t>Б</t>"),
                    QStringLiteral("<t>Б") + QChar(0xD800) + QStringLiteral("</t>"));
        return utf16WithMark(xml);
    }();
    return {
        {"nested-value", QStringLiteral("nested-value.xlsx"),
         workbookOf(worksheet(pricedRow("<c><v>" + nested + "</v></c>")))},
        {"nested-text", QStringLiteral("nested-text.xlsx"),
         workbookOf(worksheet(row(text("1") + text("3") + number("7.5") + text(nested))))},
        {"shared-formula", QStringLiteral("shared-formula.xlsx"),
         workbookOf(worksheet(sharedFormula), sharedStringsOf({"", "1", "3"}))},
        {"shared-lot-code", QStringLiteral("shared-lot-code.xlsx"),
         workbookOf(
             worksheet(
                 row("<c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c>").repeated(kSharingRows)),
             sharedStringsOf({QByteArray(32'767, '7'), "1"}))},
        {"shared-long-number", QStringLiteral("shared-long-number.xlsx"),
         workbookOf(worksheet(row(codes + "<c t=\"s\"><v>0</v></c>").repeated(kSharingRows)),
                    sharedStringsOf({QByteArray(32'767, '9'), "1", "3"}))},
        {"row-number-near-int-min", QStringLiteral("row-number.xlsx"),
         workbookOf(worksheet("<row r=\"-2147483647\">" + number("1") + "</row>" +
                              pricedRow(number("7.5"))))},
        {"cell-in-extension", QStringLiteral("extension.xlsx"),
         workbookOf(worksheet(pricedRow(number("0.05")),
                              "<extLst><ext uri=\"{0}\"><row r=\"2\"><c r=\"C2\"><v>0.09</v></c>"
                              "</row></ext></extLst>"))},
        {"row-of-another-namespace", QStringLiteral("namespace.xlsx"),
         workbookOf(worksheet(pricedRow(number("0.05")) +
                              "<x:row xmlns:x=\"urn:x\" r=\"2\"><x:c r=\"C2\"><x:v>0.09</x:v>"
                              "</x:c></x:row>"))},
        {"lone-surrogate-utf16-sheet", QStringLiteral("utf16.xlsx"), workbookOf(utf16Sheet)},
        {"lone-surrogate-utf16-csv", QStringLiteral("utf16.csv"),
         utf16WithMark(kCsvHeads + QStringLiteral("1;3;7,5;Б") + QChar(0xDC00) +
                       QStringLiteral(";2\r\n"))},
        {"trillionth-price-csv", QStringLiteral("trillionth.csv"),
         (kCsvHeads + QStringLiteral("1;3;0D000000000001;Б;2\r\n").replace(u'D', regionalDecimal()))
             .toUtf8()},
        {"huge-price", QStringLiteral("huge.xlsx"),
         workbookOf(worksheet(pricedRow(number("1e308"))))},
        {"seventeen-digit-price", QStringLiteral("seventeen.xlsx"),
         workbookOf(worksheet(pricedRow(number("4.3499999999999996"))))},
        {"price-of-a-hidden-sheet", QStringLiteral("hidden.xlsx"),
         workbookOf(worksheet(pricedRow(number("0.05"))), {},
                    worksheet(pricedRow(number("9.99"))))},
        {"price-given-twice", QStringLiteral("twice.xlsx"),
         workbookOf(worksheet("<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>3</v></c>"
                              "<c r=\"C2\"><v>9.99</v></c><c r=\"C2\"><v>0.05</v></c></row>"))},
        {"escaped-nul-in-a-text", QStringLiteral("nul.xlsx"),
         workbookOf(worksheet(row(text("1") + text("3") + number("7.5") + text("Б_x0000_"))))},
        {"grouped-price-csv", QStringLiteral("grouped.csv"),
         (kCsvHeads + QStringLiteral("1;3;1O234;Б;2\r\n").replace(u'O', otherMark())).toUtf8()},
        {"tenth-of-whole-number-csv", QStringLiteral("whole.csv"),
         (kCsvHeads + QStringLiteral("1;3;7D5;Б;1000000000D4\r\n").replace(u'D', regionalDecimal()))
             .toUtf8()},
    };
}

} // namespace importsheets
