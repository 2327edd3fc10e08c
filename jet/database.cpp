// SPDX-License-Identifier: Apache-2.0
#include "jet/database.h"

#include "jet/data_page.h"
#include "jet/index_reader.h"
#include "jet/row_codec.h"
#include "jet/row_update.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>

namespace jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int64_t kTableObject = 1;
// Flags of system and hidden tables in the catalog.
constexpr std::int64_t kSystemFlags = 0x80000002;
// The most pages a scan reads with one system call: 128 KB.
constexpr std::size_t kPagesPerRead = 32;

std::int64_t asInteger(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return *i;
    return 0;
}

// The error of row id `id` pointing to `page`, which lies past the end of the file.
Error pastTheEnd(const PageFile& file, RowId id, std::uint32_t page) {
    return Error(file.where(id) + ": points to page " + std::to_string(page) +
                 " past the end of the file");
}

// The page a row id leads to, checked to lie in the file.
Page readRowPage(const PageFile& file, RowId id, std::uint32_t page) {
    if (page >= file.pageCount())
        throw pastTheEnd(file, id, page);
    return file.read(page);
}

// How many of `pages`, from `first` on, one read takes together: the pages that follow each
// other in the file, at most kPagesPerRead.
std::size_t runLength(std::span<const std::uint32_t> pages, std::size_t first) {
    std::size_t count = 1;
    while (first + count < pages.size() && count < kPagesPerRead &&
           pages[first + count] == pages[first] + count)
        ++count;
    return count;
}

// The stored bytes of the row `id` whose page `home` holds: there, or on `moved`, the page its
// relocation pointer leads to.
std::span<const std::uint8_t> rowBytes(const PageFile& file, const TableDef& table, RowId id,
                                       const Page& home, Page& moved) {
    const Page* holder = &home;
    RowId at = id;
    // Jet relocates a row at most once; a second hop is tolerated, a longer chain is damage.
    for (int hops = 0; hops < 4; ++hops) {
        if (hops > 0) {
            moved = readRowPage(file, id, at.page);
            holder = &moved;
        }
        DataPage page(*holder, file.where(at.page));
        if (page.owner() != table.definitionPage)
            throw Error(file.where(at) + ": the page belongs to another table");
        // Relocated data is flagged deleted too; only the row's own place tells.
        if (hops == 0 && page.isDeleted(at.row))
            throw Error(file.where(at) + ": the row has been deleted");
        if (page.isOverflow(at.row)) {
            at = page.overflowTarget(at.row);
            continue;
        }
        return page.rowBytes(at.row);
    }
    throw Error(file.where(id) + ": relocation pointers loop");
}

void checkColumns(const TableDef& table, std::span<const std::size_t> columns) {
    for (std::size_t index : columns)
        if (index >= table.columns.size())
            throw Error("table " + table.name + ": no column " + std::to_string(index));
}

} // namespace

Database::Database(const std::string& path, Mode mode)
    : file_(std::make_unique<PageFile>(path, mode == Mode::ReadOnly ? PageFile::Access::Read
                                                                    : PageFile::Access::ReadWrite)),
      header_(readHeader(*file_)) {}

std::vector<Database::CatalogEntry> Database::userTables() const {
    TableDef catalog = readTableDef(*file_, kCatalogPage, "MSysObjects");
    const Column& id = catalog.column("Id");
    const Column& name = catalog.column("Name");
    const Column& type = catalog.column("Type");
    const Column& flags = catalog.column("Flags");
    std::vector<CatalogEntry> tables;
    scan(catalog, [&](RowId, const Row& row) {
        auto at = [&](const Column& c) -> const Value& {
            return row[static_cast<std::size_t>(&c - catalog.columns.data())];
        };
        if (asInteger(at(type)) != kTableObject || (asInteger(at(flags)) & kSystemFlags) != 0)
            return;
        const auto* text = std::get_if<std::string>(&at(name));
        if (text == nullptr)
            return;
        tables.push_back({*text, static_cast<std::uint32_t>(asInteger(at(id)) & 0x00FFFFFF)});
    });
    return tables;
}

