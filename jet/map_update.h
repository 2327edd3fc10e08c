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

// The number the next page appended to the file gets, once the global map reaches it: its
// bitmap lengthened on page 1 as Access does while the page has room, turned into a reference
// map when it has not, or given another bitmap page. Until markPageInUse records it, that page
// reads as free, so a post stopped before recording it leaves nothing the map does not account
// for. Throws Error of kind SizeLimit when the file has as many pages as Jet allows.
std::uint32_t prepareNewPage(PageFile& file);

// Marks `page` as in use in the global map, where a set bit means a free page. A page the map
// does not reach reads as in use already.
void markPageInUse(PageFile& file, std::uint32_t page);

// Adds `page` to the table map (owned pages or pages with free space) stored at `location`;
// nothing is written when the map lists it already. An
// inline map that cannot reach the page moves its start page when its pages allow, otherwise it
// becomes a reference map whose bitmap pages are appended to the file. Throws Error of kind
// Unsupported when the map's row is too short to reach the page.
void addPageToMap(PageFile& file, MapLocation location, std::uint32_t page);

} // namespace jet
