// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace exporttest {

// One finished run of brx-offer.
struct ProgramRun {
    int status = -1; // -1 when it crashed or did not end within its bound
    QString out;
    QString err;
};

// Runs `program` (brx-offer unless told) in `folder` under `locale`, without a display and with
// no Qt platform chosen, as on a server; a run not ended within `boundMs` is ended.
ProgramRun brxOffer(const QStringList& arguments, const QString& folder,
                    const QByteArray& locale = "bg_BG.UTF-8",
                    const QString& program = QStringLiteral(BRX_OFFER_PROGRAM),
                    int boundMs = 60000);

} // namespace exporttest
