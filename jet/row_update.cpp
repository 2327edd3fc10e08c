// SPDX-License-Identifier: Apache-2.0
#include "jet/row_update.h"

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/map_update.h"
#include "jet/post_mark.h"
#include "jet/row_codec.h"
#include "jet/slot_page.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace jet {

namespace {

// Access refuses longer rows.
constexpr std::size_t kMaxRowSize = 4060;
// Where a relocated row lives: its row number, then its page in three bytes.
constexpr std::size_t kPointerSize = 4;
// Jet relocates a row once; a longer chain of pointers than this is damage.
constexpr std::size_t kMaxHops = 4;
// How many of the pages with free space a row that moves looks at before it takes a new page.
constexpr std::size_t kPagesTriedForRoom = 8;

bool ofTable(const Page& image, const TableDef& def) {
    return image[0] == kDataPageType && ByteView(image, def.name).u32(4) == def.definitionPage;
}

RowId pointerTarget(const Slot& slot, const std::string& where) {
    if (slot.bytes.size() < kPointerSize)
        throw Error(where + ": relocation pointer of " + std::to_string(slot.bytes.size()) +
                    " bytes");
    ByteView view(slot.bytes, where);
    return RowId{view.u24(1), view.u8(0)};
}

Bytes pointerTo(RowId target) {
    Bytes pointer(kPointerSize);
    pointer[0] = static_cast<std::uint8_t>(target.row);
    putU24(pointer, 1, target.page);
    return pointer;
}

using EncodedChanges = std::vector<std::pair<std::size_t, StoredValue>>; // column index, value

EncodedChanges encodeChanges(const TableDef& def,
                             const std::vector<Database::ColumnChange>& changes) {
    EncodedChanges encoded;
    for (const Database::ColumnChange& change : changes) {
        const Column& column = def.column(change.column);
        std::size_t index = static_cast<std::size_t>(&column - def.columns.data());
        std::string where = "table " + def.name + ", column " + column.name;
        const auto unchangeable = [&](const std::string& why) {
            return Error::misfit(Error::Kind::Unchangeable, column.name, where + ": " + why);
        };
        if (def.isIndexed(column))
            throw unchangeable("the column belongs to an index, which this program does not "
                               "rewrite; changing it is refused");
        if (column.isAutoNumber())
            throw unchangeable("an autonumber cannot be changed");
        if (column.isLongValue())
            throw unchangeable(std::string(columnTypeName(column.type)) +
                               " values cannot be written");
        if (std::any_of(encoded.begin(), encoded.end(),
                        [&](const auto& e) { return e.first == index; }))
            throw Error(where + ": named twice in one post");
        try {
            encoded.emplace_back(index, encodeValue(column, change.value));
        } catch (const Error& error) {
            throw Error::misfit(error.kind(), error.column(),
                                "table " + def.name + ", " + error.what(), error.limit());
        }
    }
    return encoded;
}

Bytes rebuildRow(const TableDef& def, std::span<const std::uint8_t> stored,
                 const EncodedChanges& changes, const std::string& where) {
    RowLayout layout = parseRow(stored, def.variableColumnCount > 0, where);
    std::vector<StoredValue> values;
    values.reserve(def.columns.size());
    for (const Column& column : def.columns)
        values.push_back(storedValue(column, layout));
    for (const auto& [index, value] : changes)
        values[index] = value;
    Bytes row = encodeRow(def, values, &layout);
    if (row.size() > kMaxRowSize)
        throw Error::misfit(Error::Kind::TooLong, {},
                            where + ": with the new values the row would take " +
                                std::to_string(row.size()) + " bytes, more than the " +
                                std::to_string(kMaxRowSize) + " a row may hold",
                            static_cast<std::int64_t>(kMaxRowSize));
    return row;
}

// One post, or the recovery from interrupted ones: the pages it reads under the lock and the
// order in which it writes them. A post reads only what it touches: the row's page, the pages
// its relocation pointers lead to and, when the row must move, the pages and maps that take it.
class Post {
public:
    Post(PageFile& file, TableDef def, Durability durability, MarkState& mark)
        : file_(file), def_(std::move(def)), durability_(durability), mark_(mark) {}

