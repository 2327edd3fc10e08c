// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"
#include "report/prepared_page.h"

#include <QDateTime>

#include <functional>
#include <vector>

namespace report {

// Lays the bands of a report out into pages, reading the rows of the datasets its master data
// bands name: the report title first, the page header at the top and the page footer at the
// bottom of every page, one data band per row with a new page wherever the next band does not
// fit, the footer after the last row and the summary at the end. Bands marked to stretch grow
// with their tallest stretching object. [TotalPages#] is filled in once the last page is known.
// Throws Error for an expression that cannot be bound.
// `proceed`, when given, is told after each row of a master data band how many of its dataset's
// rows are laid out; when it returns false the layout stops and no page is returned (a report
// laid out to its end has at least one).
using LayoutProgress = std::function<bool(int done, int total)>;
std::vector<PreparedPage> layOutReport(const ReportModel& model, const QDateTime& started,
                                       const LayoutProgress& proceed = {});

} // namespace report
