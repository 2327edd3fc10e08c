// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/layout.h"
#include "report/model.h"
#include "report/prepared_page.h"

#include <QString>

#include <functional>
#include <vector>

class QDialog;

namespace report {

// What the preview asks of its user: where to save an export (an empty answer cancels), and
// how to tell of an error and of what an export did beside the file (a signature moved aside).
struct PreviewQuestions {
    std::function<QString(const QString& proposedPath, const QString& filter)> saveFileName;
    std::function<void(const QString& text)> error;
    std::function<void(const QString& text)> warning;
};

// One report: its model, read from a template or built in code, and the pages of its last
// preparation.
class Report {
public:
    Report();

    // Replaces the whole report with the template at `path`. Throws Error, the report left as
    // it was, when the file cannot be opened ("Cannot open file ...") or read.
    void loadFromFile(const QString& path);
    void setModel(ReportModel model);
    const ReportModel& model() const { return model_; }

    // Lays the pages out anew from the current rows of the datasets the report names, the
    // pages of the previous preparation discarded. Returns false, with no pages, when `proceed`
    // stopped the layout (see layOutReport).
    bool prepareReport(const LayoutProgress& proceed = {});
    const std::vector<PreparedPage>& pages() const { return pages_; }

    // Prepares the pages and hands a modal preview of them to `show`, which returns when the
    // preview has been closed; shows nothing when `proceed` stopped the layout.
    void showReport(const std::function<void(QDialog&)>& show, PreviewQuestions questions = {},
                    const LayoutProgress& proceed = {});

    // Writes the prepared pages to a PDF file, as writePdf does, and returns what it returns.
    // Throws Error when it cannot be written.
    QString exportPdf(const QString& path) const;

private:
    ReportModel model_;
    std::vector<PreparedPage> pages_;
};

// Writes `pages` to a PDF file, one sheet each, replacing the file only once the new one is
// complete. A signature beside the file, which no longer matches it, is moved aside: returns
// where to, empty when there was none (data::writeOutputFile). Throws Error, an earlier file
// left as it was, when it cannot be written.
QString writePdf(const std::vector<PreparedPage>& pages, const QString& path);

} // namespace report