    void run(RowId id, const EncodedChanges& changes) {
        std::vector<RowId> chain = locate(id);
        Bytes row = rebuildRow(def_, slot(chain.back()).bytes, changes, file_.where(chain.back()));
        // Everything that could refuse the post has been checked: writing may begin.
        Plan plan = planFor(chain, row);
        const bool leaves = plan.leavesSomething();
        const bool ours = mark_.held == def_.definitionPage;
        if ((!mark_.looked || leaves) && !ours && recoverIfMarked(leaves))
            plan = planFor(chain, row); // the recovery rewrote pages the plan was made from
        mark_.looked = true;
        if (leaves && !ours)
            setMark();
        if (plan.home)
            finish(std::move(*plan.home));
        else if (plan.inPlace)
            write(std::move(*plan.inPlace));
        else
            relocate(chain, row);
        recordFreedRoom();
        if (durability_ == Durability::Synced)
            file_.sync();
        // A batch clears the mark after its last sync; a post without syncs has no order to keep.
        if (durability_ != Durability::Batched)
            clearHeldMark(file_, mark_);
    }

    // Frees what posts that stopped part way left in the table. This walks every page of the
    // table, so a writer does it only when the mark names the table.
    void recoverLeftovers() {
        adoptUnrecordedPages();
        reclaimOrphans();
    }

private:
    // The writes a post will make, decided before the first: a relocated row goes home when it
    // fits there again, which drops the pointer's hop; otherwise it stays where it lives as long
    // as it fits that page, and moves to another page only when it does not.
    struct HeaderEdit {
        SlotPage page;
        std::vector<RowId> elsewhere;
    };
    struct Plan {
        std::optional<HeaderEdit> home;
        std::optional<SlotPage> inPlace;
        // One page written is all or nothing; more steps may stop between them.
        bool leavesSomething() const { return !inPlace && !(home && home->elsewhere.empty()); }
    };
    Plan planFor(const std::vector<RowId>& chain, const Bytes& row) {
        Plan plan;
        if (chain.size() > 1) {
            HeaderEdit edit = editHeader(chain, Slot{row, 0});
            if (edit.page.fits()) {
                plan.home = std::move(edit);
                return plan;
            }
        }
        SlotPage edited = page(chain.back().page);
        edited.slots[chain.back().row].bytes = row;
        if (edited.fits())
            plan.inPlace = std::move(edited);
        return plan;
    }

    // When the mark is set, frees what the post it names left, makes that durable and clears the
    // mark, unless this post is about to set it again. Returns whether it recovered.
    bool recoverIfMarked(bool settingItAgain) {
        std::optional<std::uint32_t> marked = readPostMark(file_);
        if (!marked || marked == mark_.held)
            return false;
        if (*marked == def_.definitionPage)
            recoverLeftovers();
        else
            Post(file_,
                 readTableDef(file_, *marked, "with definition page " + std::to_string(*marked)),
                 durability_, mark_)
                .recoverLeftovers();
        orderWrites();
        if (!settingItAgain)
            writePostMark(file_, std::nullopt);
        return true;
    }

    // The mark must be durable before any write it covers; a batch that kept it set for another
    // table first makes that table's posts durable, since the mark names one table.
    void setMark() {
        if (mark_.held)
            orderWrites();
        writePostMark(file_, def_.definitionPage);
        mark_.held = def_.definitionPage;
        orderWrites();
    }

    // A post that stopped after appending a page but before the global map marked it used
    // leaves a page of the table that the global map calls free, perhaps missing from the
    // table's maps. Such a page holds only relocated data no pointer leads to yet: it is
    // recorded everywhere now, and its rows are freed as orphans. A free page that still holds
    // live rows (Access may leave one) is not touched.
    void adoptUnrecordedPages() {
        for (std::uint32_t number : readUsageMap(file_, kGlobalMap).pages) {
            Page image = file_.read(number);
            if (!ofTable(image, def_))
                continue;
            DataPage leftover(image, file_.where(number));
            bool live = false;
            for (std::uint16_t row = 0; row < leftover.rowCount(); ++row)
                live = live || !leftover.isDeleted(row);
            if (live)
                continue;
            addPageToMap(file_, def_.freeSpacePages, number);
            addPageToMap(file_, def_.ownedPages, number);
            markPageInUse(file_, number);
        }
    }

    // The page taken apart, read on first use; nullptr when it holds no rows of the table.
    SlotPage* tablePage(std::uint32_t number) {
        auto found = pages_.find(number);
        if (found != pages_.end())
            return &found->second;
        Page image = file_.read(number);
        if (!ofTable(image, def_))
            return nullptr;
        return &pages_.emplace(number, unpackDataPage(number, image, file_.where(number)))
                    .first->second;
    }

    SlotPage& page(std::uint32_t number) {
        if (SlotPage* found = tablePage(number))
            return *found;
        // The row id is stale or the file damaged.
        throw Error(file_.where(number) + ": not a data page of table " + def_.name);
    }

