// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace report {

class ReportDataset;

// Stands in a prepared page's text for the number of pages until the last page is known.
inline constexpr char16_t kTotalPagesMark = u'\uE000';

// What an expression may ask of the report being prepared.
struct EvalContext {
    int page = 1;
    int line = 0;      // the row of the master data being printed, from 1
    QDateTime started; // [Date] and [Time]: when the preparation began
};

// A memo's text bound to the registered datasets: literals and bracketed expressions such as
// [Data."IME"], [(<Data."PP1_NUMBER">*1.2)], [Date], [Page#] and [TotalPages#], with
// comparisons, and, or, not and IIF(condition, then, else) for what depends on the data, and
// SUM(value) for totals. Binding finds
// every dataset and field once, so a report of many rows pays for it once per object.
class MemoText {
public:
    // Throws Error naming `objectName` for a dataset or field that is not there or an
    // expression that cannot be read or nests deeper than evaluating it may descend. A '['
    // without its ']' is a literal.
    static MemoText bind(const QString& text, const QString& objectName);

    // The text with every expression replaced by its value shown through `format`;
    // [TotalPages#] gives kTotalPagesMark. `escape`, when given, is applied to every value, as
    // for values put into RTF.
    using Escape = QString (*)(const QString&);
    QString evaluate(const EvalContext& context, const DisplayFormat& format,
                     Escape escape = nullptr) const;
    // The value of a text that is one expression and nothing else (a check box's).
    QVariant value(const EvalContext& context) const;

    bool hasExpressions() const;

    // SUM(value) gives the total of the value over the rows of the master data printed since
    // the last reset; the layout adds each row as it prints it.
    void resetSums() const;
    void accumulate(const EvalContext& context) const;

    struct Node;
    struct Segment {
        QString literal;
        std::shared_ptr<const Node> expression; // null for a literal
    };

private:
    std::vector<Segment> segments_;
    std::vector<const Node*> sums_; // within segments_
};

// Whether a value counts as true in a condition: a true yes/no value, a number other than 0,
// the texts "True", "1" and "Да"; a null is false.
bool isTrue(const QVariant& value);

// Why a memo cannot show its values through `format`: the format is longer, or asks for a width
// or precision wider, than a line of a page. Empty when it can.
QString displayFormatProblem(const DisplayFormat& format);

// A value as a memo with `format` shows it.
QString formatValue(const QVariant& value, const DisplayFormat& format);

} // namespace report
