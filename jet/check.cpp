// SPDX-License-Identifier: Apache-2.0
#include "jet/check.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/index_writer.h"
#include "jet/long_value.h"
#include "jet/long_value_writer.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/table_def.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint32_t kGlobalMapPage = 1;
constexpr std::int64_t kTableObject = 1;
constexpr std::uint8_t kDefinitionPageType = 0x02;
constexpr std::uint8_t kIndexIgnoresNulls = 0x02;
// A tree deeper than this over a file of at most 2^24 pages is damage.
constexpr int kMaxIndexDepth = 16;

// Compared through lexicographical_compare: GCC 12 at -O3 warns falsely on the vectors' operator.
bool sortsBefore(const Bytes& a, const Bytes& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

std::string rowCountProblem(const std::string& table, std::size_t rows, std::uint32_t counted) {
    return "table " + table + ": " + std::to_string(rows) + " rows, the definition counts " +
           std::to_string(counted);
}

// What a page is known to be used for, gathered while walking.
enum class Use { Header, GlobalMap, Definition, Data, LongValue, MapRows, Index, Bitmap };

class Checker {
public:
    explicit Checker(const std::string& path) : file_(path, PageFile::Access::Read) {}

    std::vector<std::string> run(std::vector<std::string>* notes);

private:
    void problem(std::string text) { problems_.push_back(std::move(text)); }
    void note(std::string text) { notes_.push_back(std::move(text)); }
    void claim(std::uint32_t page, Use use) { uses_.emplace(page, use); }

    void checkDataPage(std::uint32_t number, const Page& page);
    bool leftUntilCompacted(std::uint32_t number) const;
    std::optional<UsageMap> map(MapLocation at, const std::string& whose);
    void checkTable(const std::string& name, std::uint32_t definitionPage);
    void checkLongValue(std::span<const std::uint8_t> definition, const std::string& where);
    void checkIndexes(const TableDef& def, const std::map<RowId, Row>& rows);
    struct TreeWalk;
    bool walkTree(const TableDef& def, std::uint32_t number, int depth, TreeWalk& walk);
    std::optional<std::vector<Bytes>> treeEntries(const TableDef& def, std::uint32_t root,
                                                  const std::string& where);
    void checkEntries(const std::vector<Bytes>& entries, const std::string& where,
                      const std::map<RowId, Bytes>& keys);

    PageFile file_;
    std::uint32_t pageCount_ = 0;
    std::vector<std::string> problems_;
    std::vector<std::string> notes_;
    std::set<std::uint32_t> free_; // what the global usage map marks free
    std::multimap<std::uint32_t, Use> uses_;
    std::set<std::pair<std::uint32_t, std::uint16_t>> longValueRows_;
};

// Access does not free everything it stops using: until the file is compacted it keeps blank
// pages it allocated ahead, long values of deleted rows, and the definition and index pages of
// dropped tables and indexes, while the global map still marks them used.
bool Checker::leftUntilCompacted(std::uint32_t number) const {
    Page page = file_.read(number);
    switch (page[0]) {
    case kDataPageType:
        return ByteView(page, file_.where(number)).u32(4) == kLongValueOwner;
    case kDefinitionPageType:
    case kIndexNodePageType:
    case kIndexLeafPageType:
        return true;
    case kUsageMapPageType:
        // A bitmap page that a post stopped before its map led to it.
        return true;
    default:
        return page[0] > kUsageMapPageType ||
               std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0; });
    }
}

