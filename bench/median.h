// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

// The median wall time, in seconds, of `runs` runs of `work`: one slow run on a busy machine
// does not move it.
template <typename Work> double median(int runs, Work work) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace bench
