// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"

#include <QSizeF>

#include <vector>

namespace report {

// A page ready to paint: its paper in report units and the objects on it, each placed on the
// paper with its final size and its expressions replaced by their values.
struct PreparedPage {
    QSizeF size;
    std::vector<ReportObject> primitives;
};

} // namespace report