void Checker::checkDataPage(std::uint32_t number, const Page& page) {
    std::string where = file_.where(number);
    try {
        DataPage data(page, where);
        std::uint16_t count = data.rowCount();
        std::size_t tableEnd = kDataPageHeader + 2u * count;
        std::size_t previous = kPageSize;
        for (std::uint16_t row = 0; row < count; ++row) {
            std::size_t start = data.offsetWord(row) & kRowOffsetMask;
            if (start < tableEnd || start > previous)
                problem(where + ", row " + std::to_string(row) + ": starts at " +
                        std::to_string(start) + ", outside " + std::to_string(tableEnd) + ".." +
                        std::to_string(previous));
            else
                previous = start;
        }
        if (data.freeSpace() != previous - tableEnd)
            problem(where + ": free space reads " + std::to_string(data.freeSpace()) +
                    " bytes, the gap between row table and rows is " +
                    std::to_string(previous - tableEnd));
    } catch (const Error& error) {
        problem(error.what());
    }
}

std::optional<UsageMap> Checker::map(MapLocation at, const std::string& whose) {
    try {
        UsageMap result = readUsageMap(file_, at);
        if (result.bitmapPagesPastEnd > 0)
            problem(whose + ": " + file_.where(at.page) + ", usage map row " +
                    std::to_string(at.row) + " names " + std::to_string(result.bitmapPagesPastEnd) +
                    " bitmap pages past the end of the file");
        claim(at.page, Use::MapRows);
        for (std::uint32_t bitmap : result.bitmapPages)
            if (bitmap != 0 && bitmap < pageCount_)
                claim(bitmap, Use::Bitmap);
        return result;
    } catch (const Error& error) {
        problem(whose + ": " + error.what());
        return std::nullopt;
    }
}

void Checker::checkLongValue(std::span<const std::uint8_t> definition, const std::string& where) {
    if (definition.size() < kLongValueHeader) {
        problem(where + ": long value definition of " + std::to_string(definition.size()) +
                " bytes");
        return;
    }
    ByteView view(definition, where);
    std::uint8_t kind = view.u8(3);
    if (kind == kLongValueInline)
        return;
    std::uint32_t pointer = view.u32(4);
    for (std::size_t steps = 0; pointer != 0; ++steps) {
        RowId at{pointer >> 8, static_cast<std::uint16_t>(pointer & 0xFF)};
        std::string link = where + ": long value row " + std::to_string(at.row) + " of page " +
                           std::to_string(at.page);
        if (at.page >= pageCount_) {
            problem(link + " lies past the end of the file");
            return;
        }
        if (!longValueRows_.emplace(at.page, at.row).second) {
            problem(link + " is used twice");
            return;
        }
        Page page = file_.read(at.page);
        if (page[0] != kDataPageType || ByteView(page, link).u32(4) != kLongValueOwner) {
            problem(link + " is not on a long-value page");
            return;
        }
        claim(at.page, Use::LongValue);
        if (kind != kLongValueChain)
            return;
        try {
            DataPage data(page, file_.where(at.page));
            pointer = ByteView(data.rowBytes(at.row), link).u32(0);
        } catch (const Error& error) {
            problem(error.what());
            return;
        }
        if (steps > std::size_t{pageCount_} * kMaxRowsPerPage) {
            problem(where + ": long value chain loops");
            return;
        }
    }
}

