// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "print/report_source.h"
#include "report/report.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Dialogs;
namespace data {
class Connection;
class Dataset;
} // namespace data

// The reports module: the printed offers, the tender record they are printed from and the
// report datasets "Specs" and "Data" through which their templates read the tender and the
// positions of the current lot.
class TdmReports : public QObject {
    Q_OBJECT
public:
    // Where a file delivered with the program lies, by its name.
    using ProgramFile = std::function<QString(const QString& fileName)>;

    // `qryData` is the main window's positions dataset, `connection` its connection to the
    // tender file. The templates are read by DataModuleCreate.
    TdmReports(data::Connection& connection, data::Dataset& qryData, Dialogs& dialogs,
               ProgramFile programFile = {}, QObject* parent = nullptr);
    ~TdmReports() override;

    // Reads the technical offer's template rep2.fr3, then the price offer's rep1.fr3, from the
    // program's folder. The first that cannot be read ends it with its error, so a missing
    // rep2.fr3 leaves both reports as they were made: empty.
    void DataModuleCreate();

    // Asks for the offer type and shows the chosen offer in the preview, returning when the
    // preview is closed. The price offer lists only the priced positions of the lot: qryData is
    // filtered while its preview is open, and all positions show again afterwards.
    void PrintObshtestvenaPorachka();

    // Where a printed offer goes once its pages are prepared: unless set, to the preview, from
    // which the bidder prints or exports it. brx-offer sends it to a PDF file instead.
    using Output = std::function<void(const report::Report& prepared)>;
    void setOutput(Output output) { output_ = std::move(output); }

    report::Report rptObshtestvenaPorachkaCenova;
    report::Report rptObshtestvenaPorachkaTehnicheska;
    std::unique_ptr<data::Dataset> qrySpecs;
    DatasetReportSource dsSpecs;
    DatasetReportSource dsData;

private:
    void printOffer(int offerType);
    void showReport(report::Report& report);

    data::Dataset& qryData_;
    Dialogs& dialogs_;
    ProgramFile programFile_;
    Output output_;
};
