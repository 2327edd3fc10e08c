#include "jet/database.h"

#include "jet/data_page.h"
#include "jet/row_codec.h"
#include "jet/row_update.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <cctype>

namespace jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int64_t kTableObject = 1;
// Flags of system and hidden tables in the catalog.
constexpr std::int64_t kSystemFlags = 0x80000002;

std::int64_t asInteger(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return *i;
    return 0;
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

void Database::scan(const TableDef& table, const RowVisitor& visit) const {
    UsageMap owned = readUsageMap(*file_, table.ownedPages);
    // Rows on pages the file no longer has would silently be missing from the scan.
    if (owned.pagesPastEnd > 0)
        throw Error(file_->where(table.definitionPage) + ": table " + table.name +
                    " has pages past the end of the file (" + std::to_string(file_->pageCount()) +
                    " pages): the file is cut short");
    for (std::uint32_t pageNumber : owned.pages) {
        Page holder = file_->read(pageNumber);
        if (holder[0] != kDataPageType)
            continue; // the owned pages also list the table's index and definition pages
        DataPage page(holder, file_->where(pageNumber));
        if (page.owner() != table.definitionPage)
            continue;
        for (std::uint16_t slot = 0; slot < page.rowCount(); ++slot) {
            if (page.isDeleted(slot))
                continue;
            RowId id{pageNumber, slot};
            if (page.isOverflow(slot)) {
                visit(id, read(table, id));
                continue;
            }
            visit(id, decodeRow(*file_, table, page.rowBytes(slot), file_->where(id)));
        }
    }
}

Row Database::read(const TableDef& table, RowId id) const {
    return readRow(*file_, table, id);
}

Row readRow(const PageFile& file, const TableDef& table, RowId id) {
    RowId at = id;
    // Jet relocates a row at most once; a second hop is tolerated, a longer chain is damage.
    for (int hops = 0; hops < 4; ++hops) {
        if (at.page >= file.pageCount())
            throw Error(file.where(id) + ": points to page " + std::to_string(at.page) +
                        " past the end of the file");
        Page holder = file.read(at.page);
        DataPage page(holder, file.where(at.page));
        if (page.owner() != table.definitionPage)
            throw Error(file.where(at) + ": the page belongs to another table");
        if (page.isOverflow(at.row)) {
            at = page.overflowTarget(at.row);
            continue;
        }
        return decodeRow(file, table, page.rowBytes(at.row), file.where(at));
    }
    throw Error(file.where(id) + ": relocation pointers loop");
}

void Database::update(const TableDef& table, RowId id, const std::vector<ColumnChange>& changes) {
    updateRow(*file_, table, id, changes);
}

bool Database::updateIf(const TableDef& table, RowId id, const RowCondition& stillWanted,
                        const std::vector<ColumnChange>& changes) {
    return updateRow(*file_, table, id, changes, Durability::Synced, &stillWanted);
}

} // namespace jet
