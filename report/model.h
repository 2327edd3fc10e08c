// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

// The report model: what a template describes, free of widgets and of any data. Geometry is in
// report units, 1/96 inch, the unit the templates are written in; paper sizes and margins are in
// millimetres.
namespace report {

inline constexpr double kUnitsPerMm = 96.0 / 25.4;

enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Top, Center, Bottom };

struct FontSpec {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor color = Qt::black;
};

// The sides of an object's frame that are drawn.
struct FrameSpec {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;
    double width = 1;
    QColor color = Qt::black;

    bool any() const { return left || top || right || bottom; }
};

// How a value shown by a memo is turned into text. Text leaves it to the data source.
struct DisplayFormat {
    enum class Kind { Text, Numeric, DateTime, Boolean };
    Kind kind = Kind::Text;
    QString format;
    QString decimalSeparator; // empty: the regional setting
};

enum class ObjectKind { Memo, Rich, Line, Shape, CheckBox };
enum class ShapeKind { Rectangle, RoundRectangle, Ellipse };

// How an object grows with its content: not at all, to the height of its own text, or to the
// height of its band after the band has grown.
enum class Stretch { None, ActualHeight, MaxHeight };

struct ReportObject {
    ObjectKind kind = ObjectKind::Memo;
    QString name;
    QRectF rect; // within the band; a line runs from the top left to the bottom right corner
    // A memo's text with its expressions, a rich view's RTF, a check box's expression.
    QString text;
    FontSpec font;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool wordWrap = true;
    FrameSpec frame;
    QColor fill; // invalid: transparent
    Stretch stretch = Stretch::None;
    DisplayFormat displayFormat;
    ShapeKind shape = ShapeKind::Rectangle;
    double curve = 2;     // corner radius of a rounded rectangle, in tenths of the shorter side
    bool shifts = true;   // moves down by what the objects above it grew
    bool checked = false; // a check box without expression
    double lineWidth = 1;
    QColor lineColor = Qt::black;
};

enum class BandKind {
    ReportTitle,
    PageHeader,
    MasterData,
    Footer, // after the last row of the master data before it
    ReportSummary,
    PageFooter,
};

struct Band {
    BandKind kind = BandKind::MasterData;
    QString name;
    double height = 0;
    QString datasetName; // master data only
    bool stretches = false;
    std::vector<ReportObject> objects;
};

struct ReportPageSpec {
    double paperWidth = 210; // mm, as oriented
    double paperHeight = 297;
    bool landscape = false;
    double leftMargin = 10;
    double topMargin = 10;
    double rightMargin = 10;
    double bottomMargin = 10;
    std::vector<Band> bands;

    double printableWidth() const { return (paperWidth - leftMargin - rightMargin) * kUnitsPerMm; }
};

struct ReportModel {
    QString sourceName; // the template's path, for messages; empty for a model built in code
    std::vector<ReportPageSpec> pages;
    QString script;
    QStringList datasetNames;

    // What a report holds before a template is read: one A4 portrait page without bands, an
    // empty script and the datasets "Data" and "Specs".
    static ReportModel empty();
};

} // namespace report
