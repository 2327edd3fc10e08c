// SPDX-License-Identifier: Apache-2.0
#include "jet/database_builder.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/header.h"
#include "jet/index_writer.h"
#include "jet/long_value_writer.h"
#include "jet/page_store.h"
#include "jet/row_codec.h"
#include "jet/slot_page.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>

namespace jet {

namespace {

// Catalog identifiers and kinds as Access writes them in MSysObjects.
constexpr std::int64_t kRootContainer = 0x0F000000;
constexpr std::int64_t kTablesContainer = 0x0F000001;
constexpr std::int64_t kDatabasesContainer = 0x0F000002;
constexpr std::int64_t kRelationshipsContainer = 0x0F000003;
constexpr std::int64_t kDatabaseObject = 0x10000000;
constexpr std::int64_t kContainerKind = 3;
constexpr std::int64_t kDatabaseKind = 2;
constexpr std::int64_t kTableKind = 1;
constexpr std::int64_t kSystemObjectFlags = INT32_MIN; // 0x80000000
// Owners: the engine for its own objects, the default administrator for the rest.
const Bytes kEngineOwner{0xA7, 0x31};
const Bytes kAdminOwner{0xA6, 0x33};
// Containers Access creates for the objects of its own user interface.
constexpr const char* kInterfaceContainers[] = {"DataAccessPages", "Forms",   "Modules",
                                                "Reports",         "Scripts", "SysRel"};

constexpr std::uint32_t kGlobalMapPage = 1;
constexpr std::uint32_t kFirstSystemTablePage = 2;
constexpr std::size_t kGlobalMapRows = 2;
constexpr std::size_t kGlobalMapStep = 32;

constexpr std::uint8_t kIndexUnique = 0x01;
constexpr std::uint8_t kIndexRequired = 0x08;
constexpr std::uint8_t kPrimaryKeyKind = 1;

constexpr std::uint16_t kCodePage = 1252;
constexpr double kUnixEpochDays = 25569.0;

NewColumn text(const char* name, std::uint16_t width) {
    return {name, ColumnType::Text, width, false, false};
}
NewColumn binary(const char* name) {
    return {name, ColumnType::Binary, 255, false, false};
}
NewColumn of(const char* name, ColumnType type) {
    return {name, type, 0, false, false};
}

// The system tables, in the order of their definition pages 2 to 5.
std::vector<NewTable> systemTables() {
    using T = ColumnType;
    std::vector<NewTable> tables(4);
    tables[0].name = "MSysObjects";
    tables[0].columns = {of("Id", T::Long),
                         of("ParentId", T::Long),
                         text("Name", 255),
                         of("Type", T::Integer),
                         of("DateCreate", T::DateTime),
                         of("DateUpdate", T::DateTime),
                         binary("Owner"),
                         of("Flags", T::Long),
                         of("Database", T::Memo),
                         of("Connect", T::Memo),
                         text("ForeignName", 255),
                         binary("RmtInfoShort"),
                         of("RmtInfoLong", T::Ole),
                         of("Lv", T::Ole),
                         of("LvProp", T::Ole),
                         of("LvModule", T::Ole),
                         of("LvExtra", T::Ole)};
    tables[1].name = "MSysACEs";
    tables[1].columns = {of("ObjectId", T::Long), binary("SID"), of("ACM", T::Long),
                         of("FInheritable", T::Boolean)};
    tables[2].name = "MSysQueries";
    tables[2].columns = {of("ObjectId", T::Long), of("Attribute", T::Byte),
                         binary("Order"),         text("Name1", 255),
                         text("Name2", 255),      of("Expression", T::Memo),
                         of("Flag", T::Integer),  of("LvExtra", T::Long)};
    tables[3].name = "MSysRelationships";
    tables[3].columns = {text("szRelationship", 255),     of("grbit", T::Long),
                         of("ccolumn", T::Long),          of("icolumn", T::Long),
                         text("szObject", 255),           text("szColumn", 255),
                         text("szReferencedObject", 255), text("szReferencedColumn", 255)};
    return tables;
}

// Rows of usage maps, all of one size, placed on map pages before their contents are known. In
// Access's form a map is inline while its pages lie within its 64 bytes of bits, a reference
// map otherwise, and the rows fill pages of their own. Some writers give every map a longer
// inline bitmap instead and put the rows beside the global map on page 1: the file then holds
// no bitmap pages, and page 1 has little room left for the global map to grow.
class MapRows {
public:
    MapRows(PageStore& store, std::optional<std::size_t> inlineBytes)
        : store_(store), inlineBytes_(inlineBytes), page_(inlineBytes ? kGlobalMapPage : 0) {}