    Slot& slot(RowId id) {
        SlotPage& holder = page(id.page);
        if (id.row >= holder.slots.size())
            throw Error(file_.where(id) + ": no such row (the page has " +
                        std::to_string(holder.slots.size()) + ")");
        return holder.slots[id.row];
    }

    // The row's place followed through its relocation pointers: the id first, where the data
    // lives last.
    std::vector<RowId> locate(RowId id) {
        std::vector<RowId> chain{id};
        if ((slot(id).flags & kRowDeleted) != 0)
            throw Error(file_.where(id) + ": the row has been deleted");
        while ((slot(chain.back()).flags & kRowOverflow) != 0) {
            if (chain.size() > kMaxHops)
                throw Error(file_.where(id) + ": relocation pointers do not end");
            RowId next = pointerTarget(slot(chain.back()), file_.where(chain.back()));
            slot(next);
            chain.push_back(next);
        }
        return chain;
    }

    // `afterSync`: the write waits for the batch's next sync (see PageFile::writeAfterSync).
    void write(SlotPage edited, bool afterSync = false) {
        Page packed = edited.packed();
        SlotPage& current = page(edited.number);
        if (ByteView(packed, edited.where).u16(2) > ByteView(current.image, edited.where).u16(2))
            freed_.insert(edited.number);
        if (afterSync)
            file_.writeAfterSync(edited.number, packed);
        else
            file_.write(edited.number, packed);
        edited.image = packed;
        current = std::move(edited);
    }

    // Frees the slots of `rows`, writing each page once.
    void reclaim(const std::vector<RowId>& rows) {
        std::map<std::uint32_t, SlotPage> edits;
        for (RowId row : rows) {
            auto [edit, added] = edits.try_emplace(row.page, page(row.page));
            edit->second.slots[row.row] = Slot{{}, kReclaimedRow};
        }
        for (auto& [number, edit] : edits)
            write(std::move(edit));
    }

    // Relocated data that no pointer leads to is left by a post that stopped between writing
    // the data and the pointer, or between the pointer and freeing the data it replaced. Access
    // never shows it, but readers that ignore the deleted flag would list it twice.
    void reclaimOrphans() {
        std::set<RowId> targets;
        std::vector<RowId> candidates;
        for (std::uint32_t number : readUsageMap(file_, def_.ownedPages).pages) {
            Page image = file_.read(number);
            if (!ofTable(image, def_))
                continue; // the owned pages also list the table's index and definition pages
            DataPage view(image, file_.where(number));
            for (std::uint16_t row = 0; row < view.rowCount(); ++row) {
                std::uint16_t flags = view.offsetWord(row) & kRowFlags;
                if (flags == kRowOverflow && view.rowBytes(row).size() >= kPointerSize)
                    targets.insert(view.overflowTarget(row));
                else if (flags == kRowDeleted && !view.rowBytes(row).empty())
                    candidates.push_back({number, row});
            }
        }
        std::vector<RowId> orphans;
        for (RowId id : candidates)
            if (!targets.contains(id))
                orphans.push_back(id);
        reclaim(orphans);
    }

    // Gives the row's original slot its new content. The data the slot led to is freed in the
    // same write where it shares the page, and after it (by `finish`) elsewhere, so no state
    // on disk has a pointer to freed data.
    HeaderEdit editHeader(const std::vector<RowId>& chain, Slot content) {
        HeaderEdit edit{page(chain.front().page), {}};
        edit.page.slots[chain.front().row] = std::move(content);
        for (auto link = chain.begin() + 1; link != chain.end(); ++link) {
            if (link->page == edit.page.number)
                edit.page.slots[link->row] = Slot{{}, kReclaimedRow};
            else
                edit.elsewhere.push_back(*link);
        }
        return edit;
    }
    void finish(HeaderEdit edit) {
        write(std::move(edit.page));
        if (edit.elsewhere.empty())
            return;
        // Writes may reach the disk in any order: the slot's new content must be durable before
        // the data it no longer leads to is freed.
        orderWrites();
        reclaim(edit.elsewhere);
    }

    void relocate(const std::vector<RowId>& chain, const Bytes& row) {
        std::set<std::uint32_t> excluded;
        for (RowId link : chain)
            excluded.insert(link.page);
        std::optional<RowId> target = placeOnPageWithRoom(row, excluded);
        if (!target)
            target = placeOnNewPage(row);
        // The data and the maps that lead to it are durable before the pointer is written. In a
        // batch the pointer waits for the next sync, which the moves of many rows share.
        HeaderEdit edit = editHeader(chain, Slot{pointerTo(*target), kRowOverflow});
        if (durability_ != Durability::Batched || !edit.elsewhere.empty()) {
            orderWrites();
            finish(std::move(edit));
            return;
        }
        write(std::move(edit.page), true);
    }