void Checker::checkIndexes(const TableDef& def, const std::map<RowId, Row>& rows) {
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
        std::string where = "table " + def.name + ", index " + std::to_string(i);
        const RealIndex& index = def.realIndexes[i];
        std::uint32_t root = index.rootPage;
        if (auto pages = map(index.pages, where))
            for (std::uint32_t page : pages->pages)
                claim(page, Use::Index);
        if (root == 0 || root >= pageCount_) {
            problem(where + ": root page " + std::to_string(root) + " is not in the file");
            continue;
        }
        std::optional<std::vector<Bytes>> entries = treeEntries(def, root, where);
        if (!entries)
            continue;
        std::map<RowId, Bytes> keys;
        std::optional<std::string> unsupported;
        for (const auto& [id, row] : rows) {
            IndexKey key = encodeIndexKey(def, index, row);
            if (const auto* why = std::get_if<std::string>(&key)) {
                unsupported = *why;
                break;
            }
            // A structured binding is named through a reference: Clang 14 cannot capture one.
            const auto& values = row;
            bool allNull = std::all_of(index.columnNumbers.begin(), index.columnNumbers.end(),
                                       [&](std::uint16_t number) {
                                           for (std::size_t c = 0; c < def.columns.size(); ++c)
                                               if (def.columns[c].number == number)
                                                   return isNull(values[c]);
                                           return true;
                                       });
            if (!(allNull && (index.flags & kIndexIgnoresNulls) != 0))
                keys.emplace(id, std::get<Bytes>(key));
        }
        if (unsupported) {
            note(where + ": not checked, its keys hold " + *unsupported);
            continue;
        }
        checkEntries(*entries, where, keys);
    }

    for (const LongValueMaps& maps : def.longValueMaps) {
        std::string where =
            "table " + def.name + ", long values of column " + std::to_string(maps.columnNumber);
        for (MapLocation location : {maps.owned, maps.freeSpace}) {
            if (location.page == 0 && location.row == 0)
                continue; // Access leaves some columns without maps
            auto pages = map(location, where);
            if (!pages)
                continue;
            for (std::uint32_t page : pages->pages) {
                claim(page, Use::LongValue);
                Page bytes = file_.read(page);
                if (bytes[0] != kDataPageType || ByteView(bytes, where).u32(4) != kLongValueOwner)
                    problem(where + ": its usage map lists page " + std::to_string(page) +
                            ", which is not a long-value page");
            }
        }
    }
}

struct Checker::TreeWalk {
    std::string where;
    std::vector<Bytes> entries; // of the leaves, in the tree's order
    std::vector<std::uint32_t> leaves;
    std::set<std::uint32_t> seen;
};

// Reads the pages under `number` in key order: a leaf gives its entries; an intermediate page
// its children, each entry naming one and bounding the entries under it, then its tail. A
// lookup descends by those bounds, so each must lie between the last entry under its child and
// the first under the next. Returns false once the tree cannot be followed further.
bool Checker::walkTree(const TableDef& def, std::uint32_t number, int depth, TreeWalk& walk) {
    std::string at = walk.where + ": page " + std::to_string(number);
    if (depth > kMaxIndexDepth) {
        problem(walk.where + ": its tree is deeper than " + std::to_string(kMaxIndexDepth) +
                " levels");
        return false;
    }
    if (number == 0 || number >= pageCount_) {
        problem(at + " is not in the file");
        return false;
    }
    if (!walk.seen.insert(number).second) {
        problem(at + " is reached twice in its tree");
        return false;
    }
    Page page = file_.read(number);
    if ((page[0] != kIndexLeafPageType && page[0] != kIndexNodePageType) ||
        ByteView(page, at).u32(kIndexOwnerAt) != def.definitionPage) {
        problem(at + " is not an index page of the table");
        return false;
    }
    claim(number, Use::Index);
    std::vector<Bytes> entries = indexPageEntries(page, file_.where(number));
    if (page[0] == kIndexLeafPageType) {
        walk.leaves.push_back(number);
        walk.entries.insert(walk.entries.end(), entries.begin(), entries.end());
        return true;
    }
    std::optional<Bytes> bound; // of the child walked last
    auto walkChild = [&](std::uint32_t child) {
        std::size_t first = walk.entries.size();
        if (!walkTree(def, child, depth + 1, walk))
            return false;
        if (bound && walk.entries.size() > first && !sortsBefore(*bound, walk.entries[first]))
            problem(at + ": the entries under child " + std::to_string(child) +
                    " do not sort after the entry before it");
        return true;
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Bytes& entry = entries[i];
        if (entry.size() < kIndexChildSize + 5) {
            problem(at + ": entry " + std::to_string(i + 1) + " of " +
                    std::to_string(entry.size()) + " bytes");
            return false;
        }
        const std::uint8_t* child = entry.data() + entry.size() - kIndexChildSize;
        if (!walkChild(std::uint32_t{child[0]} << 24 | std::uint32_t{child[1]} << 16 |
                       std::uint32_t{child[2]} << 8 | child[3]))
            return false;
        bound.emplace(entry.begin(), entry.end() - kIndexChildSize);
        if (!walk.entries.empty() && sortsBefore(*bound, walk.entries.back()))
            problem(at + ": entry " + std::to_string(i + 1) +
                    " sorts before the last entry under its child");
    }
    std::uint32_t tail = ByteView(page, at).u32(kIndexTailPageAt);
    return tail == 0 || walkChild(tail);
}

