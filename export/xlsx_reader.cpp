// The first worksheet of an XLSX workbook: a zip container (QuaZip) of XML parts
// (QXmlStreamReader). The file is expected input from anywhere, so every size is capped on what
// is actually read, and XML with a document type declaration is refused before any entity in it
// could matter.

#include "export/sheet_formats.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>

#include <cmath>
#include <tuple>

namespace sheet::formats {

namespace {

const QString kDamaged = QStringLiteral("архивът е повреден");
const QString kRelationshipsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// The parts of the zip, read within one budget of inflated bytes for the whole workbook.
class Package {
public:
    Package(const QString& path, const Limits& limits)
        : path_(path), zip_(path), limit_(limits.unpackedBytes), budget_(limits.unpackedBytes) {
        if (!zip_.open(QuaZip::mdUnzip))
            refuseToRead(path_, QStringLiteral("не е работна книга XLSX (архивът не се отваря)"));
    }

    bool has(const QString& part) { return zip_.setCurrentFile(part, QuaZip::csInsensitive); }

    QByteArray read(const QString& part) {
        if (!has(part))
            refuseToRead(path_, QStringLiteral("не е работна книга XLSX (липсва %1)").arg(part));
        QuaZipFileInfo64 info;
        if (!zip_.getCurrentFileInfo(&info))
            refuseToRead(path_, kDamaged);
        if (info.isEncrypted())
            refuseToRead(path_, QStringLiteral("защитен е с парола"));
        if (info.uncompressedSize > static_cast<quint64>(budget_))
            refuseToRead(path_, tooLarge());
        QuaZipFile file(&zip_);
        if (!file.open(QIODevice::ReadOnly))
            refuseToRead(path_, kDamaged);
        QByteArray bytes;
        char chunk[1 << 16];
        for (;;) {
            const qint64 got = file.read(chunk, sizeof chunk);
            if (got < 0)
                refuseToRead(path_, kDamaged);
            if (got == 0)
                break;
            // The declared size may lie: the inflated bytes are what counts.
            if (bytes.size() + got > budget_)
                refuseToRead(path_, tooLarge());
            bytes.append(chunk, static_cast<qsizetype>(got));
        }
        file.close();
        if (file.getZipError() != UNZ_OK)
            refuseToRead(path_, kDamaged);
        budget_ -= bytes.size();
        return bytes;
    }

private:
    QString tooLarge() const {
        return QStringLiteral("разархивиран би бил по-голям от %1 MB, което е повече, отколкото "
                              "една ценова таблица може да бъде")
            .arg(limit_ >> 20);
    }

    QString path_;
    QuaZip zip_;
    qint64 limit_;
    qint64 budget_; // what is left of the limit
};

// Reads the XML of one part, refusing a document type declaration and broken XML.
class PartReader {
public:
    PartReader(const QString& path, const QByteArray& bytes, const Limits& limits)
        : path_(path), limits_(limits), xml_(bytes) {}

    // The next start element, false at the end of the part.
    bool nextStart() {
        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::DTD)
                refuseToRead(path_, QStringLiteral("съдържа XML с декларация на тип на документ "
                                                   "(DOCTYPE), каквато работна книга няма"));
            if (token == QXmlStreamReader::StartElement)
                return true;
        }
        if (xml_.hasError())
            refuseToRead(
                path_,
                QStringLiteral("XML на работната книга е повреден (%1)").arg(xml_.errorString()));
        return false;
    }

    bool is(QLatin1StringView name) const { return xml_.name() == name; }
    QString attribute(QLatin1StringView name) const {
        return xml_.attributes().value(name).toString();
    }
    // The relationship id of the element (r:id).
    QString relationshipId() const {
        return xml_.attributes().value(kRelationshipsNamespace, QLatin1String("id")).toString();
    }
    // The text of the current element, which holds no elements.
    QString text() {
        const QString result = xml_.readElementText(QXmlStreamReader::IncludeChildElements);
        if (xml_.hasError())
            nextStart(); // reports the error
        checkLength(result);
        return result;
    }
    void checkLength(const QString& text) const {
        if (text.size() > limits_.stringLength)
            refuseToRead(
                path_, QStringLiteral("има текст от повече от %1 знака").arg(limits_.stringLength));
    }
    // Whether the reader is still inside the element named `name` that it entered earlier.
    bool within(QLatin1StringView name) {
        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::StartElement)
                return true;
            if (token == QXmlStreamReader::EndElement && xml_.name() == name)
                return false;
        }
        nextStart(); // reports the error
        return false;
    }

private:
    const QString& path_;
    const Limits& limits_;
    QXmlStreamReader xml_;
};

