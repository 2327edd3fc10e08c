// SPDX-License-Identifier: Apache-2.0
#include "report/render.h"

#include "report/rtf_reader.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>

namespace report {

namespace {

constexpr double kGapX = 2; // between a memo's frame and its text
constexpr double kGapY = 1;

QPaintDevice& referenceDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMetre = qRound(96 / 0.0254);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

Qt::Alignment alignmentOf(HAlign align) {
    switch (align) {
    case HAlign::Center:
        return Qt::AlignHCenter;
    case HAlign::Right:
        return Qt::AlignRight;
    case HAlign::Justify:
        return Qt::AlignJustify;
    case HAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

QString withLineSeparators(QString text) {
    text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    text.replace(u'\n', QChar::LineSeparator);
    text.replace(u'\r', QChar::LineSeparator);
    return text;
}

// Breaks the memo's text into lines at its inner width; returns the height of the lines.
double layOut(QTextLayout& layout, const ReportObject& memo) {
    QTextOption option(alignmentOf(memo.hAlign));
    option.setWrapMode(memo.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                     : QTextOption::NoWrap);
    layout.setTextOption(option);
    const double width = std::max(1.0, memo.rect.width() - 2 * kGapX);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

void paintFrame(QPainter& painter, const ReportObject& object) {
    const FrameSpec& frame = object.frame;
    if (!frame.any())
        return;
    painter.setPen(QPen(frame.color, frame.width, Qt::SolidLine, Qt::SquareCap));
    const QRectF& r = object.rect;
    if (frame.left)
        painter.drawLine(r.topLeft(), r.bottomLeft());
    if (frame.right)
        painter.drawLine(r.topRight(), r.bottomRight());
    if (frame.top)
        painter.drawLine(r.topLeft(), r.topRight());
    if (frame.bottom)
        painter.drawLine(r.bottomLeft(), r.bottomRight());
}

void paintMemo(QPainter& painter, const ReportObject& memo) {
    const QRectF& r = memo.rect;
    if (memo.fill.isValid())
        painter.fillRect(r, memo.fill);
    if (!memo.text.isEmpty()) {
        QTextLayout layout(withLineSeparators(memo.text), toQFont(memo.font), &referenceDevice());
        const double height = layOut(layout, memo);
        double top = r.top() + kGapY;
        if (memo.vAlign == VAlign::Center)
            top = r.top() + (r.height() - height) / 2;
        else if (memo.vAlign == VAlign::Bottom)
            top = r.bottom() - kGapY - height;
        painter.save();
        painter.setClipRect(r);
        painter.setPen(memo.font.color);
        layout.draw(&painter, QPointF(r.left() + kGapX, top));
        painter.restore();
    }
    paintFrame(painter, memo);
}

void paintRich(QPainter& painter, const ReportObject& rich) {
    const QRectF& r = rich.rect;
    if (rich.fill.isValid())
        painter.fillRect(r, rich.fill);
    const auto document = richDocument(rich.text, r.width());
    painter.save();
    painter.translate(r.left() + kGapX, r.top() + kGapY);
    document->drawContents(&painter, QRectF(0, 0, r.width() - 2 * kGapX, r.height() - kGapY));
    painter.restore();
    paintFrame(painter, rich);
}

void paintShape(QPainter& painter, const ReportObject& shape) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(shape.lineColor, shape.lineWidth));
    painter.setBrush(shape.fill.isValid() ? QBrush(shape.fill) : QBrush(Qt::NoBrush));
    const QRectF& r = shape.rect;
    switch (shape.shape) {
    case ShapeKind::Rectangle:
        painter.drawRect(r);
        break;
    case ShapeKind::RoundRectangle: {
        const double radius =
            std::min(r.width(), r.height()) * std::clamp(shape.curve, 0.0, 5.0) / 10;
        painter.drawRoundedRect(r, radius, radius);
        break;
    }
    case ShapeKind::Ellipse:
        painter.drawEllipse(r);
        break;
    }
    painter.restore();
}

void paintCheckBox(QPainter& painter, const ReportObject& box) {
    const QRectF& r = box.rect;
    if (box.fill.isValid())
        painter.fillRect(r, box.fill);
    const double side = std::max(1.0, std::min(r.width(), r.height()) - 2);
    const QRectF square(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
    painter.save();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(square);
    if (box.checked) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(box.lineColor, std::max(1.0, side / 8)));
        const QRectF inner = square.adjusted(side / 5, side / 5, -side / 5, -side / 5);
        painter.drawLine(inner.topLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomLeft());
    }
    painter.restore();
    paintFrame(painter, box);
}

QPageLayout pageLayoutOf(const PreparedPage& page) {
    const double width = page.size.width() / kUnitsPerMm;
    const double height = page.size.height() / kUnitsPerMm;
    const bool landscape = width > height;
    const QPageSize size(landscape ? QSizeF(height, width) : QSizeF(width, height),
                         QPageSize::Millimeter);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

QFont toQFont(const FontSpec& wanted) {
    QFont font(wanted.family);
    // Whatever the template names, Cyrillic must never fall back to boxes.
    font.setFamilies({wanted.family, QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(wanted.pointSize > 0 ? wanted.pointSize : 10);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    font.setStrikeOut(wanted.strikeOut);
    // Shaping joins "fi", "fl", "ffi" into one ligature glyph, which a PDF gives back as one
    // character: the printed offer could not be searched or copied from as typed.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

double memoTextHeight(const ReportObject& memo, const QString& text) {
    if (text.isEmpty())
        return 0;
    QTextLayout layout(withLineSeparators(text), toQFont(memo.font), &referenceDevice());
    return layOut(layout, memo) + 2 * kGapY;
}

std::unique_ptr<QTextDocument> richDocument(const QString& rtf, double width) {
    auto document = std::make_unique<QTextDocument>();
    document->documentLayout()->setPaintDevice(&referenceDevice());
    document->setDefaultFont(toQFont(FontSpec{}));
    document->setDocumentMargin(0);
    if (!readRtf(rtf, *document))
        document->setPlainText(rtf);
    document->setTextWidth(std::max(1.0, width - 2 * kGapX));
    return document;
}

double richTextHeight(const QString& rtf, double width) {
    return richDocument(rtf, width)->size().height() + 2 * kGapY;
}

void paintPage(QPainter& painter, const PreparedPage& page) {
    for (const ReportObject& object : page.primitives) {
        switch (object.kind) {
        case ObjectKind::Memo:
            paintMemo(painter, object);
            break;
        case ObjectKind::Rich:
            paintRich(painter, object);
            break;
        case ObjectKind::Line:
            painter.setPen(QPen(object.lineColor, object.lineWidth));
            painter.drawLine(object.rect.topLeft(), object.rect.bottomRight());
            break;
        case ObjectKind::Shape:
            paintShape(painter, object);
            break;
        case ObjectKind::CheckBox:
            paintCheckBox(painter, object);
            break;
        }
    }
}

bool paintPages(QPagedPaintDevice& device, const std::vector<PreparedPage>& pages, int from,
                int to) {
    QPainter painter;
    for (int i = std::max(0, from); i <= to && i < static_cast<int>(pages.size()); ++i) {
        const PreparedPage& page = pages[static_cast<std::size_t>(i)];
        device.setPageLayout(pageLayoutOf(page));
        if (!painter.isActive()) {
            if (!painter.begin(&device))
                return false;
        } else {
            device.newPage();
        }
        painter.save();
        painter.scale(device.logicalDpiX() / 96.0, device.logicalDpiY() / 96.0);
        paintPage(painter, page);
        painter.restore();
    }
    return painter.end() || !painter.isActive();
}

} // namespace report
