// SPDX-License-Identifier: Apache-2.0
// XLSX: the price list as a bidder expects to open it, heads in bold and frozen, columns wide
// enough to read, numbers as numbers. The zip is QuaZip's, the parts are written as XML here:
// the workbook with its one sheet, the styles, the shared strings.

#include "export/sheet_formats.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QHash>
#include <QLocale>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace sheet::formats {

namespace {

constexpr double kNarrowest = 8;
constexpr double kWidest = 60;
// The longest text a spreadsheet cell holds.
constexpr qsizetype kLongestText = 32'767;
// The first number format id a workbook may define; the lower ones are built in.
constexpr int kFirstCustomFormat = 164;
// Cell styles: the workbook's default, the bold head, then one a number format.
constexpr int kPlainStyle = 0;
constexpr int kBoldStyle = 1;
constexpr int kFirstNumberStyle = 2;

// The number format showing `decimals` decimals, digits grouped by threes.
QString numberFormatCode(int decimals) {
    QString code = QStringLiteral("#,##0");
    if (decimals > 0)
        code += u'.' + QString(decimals, u'0');
    return code;
}

QString numberText(double number) {
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

QString cellText(const Cell& cell) {
    return cell.kind == CellKind::Number ? numberText(cell.number) : cell.text;
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

class XlsxWriter {
public:
    XlsxWriter(const QString& temporary, const QString& path) : path_(path), zip_(temporary) {
        if (!zip_.open(QuaZip::mdCreate))
            refuseNoRoom();
    }

    void write(const Table& table) {
        checkValues(table);
        writePart(QStringLiteral("[Content_Types].xml"), [](QXmlStreamWriter& xml) {
            xml.writeStartElement(QStringLiteral("Types"));
            xml.writeDefaultNamespace(kContentTypesNamespace);
            const std::pair<const char*, const char*> defaults[] = {
                {"rels", "application/vnd.openxmlformats-package.relationships+xml"},
                {"xml", "application/xml"}};
            for (const auto& [extension, type] : defaults) {
                xml.writeEmptyElement(QStringLiteral("Default"));
                xml.writeAttribute(QStringLiteral("Extension"), QString::fromLatin1(extension));
                xml.writeAttribute(QStringLiteral("ContentType"), QString::fromLatin1(type));
            }
            const std::pair<const char*, const char*> parts[] = {
                {"/xl/workbook.xml", "sheet.main"},
                {"/xl/worksheets/sheet1.xml", "worksheet"},
                {"/xl/styles.xml", "styles"},
                {"/xl/sharedStrings.xml", "sharedStrings"}};
            for (const auto& [part, type] : parts) {
                xml.writeEmptyElement(QStringLiteral("Override"));
                xml.writeAttribute(QStringLiteral("PartName"), QString::fromLatin1(part));
                xml.writeAttribute(
                    QStringLiteral("ContentType"),
                    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.") +
                        QString::fromLatin1(type) + QStringLiteral("+xml"));
            }
            xml.writeEndElement();
        });
        writeRelationships(QStringLiteral("_rels/.rels"),
                           {{QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml")}});
        writePart(QStringLiteral("xl/workbook.xml"), [](QXmlStreamWriter& xml) {
            xml.writeStartElement(QStringLiteral("workbook"));
            xml.writeDefaultNamespace(kSpreadsheetNamespace);
            xml.writeNamespace(kPartRelationshipsNamespace, QStringLiteral("r"));
            xml.writeStartElement(QStringLiteral("sheets"));
            xml.writeEmptyElement(QStringLiteral("sheet"));
            xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Цени"));
            xml.writeAttribute(QStringLiteral("sheetId"), QStringLiteral("1"));
            xml.writeAttribute(kPartRelationshipsNamespace, QStringLiteral("id"),
                               QStringLiteral("rId1"));
            xml.writeEndElement();
            xml.writeEndElement();
        });
        writeRelationships(
            QStringLiteral("xl/_rels/workbook.xml.rels"),
            {{QStringLiteral("worksheet"), QStringLiteral("worksheets/sheet1.xml")},
             {QStringLiteral("styles"), QStringLiteral("styles.xml")},
             {QStringLiteral("sharedStrings"), QStringLiteral("sharedStrings.xml")}});
        // The sheet first: it decides the strings and the number formats the other two hold.
        writePart(QStringLiteral("xl/worksheets/sheet1.xml"),
                  [&](QXmlStreamWriter& xml) { writeSheet(xml, table); });
        writePart(QStringLiteral("xl/sharedStrings.xml"),
                  [&](QXmlStreamWriter& xml) { writeSharedStrings(xml); });
        writePart(QStringLiteral("xl/styles.xml"),
                  [&](QXmlStreamWriter& xml) { writeStyles(xml); });
        zip_.close();
        if (zip_.getZipError() != ZIP_OK)
            refuseNoRoom();
    }

private:
    // Before anything is written, what no sheet can hold.
    void checkValues(const Table& table) const {
        for (const std::vector<Cell>& row : table.rows)
            for (const Cell& cell : row) {
                if (cell.kind != CellKind::Number && cell.text.size() > kLongestText)
                    refuseToWrite(path_, QStringLiteral("има текст, по-дълъг от 32 767 знака"));
                if (cell.kind == CellKind::Number && !std::isfinite(cell.number))
                    refuseToWrite(path_, QStringLiteral("има число, което таблицата не може да "
                                                        "съдържа (%1)")
                                             .arg(cell.number));
            }
    }

    [[noreturn]] void refuseNoRoom() const {
        refuseToWrite(path_, QStringLiteral("няма права за запис в папката или няма място"));
    }

    void writePart(const QString& name, const std::function<void(QXmlStreamWriter&)>& body) {
        QuaZipFile file(&zip_);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)))
            refuseNoRoom();
        QXmlStreamWriter xml(&file);
        xml.writeStartDocument(QStringLiteral("1.0"), true);
        body(xml);
        xml.writeEndDocument();
        file.close();
        if (xml.hasError() || file.getZipError() != ZIP_OK)
            refuseNoRoom();
    }

    struct Relationship {
        QString type;
        QString target;
    };
    void writeRelationships(const QString& name, const std::vector<Relationship>& relationships) {
        writePart(name, [&](QXmlStreamWriter& xml) {
            xml.writeStartElement(QStringLiteral("Relationships"));
            xml.writeDefaultNamespace(kPackageRelationshipsNamespace);
            for (std::size_t i = 0; i < relationships.size(); ++i) {
                xml.writeEmptyElement(QStringLiteral("Relationship"));
                xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(i + 1));
                xml.writeAttribute(QStringLiteral("Type"),
                                   kPartRelationshipsNamespace + u'/' + relationships[i].type);
                xml.writeAttribute(QStringLiteral("Target"), relationships[i].target);
            }
            xml.writeEndElement();
        });
    }

    void writeSheet(QXmlStreamWriter& xml, const Table& table) {
        xml.writeStartElement(QStringLiteral("worksheet"));
        xml.writeDefaultNamespace(kSpreadsheetNamespace);
        xml.writeStartElement(QStringLiteral("sheetViews"));
        xml.writeStartElement(QStringLiteral("sheetView"));
        xml.writeAttribute(QStringLiteral("tabSelected"), QStringLiteral("1"));
        xml.writeAttribute(QStringLiteral("workbookViewId"), QStringLiteral("0"));
        if (!table.rows.empty()) {
            // The heads stay in sight while the bidder scrolls through the positions.
            xml.writeEmptyElement(QStringLiteral("pane"));
            xml.writeAttribute(QStringLiteral("ySplit"), QStringLiteral("1"));
            xml.writeAttribute(QStringLiteral("topLeftCell"), QStringLiteral("A2"));
            xml.writeAttribute(QStringLiteral("activePane"), QStringLiteral("bottomLeft"));
            xml.writeAttribute(QStringLiteral("state"), QStringLiteral("frozen"));
            xml.writeEmptyElement(QStringLiteral("selection"));
            xml.writeAttribute(QStringLiteral("pane"), QStringLiteral("bottomLeft"));
        }
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEmptyElement(QStringLiteral("sheetFormatPr"));
        xml.writeAttribute(QStringLiteral("defaultRowHeight"), QStringLiteral("15"));
        const std::vector<double> widths = columnWidths(table);
        if (!widths.empty()) {
            xml.writeStartElement(QStringLiteral("cols"));
            for (std::size_t column = 0; column < widths.size(); ++column) {
                xml.writeEmptyElement(QStringLiteral("col"));
                xml.writeAttribute(QStringLiteral("min"), QString::number(column + 1));
                xml.writeAttribute(QStringLiteral("max"), QString::number(column + 1));
                xml.writeAttribute(QStringLiteral("width"), numberText(widths[column]));
                xml.writeAttribute(QStringLiteral("customWidth"), QStringLiteral("1"));
            }
            xml.writeEndElement();
        }
        xml.writeStartElement(QStringLiteral("sheetData"));
        for (std::size_t row = 0; row < table.rows.size(); ++row) {
            xml.writeStartElement(QStringLiteral("row"));
            xml.writeAttribute(QStringLiteral("r"), QString::number(row + 1));
            for (std::size_t column = 0; column < table.rows[row].size(); ++column)
                writeCell(xml, columnName(column) + QString::number(row + 1),
                          table.rows[row][column], row == 0);
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeEndElement();
    }

    void writeCell(QXmlStreamWriter& xml, const QString& reference, const Cell& cell, bool head) {
        if (cell.kind == CellKind::Empty)
            return;
        xml.writeStartElement(QStringLiteral("c"));
        xml.writeAttribute(QStringLiteral("r"), reference);
        const int style = head                            ? kBoldStyle
                          : cell.kind == CellKind::Number ? numberStyle(cell)
                                                          : kPlainStyle;
        if (style != kPlainStyle)
            xml.writeAttribute(QStringLiteral("s"), QString::number(style));
        if (cell.kind == CellKind::Number) {
            xml.writeTextElement(QStringLiteral("v"), numberText(cell.number));
        } else {
            xml.writeAttribute(QStringLiteral("t"), QStringLiteral("s"));
            xml.writeTextElement(QStringLiteral("v"), QString::number(sharedString(cell.text)));
        }
        xml.writeEndElement();
    }

    int numberStyle(const Cell& cell) {
        if (cell.decimals < 0)
            return kPlainStyle;
        return numberStyles_
            .try_emplace(cell.decimals, kFirstNumberStyle + static_cast<int>(numberStyles_.size()))
            .first->second;
    }

    qsizetype sharedString(const QString& text) {
        ++stringCells_;
        const auto known = stringIndex_.constFind(text);
        if (known != stringIndex_.constEnd())
            return *known;
        stringIndex_.insert(text, strings_.size());
        strings_.push_back(text);
        return strings_.size() - 1;
    }

    void writeSharedStrings(QXmlStreamWriter& xml) const {
        xml.writeStartElement(QStringLiteral("sst"));
        xml.writeDefaultNamespace(kSpreadsheetNamespace);
        xml.writeAttribute(QStringLiteral("count"), QString::number(stringCells_));
        xml.writeAttribute(QStringLiteral("uniqueCount"), QString::number(strings_.size()));
        for (const QString& text : strings_) {
            xml.writeStartElement(QStringLiteral("si"));
            xml.writeStartElement(QStringLiteral("t"));
            xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            xml.writeCharacters(escapedSpreadsheetText(text));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }

    void writeStyles(QXmlStreamWriter& xml) const {
        xml.writeStartElement(QStringLiteral("styleSheet"));
        xml.writeDefaultNamespace(kSpreadsheetNamespace);
        // The styles by their index, so that the number formats take ids in that order.
        std::map<int, int> decimalsOfStyle;
        for (const auto& [decimals, style] : numberStyles_)
            decimalsOfStyle[style] = decimals;
        if (!decimalsOfStyle.empty()) {
            xml.writeStartElement(QStringLiteral("numFmts"));
            xml.writeAttribute(QStringLiteral("count"), QString::number(decimalsOfStyle.size()));
            for (const auto& [style, decimals] : decimalsOfStyle) {
                xml.writeEmptyElement(QStringLiteral("numFmt"));
                xml.writeAttribute(QStringLiteral("numFmtId"), QString::number(formatId(style)));
                xml.writeAttribute(QStringLiteral("formatCode"), numberFormatCode(decimals));
            }
            xml.writeEndElement();
        }
        xml.writeStartElement(QStringLiteral("fonts"));
        xml.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
        for (const bool bold : {false, true}) {
            xml.writeStartElement(QStringLiteral("font"));
            if (bold)
                xml.writeEmptyElement(QStringLiteral("b"));
            xml.writeEmptyElement(QStringLiteral("sz"));
            xml.writeAttribute(QStringLiteral("val"), QStringLiteral("11"));
            xml.writeEmptyElement(QStringLiteral("name"));
            xml.writeAttribute(QStringLiteral("val"), QStringLiteral("Calibri"));
            xml.writeEmptyElement(QStringLiteral("family"));
            xml.writeAttribute(QStringLiteral("val"), QStringLiteral("2"));
            xml.writeEndElement();
        }
        xml.writeEndElement();
        // Two fills and one border every workbook has, whether used or not.
        xml.writeStartElement(QStringLiteral("fills"));
        xml.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
        for (const QString& pattern : {QStringLiteral("none"), QStringLiteral("gray125")}) {
            xml.writeStartElement(QStringLiteral("fill"));
            xml.writeEmptyElement(QStringLiteral("patternFill"));
            xml.writeAttribute(QStringLiteral("patternType"), pattern);
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("borders"));
        xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
        xml.writeStartElement(QStringLiteral("border"));
        for (const char* side : {"left", "right", "top", "bottom", "diagonal"})
            xml.writeEmptyElement(QString::fromLatin1(side));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("cellStyleXfs"));
        xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
        writeStyle(xml, 0, 0, false);
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("cellXfs"));
        xml.writeAttribute(QStringLiteral("count"),
                           QString::number(kFirstNumberStyle + decimalsOfStyle.size()));
        writeStyle(xml, 0, 0, true);
        writeStyle(xml, 0, 1, true);
        for (const auto& [style, decimals] : decimalsOfStyle)
            writeStyle(xml, formatId(style), 0, true);
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("cellStyles"));
        xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
        xml.writeEmptyElement(QStringLiteral("cellStyle"));
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Normal"));
        xml.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("builtinId"), QStringLiteral("0"));
        xml.writeEndElement();
        xml.writeEndElement();
    }

    static int formatId(int style) { return kFirstCustomFormat + style - kFirstNumberStyle; }

    static void writeStyle(QXmlStreamWriter& xml, int format, int font, bool ofCell) {
        xml.writeEmptyElement(QStringLiteral("xf"));
        xml.writeAttribute(QStringLiteral("numFmtId"), QString::number(format));
        xml.writeAttribute(QStringLiteral("fontId"), QString::number(font));
        xml.writeAttribute(QStringLiteral("fillId"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("borderId"), QStringLiteral("0"));
        if (!ofCell)
            return;
        xml.writeAttribute(QStringLiteral("xfId"), QStringLiteral("0"));
        if (font != 0)
            xml.writeAttribute(QStringLiteral("applyFont"), QStringLiteral("1"));
        if (format != 0)
            xml.writeAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
    }

    const QString& path_;
    QuaZip zip_;
    std::map<int, int> numberStyles_; // the decimals shown, to the style showing them
    QHash<QString, qsizetype> stringIndex_;
    QStringList strings_;
    qsizetype stringCells_ = 0;
};

} // namespace

void writeXlsx(const QString& temporary, const Table& table, const QString& path) {
    XlsxWriter(temporary, path).write(table);
}

} // namespace sheet::formats