// The text of a shared string or an inline string: its own text, or its runs' texts, without
// the phonetic guides.
QString stringItem(PartReader& xml, QLatin1StringView element) {
    QString text;
    while (xml.within(element)) {
        if (xml.is(QLatin1String("rPh"))) {
            while (xml.within(QLatin1String("rPh"))) {
            }
        } else if (xml.is(QLatin1String("t"))) {
            text += xml.text();
            xml.checkLength(text);
        }
    }
    return text;
}

// Where a relationship points, as a part name, and what kind of part it is.
struct Target {
    QString part;
    QString type;
};

// The relationships part of `part` ("" for the package's own).
QString relationshipsOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

// The relationships of `part` by their ids; none when it has no relationships part.
QHash<QString, Target> relationships(Package& package, const QString& path, const QString& part,
                                     const Limits& limits) {
    QHash<QString, Target> result;
    const QString rels = relationshipsOf(part);
    if (!package.has(rels))
        return result;
    const QByteArray bytes = package.read(rels);
    PartReader xml(path, bytes, limits);
    const QString folder = part.left(part.lastIndexOf(u'/') + 1);
    while (xml.nextStart()) {
        if (!xml.is(QLatin1String("Relationship")))
            continue;
        const QString target = xml.attribute(QLatin1String("Target"));
        const QString name = target.startsWith(u'/')
                                 ? target.mid(1)
                                 : QDir::cleanPath(folder + target); // "../" steps up
        result.insert(xml.attribute(QLatin1String("Id")),
                      {name, xml.attribute(QLatin1String("Type"))});
    }
    return result;
}

// Number format ids that Excel builds in for dates and times, those for East Asian dates
// included.
bool builtInDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

// Whether a custom number format code shows a date or a time: after dropping quoted texts,
// escaped characters and bracketed parts (colours, locales, conditions), a day, month, year,
// hour or second placeholder is left. Elapsed times ([h]:mm) count as times.
bool dateFormatCode(const QString& code) {
    if (code.contains(QLatin1String("[h]"), Qt::CaseInsensitive) ||
        code.contains(QLatin1String("[m]"), Qt::CaseInsensitive) ||
        code.contains(QLatin1String("[s]"), Qt::CaseInsensitive))
        return true;
    // Only the first section, for positive numbers, decides.
    bool quoted = false;
    bool bracketed = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != u'"';
        } else if (bracketed) {
            bracketed = c != u']';
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracketed = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is shown, padded or repeated as it is
        } else if (c == u';') {
            return false;
        } else if (QStringLiteral("dmyhsDMYHS").contains(c)) {
            return true;
        }
    }
    return false;
}

// Which cell styles (by their index in cellXfs) show dates.
std::vector<bool> dateStyles(Package& package, const QString& path, const QString& part,
                             const Limits& limits) {
    std::vector<bool> result;
    if (part.isEmpty() || !package.has(part))
        return result;
    const QByteArray bytes = package.read(part);
    PartReader xml(path, bytes, limits);
    QHash<int, bool> customIsDate;
    while (xml.nextStart()) {
        if (xml.is(QLatin1String("numFmt"))) {
            customIsDate.insert(xml.attribute(QLatin1String("numFmtId")).toInt(),
                                dateFormatCode(xml.attribute(QLatin1String("formatCode"))));
        } else if (xml.is(QLatin1String("cellXfs"))) {
            while (xml.within(QLatin1String("cellXfs"))) {
                if (!xml.is(QLatin1String("xf")))
                    continue;
                const int id = xml.attribute(QLatin1String("numFmtId")).toInt();
                result.push_back(customIsDate.contains(id) ? customIsDate.value(id)
                                                           : builtInDateFormat(id));
                if (static_cast<qint64>(result.size()) > limits.cells)
                    refuseToRead(path, QStringLiteral("има твърде много стилове"));
            }
        }
    }
    return result;
}

std::vector<QString> sharedStrings(Package& package, const QString& path, const QString& part,
                                   const Limits& limits) {
    std::vector<QString> result;
    if (part.isEmpty() || !package.has(part))
        return result;
    const QByteArray bytes = package.read(part);
    PartReader xml(path, bytes, limits);
    while (xml.nextStart()) {
        if (!xml.is(QLatin1String("si")))
            continue;
        if (static_cast<qint64>(result.size()) >= limits.sharedStrings)
            refuseToRead(
                path, QStringLiteral("има повече от %1 различни текста").arg(limits.sharedStrings));
        result.push_back(stringItem(xml, QLatin1String("si")));
    }
    return result;
}

