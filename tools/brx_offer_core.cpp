// SPDX-License-Identifier: Apache-2.0
// brx-offer-core: brx-offer xml and check, the offer file written and the whole offer checked,
// started by brx-offer. It loads Qt Core and nothing more.

#include "data/tender_datasets.h"
#include "export/offer_check.h"
#include "export/offer_export.h"
#include "offer/dataset_rules.h"
#include "tools/brx_offer_cli.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

using namespace brxoffer;

namespace {

int xmlCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args);
    // The export reads a few columns of each position; the others are not even read.
    TenderLot lot(arguments.file, arguments.lotCode, exportedPositionFields());
    ArgumentDialogs dialogs(arguments.offerType, arguments.output);
    const QString written = OfferExport(dialogs).ExportXML(lot.sources());
    if (written.isEmpty() || dialogs.failed())
        return 1;
    print(stdout, written);
    return 0;
}

int checkCommand(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        throw UsageError{QStringLiteral("очаква се само FILE.mdb")};
    data::Connection connection;
    connection.openReadOnly(args[0]);
    const std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    qrySpecs->open();
    const std::vector<offercheck::Problem> problems =
        offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
    for (const offercheck::Problem& problem : problems)
        print(stdout,
              QStringList{problem.lotCode, problem.positionCode, problem.field(),
                          (problem.warning ? QStringLiteral("Предупреждение: ") : QString()) +
                              problem.message}
                  .join(QLatin1Char('\t')));
    const bool refused =
        std::any_of(problems.begin(), problems.end(),
                    [](const offercheck::Problem& problem) { return !problem.warning; });
    if (problems.empty())
        print(stderr, QStringLiteral("Няма открити проблеми."));
    else if (!refused)
        print(stderr, QStringLiteral("Няма открити проблеми, само предупреждения."));
    return refused ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(onlyQtErrors);
    const QCoreApplication application(argc, argv);
    return runCommand({
        {QStringLiteral("xml"), xmlCommand},
        {QStringLiteral("check"), checkCommand},
    });
}
