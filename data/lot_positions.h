// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <QHash>

#include <cstdint>
#include <vector>

namespace data {

// Where the positions of every lot live: the row ids of the positions by their MASTER_CODE.
// Gathered while the lots' totals are summed, a scan that reads every position anyway, so that
// a lot switch then reads only the rows of its lot. The system never adds, removes or re-files
// a position, so the ids hold until the file is opened again; a reader still checks each row
// it is led to.
class LotPositions {
public:
    // Forgets every lot; complete() is false until the next gathering ends.
    void clear();
    void add(std::int64_t lot, jet::RowId id);
    // Every position of the table has been added.
    void markComplete() { complete_ = true; }
    bool complete() const { return complete_; }

    // The positions of `lot` in the order they were added; none for an unknown lot.
    const std::vector<jet::RowId>& of(std::int64_t lot) const;

private:
    QHash<std::int64_t, std::vector<jet::RowId>> rows_;
    bool complete_ = false;
};

} // namespace data