// The entries of an index's leaves in the order of its tree, or std::nullopt (with the problem
// reported) when the tree does not hold together. Walking a level along its chain must meet
// the leaves in the same order.
std::optional<std::vector<Bytes>> Checker::treeEntries(const TableDef& def, std::uint32_t root,
                                                       const std::string& where) {
    TreeWalk walk{where, {}, {}, {}};
    try {
        if (!walkTree(def, root, 0, walk))
            return std::nullopt;
    } catch (const Error& error) {
        problem(error.what());
        return std::nullopt;
    }
    for (std::size_t i = 0; i < walk.leaves.size(); ++i) {
        Page page = file_.read(walk.leaves[i]);
        ByteView leaf(page, where);
        std::uint32_t previous = i == 0 ? 0 : walk.leaves[i - 1];
        std::uint32_t next = i + 1 == walk.leaves.size() ? 0 : walk.leaves[i + 1];
        if (leaf.u32(kIndexPreviousPageAt) != previous || leaf.u32(kIndexNextPageAt) != next)
            problem(where + ": leaf page " + std::to_string(walk.leaves[i]) + " is chained to " +
                    std::to_string(leaf.u32(kIndexPreviousPageAt)) + " and " +
                    std::to_string(leaf.u32(kIndexNextPageAt)) +
                    ", its neighbours in the tree are " + std::to_string(previous) + " and " +
                    std::to_string(next));
    }
    return std::move(walk.entries);
}

// Compares the entries of an index with the keys its rows must have.
void Checker::checkEntries(const std::vector<Bytes>& indexEntries, const std::string& where,
                           const std::map<RowId, Bytes>& keys) {
    Bytes previous;
    std::size_t entries = 0;
    for (const Bytes& entry : indexEntries) {
        ++entries;
        std::string which = where + ": entry " + std::to_string(entries);
        if (!previous.empty() && !(previous < entry))
            problem(which + " does not sort after the one before it");
        previous = entry;
        if (entry.size() < 5) {
            problem(which + " of " + std::to_string(entry.size()) + " bytes");
            continue;
        }
        RowId id = indexEntryRow(entry);
        auto key = keys.find(id);
        if (key == keys.end()) {
            problem(which + " points to page " + std::to_string(id.page) + " row " +
                    std::to_string(id.row) + ", where the table has no row it indexes");
            continue;
        }
        if (!std::equal(entry.begin(), entry.end() - 4, key->second.begin(), key->second.end()))
            problem(which + " for page " + std::to_string(id.page) + " row " +
                    std::to_string(id.row) + " does not hold the row's key");
    }
    if (entries != keys.size())
        problem(where + ": " + std::to_string(entries) + " entries for " +
                std::to_string(keys.size()) + " rows");
}

