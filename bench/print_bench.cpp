// SPDX-License-Identifier: Apache-2.0
// Times printing the price offer of a generated lot of 1,000 positions to PDF through the print
// operation of the reports module, the preview's own export included, against a reference
// measured in the same run: the same number of pages written by QPdfWriter with a hand-placed
// line of text per row, the cost of the PDF output itself. Prints the medians, pages per second
// and the ratio; run it by hand: print_bench [POSITIONS] [RUNS].

#include "app/main_window.h"
#include "bench/median.h"
#include "data/dataset.h"
#include "print/dReports.h"
#include "report/preview.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::median;

// Chooses the price offer and saves every preview as a PDF through the preview's button.
class ExportingDialogs : public ScriptedDialogs {
public:
    explicit ExportingDialogs(QString path) : path_(std::move(path)) {}
    int chooseOfferType(const QString&) override { return 2; }
    void showPreview(QDialog& preview) override {
        auto& reportPreview = dynamic_cast<report::PreviewDialog&>(preview);
        pages = reportPreview.pageCount();
        saveFileAnswers.push_back(path_);
        reportPreview.exportToPdf();
    }
    int pages = 0;

private:
    QString path_;
};

void writePlainPages(const QString& path, int pages, int rowsPerPage) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    const int step = writer.height() / (rowsPerPage + 2);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        for (int row = 0; row < rowsPerPage; ++row)
            painter.drawText(0, step * (row + 1),
                             QStringLiteral("%1 Марля хидрофилна 10 см х 10 м, 12,50 лв.")
                                 .arg(page * rowsPerPage + row));
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int positions = argc > 1 ? std::stoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 5;

    QTemporaryDir folder;
    nlohmann::json tender = tender::generateTender(1, positions);
    tender["SPECS"][0]["IME_NA_FIRMATA"] = "Медикс ООД";
    tender::writeTender(tender,
                        QDir(folder.path()).filePath(QStringLiteral("DB.mdb")).toStdString());

    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("offer.pdf"));
    ExportingDialogs dialogs(pdf);
    ErrorGuard guard(dialogs);
    QDir::setCurrent(folder.path());
    TfmMain window(guard);
    window.show();
    TdmReports reports(window.Connection, *window.qryData, dialogs);
    reports.DataModuleCreate();
    if (window.qryData->recordCount() != positions) {
        std::fprintf(stderr, "the lot lists %d positions, not %d\n", window.qryData->recordCount(),
                     positions);
        return 1;
    }

    const double printed = median(runs, [&] { reports.PrintObshtestvenaPorachka(); });
    const int pages = dialogs.pages;
    const QString plain = QDir(folder.path()).filePath(QStringLiteral("plain.pdf"));
    const double reference = median(
        runs, [&] { writePlainPages(plain, pages, (positions + pages - 1) / std::max(1, pages)); });
    std::printf("positions %d, pages %d, runs %d\n", positions, pages, runs);
    std::printf("price offer to PDF: %.3f s, %.1f pages/s\n", printed, pages / printed);
    std::printf("reference (same pages, plain text): %.3f s\n", reference);
    std::printf("ratio offer / reference: %.2f\n", printed / reference);
    return 0;
}
