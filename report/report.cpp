#include "report/report.h"

#include "report/error.h"
#include "report/layout.h"
#include "report/preview.h"
#include "report/render.h"
#include "report/template_reader.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

namespace report {

Report::Report() : model_(ReportModel::empty()) {}

void Report::loadFromFile(const QString& path) {
    model_ = readTemplateFile(path);
    pages_.clear();
}

void Report::setModel(ReportModel model) {
    model_ = std::move(model);
    pages_.clear();
}

bool Report::prepareReport(const LayoutProgress& proceed) {
    pages_.clear();
    pages_ = layOutReport(model_, QDateTime::currentDateTime(), proceed);
    return !pages_.empty();
}

void Report::showReport(const std::function<void(QDialog&)>& show, PreviewQuestions questions,
                        const LayoutProgress& proceed) {
    if (!prepareReport(proceed))
        return;
    PreviewDialog preview(pages_, std::move(questions));
    show(preview);
}

void Report::exportPdf(const QString& path) const {
    writePdf(pages_, path);
}

void writePdf(const std::vector<PreparedPage>& pages, const QString& path) {
    // The PDF is written to a temporary file beside the target, which replaces the target only
    // once complete: a failed export never leaves a truncated file in place of an earlier one.
    QSaveFile file(path);
    bool written = !pages.empty() && file.open(QIODevice::WriteOnly);
    if (written) {
        QPdfWriter writer(&file);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("BRX Client"));
        writer.setTitle(QFileInfo(path).completeBaseName());
        written = paintPages(writer, pages, 0, static_cast<int>(pages.size()) - 1);
    }
    if (!written || !file.commit())
        throw Error(QStringLiteral("Файлът „%1“ не може да бъде записан.").arg(path));
}

} // namespace report
