// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the reader as if they were a tender file: open, list the tables,
// read every definition, scan every row and format every value as `tenderdb dump` does. A
// jet::Error is the expected answer to damage; anything else (a crash, a sanitizer report, a
// hang, another exception) is a finding.

#include "fuzz/memory_file.h"
#include "jet/database.h"
#include "tools/csv_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setInput(data, size);
    try {
        jet::Database db(fuzz::inputPath(), jet::Database::Mode::ReadOnly);
        for (const std::string& name : db.tableNames()) {
            try {
                jet::TableDef def = db.table(name);
                std::size_t formatted = 0;
                db.scan(def, [&](jet::RowId, const jet::Row& row) {
                    for (std::size_t i = 0; i < row.size(); ++i)
                        formatted += tenderdb::csvValue(def.columns[i], row[i]).size();
                });
            } catch (const jet::Error&) {
                // One damaged table must not hide the others.
            }
        }
    } catch (const jet::Error&) {
    }
    return 0;
}
