// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "offer/price_import.h"

#include <QString>

class Dialogs;

// The import of a filled price list as the bidder goes through it: the file is read, the
// preview shown with the question whether to store, the accepted positions stored and what was
// not stored reported. The client answers with dialogs, brx-offer from its arguments, tests
// from a script.
class PriceImportWorkflow {
public:
    PriceImportWorkflow(Dialogs& dialogs, data::Connection& connection,
                        const data::Dataset& qrySpecs);

    struct Report {
        bool read = false;   // the file was read and its rows matched
        bool stored = false; // the bidder confirmed and the accepted positions were stored
        priceimport::Preview preview;
        priceimport::Outcome outcome;
    };

    // Reads `path`; a file that cannot be read, or whose heads are not those of the price list,
    // is shown as an error and changes nothing. Otherwise asks, with the preview, whether to
    // store the accepted positions, and stores them on Yes. Nothing accepted: the preview is
    // shown as a warning instead.
    // `proceed` follows the storing and may stop it (see PriceImport::store). `reading` follows
    // the reading of the file and the matching of its rows, which take seconds for a sheet of
    // tens of thousands of rows; when it says to stop, nothing is shown and nothing changes.
    Report run(const QString& path, const priceimport::PriceImport::Progress& proceed = {},
               const priceimport::PriceImport::Progress& reading = {});

private:
    Dialogs& dialogs_;
    priceimport::PriceImport import_;
};
