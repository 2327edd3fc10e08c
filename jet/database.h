// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/header.h"
#include "jet/page_file.h"
#include "jet/post_mark.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
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
    // Called after each page of a scan with the pages done and the pages to do in all.
    using ScanProgress = std::function<void(std::size_t done, std::size_t total)>;
    // The same rows, each with only the values of `columns` (indexes into table.columns), in
    // that order: the other columns are neither decoded nor their long values read. Texts come
    // in the form `texts` asks for.
    void scan(const TableDef& table, std::span<const std::size_t> columns, const RowVisitor& visit,
              const ScanProgress& progress = {}, TextForm texts = TextForm::Utf8) const;
    // One row by its id, following a relocation pointer. Throws Error when the id leads to a
    // deleted row or to no row of the table.
    Row read(const TableDef& table, RowId id) const;
    // Rows by their ids, in the order given, each with only the values of `columns` (indexes
    // into table.columns) in that order, as scan gives them; consecutive ids on one page read it
    // once. Texts come in the form `texts` asks for.
    std::vector<Row> read(const TableDef& table, std::span<const RowId> ids,
                          std::span<const std::size_t> columns,
                          TextForm texts = TextForm::Utf8) const;
    // The ids of the rows whose column `column` (an index into table.columns) holds `value`,
    // found through the file's index over that column alone: a few pages instead of a scan.
    // std::nullopt when the table has no such index or it cannot answer (a null value, a key
    // the encoder does not know, pages that do not hold together): scan then. An index may lag
    // behind its table, so each row is still to be checked when it is read.
    std::optional<std::vector<RowId>> findThroughIndex(const TableDef& table, std::size_t column,
                                                       const Value& value) const;

    // New values (std::monostate for null) for some columns of one existing row. The change is
    // durable when update returns; an indexed column, an autonumber, a value that does not fit
    // its column or a read-only file throw Error and leave the row as it was. The first post of
    // this writer, and the first after one that failed, also frees what an interrupted post
    // left, when the file's mark says there may be something (see post_mark.h); the others read
    // only the pages they change.
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

    // While a Batch lives, the posts of this database share one write lock and one sync: the
    // lock is taken when the batch begins and held to its end, and the pages are made durable
    // once, by finish. A batch is stored whole or not at all: one that ends without finish (an
    // error stopped it, or the user) puts the file back as it was when it began, byte for
    // byte. Each post keeps the ordering of its own writes, so an interruption of the process
    // anywhere leaves every row of the batch readable with its old or its new values; which of
    // them a read after the batch tells. One batch at a time; readers are not held up.
    class Batch {
    public:
        // Throws Error for a read-only file, a file no longer at its path or a batch already
        // running.
        explicit Batch(Database& database);
        // Without finish or rollBack, rolls back; a failure of that is not reported.
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Makes every post of the batch durable; throws Error when the file cannot be synced,
        // and the batch is then rolled back when it ends.
        void finish();
        // Puts the file back as it was when the batch began and makes that durable; throws
        // Error when the file cannot be written.
        void rollBack();
        // Whether finish or rollBack has ended the batch.
        bool ended() const { return ended_; }

    private:
        // The file to lock, once it is known that this batch may begin.
        static PageFile& fileToLock(Database& database);

        Database& database_;
        PageFile::WriteLock lock_;
        bool ended_ = false;
    };

private:
    struct CatalogEntry {
        std::string name;
        std::uint32_t definitionPage;
    };
    std::vector<CatalogEntry> userTables() const;
    // Visits the stored bytes of every live row, as scan lists them.
    using BytesVisitor = std::function<void(RowId, std::span<const std::uint8_t>)>;
    void scanBytes(const TableDef& table, const BytesVisitor& visit,
                   const ScanProgress& progress) const;
    // Visits the live rows of one page of a scan.
    void visitPage(const TableDef& table, std::uint32_t pageNumber, const Page& holder, Page& moved,
                   const BytesVisitor& visit) const;
    // One post through updateRow, looking for the mark first when this writer has not yet (see
    // update).
    bool post(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes,
              const RowCondition* stillWanted);

    std::unique_ptr<PageFile> file_;
    Header header_;
    MarkState mark_;
    bool batching_ = false;
};

// One row by its id, following a relocation pointer; throws Error as Database::read does.
Row readRow(const PageFile& file, const TableDef& table, RowId id);

} // namespace jet