// A1 reference: the row and the column, from 0; nothing when it is not one.
std::optional<std::pair<int, int>> cellReference(QStringView reference) {
    qsizetype i = 0;
    qint64 column = 0;
    for (; i < reference.size() && reference[i].isLetter() && reference[i].unicode() < 128; ++i) {
        column = column * 26 + (reference[i].toUpper().unicode() - u'A' + 1);
        if (column > 1'000'000)
            return std::nullopt;
    }
    bool ok = false;
    const qint64 row = reference.mid(i).toLongLong(&ok);
    if (i == 0 || !ok || row < 1 || row > 100'000'000)
        return std::nullopt;
    return std::pair{static_cast<int>(row - 1), static_cast<int>(column - 1)};
}

QString dateText(double serial, bool from1904) {
    // Day 0 of the 1900 date system is 1899-12-31, and its day 60 the 29 February 1900 that never
    // was; from day 61 on, counting from 1899-12-30 gives the right date.
    const double days = std::floor(serial);
    const QDate epoch =
        from1904 ? QDate(1904, 1, 1) : (days < 61 ? QDate(1899, 12, 31) : QDate(1899, 12, 30));
    const auto milliseconds = static_cast<qint64>(std::llround((serial - days) * 86'400'000.0));
    const QDateTime moment =
        QDateTime(epoch.addDays(static_cast<qint64>(days)), QTime(0, 0)).addMSecs(milliseconds);
    if (days == 0 && !from1904)
        return moment.time().toString(QStringLiteral("HH:mm:ss"));
    if (moment.time() == QTime(0, 0))
        return moment.date().toString(Qt::ISODate);
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool readsAsNumber(const QString& text) {
    return readNumber(text, u'.').has_value() || readNumber(text, u',').has_value();
}

struct Workbook {
    QString sheet;
    QString sharedStrings;
    QString styles;
    bool from1904 = false;
};

Workbook locateParts(Package& package, const QString& path, const Limits& limits) {
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const Target& target : relationships(package, path, QString(), limits))
        if (target.type.endsWith(QLatin1String("/officeDocument")))
            workbookPart = target.part;
    const QHash<QString, Target> targets = relationships(package, path, workbookPart, limits);
    Workbook result;
    for (const Target& target : targets) {
        if (target.type.endsWith(QLatin1String("/sharedStrings")))
            result.sharedStrings = target.part;
        else if (target.type.endsWith(QLatin1String("/styles")))
            result.styles = target.part;
    }
    const QByteArray bytes = package.read(workbookPart);
    PartReader xml(path, bytes, limits);
    while (xml.nextStart()) {
        if (xml.is(QLatin1String("workbookPr"))) {
            const QString date1904 = xml.attribute(QLatin1String("date1904"));
            result.from1904 = date1904 == QLatin1String("1") || date1904 == QLatin1String("true");
        } else if (xml.is(QLatin1String("sheet")) && result.sheet.isEmpty()) {
            const Target target = targets.value(xml.relationshipId());
            if (target.type.endsWith(QLatin1String("/worksheet")))
                result.sheet = target.part;
        }
    }
    if (result.sheet.isEmpty())
        refuseToRead(path, QStringLiteral("работната книга няма работен лист"));
    return result;
}

struct CellRange {
    int top, left, bottom, right;
};

class SheetReader {
public:
    SheetReader(const QString& path, const Limits& limits, const Workbook& workbook,
                const std::vector<QString>& strings, const std::vector<bool>& dates)
        : path_(path), limits_(limits), workbook_(workbook), strings_(strings), dates_(dates) {}

