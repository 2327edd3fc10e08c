// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_file.h"

#include <cstdint>
#include <optional>

namespace jet {

// A post that moves a row writes in several steps, and one stopped between them leaves data no
// pointer leads to, or a page the file's maps do not record. Finding that means walking the
// whole table, so a post that may leave something sets a mark first, naming its table, and
// clears it once its writes are durable: a writer walks a table only when the mark is set.
// The mark lives in a stretch of page 0 that Jet leaves zeroed and no reader looks at, and it
// is zeroed again after every post, so a file nobody interrupted keeps that stretch as it was.

// What a writer knows of the mark between its posts.
struct MarkState {
    // Whether this writer has looked for the mark since it opened the file, or since a post of
    // its own failed; until it has, its next post looks, and frees what the marked post left,
    // before writing.
    bool looked = false;
    // The table whose mark this writer keeps set on purpose: a batch's posts leave it to the
    // batch's last sync, which clears it (see clearHeldMark).
    std::optional<std::uint32_t> held;
};

// The definition page of the table whose post the mark says may have stopped part way.
std::optional<std::uint32_t> readPostMark(const PageFile& file);
// Sets the mark for the table with that definition page, or clears it for std::nullopt.
void writePostMark(PageFile& file, std::optional<std::uint32_t> table);
// Clears the mark this writer holds, once the pages it covers are durable. A failure to clear
// is not reported: the posts succeeded, and a mark left set only makes the next writer look.
void clearHeldMark(PageFile& file, MarkState& mark);

} // namespace jet
