// Feeds arbitrary bytes to the reader as if they were a tender file: open, list the tables,
// read every definition, scan every row and format every value as `tenderdb dump` does. A
// jet::Error is the expected answer to damage; anything else (a crash, a sanitizer report, a
// hang, another exception) is a finding.

#include "jet/database.h"
#include "tools/csv_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input lives in an anonymous in-memory file, so the engine reads it through its normal
// PageFile path (open, fstat, pread) without touching the disk.
const std::string& inputPath() {
    static const std::string path = [] {
        int fd = ::memfd_create("jet-fuzz-input", 0);
        if (fd < 0)
            std::abort();
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

void setInput(const std::uint8_t* data, std::size_t size) {
    int fd = std::stoi(inputPath().substr(inputPath().rfind('/') + 1));
    if (::ftruncate(fd, 0) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (put <= 0)
            std::abort();
        done += static_cast<std::size_t>(put);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setInput(data, size);
    try {
        jet::Database db(inputPath(), jet::Database::Mode::ReadOnly);
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
