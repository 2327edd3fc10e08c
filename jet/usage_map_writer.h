// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/page_store.h"
#include "jet/value.h"

#include <cstdint>
#include <span>

namespace jet {

// Every usage map row of a new file has the size Access gives it, whatever its kind, so that
// the rows can be placed before the pages they list are known.
inline constexpr std::size_t kUsageMapRowSize = 5 + 64;

// The row of a map holding `pages` (ascending) in the form Access reads: inline when they all lie
// within the inline bitmap's reach of the first, otherwise a reference map whose bitmap pages are
// added to `store`.
Bytes buildUsageMapRow(PageStore& store, std::span<const std::uint32_t> pages);

} // namespace jet