    MapLocation reserve() {
        Bytes blank(inlineBytes_ ? 5 + *inlineBytes_ : kUsageMapRowSize, 0);
        if (page_ != 0 && roomLeftAfter(blank.size()))
            if (auto slot = addRow(store_[page_], blank))
                return {page_, *slot};
        page_ = store_.allocate();
        store_[page_] = newDataPage(0);
        return {page_, *addRow(store_[page_], blank)};
    }

    // The map of `pages` (ascending), in the row reserved at `at`.
    void fill(MapLocation at, const std::vector<std::uint32_t>& pages) {
        Bytes row = inlineBytes_
                        ? inlineMapRow(pages.empty() ? 0 : pages.front(), pages, *inlineBytes_)
                        : buildUsageMapRow(store_, pages);
        Page& page = store_[at.page];
        std::size_t start = DataPage(page, "usage map page").offsetWord(at.row) & kRowOffsetMask;
        std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    }

private:
    // Page 1 keeps room for the global map, written once the file is known, to be as long as
    // the other maps, and no more: such files leave it no room to grow.
    bool roomLeftAfter(std::size_t row) const {
        std::size_t free = DataPage(store_[page_], "usage map page").freeSpace();
        std::size_t longer = row > kUsageMapRowSize ? row - kUsageMapRowSize : 0;
        return page_ != kGlobalMapPage || free >= row + 2 + longer;
    }

