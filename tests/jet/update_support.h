// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the update tests share: the rows of a table as our reader and as mdb-export see them,
// in one comparable form.

#include "jet/database.h"
#include "tests/jet/test_files.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace jettest {

// One row as text fields in the order of the table's columns: what mdb-export prints without
// quotes (null and empty text alike as nothing, yes/no as 1 or 0), doubles normalised so that
// the two sides' number formatting cannot differ.
using Record = std::vector<std::string>;

// The rows of `table` in a canonical order, as mdb-export lists them. Throws when mdb-export
// fails or writes a warning other than its note about Access's empty deleted rows.
std::vector<Record> exportRecords(const std::filesystem::path& file, const jet::TableDef& table);

// The same form made from rows that our reader returned or a test expects.
std::vector<Record> recordsOf(const jet::TableDef& table, const std::vector<jet::Row>& rows);

// Every row of the table by its row id, as our reader lists them.
std::map<jet::RowId, jet::Row> readRows(const jet::Database& db, const jet::TableDef& table);

std::vector<jet::Row> valuesOf(const std::map<jet::RowId, jet::Row>& rows);

// A writable copy of a shared file in a temporary folder that is removed with it.
class FileCopy {
public:
    explicit FileCopy(const std::string& sharedName)
        : path_(folder_.write("copy.mdb", fileBytes(sharedFile(sharedName)))) {}
    const std::filesystem::path& path() const { return path_; }

private:
    TempFolder folder_;
    std::filesystem::path path_;
};

// Makes every map a row moving to a new page touches grow as it records that page: the table's
// owned pages become an inline map whose reach ends before the new page, its pages with free
// space an empty reference map, which needs a bitmap page for it, and page 1 is left without
// room for the global map to lengthen, which must become a reference map. The file is
// lengthened, sparsely, past the inline maps' reach. For the tender sample's PREDLOGENIA.
void leaveNoMapRoomToGrow(const std::string& path);

// Text of `count` repetitions of a UTF-8 character or string.
std::string repeat(const std::string& unit, std::size_t count);

} // namespace jettest
