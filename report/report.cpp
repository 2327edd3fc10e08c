#include "report/report.h"

#include "report/error.h"
#include "report/layout.h"
#include "report/preview.h"
#include "report/render.h"
#include "report/template_reader.h"

#include <QFileInfo>
#include <QPdfWriter>

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

void Report::prepareReport() {
    pages_.clear();
    pages_ = layOutReport(model_, QDateTime::currentDateTime());
}

void Report::showReport(const std::function<void(QDialog&)>& show, PreviewQuestions questions) {
    prepareReport();
    PreviewDialog preview(pages_, std::move(questions));
    show(preview);
}

void Report::exportPdf(const QString& path) const {
    writePdf(pages_, path);
}

void writePdf(const std::vector<PreparedPage>& pages, const QString& path) {
    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("BRX Client"));
    writer.setTitle(QFileInfo(path).completeBaseName());
    const bool written =
        !pages.empty() && paintPages(writer, pages, 0, static_cast<int>(pages.size()) - 1);
    if (!written || !QFileInfo(path).isFile())
        throw Error(QStringLiteral("Файлът „%1“ не може да бъде записан.").arg(path));
}

} // namespace report
