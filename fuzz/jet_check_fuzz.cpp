// SPDX-License-Identifier: Apache-2.0
// Holds the walk of `tenderdb check` to the reader over arbitrary bytes: a file the walk calls
// sound must read whole. Every table is listed and its definition read, every row scanned and
// read again by its id, and every answer of a single-column index names exactly rows holding the
// value looked up, the row it was looked up from among them. A file the walk calls sound that
// the reader then refuses or reads otherwise is a finding, as is a crash, a sanitizer report or
// a hang of either. The walk may find damage where the reader finds none (maps, free space,
// index entries it does not need): that is no finding.
//
// Seeded like jet_reader_fuzz, from the shared files (see README.md).

#include "fuzz/memory_file.h"
#include "jet/check.h"
#include "jet/database.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "check called the file sound, but %s\n", what.c_str());
    std::abort();
}

void readWhole(const std::string& path) {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames()) {
        const jet::TableDef def = db.table(name);
        std::vector<std::pair<jet::RowId, jet::Row>> rows;
        db.scan(def, [&](jet::RowId id, const jet::Row& row) { rows.emplace_back(id, row); });
        for (const auto& [id, row] : rows)
            if (db.read(def, id) != row)
                finding("a row of " + name + " reads otherwise by its id than in a scan");
        for (std::size_t c = 0; c < def.columns.size(); ++c)
            for (const auto& [id, row] : rows) {
                if (jet::isNull(row[c]))
                    continue;
                const auto found = db.findThroughIndex(def, c, row[c]);
                if (!found)
                    break; // no index over the column, or one that cannot answer
                if (std::find(found->begin(), found->end(), id) == found->end())
                    finding("the index of " + def.columns[c].name + " misses a row");
                for (jet::RowId other : *found)
                    if (db.read(def, other)[c] != row[c])
                        finding("the index of " + def.columns[c].name + " names another row");
            }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setInput(data, size);
    try {
        if (!jet::checkDatabase(fuzz::inputPath()).empty())
            return 0;
    } catch (const jet::Error&) {
        return 0; // not a Jet 4 file at all
    }
    try {
        readWhole(fuzz::inputPath());
    } catch (const jet::Error& error) {
        finding(std::string("the reader refuses it: ") + error.what());
    }
    return 0;
}
