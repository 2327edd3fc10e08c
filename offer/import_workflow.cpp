// SPDX-License-Identifier: Apache-2.0
#include "offer/import_workflow.h"

#include "data/error.h"
#include "export/workbook.h"
#include "ui/dialogs.h"

PriceImportWorkflow::PriceImportWorkflow(Dialogs& dialogs, data::Connection& connection,
                                         const data::Dataset& qrySpecs)
    : dialogs_(dialogs), import_(connection, qrySpecs) {}

PriceImportWorkflow::Report
PriceImportWorkflow::run(const QString& path, const priceimport::PriceImport::Progress& proceed) {
    Report report;
    try {
        report.preview = import_.preview(sheet::readWorkbook(path));
    } catch (const sheet::WorkbookError& unreadable) {
        dialogs_.error(unreadable.message());
        return report;
    } catch (const data::Error& refused) {
        dialogs_.error(QString::fromUtf8(refused.what()));
        return report;
    }
    report.read = true;
    const priceimport::Preview& preview = report.preview;
    if (preview.accepted.empty()) {
        dialogs_.warning(QStringLiteral("Няма позиции за запис от %1.\n\n").arg(path) +
                         preview.text());
        return report;
    }
    const QString question =
        QStringLiteral("Да се запишат ли стойностите на %1 позиции от %2?")
            .arg(preview.accepted.size())
            .arg(path) +
        (preview.refused.empty() ? QString()
                                 : QStringLiteral("\nОтказани редове: %1; те не се записват.")
                                       .arg(preview.refusedRows()));
    if (!dialogs_.confirmWithDetails(question, preview.text()))
        return report;
    report.outcome = import_.store(preview, {}, proceed);
    report.stored = true;
    if (!report.outcome.complete())
        dialogs_.error(report.outcome.text());
    return report;
}