std::vector<std::string> Database::tableNames() const {
    std::vector<std::string> names;
    for (const CatalogEntry& entry : userTables())
        names.push_back(entry.name);
    return names;
}

TableDef Database::table(std::string_view name) const {
    for (const CatalogEntry& entry : userTables())
        if (sameName(entry.name, name))
            return readTableDef(*file_, entry.definitionPage, entry.name);
    throw Error(path() + ": no table named " + std::string(name));
}

void Database::scanBytes(const TableDef& table, const BytesVisitor& visit,
                         const ScanProgress& progress) const {
    UsageMap owned = readUsageMap(*file_, table.ownedPages);
    // Rows on pages the file no longer has would silently be missing from the scan.
    if (owned.pagesPastEnd > 0 || owned.bitmapPagesPastEnd > 0)
        throw Error(file_->where(table.definitionPage) + ": table " + table.name +
                    " has pages past the end of the file (" + std::to_string(file_->pageCount()) +
                    " pages): the file is cut short");
    Page moved; // the page a relocated row's data lies on
    std::vector<Page> run;
    const std::vector<std::uint32_t>& pages = owned.pages;
    for (std::size_t first = 0; first < pages.size();) {
        // Consecutive pages are read together: one system call instead of one a page.
        const std::size_t count = runLength(pages, first);
        run.resize(count);
        file_->readRun(pages[first], run);
        for (std::size_t k = 0; k < count; ++k) {
            visitPage(table, pages[first + k], run[k], moved, visit);
            if (progress)
                progress(first + k + 1, pages.size());
        }
        first += count;
    }
}

void Database::visitPage(const TableDef& table, std::uint32_t pageNumber, const Page& holder,
                         Page& moved, const BytesVisitor& visit) const {
    // The owned pages also list the table's index and definition pages.
    if (holder[0] != kDataPageType)
        return;
    DataPage page(holder, file_->where(pageNumber));
    if (page.owner() != table.definitionPage)
        return;
    for (std::uint16_t slot = 0; slot < page.rowCount(); ++slot) {
        if (page.isDeleted(slot))
            continue;
        RowId id{pageNumber, slot};
        visit(id, page.isOverflow(slot) ? rowBytes(*file_, table, id, holder, moved)
                                        : page.rowBytes(slot));
    }
}

void Database::scan(const TableDef& table, const RowVisitor& visit) const {
    scanBytes(table,
              [&](RowId id, std::span<const std::uint8_t> bytes) {
                  visit(id, decodeRow(*file_, table, bytes, file_->where(id)));
              },
              {});
}

void Database::scan(const TableDef& table, std::span<const std::size_t> columns,
                    const RowVisitor& visit, const ScanProgress& progress, TextForm texts) const {
    checkColumns(table, columns);
    Row values;
    // Where the rows of the current page are, built once for all of them.
    std::optional<std::uint32_t> pageNumber;
    std::string page;
    scanBytes(
        table,
        [&](RowId id, std::span<const std::uint8_t> bytes) {
            if (pageNumber != id.page) {
                pageNumber = id.page;
                page = file_->where(id.page);
            }
            try {
                decodeColumns(*file_, table, bytes, columns, values, page, texts);
            } catch (const Error&) {
                // Decoded again to name the row in the message; it fails the same way.
                decodeColumns(*file_, table, bytes, columns, values, file_->where(id), texts);
                throw;
            }
            visit(id, values);
        },
        progress);
}

Row readRow(const PageFile& file, const TableDef& table, RowId id) {
    Page home = readRowPage(file, id, id.page);
    Page moved;
    return decodeRow(file, table, rowBytes(file, table, id, home, moved), file.where(id));
}

Row Database::read(const TableDef& table, RowId id) const {
    return readRow(*file_, table, id);
}

