// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QString>

#include <vector>

// The tender the import tests price, and hostile price lists for it that a test reads by their
// outcome and a benchmark times: each a few kilobytes on disk, made here, none kept as a file.
namespace importsheets {

// Offer values: the price with 2 decimals; "Марка" text that must be filled in (limit 5);
// "Срок" a whole number greater than 0 (limit 2). Lots:
//   1 (100), taken part in: "1" priced 5, "Старо", 10; "2" and "3" unpriced;
//   2 (200), not taken part in: "1" unpriced;
//   3 (300), taken part in: "1" priced 1, "X", 1.
// The heads of its price list: "Обособена позиция", "Номер", "Цена", "Марка", "Срок".
nlohmann::json importTender();

struct HostileSheet {
    const char* name;
    QString fileName; // .xlsx or .csv, as a bidder would name it
    QByteArray bytes;
};

// The price lists that broke the import or slipped past its checks, one each (CSV numbers with
// the regional decimal separator, shown here as ','):
//   nested-value, nested-text    80,000 elements nested in a value, in a text
//   shared-formula               a 30,000-character formula shared by 20,000 price cells
//   shared-lot-code              a 32,767-character lot code shared by 20,000 rows
//   shared-long-number           a 32,767-digit text shared by 20,000 price cells
//   row-number-near-int-min      a row numbered -2147483647
//   cell-in-extension            the price 0.05 in sheetData, 0.09 in an extension
//   row-of-another-namespace     the price 0.05, and 0.09 in a row of another namespace
//   lone-surrogate-utf16-sheet   half a surrogate pair in a sheet part written in UTF-16
//   lone-surrogate-utf16-csv     the same in a CSV file
//   trillionth-price-csv         the price 0,000000000001
//   huge-price                   the price 1e308
//   seventeen-digit-price        the price 4.3499999999999996, which a program shows as 4.35
//   price-of-a-hidden-sheet      the price 0.05, and 9.99 in a hidden sheet before it
//   price-given-twice            the price cell given twice, 9.99 and then 0.05
//   escaped-nul-in-a-text        "Марка" holding _x0000_
//   grouped-price-csv            the price 1.234 (the other mark grouping or a decimal point)
//   tenth-of-whole-number-csv    "Срок" 1000000000,4
std::vector<HostileSheet> hostileSheets();

} // namespace importsheets
