// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/database.h"
#include "jet/page_file.h"
#include "jet/table_def.h"

#include <vector>

namespace jet {

// Whether a post waits until its pages are durable. A post of a batch keeps the syncs that order
// its own writes (new data before the pointer that leads to it, the pointer before the data it
// replaced is freed) and leaves the last one to the batch. Only benchmarks measure without any.
enum class Durability { Synced, Batched, Unsynced };

// Checks that every change names a column of `table` that a post may write: not indexed (its
// index would go stale), not an autonumber, not a memo or OLE object, named once, and that each
// value fits its column. Throws Error with the reason; writes nothing.
void checkChanges(const TableDef& table, const std::vector<Database::ColumnChange>& changes);

// Writes new values into some columns of the row `id` of `table` under the file's write lock.
// The definition and every page the post changes are read again under the lock, so `table` may
// come from an earlier read and the row may have moved since; no other page of the table is
// read, unless the mark says a post stopped part way there. A row that no longer fits its
// page moves to another page of the table, leaving a pointer at `id`; new data and maps are
// written (and made durable) before the pointer that leads to them, so every interruption
// leaves each row readable with its old or its new values.
// With `stillWanted`, the row as read under the lock must meet it, or nothing is written; returns
// whether the row was changed.
bool updateRow(PageFile& file, const TableDef& table, RowId id,
               const std::vector<Database::ColumnChange>& changes,
               Durability durability = Durability::Synced, MarkState* mark = nullptr,
               const Database::RowCondition* stillWanted = nullptr);

// The same post for a caller that already holds the file's write lock and has checked that the
// file is still at its path: the posts of a batch.
bool updateRowLocked(PageFile& file, const TableDef& table, RowId id,
                     const std::vector<Database::ColumnChange>& changes, Durability durability,
                     MarkState& mark, const Database::RowCondition* stillWanted);

} // namespace jet
