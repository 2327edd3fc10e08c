// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// The pages of a file being built, held in memory until the whole file is known: a new file is
// written in one go, so that a failure part way leaves no half-built database behind.
class PageStore {
public:
    // A new zeroed page at the end; returns its number.
    std::uint32_t allocate();
    Page& operator[](std::uint32_t page) { return pages_.at(page); }
    const Page& operator[](std::uint32_t page) const { return pages_.at(page); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(pages_.size()); }

    // Writes every page to a temporary file beside `path`, makes it durable and renames it over
    // `path`, so that readers see either no file or the complete one.
    void writeTo(const std::string& path) const;

private:
    std::vector<Page> pages_;
};

} // namespace jet
