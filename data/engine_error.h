// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/error.h"
#include "jet/error.h"

#include <QString>

namespace data {

// What an error of the engine means to the bidder, in Bulgarian: the file that cannot be
// reached and why, the field whose value does not fit, or that the file is damaged. For damage
// a second line carries the engine's own words (file, page, structure) for support.
QString bidderMessage(const jet::Error& error);

// Whether the error is about a value (it does not fit its column, or the column is not
// changed) rather than about the file.
bool isAboutAValue(const jet::Error& error);

// Runs `call`, which reaches the engine, and turns an engine error into a data::Error holding
// bidderMessage, a FileError where the error is about the file: the engine's messages never
// reach the bidder as they are.
template <typename Call> decltype(auto) engineCall(Call&& call) {
    try {
        return call();
    } catch (const jet::Error& error) {
        if (isAboutAValue(error))
            throw Error(bidderMessage(error));
        throw FileError(bidderMessage(error));
    }
}

} // namespace data
