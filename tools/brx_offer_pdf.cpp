// SPDX-License-Identifier: Apache-2.0
// brx-offer-pdf: brx-offer pdf, the printed offer of one lot written to a PDF file, started by
// brx-offer. It alone of brx-offer's programs loads Qt's painting and printing libraries.

#include "data/output_file.h"
#include "export/offer_export.h"
#include "print/dReports.h"
#include "print/report_source.h"
#include "tools/brx_offer_cli.h"

#include <QGuiApplication>

using namespace brxoffer;

namespace {

int pdfCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args);
    if (arguments.output.isEmpty())
        throw UsageError{QStringLiteral("липсва -o OUT.pdf")};
    TenderLot lot(arguments.file, arguments.lotCode);
    // The main window's report datasets, which the printed offers' templates name too.
    const DatasetReportSource dsReportSpecs(QStringLiteral("dsReportSpecs"), lot.specs());
    const DatasetReportSource dsReportData(QStringLiteral("dsReportData"), lot.positions());
    const DatasetReportSource dsReportOP(QStringLiteral("dsReportOP"), lot.lots());
    ArgumentDialogs dialogs(arguments.offerType, arguments.output);
    TdmReports reports(lot.connection(), lot.positions(), dialogs);
    reports.DataModuleCreate();
    const OfferSources sources = lot.sources();
    checkOffer(sources.qrySpecs, sources.qryObosobeniPozicii);
    refuseUntypableValues(sources, QLocale::system().decimalPoint(), OfferOutput::Print);
    bool written = false;
    reports.setOutput([&](const report::Report& offer) {
        if (const QString moved = offer.exportPdf(arguments.output); !moved.isEmpty())
            dialogs.warning(data::staleSignatureNotice(arguments.output, moved));
        written = true;
    });
    reports.PrintObshtestvenaPorachka();
    if (!written || dialogs.failed())
        return 1;
    print(stdout, arguments.output);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(onlyQtErrors);
    // The printed offer is laid out and painted with the fonts of a GUI application; without a
    // platform chosen, the offscreen one serves, so that no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    return runCommand({{QStringLiteral("pdf"), pdfCommand}});
}
