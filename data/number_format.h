// SPDX-License-Identifier: Apache-2.0
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

// A stored value through `format`, with more decimals than the format shows when the value holds
// more: 11.999 through "# ##0.00" reads "11.999", never "12.00", which is not what is stored.
QString formatStoredNumber(double value, const QString& format, QChar decimalPoint);

// The display format of a number parameter with `decimals` decimal places: "# ### ##0", and for
// decimals > 0 a point and that many zeros ("# ### ##0.00" for 2). A count above
// kMaxDisplayDecimals, which only a damaged tender states, counts as kMaxDisplayDecimals.
QString numberDisplayMask(qint64 decimals);

// The decimal places `value` holds in its shortest form: 2 for 11.99, 3 for 11.999, 0 for 12; at
// most kMaxDisplayDecimals. A display format with fewer would show the value as another one.
qint64 decimalsOf(double value);
inline constexpr qint64 kMaxDisplayDecimals = 15;

// The digits of a number, before and after its decimal point together, that a double holds
// exactly and the offer file writes as they are (it writes 15 significant digits). A number with
// more is not the number the bidder gave.
inline constexpr qint64 kMaxNumberDigits = 15;
// The significant digits of the shortest form that reads back as `value`: 1 for 0.001 and for
// 1200, 17 for 0.30000000000000004. 0 for an infinity or a NaN, which have none.
qint64 significantDigitsOf(double value);

} // namespace data
