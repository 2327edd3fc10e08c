#pragma once

#include <QString>

#include <vector>

namespace data {
class Dataset;
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
// headed by their captions.
std::vector<Column> columns(const data::Dataset& tender);

// The head of the lot code column, which no tender caption names.
QString lotCodeHead();

} // namespace pricelist
