// SPDX-License-Identifier: Apache-2.0
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

// Far beyond the last row of any spreadsheet program, and far from the end of an int.
constexpr qint64 kMaxRowNumber = 100'000'000;
// How much of an address or a number the file gives a message quotes.
constexpr qsizetype kShownReferenceLength = 20;

const QString kDamaged = QStringLiteral("архивът е повреден");
const QString kStrictMainNamespace =
    QStringLiteral("http://purl.oclc.org/ooxml/spreadsheetml/main");

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

// Reads the XML of one part, refusing a document type declaration, broken XML and elements
// nested deeper than any workbook nests them. Every token goes through next(), which keeps the
// depth, so that nothing recurses on what the file nests.
class PartReader {
public:
    PartReader(const QString& path, const QByteArray& bytes, const Limits& limits)
        : path_(path), limits_(limits), xml_(bytes) {}

    // The next start element, false at the end of the part.
    bool nextStart() {
        while (next())
            if (xml_.isStartElement())
                return true;
        return false;
    }

    // How far into the part the reader has come, in characters.
    qint64 offset() const { return xml_.characterOffset(); }
    // How deep the current element lies: the root element is at depth 1.
    int depth() const { return depth_; }
    bool is(QLatin1StringView name) const { return xml_.name() == name; }
    // Whether the current element is `name` of the namespace `space`.
    bool is(QLatin1StringView name, const QString& space) const {
        return xml_.name() == name && xml_.namespaceUri() == space;
    }
    QString namespaceUri() const { return xml_.namespaceUri().toString(); }
    QString attribute(QLatin1StringView name) const {
        return xml_.attributes().value(name).toString();
    }
    // The relationship id of the element (r:id).
    QString relationshipId() const {
        return xml_.attributes().value(kPartRelationshipsNamespace, QLatin1String("id")).toString();
    }
    // The text of the current element and of whatever it holds; the reader ends on its end.
    QString text() {
        const int element = depth_;
        QString result;
        while (next() && depth_ >= element) {
            if (xml_.isCharacters()) {
                result += xml_.text();
                checkText(result);
            }
        }
        return result;
    }
    // Refuses a text longer than a cell holds, or one that no Unicode text can be.
    void checkText(const QString& text) const {
        if (text.size() > limits_.stringLength)
            refuseToRead(
                path_, QStringLiteral("има текст от повече от %1 знака").arg(limits_.stringLength));
        if (hasLoneSurrogate(text))
            refuseToRead(path_, QStringLiteral("има текст с неправилен знак (самотен сурогат на "
                                               "UTF-16)"));
    }
    // Moves to the next start element inside the element entered at `element` (its depth);
    // false once that element ends.
    bool within(int element) {
        while (next()) {
            if (xml_.isStartElement())
                return true;
            if (xml_.isEndElement() && depth_ < element)
                return false;
        }
        return false;
    }

    // Leaves the current element and whatever it holds unread; the reader ends on its end.
    void skip() {
        const int element = depth_;
        while (next() && depth_ >= element) {
        }
    }

private:
    // The next token; false at the end of the part. Refuses what is broken or nested too deep.
    bool next() {
        if (xml_.atEnd())
            return false;
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::DTD)
            refuseToRead(path_, QStringLiteral("съдържа XML с декларация на тип на документ "
                                               "(DOCTYPE), каквато работна книга няма"));
        if (token == QXmlStreamReader::Invalid)
            refuseToRead(
                path_,
                QStringLiteral("XML на работната книга е повреден (%1)").arg(xml_.errorString()));
        if (token == QXmlStreamReader::StartElement && ++depth_ > kMaxDepth)
            refuseToRead(path_, QStringLiteral("XML на работната книга е вложен по-дълбоко от %1 "
                                               "нива; файлът е повреден")
                                    .arg(kMaxDepth));
        if (token == QXmlStreamReader::EndElement)
            --depth_;
        return token != QXmlStreamReader::EndDocument;
    }

    // Workbooks nest a handful of levels; a few dozen leave room for any writer's extensions.
    static constexpr int kMaxDepth = 64;

    const QString& path_;
    const Limits& limits_;
    QXmlStreamReader xml_;
    int depth_ = 0;
};

// The text a cell's XML stands for, once its _xHHHH_ escapes are undone. A control character
// or a unit that is no character shows in no spreadsheet program, so a text holding one is
// refused, as a CSV file holding one is.
QString cellText(const QString& path, const QString& written) {
    QString text = unescapedSpreadsheetText(written);
    for (const QChar c : text)
        if (!isShownCharacter(c.unicode()))
            refuseToRead(path, QStringLiteral("има текст с управляващ знак (U+%1), какъвто "
                                              "никоя програма за таблици не показва")
                                   .arg(QStringLiteral("%1")
                                            .arg(int(c.unicode()), 4, 16, QLatin1Char('0'))
                                            .toUpper()));
    return text;
}

