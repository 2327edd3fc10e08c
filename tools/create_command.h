// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace tenderdb {

// tenderdb create [--column-order authority|reversed|alphabetical] [--drop TABLE.COLUMN]...
//                 [--retype TABLE.COLUMN=TYPE]... [--inline-maps BYTES] [--force]
//                 DESC.json OUT.mdb
// Writes the tender described in DESC.json to a new file; notes (an index left out) go to
// standard error. Throws jet::Error on a description that does not fit; std::invalid_argument
// on wrong usage.
void createCommand(const std::vector<std::string>& args);

// A tender file holds a bidder's work: the commands that write new files replace an existing
// one only when told to (--force). Throws jet::Error otherwise.
void refuseToReplace(const std::string& path, bool force);

} // namespace tenderdb
