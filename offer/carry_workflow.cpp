// SPDX-License-Identifier: Apache-2.0
#include "offer/carry_workflow.h"

#include "ui/dialogs.h"

OfferCarryWorkflow::OfferCarryWorkflow(Dialogs& dialogs, data::Connection& connection)
    : dialogs_(dialogs), carry_(connection) {}

OfferCarryWorkflow::Report
OfferCarryWorkflow::run(const QString& oldFile,
                        std::optional<offercarry::Replacements> replacements) {
    Report report;
    try {
        report.preview = carry_.preview(oldFile);
    } catch (const std::exception& unreadable) {
        // The old file is only read: whatever fails here has changed nothing.
        dialogs_.error(QString::fromUtf8(unreadable.what()).trimmed());
        return report;
    }
    report.read = true;
    const offercarry::Preview& preview = report.preview;
    if (preview.nothingToStore()) {
        dialogs_.warning(QStringLiteral("Няма какво да се пренесе от %1.\n\n").arg(oldFile) +
                         preview.text());
        return report;
    }
    const QString question =
        QStringLiteral("Да се пренесе ли офертата от %1: %2 данни за фирмата и параметри, "
                       "участие в %3 обособени позиции и стойностите на %4 позиции?")
            .arg(oldFile)
            .arg(preview.tender.size())
            .arg(preview.lots.size())
            .arg(preview.positions.size()) +
        QStringLiteral("\nПозиции, които новият файл няма: %1; нови позиции: %2; позиции с "
                       "променено описание: %3.")
            .arg(preview.gone.size())
            .arg(preview.added.size())
            .arg(preview.changed.size()) +
        (preview.refused.empty() ? QString()
                                 : QStringLiteral("\nОтказани стойности: %1; те не се пренасят.")
                                       .arg(preview.refused.size()));
    if (!dialogs_.confirmWithDetails(question, preview.text()))
        return report;
    if (replacements)
        report.replacements = *replacements;
    else if (preview.replacements() > 0 &&
             dialogs_.confirm(QStringLiteral("Новият файл вече съдържа различни стойности на %1 "
                                             "места (виж подробностите). Да се заменят ли те със "
                                             "стойностите от %2?\n\n„Не“ запазва стойностите на "
                                             "новия файл.")
                                  .arg(preview.replacements())
                                  .arg(oldFile)))
        report.replacements = offercarry::Replacements::TakeOld;
    report.outcome = carry_.store(preview, report.replacements);
    report.stored = true;
    if (!report.outcome.complete())
        dialogs_.error(report.outcome.text());
    return report;
}