    PageStore& store_;
    std::optional<std::size_t> inlineBytes_;
    std::uint32_t page_;
};

struct PlannedIndex {
    NewIndex asked;
    const Column* column = nullptr;
    std::vector<IndexEntry> entries;
};

// A table on its way into the file.
struct Plan {
    const NewTable* source = nullptr;
    std::uint8_t type = kUserTable;
    TableDef def;
    std::vector<PlannedIndex> indexes;
    std::vector<const Column*> primaryKeys; // each row needs a distinct value in these
    std::vector<std::uint32_t> definitionPages;
    DefinitionPlacement placement;
    std::vector<std::unique_ptr<LongValueWriter>> longValues; // by longValueColumns slot
    std::vector<std::uint32_t> dataPages;
};

Plan planFor(const NewTable& table, std::uint8_t type) {
    Plan plan;
    plan.source = &table;
    plan.type = type;
    plan.def = layoutTable(table.name, table.columns);
    return plan;
}

std::string rowWhere(const NewTable& table, std::size_t row) {
    return "table " + table.name + ", row " + std::to_string(row + 1);
}

// Decides which of the table's indexes can be written: those over a long integer column.
void planIndexes(Plan& plan, CreateResult& result) {
    const NewTable& source = *plan.source;
    for (const NewIndex& index : source.indexes) {
        const Column* column = plan.def.find(index.column);
        auto leaveOut = [&](const std::string& why) {
            result.notes.push_back("table " + source.name + ": index " + index.name +
                                   " left out: " + why);
        };
        if (column == nullptr) {
            leaveOut("the table has no column " + index.column);
            continue;
        }
        if (column->type != ColumnType::Long) {
            leaveOut("column " + column->name + " is not a long integer");
            continue;
        }
        if (index.primaryKey)
            plan.primaryKeys.push_back(column);
        plan.indexes.push_back({index, column, {}});
    }
    for (const PlannedIndex& index : plan.indexes) {
        RealIndex real;
        real.columnNumbers = {index.column->number};
        real.flags = index.asked.primaryKey ? kIndexUnique | kIndexRequired : 0;
        LogicalIndex logical;
        logical.name = index.asked.name;
        logical.realIndex = static_cast<std::uint32_t>(plan.def.realIndexes.size());
        logical.kind = index.asked.primaryKey ? kPrimaryKeyKind : 0;
        plan.def.realIndexes.push_back(std::move(real));
        plan.def.logicalIndexes.push_back(std::move(logical));
    }
}

void reserveDefinitionPages(PageStore& store, Plan& plan) {
    plan.placement.tableType = plan.type;
    plan.placement.indexes.resize(plan.def.realIndexes.size());
    for (const Column& column : plan.def.columns)
        if (column.isLongValue())
            plan.placement.longValueColumns.push_back({column.number, {}, {}});
    std::size_t size = encodeTableDefinition(plan.def, plan.placement).size();
    for (std::size_t i = 0; i < definitionPageCount(size); ++i)
        plan.definitionPages.push_back(store.allocate());
    plan.def.definitionPage = plan.definitionPages.front();
}

void reserveMaps(MapRows& maps, Plan& plan, PageStore& store) {
    plan.def.ownedPages = maps.reserve();
    plan.def.freeSpacePages = maps.reserve();
    for (auto& index : plan.placement.indexes)
        index.map = maps.reserve();
    for (auto& column : plan.placement.longValueColumns) {
        column.owned = maps.reserve();
        column.freeSpace = maps.reserve();
        plan.longValues.push_back(std::make_unique<LongValueWriter>(store));
    }
}

StoredValue storeLongValue(Plan& plan, const Column& column, const Value& value) {
    if (isNull(value))
        return {false, {}};
    Bytes raw;
    if (column.type == ColumnType::Memo) {
        if (const auto* units = std::get_if<std::u16string>(&value))
            raw = encodeText(*units, column.compressedUnicode);
        else if (const auto* text = std::get_if<std::string>(&value))
            raw = encodeText(*text, column.compressedUnicode);
        else
            throw Error("column " + column.name + ": needs a text");
    } else {
        const auto* bytes = std::get_if<Bytes>(&value);
        if (bytes == nullptr)
            throw Error("column " + column.name + ": needs bytes");
        raw = *bytes;
    }
    std::size_t slot = 0;
    while (plan.placement.longValueColumns[slot].columnNumber != column.number)
        ++slot;
    return {true, plan.longValues[slot]->write(raw)};
}

RowId placeRow(PageStore& store, Plan& plan, const Bytes& row) {
    if (!plan.dataPages.empty())
        if (auto slot = addRow(store[plan.dataPages.back()], row))
            return {plan.dataPages.back(), *slot};
    std::uint32_t page = store.allocate();
    store[page] = newDataPage(plan.def.definitionPage);
    plan.dataPages.push_back(page);
    return {page, *addRow(store[page], row)};
}

// A primary key needs a value in every row, each row's its own, autonumbers included.
void checkPrimaryKey(const Plan& plan, const Column& column, const Row& values, std::size_t row,
                     std::map<std::int64_t, std::size_t>& seen) {
    const Value& value = values[static_cast<std::size_t>(&column - plan.def.columns.data())];
    std::string where = rowWhere(*plan.source, row) + ", column " + column.name;
    const auto* key = std::get_if<std::int64_t>(&value);
    if (key == nullptr)
        throw Error(where + ": the primary key needs a value");
    auto [at, fresh] = seen.emplace(*key, row);
    if (!fresh)
        throw Error(where + ": value " + std::to_string(*key) + " is the primary key of row " +
                    std::to_string(at->second + 1) + " already");
}

// Encodes and places every row; fills in autonumbers and collects index entries.
void writeRows(PageStore& store, Plan& plan) {
    const NewTable& source = *plan.source;
    std::int64_t lastAutoNumber = 0;
    std::map<const Column*, std::map<std::int64_t, std::size_t>> seen;
    for (std::size_t r = 0; r < source.rows.size(); ++r) {
        const Row& given = source.rows[r];
        if (given.size() != plan.def.columns.size())
            throw Error(rowWhere(source, r) + ": " + std::to_string(given.size()) + " values for " +
                        std::to_string(plan.def.columns.size()) + " columns");
        Row values = given;
        std::vector<StoredValue> stored;
        for (std::size_t c = 0; c < values.size(); ++c) {
            const Column& column = plan.def.columns[c];
            try {
                if (column.isAutoNumber()) {
                    if (isNull(values[c]))
                        values[c] = lastAutoNumber + 1;
                    if (const auto* number = std::get_if<std::int64_t>(&values[c]))
                        lastAutoNumber = std::max(lastAutoNumber, *number);
                }
                stored.push_back(column.isLongValue() ? storeLongValue(plan, column, values[c])
                                                      : encodeValue(column, values[c]));
            } catch (const Error& error) {
                std::string message = error.what();
                if (message.rfind("column ", 0) != 0)
                    message = "column " + column.name + ": " + message;
                throw Error(rowWhere(source, r) + ", " + message);
            }
        }
        for (const Column* key : plan.primaryKeys)
            checkPrimaryKey(plan, *key, values, r, seen[key]);
        Bytes row = encodeRow(plan.def, stored);
        if (row.size() > kMaxRowSize)
            throw Error(rowWhere(source, r) + ": the row takes " + std::to_string(row.size()) +
                        " bytes, more than the " + std::to_string(kMaxRowSize) + " a row may take");
        RowId id = placeRow(store, plan, row);
        for (PlannedIndex& index : plan.indexes) {
            const Value& key =
                values[static_cast<std::size_t>(index.column - plan.def.columns.data())];
            std::optional<std::int32_t> number;
            if (const auto* i = std::get_if<std::int64_t>(&key))
                number = static_cast<std::int32_t>(*i);
            index.entries.push_back({number, id});
        }
    }
    plan.def.rowCount = static_cast<std::uint32_t>(source.rows.size());
    plan.def.nextAutoNumber = static_cast<std::uint32_t>(lastAutoNumber);
}

std::vector<std::uint32_t> pagesWithFreeSpace(const PageStore& store,
                                              const std::vector<std::uint32_t>& pages) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t page : pages)
        if (DataPage(store[page], "new page").freeSpace() > 0)
            out.push_back(page);
    return out;
}

