// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "app/main_window.h"
#include "print/dReports.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace printing {

inline constexpr int kLot = 1; // PRODUCT_CODE of the tender's lot taken part in

// A tender of "Медикс ООД" with one lot, code 3, taken part in unless told otherwise, of
// `positions` positions of which the first `priced` carry a price. Position i is "Марля хидрофилна
// i", quantity 10 * i, price 1.25 * i, trade name "Марка-i" (technical offer) and 12 in a pack
// (price offer).
nlohmann::json offerTender(int positions, int priced, bool noVat = false, bool takingPart = true);

// The text of a PDF, or of its page `page` (from 1), as pdftotext reads it in the order it was
// written.
QString pdfText(const QString& path, int page = 0);
int pdfPageCount(const QString& path);

// Answers like ScriptedDialogs, and exports every report preview it is shown through the
// preview's own PDF button into `folder`, as preview-1.pdf, preview-2.pdf, ...
class PrintingDialogs : public ScriptedDialogs {
public:
    explicit PrintingDialogs(QString folder) : folder_(std::move(folder)) {}
    void showPreview(QDialog& preview) override;

    QStringList pdfs;
    std::vector<int> previewPageCounts;

private:
    QString folder_;
};

// The main window over a created tender with the reports module beside it, its templates read
// from the program's folder.
class PrintTest : public ::testing::Test {
protected:
    // The main window stands on the lot, its positions listed.
    void start(const nlohmann::json& tender);
    // Prints as the print button does, which the window enables only once every position of
    // the lot is priced.
    void print();

    fixture::TenderFolder folder;
    PrintingDialogs dialogs{folder.path()};
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;
    std::unique_ptr<TdmReports> reports;
};

} // namespace printing
