// SPDX-License-Identifier: Apache-2.0
// brx-offer-prices: brx-offer's commands on the bidder's prices, the price sheet written
// (template), a filled one read into the tender file (import) and an older offer's values
// carried into it (carry), started by brx-offer. The import and the carry store through the same
// pass, and this program alone of brx-offer's loads the zip library of XLSX files.

#include "data/tender_datasets.h"
#include "export/offer_check.h"
#include "export/price_list.h"
#include "offer/carry_workflow.h"
#include "offer/dataset_rules.h"
#include "offer/import_workflow.h"
#include "tools/brx_offer_cli.h"

#include <QCoreApplication>

#include <vector>

using namespace brxoffer;

namespace {

int templateCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args, false);
    TenderLot lot(arguments.file, arguments.lotCode);
    ArgumentDialogs dialogs(NoOfferType, arguments.output);
    const OfferSources sources = lot.sources();
    const QString written = pricelist::saveTemplate(dialogs, sources.qrySpecs,
                                                    sources.qryObosobeniPozicii, sources.qryData);
    if (written.isEmpty() || dialogs.failed())
        return 1;
    print(stdout, written);
    return 0;
}

int importCommand(const QStringList& args) {
    const auto [positional, dryRun] =
        parseDryRunArguments(args, QStringLiteral("FILE.mdb и IN.xlsx|IN.csv"));
    data::Connection connection;
    if (dryRun)
        connection.openReadOnly(positional[0]);
    else
        connection.open(positional[0]);
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    qrySpecs->open();
    ArgumentDialogs dialogs(NoOfferType, QString(), !dryRun);
    const PriceImportWorkflow::Report report =
        PriceImportWorkflow(dialogs, connection, *qrySpecs).run(positional[1]);
    if (report.read)
        print(stdout, report.preview.text());
    if (report.stored)
        print(stdout, QStringLiteral("\n") + report.outcome.text());
    const bool everything =
        report.read && report.preview.refused.empty() && report.outcome.complete();
    return everything ? 0 : 1;
}

int carryCommand(QStringList args) {
    const offercarry::Replacements replacements = args.removeAll(QStringLiteral("--take-old")) > 0
                                                      ? offercarry::Replacements::TakeOld
                                                      : offercarry::Replacements::KeepNew;
    const auto [files, dryRun] = parseDryRunArguments(args, QStringLiteral("OLD.mdb и NEW.mdb"));
    data::Connection connection;
    if (dryRun)
        connection.openReadOnly(files[1]);
    else
        connection.open(files[1]);
    ArgumentDialogs dialogs(NoOfferType, QString(), !dryRun);
    const OfferCarryWorkflow::Report report =
        OfferCarryWorkflow(dialogs, connection).run(files[0], replacements);
    if (report.read)
        print(stdout, report.preview.text());
    if (report.stored) {
        print(stdout, QStringLiteral("\n") + report.outcome.text());
        // What the offer check finds now, with what the carry left to look at.
        const std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
        qrySpecs->open();
        std::vector<offercheck::Problem> left =
            offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
        const std::vector<offercheck::Problem> notes = offercarry::leftToLookAt(report.preview);
        left.insert(left.end(), notes.begin(), notes.end());
        print(stdout, QStringLiteral("\nОстава за проверка: %1").arg(left.size()));
        for (const offercheck::Problem& problem : left)
            print(stdout, QStringList{problem.lotCode, problem.positionCode, problem.field(),
                                      problem.message}
                              .join(QLatin1Char('\t')));
    }
    const bool everything =
        report.read && report.preview.refused.empty() && report.outcome.complete();
    return everything ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(onlyQtErrors);
    const QCoreApplication application(argc, argv);
    return runCommand({
        {QStringLiteral("template"), templateCommand},
        {QStringLiteral("import"), importCommand},
        {QStringLiteral("carry"), carryCommand},
    });
}
