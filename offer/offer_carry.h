// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/offer_check.h"
#include "offer/price_import.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
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
// read. A preview comes first and writes nothing; storing then writes what it accepts in one
// batch, the price import's, which a failure of the file rolls back whole.
//
// Each value is carried on its own, exactly as the old file holds it, wherever the amended file's
// column for it takes it (the kind, the decimals, the limit), even where another value of the
// same position is refused or newly asked for: such a position is stored incomplete and the
// offer check names what it still needs. A value whose column is gone, asks for another kind or
// has fewer decimals than the value, or whose limit refuses it, is listed with the reason and
// stays for the bidder to type. A value the new file holds differently already is carried only
// when the bidder chooses the old file's values.
namespace offercarry {

// One value of the tender record or of a position, as the bidder reads it in the preview.
struct Value {
    QString lot;      // the lot's code in the new file (the old one for a position gone); empty
    QString position; // for the tender record; the position's code (its name in quotes where
                      // it has none), empty for a lot or tender
    QVariant lotProductCode;
    QVariant productCode; // the position's PRODUCT_CODE; null for the tender record
    QString column;       // the column that holds the value
    QString caption;      // its caption in the new file (the old one when the new lacks it)
    QVariant value;       // what is carried, or would be
    QString reason;       // for a refused value: why it is not carried
    QVariant replacing;   // what the new file holds in its place; null when it holds nothing

    // Whether the new file holds another value in its place already.
    bool replaces() const;
};

// Whether the values the new file holds differently already stay or give way to the old file's.
// They stay unless the bidder chooses otherwise: they are the newer.
enum class Replacements { KeepNew, TakeOld };

// A descriptive value of a position that differs between the files.
struct Difference {
    QString caption;
    QString before;
    QString after;
};

// A value asked for under another caption in the new file, carried all the same.
struct Renamed {
    QString column;
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
    QString position; // the position's code, or its name in quotes where it has none
    QVariant lotProductCode;
    QVariant productCode;
};

// A position of the new file with the old file's values its columns take.
struct Position {
    Place place;
    std::vector<Value> values;
    // What the position still lacks once stored, as the position check words it: the values the
    // new file asks for that the old file does not hold or holds refused.
    QStringList stillNeeds;
};

struct Preview {
    QString oldFile;
    QVariant konkurs;
    std::vector<Value> tender;       // company data and tender parameters to carry
    std::vector<Place> lots;         // lots whose participation is carried
    std::vector<Place> newLots;      // lots the old file does not have
    std::vector<Position> positions; // with offered values to carry, in the new file's order
    std::vector<Renamed> renamed;
    std::vector<ChangedPosition> changed;
    std::vector<Place> gone;  // positions of the old file's lots taken part in the new lacks
    std::vector<Place> added; // positions of lots taken part in that are new: still to price
    std::vector<Value> refused;
    int equal = 0; // values the new file holds already

    // How many values of the positions are carried, those that replace another included.
    int positionValues() const;
    // The values, of the tender record and of the positions, that replace another.
    int replacements() const;
    bool nothingToStore() const { return tender.empty() && lots.empty() && positions.empty(); }
    // The counts of every group, then each group's lines.
    QString text() const;
};

struct Outcome {
    int tenderStored = 0;
    int tenderTotal = 0;
    int lotsStored = 0;
    int lotsTotal = 0;
    priceimport::Outcome positions; // its error is the pass's; its positions as the carry's
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

    // Opens `oldFile` read-only and compares it with the new file. Throws data::Error when
    // either cannot be read, gives a PRODUCT_CODE twice, or describes another tender (another
    // KONKURS), naming both numbers; the message says which of the files it means.
    Preview preview(const QString& oldFile);
    // Stores everything `preview` accepts in one batch, the values that replace another only
    // with Replacements::TakeOld, and reads it back to tell what holds its new value. Errors
    // are reported in the outcome, not thrown.
    Outcome store(const Preview& preview, Replacements replacements = Replacements::KeepNew);

private:
    void storePositions(const Preview& preview, Replacements replacements,
                        QHash<const Position*, QString>& postErrors);
    void readPositionsBack(const Preview& preview, Replacements replacements,
                           const QHash<const Position*, QString>& postErrors, Outcome& outcome);

    data::Connection& connection_;
    std::unique_ptr<data::Dataset> qrySpecs_;
    std::unique_ptr<priceimport::PriceImport> import_;
    QSet<QString> singleColumns_; // the offer columns the new file stores as Single
};

// What the carry leaves the bidder to look at, as lines of the offer check: each position whose
// description changed, each renamed caption and each value refused. Positions still unpriced
// or incomplete the check finds itself.
std::vector<offercheck::Problem> leftToLookAt(const Preview& preview);

} // namespace offercarry