void Checker::checkTable(const std::string& name, std::uint32_t definitionPage) {
    std::string where = "table " + name;
    TableDef def;
    try {
        def = readTableDef(file_, definitionPage, name);
        for (std::uint32_t page = definitionPage; page != 0;) {
            claim(page, Use::Definition);
            page = ByteView(file_.read(page), where).u32(4);
        }
    } catch (const Error& error) {
        problem(where + ": " + error.what());
        return;
    }
    auto owned = map(def.ownedPages, where + ", owned pages");
    auto freeSpace = map(def.freeSpacePages, where + ", pages with free space");
    if (!owned)
        return;
    // A scan refuses such a table: its rows there would be missing without a word.
    if (owned->pagesPastEnd > 0)
        problem(where + ": its usage map lists " + std::to_string(owned->pagesPastEnd) +
                " pages past the end of the file");
    std::set<std::uint32_t> ownedData;
    for (std::uint32_t page : owned->pages) {
        Page bytes = file_.read(page);
        if (bytes[0] == kDataPageType && ByteView(bytes, where).u32(4) == def.definitionPage) {
            ownedData.insert(page);
            claim(page, Use::Data);
        } else if (bytes[0] != kDefinitionPageType && bytes[0] != kIndexNodePageType &&
                   bytes[0] != kIndexLeafPageType) {
            problem(where + ": its usage map lists page " + std::to_string(page) +
                    ", which holds no rows of the table");
        }
    }
    if (freeSpace)
        for (std::uint32_t page : freeSpace->pages)
            if (ownedData.count(page) == 0)
                problem(where + ": its free-space map lists page " + std::to_string(page) +
                        ", which is not one of its data pages");

    std::map<RowId, Row> rows;
    std::set<RowId> relocated;
    for (std::uint32_t number = 0; number < pageCount_; ++number) {
        Page page = file_.read(number);
        if (page[0] != kDataPageType || ByteView(page, where).u32(4) != def.definitionPage)
            continue;
        if (ownedData.count(number) == 0) {
            if (free_.count(number) != 0)
                continue; // rows of a page Access has given up, kept until compacting
            problem(where + ": page " + std::to_string(number) +
                    " holds rows of the table but its usage map does not list it");
            claim(number, Use::Data);
        }
        DataPage data(page, file_.where(number));
        for (std::uint16_t slot = 0; slot < data.rowCount(); ++slot) {
            std::string rowWhere = file_.where(RowId{number, slot});
            try {
                if (data.isDeleted(slot))
                    continue;
                std::span<const std::uint8_t> bytes = data.rowBytes(slot);
                Page held; // the page a moved row's data lives on, while `bytes` points into it
                if (data.isOverflow(slot)) {
                    RowId target = data.overflowTarget(slot);
                    if (target.page >= pageCount_) {
                        problem(rowWhere + ": points past the end of the file");
                        continue;
                    }
                    held = file_.read(target.page);
                    DataPage targetPage(held, file_.where(target.page));
                    if (targetPage.owner() != def.definitionPage ||
                        targetPage.isOverflow(target.row) || !targetPage.isDeleted(target.row)) {
                        problem(rowWhere + ": points to page " + std::to_string(target.page) +
                                " row " + std::to_string(target.row) +
                                ", which is not a moved row of the table");
                        continue;
                    }
                    if (!relocated.insert(target).second)
                        problem(rowWhere + ": another row points to the same moved row");
                    bytes = targetPage.rowBytes(target.row);
                }
                rows.emplace(RowId{number, slot}, decodeRow(file_, def, bytes, rowWhere));
                RowLayout layout = parseRow(bytes, def.variableColumnCount > 0, rowWhere);
                for (const Column& column : def.columns)
                    if (column.isLongValue() && layout.bit(column.number))
                        checkLongValue(layout.variableBytes(column),
                                       rowWhere + ", column " + column.name);
            } catch (const Error& error) {
                problem(error.what());
            }
        }
    }
    // Access does not keep the row counts of its own system tables up to date.
    bool systemTable = def.name.starts_with("MSys");
    if (rows.size() != def.rowCount && !systemTable)
        problem(rowCountProblem(def.name, rows.size(), def.rowCount));
    try {
        checkIndexes(def, rows);
    } catch (const Error& error) {
        problem(where + ": " + error.what());
    }
}

