// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/workbook.h"

#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace data {
class Connection;
class Dataset;
} // namespace data

// Prices and offer values from a filled price list (the sheet of pricelist::columns) into the
// positions of the lots taken part in. A row names its lot by the lot's code, and its position
// within the lot by the position's key where the sheet has the key column and the row a key, by
// the position's code otherwise. A preview is made first and writes nothing; storing then posts
// each accepted position through the same check and post as typing, in one batch.
//
// An empty cell leaves the stored value as it is: a sheet that covers only the prices, or only
// some columns, never erases what was typed before. A value cannot be cleared by an import.
namespace priceimport {

// A row of the sheet, or one value of it, that is not taken.
struct Refusal {
    int sheetRow = 0; // as a spreadsheet program numbers it: the heads are row 1; 0 for none
    QString lot;      // the codes as the sheet gives them
    QString position;
    QString column; // the head of the refused value; empty when the whole row is refused
    QString reason;
    QString name; // the position's name, which names it where it has no code
};

// A position of a lot the sheet concerns for which the sheet has no row.
struct Uncovered {
    QString lot;
    QString position;
    QString name;
};

// A matched position whose every value passes: what storing it writes.
struct PositionValues {
    int sheetRow = 0;
    QString lot;
    QString position;
    QVariant lotProductCode;
    QVariant productCode; // the position's, by which storing finds it: a code may be missing
    std::vector<std::pair<QString, QVariant>> values; // field name, new value
    QString name;
};

struct Preview {
    int rows = 0;      // rows of the sheet below the heads that hold anything
    int matched = 0;   // rows whose codes name a position of a lot taken part in
    int unchanged = 0; // matched rows that change no value: nothing to store
    std::vector<PositionValues> accepted;
    std::vector<Refusal> refused; // in the order of the sheet's rows
    std::vector<Uncovered> uncovered;
    // Which sheet was read (XLSX) or the decimal separator its numbers were read with (CSV), as
    // the bidder is told it.
    QString source;

    // Rows with at least one refusal.
    int refusedRows() const;
    // Everything above as the bidder reads it: the source and the counts, then the refusals and
    // the positions not covered, each list up to its first kListed lines and the count of the
    // rest.
    QString text() const;
};

// How many lines of one kind the texts list; the rest are counted. A sheet of 200,000 refused
// rows is read as well as one of ten, and its text stays one a person reads.
inline constexpr std::size_t kListed = 200;

struct Outcome {
    int stored = 0; // accepted positions that now hold their new values in the file
    // Accepted positions that hold their previous values: the post refused them, or an error
    // ended the pass first.
    std::vector<Refusal> notStored;
    // Accepted positions that hold neither their previous values nor the new ones.
    std::vector<Refusal> storedOtherwise;
    QString error; // what ended the pass before its end, or kept it from being made durable
    QString text() const;
    bool complete() const {
        return notStored.empty() && storedOtherwise.empty() && error.isEmpty();
    }
};

class PriceImport {
public:
    // `qrySpecs` is the open tender record the position check reads.
    PriceImport(data::Connection& connection, const data::Dataset& qrySpecs);
    ~PriceImport();

    // Told after each step how many of them have been made; false stops.
    using Progress = std::function<bool(int done, int total)>;
    // Matches the rows of `table` to positions. Throws data::Error when the heads lack the lot
    // code, the position code or every offer value, or name one of them twice. `proceed` is told
    // after each row matched to a lot; when it says to stop, throws sheet::ReadingStopped.
    Preview preview(const sheet::Table& table, const Progress& proceed = {});
    // Stores the accepted positions of `preview`, `proceed` told after each, and reads them back
    // to tell which hold their new values. A value a post refuses is reported in the outcome,
    // and the others are stored; anything else that ends the pass (the file cannot be written or
    // is damaged, `proceed` says to stop, or `firstInBatch` throws) puts the file back as it
    // was, byte for byte, and the outcome says so. `firstInBatch` runs inside the same batch
    // before the positions, for a caller that stores more than positions under the one lock and
    // sync.
    Outcome store(const Preview& preview, const std::function<void()>& firstInBatch = {},
                  const Progress& proceed = {});

private:
    void openPositions(const QVariant& lotProductCode);

    data::Connection& connection_;
    const data::Dataset& qrySpecs_;
    QSet<QString> singleColumns_; // the offer columns the file stores as Single
    std::unique_ptr<data::Dataset> positions_;
};

} // namespace priceimport
