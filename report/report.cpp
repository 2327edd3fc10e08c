// SPDX-License-Identifier: Apache-2.0
#include "report/report.h"

#include "report/error.h"
#include "report/layout.h"
#include "report/preview.h"
#include "report/render.h"
#include "report/template_reader.h"

#include "data/output_file.h"

#include <QFile>
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

QString Report::exportPdf(const QString& path) const {
    return writePdf(pages_, path);
}

QString writePdf(const std::vector<PreparedPage>& pages, const QString& path) {
    if (pages.empty())
        throw Error(
            QStringLiteral("Файлът „%1“ не може да бъде записан: няма страници.").arg(path));
    try {
        return data::writeOutputFile(path, [&](QFile& file) {
            QPdfWriter writer(&file);
            writer.setResolution(600);
            writer.setCreator(QStringLiteral("BRX Client"));
            writer.setTitle(QFileInfo(path).completeBaseName());
            return paintPages(writer, pages, 0, static_cast<int>(pages.size()) - 1);
        });
    } catch (const data::OutputError& error) {
        throw Error(QString::fromUtf8(error.what()));
    }
}

} // namespace report
