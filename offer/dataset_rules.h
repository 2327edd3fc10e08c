// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QLocale>
#include <QString>

#include <functional>

namespace data {
class Dataset;
class Field;
} // namespace data

// The rules that hang on the main window's lots and positions: the display formats of the
// offered numbers, the check that guards every save of a position, the lot status and the
// trimming of typed text.
namespace offer {

// The regional settings whose decimal separator the lot status shows. They are asked for at
// every calculation, so a change of the system's settings shows at the next one; tests hand in
// settings of their own.
using RegionalSettings = std::function<QLocale()>;

// Hangs the rules on the datasets of the main window, once, when they are made: qryData gets its
// display formats before every opening and the position check before every post,
// qryObosobeniPozicii the lot status. qryData's calculated fields get no rule and read null.
void installDatasetRules(data::Dataset& qrySpecs, data::Dataset& qryObosobeniPozicii,
                         data::Dataset& qryData, RegionalSettings regional = &QLocale::system);

// PP1_NUMBER ... PP6_NUMBER of the positions show with the decimals that the tender record
// gives each offer parameter in PPn_RAZRYAD.
void qryDataBeforeOpen(data::Dataset& qryData, const data::Dataset& qrySpecs);

// Refuses the save of a position that breaks the position check with a data::Error whose text
// is exactly the check's text. The save then writes nothing, the typed values stay in the edit
// buffer and whatever asked for the save stops there.
void qryDataBeforePost(const data::Dataset& qryData, const data::Dataset& qrySpecs);

// The status of the lot row of `lots` (the one being calculated): "-" when the bidder does not
// take part in it; the sum of its unit prices when every position is priced; otherwise that
// not all are.
QString lotStatus(const data::Dataset& lots, const QLocale& regional);
void qryObosobeniPoziciiCalcFields(data::Dataset& lots, const QLocale& regional);

// Whether the current position of `qryData` is complete enough to go into an offer file: it
// must carry a price greater than 0. Nothing more is demanded: every stored position has passed
// the position check, and a stricter test would silently drop priced positions from the offer.
bool PoziciaIsFill(const data::Dataset& qryData);

// Removes leading and trailing spaces and control characters from a text field being edited:
// writes nothing when there are none, sets null when nothing else is left.
void TrimField(data::Field& field);

} // namespace offer
