// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the row decoder as one stored row of a real table: the first byte
// picks the table, the rest is the row. Rows are where most of a file's bytes are, and this
// target reaches them far faster than whole files do: the row layout, every column type, memo
// and OLE pointers followed into the real file's pages, and the CSV form of every value.

#include "jet/database.h"
#include "jet/row_codec.h"
#include "tools/csv_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Table {
    std::shared_ptr<jet::Database> db;
    jet::TableDef def;
};

// Tables of the shared files that hold every column type the reader decodes between them.
const std::vector<Table>& tables() {
    static const std::vector<Table> all = [] {
        std::vector<Table> out;
        for (const char* name : {"testV2000.mdb", "DateTestDatabase.mdb",
                                 "fixedNumericTestV2000.mdb", "test2V2000.mdb"}) {
            auto db = std::make_shared<jet::Database>(
                std::string(BRX_SHARED_DIR "/mdb/real/") + name, jet::Database::Mode::ReadOnly);
            for (const std::string& table : db->tableNames())
                out.push_back({db, db->table(table)});
        }
        return out;
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const Table& table = tables()[data[0] % tables().size()];
    try {
        jet::Row row = jet::decodeRow(table.db->file(), table.def, {data + 1, size - 1}, "row");
        for (std::size_t i = 0; i < row.size(); ++i)
            tenderdb::csvValue(table.def.columns[i], row[i]);
    } catch (const jet::Error&) {
    }
    return 0;
}
