// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/offer_check.h"
#include "offer/price_import.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace data {
class Connection;
class Dataset;
} // namespace data

// The offer typed into an older tender file carried into the amended file the authority handed
// out since: the company data and tender parameters, the participation in lots and the offered
// values of the positions, lots and positions matched by PRODUCT_CODE. The old file is only
// read. A preview comes first and writes nothing; storing then goes through the checks of
// typing, the positions through the price import's own storing, all in one batch.
//
// A value is carried exactly as the old file holds it, or not at all: where the amended file
// asks for another kind of value, under another caption, or with fewer decimals than the value
// has, or where its limits refuse the value, the value is listed with the reason and stays for
// the bidder to type.
namespace offercarry {

// One value of the tender record or of a position, as the bidder reads it in the preview.
struct Value {
    QString lot;      // the lot's code in the new file (the old one for a position gone); empty
    QString position; // for the tender record; the position's code, empty for a lot or tender
    QVariant lotProductCode;
    QVariant productCode; // the position's PRODUCT_CODE; null for the tender record
    QString column;       // the column that holds the value
    QString caption;      // its caption in the new file (the old one when the new lacks it)
    QVariant value;       // what is carried, or would be
    QString reason;       // for a refused value: why it is not carried
};

// A descriptive value of a position that differs between the files.
struct Difference {
    QString caption;
    QString before;
    QString after;
};

// A position of the old file matched to one of the new whose description changed.
struct ChangedPosition {
    QString lot;
    QString position;
    QVariant lotProductCode;
    QVariant productCode;
    std::vector<Difference> differences;
};

// A lot or a position by its codes; for a lot `position` is empty.
struct Place {
    QString lot;
    QString position;
    QVariant lotProductCode;
    QVariant productCode;
};

struct Preview {
    QString oldFile;
    QVariant konkurs;
    std::vector<Value> tender;  // company data and tender parameters to carry
    std::vector<Place> lots;    // lots whose participation is carried
    std::vector<Place> newLots; // lots the old file does not have
    // The positions' offered values to carry, as the price import stores them.
    priceimport::Preview positions;
    QHash<QString, QString> captions; // of the offered values' columns, as the new file has them
    std::vector<ChangedPosition> changed;
    std::vector<Place> gone;  // positions of the old file's lots taken part in the new lacks
    std::vector<Place> added; // positions of lots taken part in that are new: still to price
    std::vector<Value> refused;
    int equal = 0; // values the new file holds already

    // How many values of the positions are carried.
    int positionValues() const;
    bool nothingToStore() const {
        return tender.empty() && lots.empty() && positions.accepted.empty();
    }
    // The counts of every group, then each group's lines.
    QString text() const;
};

struct Outcome {
    int tenderStored = 0;
    int tenderTotal = 0;
    int lotsStored = 0;
    int lotsTotal = 0;
    priceimport::Outcome positions; // its error is the pass's
    bool complete() const {
        return tenderStored == tenderTotal && lotsStored == lotsTotal && positions.complete();
    }
    QString text() const;
};

class OfferCarry {
public:
    // `connection` is the new tender file, open for writing to store, read-only for a preview.
    explicit OfferCarry(data::Connection& connection);
    ~OfferCarry();

    // Opens `oldFile` read-only and compares it with the new file. Throws data::Error when it
    // cannot be read or describes another tender (another KONKURS), naming both numbers.
    Preview preview(const QString& oldFile);
    // Stores everything `preview` accepts in one batch and reads it back to tell what holds its
    // new value. Errors are reported in the outcome, not thrown.
    Outcome store(const Preview& preview);

private:
    data::Connection& connection_;
    std::unique_ptr<data::Dataset> qrySpecs_;
    std::unique_ptr<priceimport::PriceImport> import_;
};

// What the carry leaves the bidder to look at, as lines of the offer check: each position whose
// description changed and each value refused. Positions still unpriced the check finds itself.
std::vector<offercheck::Problem> leftToLookAt(const Preview& preview);

} // namespace offercarry