    // Places the row on a page of the table that the free-space map lists and that has room,
    // trying the last few pages it lists, as Jet does: the pages most recently added have the
    // most room, and looking through every listed page would make a post cost the table.
    std::optional<RowId> placeOnPageWithRoom(const Bytes& row,
                                             const std::set<std::uint32_t>& excluded) {
        const std::vector<std::uint32_t> listed =
            lastPagesOfMap(file_, def_.freeSpacePages, kPagesTriedForRoom + excluded.size());
        std::size_t tried = 0;
        for (auto number = listed.begin(); number != listed.end() && tried < kPagesTriedForRoom;
             ++number) {
            if (excluded.contains(*number))
                continue;
            ++tried;
            if (!pages_.contains(*number)) {
                // Pages stay listed as they fill up: the header's count of free bytes turns most
                // of them away before they are taken apart.
                Page image = file_.read(*number);
                if (!ofTable(image, def_) ||
                    DataPage(image, file_.where(*number)).freeSpace() < row.size())
                    continue;
            }
            const SlotPage* candidate = tablePage(*number);
            if (candidate == nullptr)
                continue;
            SlotPage edited = *candidate;
            std::uint16_t slotNumber = edited.place(row);
            if (!edited.fits())
                continue;
            write(std::move(edited));
            return RowId{*number, slotNumber};
        }
        return std::nullopt;
    }

    // A new page at the end of the file, recorded in the table's maps and then in the global
    // map; until the owned-pages map lists it no scan reaches it, and until the global map
    // does, the recovery that the post's mark calls for finds and records it (see
    // adoptUnrecordedPages).
    RowId placeOnNewPage(const Bytes& row) {
        std::uint32_t number = prepareNewPage(file_);
        SlotPage fresh{number, newDataPage(def_.definitionPage), {}, file_.where(number)};
        std::uint16_t slotNumber = fresh.place(row);
        if (file_.append(fresh.packed()) != number)
            throw Error(file_.where(number) + ": the file grew while it was locked");
        fresh.image = fresh.packed();
        pages_.emplace(number, std::move(fresh));
        addPageToMap(file_, def_.freeSpacePages, number);
        addPageToMap(file_, def_.ownedPages, number);
        markPageInUse(file_, number);
        return RowId{number, slotNumber};
    }

    // Pages that gained room are listed in the free-space map, so later posts find them.
    void recordFreedRoom() {
        for (std::uint32_t number : freed_)
            addPageToMap(file_, def_.freeSpacePages, number);
    }

    // A sync between writes that must reach the disk in order; a batch keeps these too.
    void orderWrites() {
        if (durability_ != Durability::Unsynced)
            file_.sync();
    }

    PageFile& file_;
    TableDef def_;
    Durability durability_;
    MarkState& mark_;
    std::map<std::uint32_t, SlotPage> pages_; // the pages read so far, taken apart
    std::set<std::uint32_t> freed_;
};

} // namespace

void checkChanges(const TableDef& table, const std::vector<Database::ColumnChange>& changes) {
    encodeChanges(table, changes);
}

bool updateRow(PageFile& file, const TableDef& table, RowId id,
               const std::vector<Database::ColumnChange>& changes, Durability durability,
               MarkState* mark, const Database::RowCondition* stillWanted) {
    if (!file.writable())
        throw Error::ofFile(Error::Kind::ReadOnly, file.where(),
                            file.where() + ": the file is open for reading only");
    PageFile::WriteLock lock(file);
    file.checkStillAtPath();
    // Without a writer's state the caller has recovered already, as a benchmark does.
    MarkState looked{true, std::nullopt};
    return updateRowLocked(file, table, id, changes, durability, mark ? *mark : looked,
                           stillWanted);
}

bool updateRowLocked(PageFile& file, const TableDef& table, RowId id,
                     const std::vector<Database::ColumnChange>& changes, Durability durability,
                     MarkState& mark, const Database::RowCondition* stillWanted) {
    // Columns, maps and row counts are read again: another process may have changed them since
    // `table` was read.
    TableDef current = readTableDef(file, table.definitionPage, table.name);
    EncodedChanges encoded = encodeChanges(current, changes);
    if (stillWanted != nullptr && !(*stillWanted)(readRow(file, current, id)))
        return false;
    Post(file, std::move(current), durability, mark).run(id, encoded);
    return true;
}

} // namespace jet