std::vector<Row> Database::read(const TableDef& table, std::span<const RowId> ids,
                                std::span<const std::size_t> columns, TextForm texts) const {
    checkColumns(table, columns);
    std::vector<Row> rows;
    rows.reserve(ids.size());
    // The pages the rows lie on, in the order the rows come to them: the rows of a lot mostly
    // follow each other over consecutive pages, which are read together, as a scan reads them.
    std::vector<std::uint32_t> pages;
    for (RowId id : ids)
        if (pages.empty() || pages.back() != id.page)
            pages.push_back(id.page);
    std::vector<Page> run;
    std::size_t runFirst = 0; // the index in `pages` of run[0]
    std::size_t next = 0;     // the index in `pages` of the next home page
    const Page* home = nullptr;
    std::optional<std::uint32_t> homeNumber;
    std::string page; // where the rows of the home page are, built once for all of them
    Page moved;
    for (RowId id : ids) {
        if (homeNumber != id.page) {
            if (next == runFirst + run.size()) {
                const std::uint32_t pageCount = file_->pageCount();
                if (id.page >= pageCount)
                    throw pastTheEnd(*file_, id, id.page);
                // A page past the end is read alone, when its row comes to it.
                std::size_t count = runLength(pages, next);
                while (pages[next + count - 1] >= pageCount)
                    --count;
                run.resize(count);
                file_->readRun(id.page, run);
                runFirst = next;
            }
            home = &run[next - runFirst];
            ++next;
            homeNumber = id.page;
            page = file_->where(id.page);
        }
        const std::span<const std::uint8_t> bytes = rowBytes(*file_, table, id, *home, moved);
        Row& values = rows.emplace_back();
        try {
            decodeColumns(*file_, table, bytes, columns, values, page, texts);
        } catch (const Error&) {
            // Decoded again to name the row in the message; it fails the same way.
            decodeColumns(*file_, table, bytes, columns, values, file_->where(id), texts);
            throw;
        }
    }
    return rows;
}

std::optional<std::vector<RowId>>
Database::findThroughIndex(const TableDef& table, std::size_t column, const Value& value) const {
    if (column >= table.columns.size())
        throw Error("table " + table.name + ": no column " + std::to_string(column));
    const Column& indexed = table.columns[column];
    const RealIndex* index = singleColumnIndex(table, indexed);
    if (index == nullptr)
        return std::nullopt;
    return findInIndex(*file_, table, *index, indexed, value);
}

void Database::update(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes) {
    post(table, id, changes, nullptr);
}

bool Database::updateIf(const TableDef& table, RowId id, const RowCondition& stillWanted,
                        const std::vector<ColumnChange>& changes) {
    return post(table, id, changes, &stillWanted);
}

bool Database::post(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes,
                    const RowCondition* stillWanted) {
    try {
        return batching_
                   ? updateRowLocked(*file_, table, id, changes, Durability::Batched, mark_,
                                     stillWanted)
                   : updateRow(*file_, table, id, changes, Durability::Synced, &mark_, stillWanted);
    } catch (...) {
        // Whatever a failed post wrote is recovered before the next one, as after a crash: the
        // mark it set stays set.
        mark_ = MarkState{};
        throw;
    }
}

PageFile& Database::Batch::fileToLock(Database& database) {
    // A second lock of the same file would be released, with the first, when it ends.
    if (database.batching_)
        throw Error(database.file().where() + ": a batch of posts is already running");
    if (!database.file().writable())
        throw Error::ofFile(Error::Kind::ReadOnly, database.file().where(),
                            database.file().where() + ": the file is open for reading only");
    return database.file();
}

Database::Batch::Batch(Database& database) : database_(database), lock_(fileToLock(database)) {
    database_.file().checkStillAtPath();
    database_.file().keepUndo();
    database_.batching_ = true;
}

Database::Batch::~Batch() {
    if (ended_)
        return;
    try {
        rollBack();
    } catch (const Error&) {
        // The batch ends with the error that stopped it. What the rollback could not put back
        // is recovered by the next writer, as after a crash: the mark the batch set stays set.
    }
}

void Database::Batch::finish() {
    database_.file().flushHeld();
    database_.file().sync();
    ended_ = true;
    database_.batching_ = false;
    database_.file().dropUndo();
    clearHeldMark(database_.file(), database_.mark_);
}

void Database::Batch::rollBack() {
    ended_ = true;
    database_.batching_ = false;
    // Whatever this writer knew of the mark goes with the pages: its next post looks again.
    database_.mark_ = MarkState{};
    database_.file().rollBack();
}

} // namespace jet
