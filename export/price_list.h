// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

#include <vector>

class Dialogs;
namespace data {
class Dataset;
}
namespace sheet {
struct Table;
}

// The columns of a lot's price list as a sheet: the bidder gets it filled with what the tender
// says and what is stored, fills it in a spreadsheet program, and the import reads it back by
// the same columns. One place decides which columns there are, so the two cannot drift apart.
namespace pricelist {

struct Column {
    QString head;    // the text of the column's head cell
    QString field;   // the column of the position row it shows; empty for the lot's code, which is
                     // the CUSTOM_CODE of the lot row
    bool number;     // a number column; otherwise text
    bool offerValue; // a value the bidder offers (imported); otherwise describes the position
    int decimals;    // for offered numbers: the decimals the tender gives the parameter
};

// The price list's columns for the tender row `tender`: the lot's code, the position's code,
// name, unit and quantity, with the tender's captions as heads where it has them; then the
// price and every offer parameter in use (type 2 text, type 3 number) in the order 2 ... 6,
// headed by their captions; last the position's key (its PRODUCT_CODE), by which the import
// finds a position that has no code. Heads are unique: where captions repeat, each of those
// columns has its number in the sheet (from 1) after its caption, in brackets.
std::vector<Column> columns(const data::Dataset& tender);

// The head of the lot code column, which no tender caption names.
QString lotCodeHead();
// The head of the key column, which asks the bidder to leave it as it is.
QString keyHead();

// The price list of the lot with code `lotCode` whose positions `positions` holds: the heads of
// columns(tender), then one row a position in the dataset's order with the lot's code, the
// position's code, name, unit and quantity, and what is stored now in each offered value, empty
// where nothing is. Texts are Text cells, numbers Number cells; offered numbers carry the
// decimals the tender gives them. The datasets do not move.
sheet::Table table(const data::Dataset& tender, const QString& lotCode,
                   const data::Dataset& positions);

// "CenovaTablica_" + company name in Latin letters + "_OP_" + lot code + ".xlsx".
QString proposedFileName(const QString& companyName, const QString& lotCode);

// Asks through `dialogs` where to save the price list of the lot `lots` stands on, whose
// positions `positions` holds, proposing proposedFileName, and writes it there: CSV when the
// name ends in .csv (numbers with the regional decimal separator), XLSX otherwise. Returns the
// path written; empty when the bidder cancelled. Throws sheet::WorkbookError.
QString saveTemplate(Dialogs& dialogs, const data::Dataset& tender, const data::Dataset& lots,
                     const data::Dataset& positions);

} // namespace pricelist
