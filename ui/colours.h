// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QColor>
#include <QString>

// The colours by which the bidder tells what to fill in from what the tender states.
namespace colours {

inline const QColor kTender(0xFF, 0xE8, 0xEA); // the tender's read-only descriptions
inline const QColor kOffer(0xE9, 0xFE, 0xE7);  // what the bidder fills in

// A widget's style sheet for the background `colour`.
inline QString background(const QColor& colour) {
    return QStringLiteral("background-color: %1;").arg(colour.name().toUpper());
}

} // namespace colours
