// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_file.h"
#include "jet/table_def.h"

#include <cstdint>

namespace jet {

// Changes to the usage maps of an existing file, written to disk at once. Each function leaves
// the map readable after every single page write, so a post that stops part way leaves at most
// a page that no map claims.

// The file's global map of pages in use. Unlike a table's maps, a set bit means a free page.
inline constexpr MapLocation kGlobalMap{1, 0};

// Whether markPageInUse can record `page`: the global map has a bit for it, or page 1 has room
// to lengthen the map's bitmap as Access does when a file outgrows it.
bool globalMapCanRecord(const PageFile& file, std::uint32_t page);

// Marks `page` as in use in the global map, where a set bit means a free page, lengthening the
// bitmap when the page lies past it. Throws Error when the map cannot record the page.
void markPageInUse(PageFile& file, std::uint32_t page);

// Adds `page` to the table map (owned pages or pages with free space) stored at `location`. An
// inline map that cannot reach the page moves its start page when its pages allow, otherwise it
// becomes a reference map whose bitmap pages are appended to the file.
void addPageToMap(PageFile& file, MapLocation location, std::uint32_t page);

} // namespace jet
