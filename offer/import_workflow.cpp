// SPDX-License-Identifier: Apache-2.0
#include "offer/import_workflow.h"

#include "data/error.h"
#include "export/workbook.h"
#include "ui/dialogs.h"

#include <QScopeGuard>

#include <algorithm>

PriceImportWorkflow::PriceImportWorkflow(Dialogs& dialogs, data::Connection& connection,
                                         const data::Dataset& qrySpecs)
    : dialogs_(dialogs), import_(connection, qrySpecs) {}

PriceImportWorkflow::Report
PriceImportWorkflow::run(const QString& path, const priceimport::PriceImport::Progress& proceed,
                         const priceimport::PriceImport::Progress& reading) {
    Report report;
    // The file is read in the first half of the way, its rows matched in the second; the way is
    // told to be at its end before anything else is shown, whatever ended it. It is told in a
    // thousand steps a half, each once: a window that shows it draws itself at every step.
    constexpr qint64 kHalf = 1000;
    qint64 told = -1;
    bool going = true;
    const auto half = [&](qint64 before, qint64 done, qint64 total) {
        const qint64 step =
            before + std::clamp<qint64>(done * kHalf / std::max<qint64>(total, 1), 0, kHalf);
        if (reading && step != told)
            going = reading(static_cast<int>(step), static_cast<int>(2 * kHalf));
        told = step;
        return going;
    };
    QString refusal;
    try {
        const auto atTheEnd = qScopeGuard([&] { half(kHalf, 1, 1); });
        const sheet::Table table = sheet::readWorkbook(
            path, sheet::Limits(), [&](qint64 done, qint64 total) { return half(0, done, total); });
        report.preview =
            import_.preview(table, [&](int done, int total) { return half(kHalf, done, total); });
    } catch (const sheet::ReadingStopped&) {
        return report;
    } catch (const sheet::WorkbookError& unreadable) {
        refusal = unreadable.message();
    } catch (const data::Error& refused) {
        refusal = QString::fromUtf8(refused.what());
    }
    if (!refusal.isEmpty()) {
        dialogs_.error(refusal);
        return report;
    }
    report.read = true;
    const priceimport::Preview& preview = report.preview;
    if (preview.accepted.empty()) {
        dialogs_.warningWithDetails(QStringLiteral("Няма позиции за запис от %1.").arg(path),
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
        dialogs_.errorWithDetails(
            QStringLiteral("Не всички приети позиции от %1 са записани.").arg(path),
            report.outcome.text());
    return report;
}
