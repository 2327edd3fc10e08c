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
    if (replacements || preview.replacements() == 0) {
        if (!dialogs_.confirmWithDetails(question, preview.text()))
            return report;
        report.replacements = replacements.value_or(offercarry::Replacements::KeepNew);
    } else {
        // The new file's values are the newer: the box that gives them up starts unticked.
        const std::optional<bool> takeOld = dialogs_.confirmWithChoice(
            question, preview.text(),
            QStringLiteral("Стойностите, които новият файл съдържа различно (%1), да се заменят "
                           "със стойностите от стария файл")
                .arg(preview.replacements()));
        if (!takeOld)
            return report;
        report.replacements =
            *takeOld ? offercarry::Replacements::TakeOld : offercarry::Replacements::KeepNew;
    }
    report.outcome = carry_.store(preview, report.replacements);
    report.stored = true;
    if (!report.outcome.complete())
        dialogs_.error(report.outcome.text());
    return report;
}
