// SPDX-License-Identifier: Apache-2.0
#include "report/template_reader.h"

#include "report/error.h"
#include "report/expression.h"
#include "report/rtf_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>

namespace report {

namespace {

constexpr qint64 kNoColour = 0x1FFFFFFF; // the templates' "no colour"

// What a template may ask of the engine. The templates delivered with the program hold a few
// dozen objects on one page, texts of a few hundred characters and sizes of a sheet of paper;
// these bounds leave room for far richer ones while keeping the time and memory a report takes
// in check. A larger sheet than kMostPaperMm is no paper a printer takes.
constexpr int kMostPages = 16;
constexpr int kMostObjects = 2000;
constexpr int kMostObjectsInBand = 200; // a stretching band compares each object with the others
constexpr qsizetype kMostTextChars = 65536;
constexpr double kMostPaperMm = 5000;
// Any coordinate, size or width, in report units or millimetres, and any font size in points.
constexpr double kMostMagnitude = kMostPaperMm * kUnitsPerMm;

// A number attribute that is not a number a page can hold: infinite, not a number, or beyond
// kMostMagnitude.
struct BadNumber {
    QString attribute;
    QString text;
};

// Colours are stored as 0x00BBGGRR.
QColor colourOf(qint64 value) {
    if (value == kNoColour || value < 0)
        return {};
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

class Attributes {
public:
    explicit Attributes(QXmlStreamAttributes attributes) : attributes_(std::move(attributes)) {}

    std::optional<QString> text(const char* name) const {
        const QLatin1String key(name);
        if (!attributes_.hasAttribute(key))
            return std::nullopt;
        return attributes_.value(key).toString();
    }
    QString text(const char* name, const QString& fallback) const {
        return text(name).value_or(fallback);
    }
    double number(const char* name, double fallback) const {
        bool ok = false;
        const QString written = text(name, QString());
        const double value = written.toDouble(&ok);
        if (!ok)
            return fallback;
        if (!std::isfinite(value) || std::abs(value) > kMostMagnitude)
            throw BadNumber{QString::fromLatin1(name), written};
        return value;
    }
    bool boolean(const char* name, bool fallback) const {
        const auto value = text(name);
        if (!value)
            return fallback;
        return value->compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
               *value == QLatin1String("1");
    }
    std::optional<QColor> colour(const char* name) const {
        const auto value = text(name);
        if (!value)
            return std::nullopt;
        bool ok = false;
        const qint64 number = value->toLongLong(&ok);
        return ok ? colourOf(number) : QColor();
    }

private:
    QXmlStreamAttributes attributes_;
};

FontSpec readFont(const Attributes& a) {
    FontSpec font;
    font.family = a.text("Font.Name", font.family);
    // The height is in pixels of 96 to the inch, negative for the character height.
    font.pointSize = std::abs(a.number("Font.Height", -font.pointSize * 96.0 / 72.0)) * 72.0 / 96.0;
    font.pointSize = a.number("Font.Size", font.pointSize);
    const int style = static_cast<int>(a.number("Font.Style", 0));
    font.bold = (style & 1) != 0;
    font.italic = (style & 2) != 0;
    font.underline = (style & 4) != 0;
    font.strikeOut = (style & 8) != 0;
    if (const auto colour = a.colour("Font.Color"); colour && colour->isValid())
        font.color = *colour;
    return font;
}

FrameSpec readFrame(const Attributes& a) {
    FrameSpec frame;
    const int sides = static_cast<int>(a.number("Frame.Typ", 0));
    frame.left = (sides & 1) != 0;
    frame.right = (sides & 2) != 0;
    frame.top = (sides & 4) != 0;
    frame.bottom = (sides & 8) != 0;
    frame.width = a.number("Frame.Width", 1);
    if (const auto colour = a.colour("Frame.Color"); colour && colour->isValid())
        frame.color = *colour;
    return frame;
}

DisplayFormat readDisplayFormat(const Attributes& a) {
    DisplayFormat format;
    const QString kind = a.text("DisplayFormat.Kind", QString());
    if (kind == QLatin1String("fkNumeric"))
        format.kind = DisplayFormat::Kind::Numeric;
    else if (kind == QLatin1String("fkDateTime"))
        format.kind = DisplayFormat::Kind::DateTime;
    else if (kind == QLatin1String("fkBoolean"))
        format.kind = DisplayFormat::Kind::Boolean;
    format.format = a.text("DisplayFormat.FormatStr", QString());
    format.decimalSeparator = a.text("DisplayFormat.DecimalSeparator", QString());
    return format;
}

QRectF readRect(const Attributes& a) {
    return {a.number("Left", 0), a.number("Top", 0), a.number("Width", 0), a.number("Height", 0)};
}

// The text a memo or check box shows when it is bound to a field instead of carrying a text.
QString boundField(const Attributes& a) {
    const QString dataset = a.text("DataSetName", QString());
    const QString field = a.text("DataField", QString());
    if (dataset.isEmpty() || field.isEmpty())
        return {};
    return QStringLiteral("[%1.\"%2\"]").arg(dataset, field);
}

std::optional<ReportObject> readObject(const QStringView element, const Attributes& a) {
    ReportObject object;
    object.name = a.text("Name", QString());
    object.rect = readRect(a);
    object.frame = readFrame(a);
    object.fill = a.colour("Color").value_or(QColor());
    if (element == QLatin1String("TfrxMemoView")) {
        object.kind = ObjectKind::Memo;
        object.text = a.text("Text", boundField(a));
        object.font = readFont(a);
        const QString h = a.text("HAlign", QString());
        object.hAlign = h == QLatin1String("haCenter")  ? HAlign::Center
                        : h == QLatin1String("haRight") ? HAlign::Right
                        : h == QLatin1String("haBlock") ? HAlign::Justify
                                                        : HAlign::Left;
        const QString v = a.text("VAlign", QString());
        object.vAlign = v == QLatin1String("vaCenter")   ? VAlign::Center
                        : v == QLatin1String("vaBottom") ? VAlign::Bottom
                                                         : VAlign::Top;
        object.wordWrap = a.boolean("WordWrap", true);
        object.displayFormat = readDisplayFormat(a);
    } else if (element == QLatin1String("TfrxRichView")) {
        object.kind = ObjectKind::Rich;
        object.text = a.text("RichEdit", QString());
    } else if (element == QLatin1String("TfrxLineView")) {
        object.kind = ObjectKind::Line;
        object.lineWidth = object.frame.width;
        object.lineColor = object.frame.color;
        if (!a.boolean("Diagonal", false)) {
            // A line that is not diagonal runs along its longer side.
            if (std::abs(object.rect.width()) >= std::abs(object.rect.height()))
                object.rect.setHeight(0);
            else
                object.rect.setWidth(0);
        }
    } else if (element == QLatin1String("TfrxShapeView")) {
        object.kind = ObjectKind::Shape;
        const QString shape = a.text("Shape", QString());
        object.shape = shape == QLatin1String("skRoundRectangle") ? ShapeKind::RoundRectangle
                       : shape == QLatin1String("skEllipse")      ? ShapeKind::Ellipse
                                                                  : ShapeKind::Rectangle;
        object.curve = a.number("Curve", object.curve);
        object.lineWidth = object.frame.width;
        object.lineColor = object.frame.color;
    } else if (element == QLatin1String("TfrxCheckBoxView")) {
        object.kind = ObjectKind::CheckBox;
        object.checked = a.boolean("Checked", true);
        const QString expression = a.text("Expression", QString());
        object.text = expression.isEmpty() ? boundField(a) : QStringLiteral("[%1]").arg(expression);
        object.lineColor = a.colour("CheckColor").value_or(QColor(Qt::black));
    } else {
        return std::nullopt;
    }
    object.shifts = a.text("ShiftMode", QString()) != QLatin1String("smDontShift");
    const QString stretch = a.text("StretchMode", QString());
    object.stretch = stretch == QLatin1String("smActualHeight") ? Stretch::ActualHeight
                     : stretch == QLatin1String("smMaxHeight")  ? Stretch::MaxHeight
                                                                : Stretch::None;
    return object;
}

std::optional<BandKind> bandKind(QStringView element) {
    static const std::pair<const char*, BandKind> kBands[] = {
        {"TfrxReportTitle", BandKind::ReportTitle},     {"TfrxPageHeader", BandKind::PageHeader},
        {"TfrxMasterData", BandKind::MasterData},       {"TfrxFooter", BandKind::Footer},
        {"TfrxReportSummary", BandKind::ReportSummary}, {"TfrxPageFooter", BandKind::PageFooter},
    };
    for (const auto& [name, kind] : kBands)
        if (element == QLatin1String(name))
            return kind;
    return std::nullopt;
}

class Reader {
public:
    Reader(const QByteArray& xml, const QString& source) : xml_(xml), source_(source) {}

    ReportModel read() {
        ReportModel model;
        if (!xml_.readNextStartElement() || xml_.name() != QLatin1String("TfrxReport"))
            fail(QStringLiteral("това не е шаблон на отчет"));
        const Attributes a(xml_.attributes());
        model.sourceName = source_;
        model.script = a.text("ScriptText.Text", QString());
        while (xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("TfrxReportPage")) {
                if (model.pages.size() == kMostPages)
                    fail(QStringLiteral("има повече от %1 страници").arg(kMostPages));
                model.pages.push_back(readPage());
            } else if (xml_.name() == QLatin1String("Datasets"))
                readDatasets(model.datasetNames);
            else
                xml_.skipCurrentElement();
        }
        if (xml_.hasError())
            fail(xml_.errorString());
        return model;
    }

private:
    [[noreturn]] void fail(const QString& why) const {
        throw Error(QStringLiteral("Шаблонът „%1“ не може да бъде прочетен: %2 (ред %3).")
                        .arg(source_, why)
                        .arg(xml_.lineNumber()));
    }

    // `objectName`: the object the number belongs to, empty for a page's or a band's.
    [[noreturn]] void fail(const BadNumber& bad, const QString& objectName = QString()) const {
        const QString why = QStringLiteral("%1 е „%2“, а не размер, който страница побира")
                                .arg(bad.attribute, bad.text.left(40));
        fail(objectName.isEmpty() ? why : QStringLiteral("обектът %1: %2").arg(objectName, why));
    }

    // Refuses an object whose text or format would take a report more time or memory than a
    // page can show: the text is bounded here once, not on every row it is printed for.
    void check(const ReportObject& object) const {
        const auto refuse = [&](const QString& why) {
            fail(QStringLiteral("обектът %1: %2").arg(object.name, why));
        };
        if (object.kind == ObjectKind::Rich) {
            if (const QString problem = rtfLimitProblem(object.text); !problem.isEmpty())
                refuse(problem);
        } else if (object.text.size() > kMostTextChars) {
            refuse(QStringLiteral("текстът е от %1 знака, а най-много са %2")
                       .arg(object.text.size())
                       .arg(kMostTextChars));
        }
        if (const QString problem = displayFormatProblem(object.displayFormat); !problem.isEmpty())
            refuse(problem);
    }

    void readDatasets(QStringList& names) {
        while (xml_.readNextStartElement()) {
            const Attributes a(xml_.attributes());
            if (const auto name = a.text("DataSetName"))
                names << *name;
            xml_.skipCurrentElement();
        }
    }

    ReportPageSpec readPage() {
        ReportPageSpec page;
        const Attributes a(xml_.attributes());
        try {
            readPageSize(a, page);
        } catch (const BadNumber& bad) {
            fail(bad);
        }
        while (xml_.readNextStartElement()) {
            if (const auto kind = bandKind(xml_.name()))
                page.bands.push_back(readBand(*kind));
            else
                xml_.skipCurrentElement();
        }
        return page;
    }

    void readPageSize(const Attributes& a, ReportPageSpec& page) const {
        page.paperWidth = a.number("PaperWidth", page.paperWidth);
        page.paperHeight = a.number("PaperHeight", page.paperHeight);
        page.landscape = a.text("Orientation", QString()) == QLatin1String("poLandscape");
        if (page.landscape == (page.paperWidth < page.paperHeight))
            std::swap(page.paperWidth, page.paperHeight);
        page.leftMargin = a.number("LeftMargin", page.leftMargin);
        page.topMargin = a.number("TopMargin", page.topMargin);
        page.rightMargin = a.number("RightMargin", page.rightMargin);
        page.bottomMargin = a.number("BottomMargin", page.bottomMargin);
        if (page.paperWidth > kMostPaperMm || page.paperHeight > kMostPaperMm)
            fail(QStringLiteral("листът е по-голям от %1 mm").arg(kMostPaperMm));
        if (page.paperWidth - page.leftMargin - page.rightMargin <= 0 ||
            page.paperHeight - page.topMargin - page.bottomMargin <= 0)
            fail(QStringLiteral("полетата на страницата не оставят място за печат"));
    }

    Band readBand(BandKind kind) {
        Band band;
        band.kind = kind;
        const Attributes a(xml_.attributes());
        band.name = a.text("Name", QString());
        try {
            band.height = std::max(0.0, a.number("Height", 0));
        } catch (const BadNumber& bad) {
            fail(bad);
        }
        band.datasetName = a.text("DataSetName", QString());
        band.stretches = a.boolean("Stretched", false);
        while (xml_.readNextStartElement()) {
            const QString element = xml_.name().toString();
            std::optional<ReportObject> object;
            try {
                object = readObject(element, Attributes(xml_.attributes()));
            } catch (const BadNumber& bad) {
                fail(bad, Attributes(xml_.attributes()).text("Name", QString()));
            }
            if (object) {
                if (band.objects.size() == kMostObjectsInBand)
                    fail(QStringLiteral("лентата %1 има повече от %2 обекта")
                             .arg(band.name)
                             .arg(kMostObjectsInBand));
                if (++objects_ > kMostObjects)
                    fail(QStringLiteral("има повече от %1 обекта").arg(kMostObjects));
                check(*object);
                band.objects.push_back(std::move(*object));
            }
            xml_.skipCurrentElement();
        }
        return band;
    }

    QXmlStreamReader xml_;
    const QString& source_;
    int objects_ = 0;
};

} // namespace

ReportModel ReportModel::empty() {
    ReportModel model;
    model.pages.emplace_back();
    model.datasetNames = {QStringLiteral("Data"), QStringLiteral("Specs")};
    return model;
}

ReportModel readTemplate(const QByteArray& xml, const QString& sourceName) {
    return Reader(xml, sourceName).read();
}

ReportModel readTemplateFile(const QString& path) {
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    QFile file(fullPath);
    if (!file.open(QIODevice::ReadOnly))
        throw cannotOpenFile(fullPath, file.errorString());
    return readTemplate(file.readAll(), fullPath);
}

} // namespace report