    Table read(const QByteArray& bytes) {
        PartReader xml(path_, bytes, limits_);
        int row = -1;
        int column = -1;
        std::vector<CellRange> merged;
        while (xml.nextStart()) {
            if (xml.is(QLatin1String("row"))) {
                const QString number = xml.attribute(QLatin1String("r"));
                row = number.isEmpty() ? row + 1 : number.toInt() - 1;
                column = -1;
            } else if (xml.is(QLatin1String("c"))) {
                const QString reference = xml.attribute(QLatin1String("r"));
                if (reference.isEmpty()) {
                    ++column;
                } else {
                    const auto place = cellReference(reference);
                    if (!place)
                        refuseToRead(
                            path_, QStringLiteral("има клетка с непознат адрес %1").arg(reference));
                    std::tie(row, column) = *place;
                }
                readCell(xml, row, column);
            } else if (xml.is(QLatin1String("mergeCell"))) {
                merged.push_back(range(xml.attribute(QLatin1String("ref"))));
            }
        }
        dropTrailingEmpty(table_);
        refuseMergedData(merged);
        return std::move(table_);
    }

private:
    void readCell(PartReader& xml, int row, int column) {
        const QString type = xml.attribute(QLatin1String("t"));
        const QString styleText = xml.attribute(QLatin1String("s"));
        const std::size_t style = styleText.isEmpty() ? 0 : styleText.toULong();
        QString value;
        QString formula;
        bool hasFormula = false;
        QString inlineText;
        while (xml.within(QLatin1String("c"))) {
            if (xml.is(QLatin1String("v"))) {
                value = xml.text();
            } else if (xml.is(QLatin1String("f"))) {
                hasFormula = true;
                const QString shared = xml.attribute(QLatin1String("si"));
                formula = xml.text();
                // A shared formula is written once; the cells that share it name its index.
                if (!shared.isEmpty()) {
                    if (formula.isEmpty())
                        formula = sharedFormulas_.value(shared);
                    else
                        sharedFormulas_.insert(shared, formula);
                }
            } else if (xml.is(QLatin1String("is"))) {
                inlineText = stringItem(xml, QLatin1String("is"));
            }
        }
        Cell cell;
        if (hasFormula) {
            cell = {CellKind::Formula, QLatin1Char('=') + formula};
        } else if (type == QLatin1String("s")) {
            bool ok = false;
            const qulonglong index = value.toULongLong(&ok);
            if (!ok || index >= strings_.size())
                refuseToRead(path_, QStringLiteral("има клетка с липсващ текст"));
            cell = textCell(strings_[index]);
        } else if (type == QLatin1String("inlineStr")) {
            cell = textCell(inlineText);
        } else if (type == QLatin1String("str")) {
            cell = textCell(value);
        } else if (type == QLatin1String("b")) {
            cell = {CellKind::Text,
                    value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
        } else if (type == QLatin1String("e")) {
            cell = {CellKind::Error, value};
        } else if (type == QLatin1String("d")) {
            cell = {CellKind::Date, value};
        } else if (!value.isEmpty()) {
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (!ok || !std::isfinite(number))
                refuseToRead(path_, QStringLiteral("има клетка с неправилно число %1").arg(value));
            if (style < dates_.size() && dates_[style])
                cell = {CellKind::Date, dateText(number, workbook_.from1904), number};
            else
                cell = {CellKind::Number, value, number};
        }
        if (cell.kind != CellKind::Empty)
            cellAt(table_, row, column, limits_, cellCount_, path_) = cell;
    }

    static Cell textCell(const QString& text) {
        if (text.isEmpty())
            return {};
        return {readsAsNumber(text) ? CellKind::NumberAsText : CellKind::Text, text};
    }

    CellRange range(const QString& reference) const {
        const QStringList corners = reference.split(u':');
        const auto first = cellReference(corners.value(0));
        const auto last = corners.size() == 2 ? cellReference(corners[1]) : first;
        if (!first || !last)
            refuseToRead(path_,
                         QStringLiteral("има обединени клетки с непознат адрес %1").arg(reference));
        return {first->first, first->second, last->first, last->second};
    }

    // Merged cells hold their value in the first cell and leave the others empty: across the
    // data they would make values seem missing, or belong to one row only.
    void refuseMergedData(const std::vector<CellRange>& merged) const {
        const int rows = static_cast<int>(table_.rows.size());
        int columns = 0;
        for (const std::vector<Cell>& cells : table_.rows)
            columns = std::max(columns, static_cast<int>(cells.size()));
        for (const CellRange& range : merged) {
            const bool oneCell = range.top == range.bottom && range.left == range.right;
            if (!oneCell && range.top < rows && range.left < columns)
                refuseToRead(path_, QStringLiteral("има обединени клетки в данните; разделете "
                                                   "ги и запишете файла отново"));
        }
    }

    const QString& path_;
    const Limits& limits_;
    const Workbook& workbook_;
    const std::vector<QString>& strings_;
    const std::vector<bool>& dates_;
    QHash<QString, QString> sharedFormulas_;
    Table table_;
    qint64 cellCount_ = 0;
};

} // namespace

Table readXlsx(const QString& path, const Limits& limits) {
    Package package(path, limits);
    const Workbook workbook = locateParts(package, path, limits);
    const std::vector<QString> strings =
        sharedStrings(package, path, workbook.sharedStrings, limits);
    const std::vector<bool> dates = dateStyles(package, path, workbook.styles, limits);
    const QByteArray sheet = package.read(workbook.sheet);
    return SheetReader(path, limits, workbook, strings, dates).read(sheet);
}

} // namespace sheet::formats
