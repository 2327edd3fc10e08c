#pragma once

#include "jet/header.h"
#include "jet/page_file.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// An open Jet 4 database file. Reads go to the disk every time, so a fresh scan sees what other
// processes have posted; nothing is cached between calls.
class Database {
public:
    enum class Mode { ReadOnly, ReadWrite };

    // Opens and checks the file; throws Error naming the file and the reason.
    Database(const std::string& path, Mode mode);

    const std::string& path() const { return file_->path(); }
    const Header& header() const { return header_; }
    PageFile& file() { return *file_; }
    const PageFile& file() const { return *file_; }

    // Names of the user tables, in catalog order.
    std::vector<std::string> tableNames() const;
    // The definition of a user table (names compare without regard to case).
    TableDef table(std::string_view name) const;

    using RowVisitor = std::function<void(RowId, const Row&)>;
    // Every live row of the table in physical order: data pages in page order, rows in slot
    // order. A row that Jet moved to another page is listed at its original place.
    void scan(const TableDef& table, const RowVisitor& visit) const;
    // One row by its id, following a relocation pointer.
    Row read(const TableDef& table, RowId id) const;

    // New values (std::monostate for null) for some columns of one existing row. The change is
    // durable when update returns; an indexed column, an autonumber, a value that does not fit
    // its column or a read-only file throw Error and leave the row as it was.
    struct ColumnChange {
        std::string column;
        Value value;
    };
    void update(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes);
    // The same, for a row chosen by a condition: the condition is judged again on the row as
    // read under the write lock, since another process may have changed the row after it was
    // chosen. Returns whether the row still met it and was changed.
    using RowCondition = std::function<bool(const Row&)>;
    bool updateIf(const TableDef& table, RowId id, const RowCondition& stillWanted,
                  const std::vector<ColumnChange>& changes);

private:
    struct CatalogEntry {
        std::string name;
        std::uint32_t definitionPage;
    };
    std::vector<CatalogEntry> userTables() const;

    std::unique_ptr<PageFile> file_;
    Header header_;
};

// One row by its id, following a relocation pointer.
Row readRow(const PageFile& file, const TableDef& table, RowId id);

} // namespace jet
