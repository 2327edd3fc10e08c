// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/table_def_writer.h"
#include "jet/value.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

// An index of a table to be created, over one long integer column.
struct NewIndex {
    std::string name;
    std::string column;
    bool primaryKey = false; // unique and required: every row needs a distinct value
};

// A table to be created with its rows, each row holding one value per column in the order of
// `columns`. A null in an autonumber column is given the next number.
struct NewTable {
    std::string name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
    std::vector<Row> rows;
};

struct CreateOptions {
    // The creation time written to the header and the catalog, in days since 1899-12-30; the
    // current time when unset. Fix it to get the same bytes from the same tables.
    std::optional<double> created;
    // Every usage map inline with a bitmap of this many bytes, its row beside the global map on
    // page 1 while there is room, as some writers make files; Access's own form when unset. A
    // map whose pages lie further apart than such a bitmap reaches throws Error.
    std::optional<std::size_t> inlineMapBytes;
};

// What was built otherwise than asked, one sentence each (an index left out and why).
struct CreateResult {
    std::vector<std::string> notes;
};

// Writes a new Jet 4 database at `path` holding the given user tables, with the system catalog
// (containers, the system tables and a row per table) that readers use to find them. Rows are
// packed into data pages in the order given; memo values longer than a short inline value go
// to long-value pages. An index over a long integer column is written as a tree of index pages;
// one over another column is left out with a note.
//
// Every value is checked against its column first; one that does not fit throws Error naming
// the table, the row (counted from 1) and the column, and then nothing is written. The file
// appears complete or not at all: it is built in memory and renamed into place.
CreateResult createDatabase(const std::string& path, const std::vector<NewTable>& tables,
                            const CreateOptions& options = {});

} // namespace jet