// The text of a shared string or an inline string, the element entered at `element`: its own
// text, or its runs' texts, without the phonetic guides.
QString stringItem(PartReader& xml, int element, const QString& space, const QString& path) {
    QString text;
    const auto take = [&] {
        text += cellText(path, xml.text());
        xml.checkText(text);
    };
    while (xml.within(element)) {
        if (xml.is(QLatin1String("t"), space)) {
            take();
        } else if (xml.is(QLatin1String("r"), space)) {
            const int run = xml.depth();
            while (xml.within(run)) {
                if (xml.is(QLatin1String("t"), space))
                    take();
                else
                    xml.skip();
            }
        } else {
            xml.skip();
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
        if (!xml.is(QLatin1String("Relationship"), kPackageRelationshipsNamespace))
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

bool readsAsNumber(const QString& text) {
    return readNumber(text, u'.').has_value() || !otherSeparatorReadings(text, u'.').isEmpty();
}

// The namespace of the part's root element, which its cells, strings and styles share: that of
// SpreadsheetML, in its transitional or its strict form. Elements of any other namespace, such as
// those of an extension, are never read as cells.
QString rootNamespace(PartReader& xml, const QString& path, const QString& part) {
    if (!xml.nextStart())
        refuseToRead(path, QStringLiteral("частта %1 е празна").arg(part));
    const QString space = xml.namespaceUri();
    if (space != kSpreadsheetNamespace && space != kStrictMainNamespace)
        refuseToRead(path, QStringLiteral("частта %1 не е от работна книга XLSX").arg(part));
    return space;
}

// Which cell styles (by their index in cellXfs) show dates.
std::vector<bool> dateStyles(Package& package, const QString& path, const QString& part,
                             const Limits& limits) {
    std::vector<bool> result;
    if (part.isEmpty() || !package.has(part))
        return result;
    const QByteArray bytes = package.read(part);
    PartReader xml(path, bytes, limits);
    const QString space = rootNamespace(xml, path, part);
    QHash<int, bool> customIsDate;
    while (xml.within(1)) {
        if (xml.is(QLatin1String("numFmts"), space)) {
            const int formats = xml.depth();
            while (xml.within(formats)) {
                if (xml.is(QLatin1String("numFmt"), space))
                    customIsDate.insert(xml.attribute(QLatin1String("numFmtId")).toInt(),
                                        dateFormatCode(xml.attribute(QLatin1String("formatCode"))));
                xml.skip();
            }
        } else if (xml.is(QLatin1String("cellXfs"), space)) {
            const int styles = xml.depth();
            while (xml.within(styles)) {
                if (xml.is(QLatin1String("xf"), space)) {
                    const int id = xml.attribute(QLatin1String("numFmtId")).toInt();
                    result.push_back(customIsDate.contains(id) ? customIsDate.value(id)
                                                               : builtInDateFormat(id));
                    if (static_cast<qint64>(result.size()) > limits.cells)
                        refuseToRead(path, QStringLiteral("има твърде много стилове"));
                }
                xml.skip();
            }
        } else {
            xml.skip();
        }
    }
    return result;
}

Cell textCell(const QString& text) {
    if (text.isEmpty())
        return {};
    return {readsAsNumber(text) ? CellKind::NumberAsText : CellKind::Text, text};
}

// The shared strings as the cells that name them read: each is looked at once, however many
// cells name it.
std::vector<Cell> sharedStrings(Package& package, const QString& path, const QString& part,
                                const Limits& limits) {
    std::vector<Cell> result;
    if (part.isEmpty() || !package.has(part))
        return result;
    const QByteArray bytes = package.read(part);
    PartReader xml(path, bytes, limits);
    const QString space = rootNamespace(xml, path, part);
    while (xml.within(1)) {
        if (!xml.is(QLatin1String("si"), space)) {
            xml.skip();
            continue;
        }
        if (static_cast<qint64>(result.size()) >= limits.sharedStrings)
            refuseToRead(
                path, QStringLiteral("има повече от %1 различни текста").arg(limits.sharedStrings));
        result.push_back(textCell(stringItem(xml, xml.depth(), space, path)));
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
    if (i == 0 || !ok || row < 1 || row > kMaxRowNumber)
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

struct Workbook {
    QString sheet;
    QString sheetName;
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
    const QString space = rootNamespace(xml, path, workbookPart);
    while (xml.nextStart()) {
        if (xml.is(QLatin1String("workbookPr"), space)) {
            const QString date1904 = xml.attribute(QLatin1String("date1904"));
            result.from1904 = date1904 == QLatin1String("1") || date1904 == QLatin1String("true");
        } else if (xml.is(QLatin1String("sheet"), space) && result.sheet.isEmpty()) {
            // A hidden sheet ("hidden" or "veryHidden") is one the bidder does not see.
            const QString state = xml.attribute(QLatin1String("state"));
            const Target target = targets.value(xml.relationshipId());
            if (target.type.endsWith(QLatin1String("/worksheet")) &&
                (state.isEmpty() || state == QLatin1String("visible"))) {
                result.sheet = target.part;
                result.sheetName = xml.attribute(QLatin1String("name"));
            }
        }
    }
    if (result.sheet.isEmpty())
        refuseToRead(path, QStringLiteral("работната книга няма видим работен лист"));
    return result;
}

struct CellRange {
    int top, left, bottom, right;
};

class SheetReader {
public:
    SheetReader(const QString& path, const Limits& limits, const Workbook& workbook,
                const std::vector<Cell>& strings, const std::vector<bool>& dates,
                const ReadProgress& proceed)
        : path_(path), limits_(limits), workbook_(workbook), strings_(strings), dates_(dates),
          proceed_(proceed) {}

    // Only the cells of sheetData count, and only those of the sheet's own namespace: a cell
    // kept in an extension or of another namespace is no cell a spreadsheet program shows.
    Table read(const QByteArray& bytes) {
        PartReader xml(path_, bytes, limits_);
        total_ = bytes.size();
        space_ = rootNamespace(xml, path_, workbook_.sheet);
        std::vector<CellRange> merged;
        while (xml.within(1)) {
            if (xml.is(QLatin1String("sheetData"), space_)) {
                readRows(xml);
            } else if (xml.is(QLatin1String("mergeCells"), space_)) {
                const int cells = xml.depth();
                while (xml.within(cells)) {
                    if (xml.is(QLatin1String("mergeCell"), space_))
                        merged.push_back(range(xml.attribute(QLatin1String("ref"))));
                    xml.skip();
                }
            } else {
                xml.skip();
            }
        }
        dropTrailingEmpty(table_);
        refuseMergedData(merged);
        table_.sheetName = workbook_.sheetName;
        return std::move(table_);
    }

private:
    void readRows(PartReader& xml) {
        const int sheetData = xml.depth();
        int row = -1;
        while (xml.within(sheetData)) {
            if (!xml.is(QLatin1String("row"), space_)) {
                xml.skip();
                continue;
            }
            const QString number = xml.attribute(QLatin1String("r"));
            if (number.isEmpty()) {
                ++row;
            } else {
                bool ok = false;
                const qint64 given = number.toLongLong(&ok);
                if (!ok || given < 1 || given > kMaxRowNumber)
                    refuseToRead(path_, QStringLiteral("има ред с непознат номер %1")
                                            .arg(number.left(kShownReferenceLength)));
                row = static_cast<int>(given - 1);
            }
            if (row >= kMaxRowNumber)
                refuseToRead(path_, QStringLiteral("има ред след ред %1").arg(kMaxRowNumber));
            if (row < limits_.rows) {
                if (rowsGiven_.size() <= static_cast<std::size_t>(row))
                    rowsGiven_.resize(static_cast<std::size_t>(row) + 1);
                if (rowsGiven_[static_cast<std::size_t>(row)])
                    refuseToRead(
                        path_,
                        QStringLiteral("ред %1 е даден два пъти; файлът е повреден").arg(row + 1));
                rowsGiven_[static_cast<std::size_t>(row)] = true;
            }
            readRow(xml, row);
            // Characters of the part against its bytes: a measure of how far, which ends a
            // little short of the end where the sheet holds other letters than Latin ones.
            if (proceed_ && !proceed_(std::min(xml.offset(), total_), total_))
                throw ReadingStopped{};
        }
    }

    // A cell's own reference places it, and the rows after it that give no number follow it.
    void readRow(PartReader& xml, int& row) {
        const int rowElement = xml.depth();
        int column = -1;
        while (xml.within(rowElement)) {
            if (!xml.is(QLatin1String("c"), space_)) {
                xml.skip();
                continue;
            }
            const QString reference = xml.attribute(QLatin1String("r"));
            if (reference.isEmpty()) {
                ++column;
            } else {
                const auto place = cellReference(reference);
                if (!place)
                    refuseToRead(path_, QStringLiteral("има клетка с непознат адрес %1")
                                            .arg(reference.left(kShownReferenceLength)));
                std::tie(row, column) = *place;
            }
            markGiven(row, column);
            readCell(xml, row, column);
        }
    }

    // A cell given twice has two values where a spreadsheet program shows one, or refuses the
    // file; neither is taken. Cells beyond the limits hold nothing the table takes: one with a
    // value is refused when it is placed.
    void markGiven(int row, int column) {
        if (row < 0 || row >= limits_.rows || column < 0 || column >= limits_.columns)
            return;
        if (cellsGiven_.size() <= static_cast<std::size_t>(row))
            cellsGiven_.resize(static_cast<std::size_t>(row) + 1);
        std::vector<bool>& given = cellsGiven_[static_cast<std::size_t>(row)];
        if (given.size() <= static_cast<std::size_t>(column))
            given.resize(static_cast<std::size_t>(column) + 1);
        if (given[static_cast<std::size_t>(column)])
            refuseToRead(path_, QStringLiteral("клетка %1 е дадена два пъти; файлът е повреден")
                                    .arg(columnName(static_cast<std::size_t>(column)) +
                                         QString::number(row + 1)));
        given[static_cast<std::size_t>(column)] = true;
    }

    void readCell(PartReader& xml, int row, int column) {
        const QString type = xml.attribute(QLatin1String("t"));
        const QString styleText = xml.attribute(QLatin1String("s"));
        const std::size_t style = styleText.isEmpty() ? 0 : styleText.toULong();
        QString value;
        bool hasFormula = false;
        QString inlineText;
        const int cellElement = xml.depth();
        while (xml.within(cellElement)) {
            if (xml.is(QLatin1String("v"), space_)) {
                value = xml.text();
            } else if (xml.is(QLatin1String("f"), space_)) {
                // A formula is refused whatever it says, so its text (which a shared formula
                // would copy into every cell naming it) is never built.
                hasFormula = true;
                xml.skip();
            } else if (xml.is(QLatin1String("is"), space_)) {
                inlineText = stringItem(xml, xml.depth(), space_, path_);
            } else {
                xml.skip();
            }
        }
        Cell cell;
        if (hasFormula) {
            cell = {CellKind::Formula, QString()};
        } else if (type == QLatin1String("s")) {
            bool ok = false;
            const qulonglong index = value.toULongLong(&ok);
            if (!ok || index >= strings_.size())
                refuseToRead(path_, QStringLiteral("има клетка с липсващ текст"));
            cell = strings_[index];
        } else if (type == QLatin1String("inlineStr")) {
            cell = textCell(inlineText);
        } else if (type == QLatin1String("str")) {
            cell = textCell(cellText(path_, value));
        } else if (type == QLatin1String("b")) {
            cell = {CellKind::Text,
                    value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
        } else if (type == QLatin1String("e")) {
            cell = {CellKind::Error, value};
        } else if (type == QLatin1String("d")) {
            cell = {CellKind::Date, value};
        } else if (!value.isEmpty()) {
            cell = numberCell(value, style);
        }
        if (cell.kind != CellKind::Empty)
            cellAt(table_, row, column, limits_, cellCount_, path_) = cell;
    }

    Cell numberCell(const QString& value, std::size_t style) const {
        // No value a column takes is written with this many characters: what is longer is
        // refused before it is parsed.
        bool ok = value.size() <= kMaxNumberLength;
        const double number = ok ? value.toDouble(&ok) : 0.0;
        if (!ok || !std::isfinite(number))
            refuseToRead(path_, QStringLiteral("има клетка с неправилно число %1")
                                    .arg(value.left(kShownReferenceLength)));
        if (style < dates_.size() && dates_[style])
            return {CellKind::Date, dateText(number, workbook_.from1904), number};
        // Programs write some doubles with 17 significant digits ("4.3499999999999996" for a typed
        // 4.35) and show every double with 15: the number is the one shown.
        const QString shown = QString::number(number, 'g', kShownDigits);
        return {CellKind::Number, shown, shown.toDouble()};
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
    const std::vector<Cell>& strings_;
    const std::vector<bool>& dates_;
    const ReadProgress& proceed_;
    qint64 total_ = 0;
    QString space_;
    Table table_;
    qint64 cellCount_ = 0;
    std::vector<bool> rowsGiven_;
    std::vector<std::vector<bool>> cellsGiven_;
};

} // namespace

Table readXlsx(const QString& path, const Limits& limits, const ReadProgress& proceed) {
    Package package(path, limits);
    const Workbook workbook = locateParts(package, path, limits);
    const std::vector<Cell> strings = sharedStrings(package, path, workbook.sharedStrings, limits);
    const std::vector<bool> dates = dateStyles(package, path, workbook.styles, limits);
    const QByteArray sheet = package.read(workbook.sheet);
    return SheetReader(path, limits, workbook, strings, dates, proceed).read(sheet);
}

} // namespace sheet::formats
