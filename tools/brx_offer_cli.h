// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the programs behind brx-offer share: the arguments of the commands that work on one lot,
// the tender lot opened as the client opens it, the answers to the workflows' questions taken
// from the command line, and the run of one command with its exit code.

#include "data/connection.h"
#include "data/dataset.h"
#include "export/offer_export.h"
#include "ui/dialogs.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>

namespace brxoffer {

// Writes `text` to `stream` in UTF-8 with "\n" line ends, ending with one.
void print(std::FILE* stream, const QString& text);

// A command line that does not say what to do: exit code 2 and the usage text.
struct UsageError {
    QString message;
};

// What the command line says, for the commands that work on one lot of one tender file.
struct LotArguments {
    QString file;
    QString lotCode;
    int offerType = NoOfferType;
    QString output; // empty: the proposed name in the current folder
};

// `offerTypeNeeded`: the command writes an offer and needs --type; the others refuse it.
LotArguments parseLotArguments(const QStringList& args, bool offerTypeNeeded = true);

// Two files and an optional --dry-run, as import and carry take them; `expected` names the two
// files for a usage error.
struct DryRunArguments {
    QStringList files;
    bool dryRun = false;
};

DryRunArguments parseDryRunArguments(const QStringList& args, const QString& expected);

// The tender file opened read-only, with the datasets of the main window standing on the lot
// whose code the bidder gave, as the lots page would after the bidder chose it. Given
// `positionFields`, the positions have only those fields.
class TenderLot {
public:
    TenderLot(const QString& file, const QString& lotCode, const QStringList& positionFields = {});

    OfferSources sources();
    data::Connection& connection() { return connection_; }
    data::Dataset& specs() { return *qrySpecs; }
    data::Dataset& lots() { return *qryObosobeniPozicii; }
    data::Dataset& positions() { return *qryData; }

private:
    bool locateLot(const QString& lotCode);

    data::Connection connection_;
    std::unique_ptr<data::Dataset> qrySpecs;
    std::unique_ptr<data::Dataset> qryObosobeniPozicii;
    std::unique_ptr<data::Dataset> qryData;
};

// The workflow's questions answered from the command line: the offer type and the path come
// from the arguments, messages go to standard error, and nothing is confirmed.
class ArgumentDialogs : public Dialogs {
public:
    ArgumentDialogs(int offerType, QString output, bool storeImport = false)
        : offerType_(offerType), output_(std::move(output)), storeImport_(storeImport) {}

    bool failed() const { return failed_; }

    bool confirm(const QString& text) override;
    // The import's question; the answer is whether --dry-run was left out.
    bool confirmWithDetails(const QString&, const QString&) override { return storeImport_; }
    // A choice comes from an option of its own: the box stays unticked.
    std::optional<bool> confirmWithChoice(const QString&, const QString&, const QString&) override {
        return storeImport_ ? std::optional<bool>(false) : std::nullopt;
    }
    void warning(const QString& text) override;
    void error(const QString& text) override;
    // The details are what the command prints on standard output itself: they are not said
    // twice.
    void warningWithDetails(const QString& text, const QString&) override { warning(text); }
    void errorWithDetails(const QString& text, const QString&) override { error(text); }
    int chooseOfferType(const QString&) override { return offerType_; }
    QString saveFileName(const QString& proposedPath, const QString&) override {
        return output_.isEmpty() ? proposedPath : output_;
    }
    QString openFileName(const QString&, const QString&) override { return QString(); }
    void showPreview(QDialog&) override;
    // brx-offer sign asks for the PIN itself, from --pin-file or the terminal.
    std::optional<QByteArray> askPin(const QString&) override { return std::nullopt; }

private:
    int offerType_;
    QString output_;
    bool storeImport_;
    bool failed_ = false;
};

using Command = std::function<int(const QStringList& args)>;

// Qt's messages limited to its errors: brx-offer tells its user everything in messages of its
// own. To be installed before the application object is made.
void onlyQtErrors(QtMsgType type, const QMessageLogContext&, const QString& text);

// Runs the command that the application's first argument names among `commands` with the other
// arguments, and returns its exit code: 2 with the usage text for a command line that says
// nothing this program does, 1 with its message for a failure.
int runCommand(const std::map<QString, Command>& commands);

} // namespace brxoffer
