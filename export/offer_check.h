// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

namespace data {
class Connection;
class Dataset;
} // namespace data

// Every problem of the offer at once, across all lots taken part in, so that the bidder can
// correct them before exporting lot after lot. Built from the same checks that guard the export
// and the saving of a position; nothing here decides a rule of its own.
namespace offercheck {

// What a problem belongs to, which is where the bidder corrects it.
enum class Where {
    File,     // the tender file itself is damaged: nothing the bidder types corrects it
    Tender,   // the tender record: the company name or a tender parameter
    Lot,      // a lot as a whole, which the export would refuse
    Position, // one position of a lot
};

// How the bidder knows the current position of `positions`: by its number (CUSTOM_CODE), or by
// its name in quotes where it has none.
QString positionName(const data::Dataset& positions);

struct Problem {
    Where where = Where::Tender;
    QString lotCode;      // the lot's CUSTOM_CODE; empty for the tender
    QVariant lot;         // the lot's PRODUCT_CODE, by which it is found again
    QString positionCode; // the position's name as positionName gives it; empty unless a position's
    QVariant position;    // the position's PRODUCT_CODE
    QString column;       // the column of the value to correct; empty when it is no one value
    QString caption;      // the caption the tender gives that value
    QString message;
    // Worth the bidder's look, but no reason the offer could not be submitted (a price above the
    // authority's estimate).
    bool warning = false;

    // The value as the lists name it: its caption and, in brackets, its column.
    QString field() const;
};

// Whether a position goes into the offer file, as the export decides it.
using PositionFilled = std::function<bool(const data::Dataset& qryData)>;

// The problems in the order the bidder meets them: first the damage of the file itself (a table
// whose rows do not number what its definition counts, or whose definition does not read), since
// whatever else the check says of a damaged file is said of what is left of it; the tender
// record's broken rules, its texts that an offer file cannot carry as they stand and its numbers
// that typing could never have stored (an infinity, a NaN, more than 15 significant digits); then,
// for every lot taken part in, in lot order, the lot's own (the export's refusal, or no positions
// at all), then its positions in position order: each number no typing could have stored, each one
// not filled, and each rule a filled one
// breaks, each of its numbers holding more decimals than its input takes, each of its texts that
// an offer file cannot carry, a price above 0 that its column's decimals show as 0, and (as a
// warning) a price above the authority's estimate MAX_CENA where the tender gives one.
// `qrySpecs` is an open tender dataset, read with an edit not yet stored; the lots and positions
// are read from the file of `connection` by datasets of their own, so those of the caller stay
// where they stand. Nothing is written.
std::vector<Problem> offerProblems(const data::Dataset& qrySpecs, data::Connection& connection,
                                   const PositionFilled& PoziciaIsFill);

} // namespace offercheck
