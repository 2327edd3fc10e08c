// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"

// The main window's own report layouts, A4 landscape, over its report datasets "dsReportSpecs",
// "dsReportData" and "dsReportOP". Nothing in the program prints them; the window holds them.
namespace layouts {

// The lot's price offer: every position with its technical and price values and the lot's
// totals with and without VAT.
report::ReportModel lotPriceOffer();
// The offer with notes and manufacturer.
report::ReportModel offerWithNotes();
// The offer with price and notes.
report::ReportModel offerWithPriceAndNotes();

} // namespace layouts
