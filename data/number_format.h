#pragma once

#include <QChar>
#include <QString>

namespace data {

// Formats a number through a display format of the kind the tender's fields carry, such as
// "# ### ##0.00" or "# ##0.#####": '0' is a digit always shown, '#' a digit shown when
// significant, a space in the integer part groups the integer digits by threes with a space,
// and '.' starts the decimals, which are written with `decimalPoint`. An empty format gives the
// shortest form that reads back as the same number.
QString formatNumber(double value, const QString& format, QChar decimalPoint);

// The display format of a number parameter with `decimals` decimal places: "# ### ##0", and for
// decimals > 0 a point and that many zeros ("# ### ##0.00" for 2). A count above
// kMaxDisplayDecimals, which only a damaged tender states, counts as kMaxDisplayDecimals.
QString numberDisplayMask(qint64 decimals);
inline constexpr qint64 kMaxDisplayDecimals = 15;

// The digits of a number, before and after its decimal point together, that a double holds
// exactly and the offer file writes as they are (it writes 15 significant digits). A number with
// more is not the number the bidder gave.
inline constexpr qint64 kMaxNumberDigits = 15;

} // namespace data