std::vector<std::string> Checker::run(std::vector<std::string>* notes) {
    readHeader(file_);
    pageCount_ = file_.pageCount();
    claim(0, Use::Header);
    claim(kGlobalMapPage, Use::GlobalMap);
    if (pageCount_ <= kCatalogPage)
        throw Error(file_.where() + ": too short to hold a catalog");

    UsageMap globalMap = readUsageMap(file_, MapLocation{kGlobalMapPage, 0});
    free_.insert(globalMap.pages.begin(), globalMap.pages.end());
    for (std::uint32_t bitmap : globalMap.bitmapPages)
        if (bitmap != 0 && bitmap < pageCount_)
            claim(bitmap, Use::Bitmap);
    for (std::uint32_t number = 1; number < pageCount_; ++number) {
        Page page = file_.read(number);
        if (page[0] == kDataPageType)
            checkDataPage(number, page);
        else if (page[0] > kUsageMapPageType && free_.count(number) == 0)
            note(file_.where(number) + ": not checked, a page of type " + std::to_string(page[0]) +
                 ", which the walk does not read");
    }

    TableDef catalog = readTableDef(file_, kCatalogPage, "MSysObjects");
    checkTable("MSysObjects", kCatalogPage);
    std::vector<std::pair<std::string, std::uint32_t>> tables;
    const Column& id = catalog.column("Id");
    const Column& type = catalog.column("Type");
    const Column& name = catalog.column("Name");
    UsageMap owned = readUsageMap(file_, catalog.ownedPages);
    for (std::uint32_t number : owned.pages) {
        Page page = file_.read(number);
        if (page[0] != kDataPageType)
            continue;
        DataPage data(page, file_.where(number));
        for (std::uint16_t slot = 0; slot < data.rowCount(); ++slot) {
            if (data.isDeleted(slot) || data.isOverflow(slot))
                continue;
            try {
                std::string where = file_.where(number) + ", row " + std::to_string(slot);
                RowLayout layout = parseRow(data.rowBytes(slot), true, where);
                Value kind = decodeValue(file_, type, layout, where);
                Value objectId = decodeValue(file_, id, layout, where);
                Value objectName = decodeValue(file_, name, layout, where);
                const auto* k = std::get_if<std::int64_t>(&kind);
                const auto* i = std::get_if<std::int64_t>(&objectId);
                const auto* n = std::get_if<std::string>(&objectName);
                if (k != nullptr && *k == kTableObject && i != nullptr && n != nullptr &&
                    (*i & 0x00FFFFFF) != kCatalogPage)
                    tables.emplace_back(*n, static_cast<std::uint32_t>(*i & 0x00FFFFFF));
            } catch (const Error& error) {
                problem(error.what());
            }
        }
    }
    for (const auto& [tableName, page] : tables)
        checkTable(tableName, page);
    // Every reader lists the tables through the catalog as the engine does, which needs more of
    // it than the walk above.
    try {
        Database(file_.path(), Database::Mode::ReadOnly).tableNames();
    } catch (const Error& error) {
        problem(error.what());
    }

    for (const auto& [page, use] : uses_)
        if (free_.count(page) != 0 && use != Use::GlobalMap)
            problem(file_.where(page) + ": in use, but the global usage map marks it free");
    for (std::uint32_t page = 0; page < pageCount_; ++page)
        if (uses_.count(page) == 0 && free_.count(page) == 0 && !leftUntilCompacted(page))
            problem(file_.where(page) + ": neither in use by any table nor marked free");
    if (notes != nullptr)
        *notes = notes_;
    return problems_;
}

} // namespace

std::vector<std::string> checkRowCounts(const Database& database) {
    std::vector<std::string> problems;
    for (const std::string& name : database.tableNames()) {
        try {
            const TableDef def = database.table(name);
            std::size_t rows = 0;
            database.scan(def, std::span<const std::size_t>(), [&](RowId, const Row&) { ++rows; });
            if (rows != def.rowCount)
                problems.push_back(rowCountProblem(name, rows, def.rowCount));
        } catch (const Error& error) {
            problems.push_back("table " + name + ": " + error.what());
        }
    }
    return problems;
}

std::vector<std::string> checkDatabase(const std::string& path, std::vector<std::string>* notes) {
    return Checker(path).run(notes);
}

} // namespace jet
