// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "offer/offer_carry.h"

#include <QString>

#include <optional>

class Dialogs;

// The carry of an offer from an older tender file as the bidder goes through it: the old file
// is read, the preview shown with the question whether to store, everything accepted stored and
// what was not stored reported. The client answers with dialogs, brx-offer from its arguments,
// tests from a script.
class OfferCarryWorkflow {
public:
    OfferCarryWorkflow(Dialogs& dialogs, data::Connection& connection);

    struct Report {
        bool read = false;   // the old file was read and compared
        bool stored = false; // the bidder confirmed and the accepted values were stored
        offercarry::Preview preview;
        offercarry::Replacements replacements = offercarry::Replacements::KeepNew;
        offercarry::Outcome outcome;
    };

    // Reads `oldFile`; a file that cannot be read or is of another tender is shown as an error
    // and changes nothing. Otherwise asks, with the preview, whether to store, and stores on
    // Yes. Nothing to store: the preview is shown as a warning instead. Where the new file holds
    // values differently already, `replacements` says which stay; without it the bidder
    // chooses beside the question, the new file's kept unless the box is ticked.
    Report run(const QString& oldFile,
               std::optional<offercarry::Replacements> replacements = std::nullopt);

private:
    Dialogs& dialogs_;
    offercarry::OfferCarry carry_;
};