void finishTable(PageStore& store, MapRows& maps, Plan& plan) {
    for (std::size_t i = 0; i < plan.indexes.size(); ++i) {
        WrittenIndex index = writeIndex(store, plan.def.definitionPage, plan.indexes[i].entries);
        plan.placement.indexes[i].rootPage = index.rootPage;
        // The definition counts an index's distinct keys, null being one of them.
        std::set<std::optional<std::int32_t>> keys;
        for (const IndexEntry& entry : plan.indexes[i].entries)
            keys.insert(entry.key);
        plan.placement.indexes[i].entryCount = static_cast<std::uint32_t>(keys.size());
        maps.fill(plan.placement.indexes[i].map, index.pages);
    }
    maps.fill(plan.def.ownedPages, plan.dataPages);
    maps.fill(plan.def.freeSpacePages, pagesWithFreeSpace(store, plan.dataPages));
    for (std::size_t i = 0; i < plan.longValues.size(); ++i) {
        const auto& pages = plan.longValues[i]->pages();
        maps.fill(plan.placement.longValueColumns[i].owned, pages);
        maps.fill(plan.placement.longValueColumns[i].freeSpace, pagesWithFreeSpace(store, pages));
    }
    placeTableDefinition(store, plan.definitionPages,
                         encodeTableDefinition(plan.def, plan.placement));
}

Row catalogRow(std::int64_t id, std::int64_t parent, const std::string& name, std::int64_t kind,
               std::int64_t flags, const Bytes& owner, double created) {
    Row row(17);
    row[0] = id;
    row[1] = parent;
    row[2] = name;
    row[3] = kind;
    row[4] = DateTime{created};
    row[5] = DateTime{created};
    row[6] = owner;
    row[7] = flags;
    return row;
}

std::vector<Row> catalogRows(const std::vector<Plan>& plans, double created) {
    std::vector<Row> rows;
    auto container = [&](std::int64_t id, const char* name) {
        rows.push_back(catalogRow(id, kRootContainer, name, kContainerKind, kSystemObjectFlags,
                                  kEngineOwner, created));
    };
    container(kTablesContainer, "Tables");
    container(kDatabasesContainer, "Databases");
    container(kRelationshipsContainer, "Relationships");
    rows.push_back(catalogRow(kDatabaseObject, kDatabasesContainer, "MSysDb", kDatabaseKind,
                              kSystemObjectFlags, kAdminOwner, created));
    for (const Plan& plan : plans)
        if (plan.type == kSystemTable)
            rows.push_back(catalogRow(plan.def.definitionPage, kTablesContainer, plan.def.name,
                                      kTableKind, kSystemObjectFlags, kEngineOwner, created));
    std::int64_t id = INT32_MIN;
    for (const char* name : kInterfaceContainers)
        rows.push_back(
            catalogRow(id++, kRootContainer, name, kContainerKind, 0, kAdminOwner, created));
    for (const Plan& plan : plans)
        if (plan.type == kUserTable)
            rows.push_back(catalogRow(plan.def.definitionPage, kTablesContainer, plan.def.name,
                                      kTableKind, 0, kAdminOwner, created));
    return rows;
}

