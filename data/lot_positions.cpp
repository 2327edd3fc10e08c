// SPDX-License-Identifier: Apache-2.0
#include "data/lot_positions.h"

namespace data {

void LotPositions::clear() {
    rows_.clear();
    complete_ = false;
}

void LotPositions::add(std::int64_t lot, jet::RowId id) {
    rows_[lot].push_back(id);
}

const std::vector<jet::RowId>& LotPositions::of(std::int64_t lot) const {
    static const std::vector<jet::RowId> none;
    const auto found = rows_.constFind(lot);
    return found == rows_.constEnd() ? none : *found;
}

} // namespace data
