// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace jet {

// Walks every page and row of a database file and says what does not add up: pages that nothing
// claims and Access would not leave behind, usage maps that list pages a table does not own or miss
// pages it does, row offsets outside their page or overlapping, free-space counts that differ from
// the gap on the page, relocation pointers that lead nowhere, long-value chains that break, loop or
// share rows, row counts that differ from the definition, index trees whose pages do not hold
// together and index entries that do not match the rows. Each problem is one sentence naming the
// page (and row); none means the file is sound. What the walk leaves unchecked (index keys it
// cannot encode, page types it does not read) goes to `notes`, if given. Throws Error only when the
// file cannot be read as a Jet 4 database.
std::vector<std::string> checkDatabase(const std::string& path,
                                       std::vector<std::string>* notes = nullptr);

class Database;
// The cheap part of that walk, for a database already open: the definition of every user table
// reads, and its live rows number what the definition counts. A page of rows lost to damage
// shows here, while every row still left reads well. Each problem one sentence, worded as
// checkDatabase words it; none when both hold.
std::vector<std::string> checkRowCounts(const Database& database);

} // namespace jet