Page headerPage(double created) {
    static constexpr char kSignature[] = "Standard Jet DB";
    Page page{};
    page[1] = 0x01;
    std::copy(kSignature, kSignature + sizeof kSignature, page.begin() + 4);
    putU32(page, 0x14, kJet4);
    putU16(page, 0x3C, kCodePage);
    // The password is stored masked with the creation day; an empty one reads back as zeros.
    auto day = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
    for (std::size_t i = 0; i < 40; ++i)
        page[0x42 + i] = static_cast<std::uint8_t>(day >> (8 * (i % 4)));
    putU16(page, 0x6E, kGeneralSortOrder);
    putF64(page, 0x72, created);
    maskHeader(page.data() + 0x18, 128);
    return page;
}

// Page 1: the map of free pages, in row 0, and an empty map in row 1, laid out before any
// other row the page may take. Every page of the new file is in use; Access marks the pages past
// the end of the file as free, and gives the bitmap 64 bytes, lengthened in steps of 32 bytes as
// far as the file needs.
void layOutGlobalMapPage(PageStore& store) {
    Page& page = store[kGlobalMapPage];
    page = newDataPage(1);
    for (std::size_t i = 0; i < kGlobalMapRows; ++i)
        addRow(page, inlineMapRow(0, {}));
}

void writeGlobalMap(PageStore& store) {
    std::uint32_t last = store.size() - 1;
    std::size_t bytes = std::max<std::size_t>(
        kInlineMapBitmapBytes, (last / 8 + kGlobalMapStep) / kGlobalMapStep * kGlobalMapStep);
    std::vector<std::uint32_t> free;
    for (std::uint32_t p = store.size(); p < bytes * 8; ++p)
        free.push_back(p);
    SlotPage page = unpackDataPage(kGlobalMapPage, store[kGlobalMapPage], "page 1");
    page.slots.at(0).bytes = inlineMapRow(0, free, bytes);
    if (!page.fits())
        throw Error("the file's " + std::to_string(store.size()) +
                    " pages are more than its page map can hold");
    store[kGlobalMapPage] = page.packed();
}

double now() {
    using namespace std::chrono;
    double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
    return kUnixEpochDays + seconds / 86400.0;
}

} // namespace

CreateResult createDatabase(const std::string& path, const std::vector<NewTable>& tables,
                            const CreateOptions& options) {
    CreateResult result;
    double created = options.created.value_or(now());
    for (std::size_t i = 0; i < tables.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (tables[i].name == tables[j].name)
                throw Error("two tables are named " + tables[i].name);

    PageStore store;
    store.allocate(); // header
    store.allocate();
    layOutGlobalMapPage(store);

    std::vector<NewTable> system = systemTables();
    std::vector<Plan> plans;
    for (const NewTable& table : system)
        plans.push_back(planFor(table, kSystemTable));
    for (const NewTable& table : tables) {
        plans.push_back(planFor(table, kUserTable));
        planIndexes(plans.back(), result);
    }
    for (Plan& plan : plans)
        reserveDefinitionPages(store, plan);
    if (plans.front().def.definitionPage != kFirstSystemTablePage)
        throw Error("the catalog's definition must start on page 2");

    MapRows maps(store, options.inlineMapBytes);
    for (Plan& plan : plans)
        reserveMaps(maps, plan, store);

    system.front().rows = catalogRows(plans, created);
    for (Plan& plan : plans)
        writeRows(store, plan);
    for (Plan& plan : plans)
        finishTable(store, maps, plan);

    writeGlobalMap(store);
    store[0] = headerPage(created);
    store.writeTo(path);
    return result;
}

} // namespace jet
