// SPDX-License-Identifier: Apache-2.0
#include "print/dReports.h"

#include "data/dataset.h"
#include "data/program_files.h"
#include "data/tender_datasets.h"
#include "ui/dialogs.h"
#include "ui/wait_progress.h"

#include <QDialog>

namespace {

constexpr int kTechnicalOffer = 1;
constexpr int kPriceOffer = 2;

// Runs `body`, then `cleanup`, also when `body` throws.
template <typename Body, typename Cleanup> void withCleanup(Body body, Cleanup cleanup) {
    try {
        body();
    } catch (...) {
        cleanup();
        throw;
    }
    cleanup();
}

} // namespace

TdmReports::TdmReports(data::Connection& connection, data::Dataset& qryData, Dialogs& dialogs,
                       ProgramFile programFile, QObject* parent)
    : QObject(parent), qrySpecs(data::makeReportQrySpecs(connection)),
      dsSpecs(QStringLiteral("Specs"), *qrySpecs), dsData(QStringLiteral("Data"), qryData),
      qryData_(qryData), dialogs_(dialogs),
      programFile_(programFile ? std::move(programFile) : ProgramFile(&data::programFilePath)) {
    setObjectName(QStringLiteral("dmReports"));
}

TdmReports::~TdmReports() = default;

void TdmReports::DataModuleCreate() {
    rptObshtestvenaPorachkaTehnicheska.loadFromFile(programFile_(QStringLiteral("rep2.fr3")));
    rptObshtestvenaPorachkaCenova.loadFromFile(programFile_(QStringLiteral("rep1.fr3")));
}

void TdmReports::PrintObshtestvenaPorachka() {
    const int offerType = dialogs_.chooseOfferType(QStringLiteral("Изберете типа разпечатка"));
    if (offerType != kTechnicalOffer && offerType != kPriceOffer)
        return;

    // "Specs" shows the tender record as stored now, not what is still being typed.
    qrySpecs->close();
    qrySpecs->open();
    withCleanup([&] { printOffer(offerType); }, [this] { qrySpecs->close(); });
}

void TdmReports::printOffer(int offerType) {
    if (offerType == kTechnicalOffer) {
        showReport(rptObshtestvenaPorachkaTehnicheska);
        return;
    }
    // The filter is in force while the preview is open and no longer, whatever fails: the main
    // window lists every position again afterwards, also when the report failed or the position
    // being edited could not be stored before filtering.
    withCleanup(
        [this] {
            qryData_.setFilter([](const data::Dataset& positions) {
                return positions.fieldByName(QStringLiteral("PP1_NUMBER")).asFloat() > 0;
            });
            qryData_.setFiltered(true);
            showReport(rptObshtestvenaPorachkaCenova);
        },
        [this] {
            if (qryData_.filtered())
                qryData_.setFiltered(false);
            qryData_.setFilter({});
        });
}

void TdmReports::showReport(report::Report& report) {
    if (output_) {
        report.prepareReport();
        output_(report);
        return;
    }
    report::PreviewQuestions questions;
    questions.saveFileName = [this](const QString& proposed, const QString& filter) {
        return dialogs_.saveFileName(proposed, filter);
    };
    questions.error = [this](const QString& text) { dialogs_.error(text); };
    questions.warning = [this](const QString& text) { dialogs_.warning(text); };
    // Laying out a lot of a thousand positions takes a second or more: the bidder sees it go and
    // may stop it, which only leaves the preview unshown.
    WaitProgress progress(nullptr, QStringLiteral("Подготовка на разпечатката…"));
    report.showReport([this](QDialog& preview) { dialogs_.showPreview(preview); },
                      std::move(questions),
                      [&progress](int done, int total) { return progress.report(done, total); });
}
