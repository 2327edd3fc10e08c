// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_file.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jet {

class PageFile;

inline constexpr std::uint8_t kInlineMap = 0x00;
inline constexpr std::uint8_t kReferenceMap = 0x01;
inline constexpr std::uint8_t kUsageMapPageType = 0x05;
// Access gives an inline map a 64-byte bitmap: 512 pages from its start page.
inline constexpr std::size_t kInlineMapBitmapBytes = 64;
// A bitmap page of a reference map: a 4-byte header, then bits for this many pages.
inline constexpr std::size_t kBitmapPageHeader = 4;
inline constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - kBitmapPageHeader) * 8;

// A usage map: a set of page numbers kept as a bitmap in a row of some page. An inline map
// holds a start page and the bitmap itself; a reference map holds pointers to pages of type
// 0x05 whose bytes after a 4-byte header are the bitmap.
struct UsageMap {
    std::uint8_t kind = kInlineMap;
    std::uint32_t startPage = 0;            // inline maps only
    std::vector<std::uint32_t> bitmapPages; // reference maps only
    std::vector<std::uint32_t> pages;       // the pages whose bit is set, ascending
    std::size_t pagesPastEnd = 0;           // set bits for pages the file does not have
    // Entries of a reference map naming a page the file does not have.
    std::size_t bitmapPagesPastEnd = 0;
};

// Reads the map stored at `location`. Pages listed past the end of the file are dropped from
// `pages` and only counted: Access leaves such bits set in maps of free pages, while in a map of
// owned pages they mean the file was cut short. So are the entries of a reference map that name
// no page of the file: Access leaves such entries (values near 2^32) in the map of free pages,
// and they are read as unused.
UsageMap readUsageMap(const PageFile& file, MapLocation location);

// The last `count` pages the map at `location` lists that the file has, the highest first: what
// a writer looking for room needs, without listing the whole map.
std::vector<std::uint32_t> lastPagesOfMap(const PageFile& file, MapLocation location,
                                          std::size_t count);

// The row of an inline map starting at `startPage` with the bits of `pages` set, its bitmap
// `bitmapBytes` long. Throws Error when a page lies outside the bitmap's reach, so that a caller
// learns it needs a start page nearer its pages or a reference map.
Bytes inlineMapRow(std::uint32_t startPage, std::span<const std::uint32_t> pages,
                   std::size_t bitmapBytes = kInlineMapBitmapBytes);

} // namespace jet
