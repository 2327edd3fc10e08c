// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"
#include "report/prepared_page.h"

#include <QFont>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QTextDocument;

namespace report {

// Text is laid out for a device of 96 dots to the inch, the templates' own unit, and painted
// through a scaled painter, so that a page breaks its lines alike on screen, paper and PDF.
QFont toQFont(const FontSpec& wanted);

// The height a memo's text needs at the memo's width, its inner gaps included.
double memoTextHeight(const ReportObject& memo, const QString& text);
// A rich view's document laid out at the view's width.
std::unique_ptr<QTextDocument> richDocument(const QString& rtf, double width);
double richTextHeight(const QString& rtf, double width);

// Paints one page whose top left corner is at the painter's origin, in report units.
void paintPage(QPainter& painter, const PreparedPage& page);

// Paints pages `from` to `to` (0-based, inclusive) onto a printer or PDF writer, one sheet each,
// sized and oriented after the page. False when the device cannot be painted on.
bool paintPages(QPagedPaintDevice& device, const std::vector<PreparedPage>& pages, int from,
                int to);

} // namespace report
