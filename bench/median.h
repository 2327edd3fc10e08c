// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
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

// The middle one of `values` (not empty).
inline double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The wall and processor time of one pass; the processor time is the process's, which a machine
// busy with other work disturbs far less than the wall time.
struct Times {
    double wall = 0;
    double processor = 0;
};

template <typename Work> Times timed(Work work) {
    const std::clock_t start = std::clock();
    Times times;
    times.wall = median(1, work);
    times.processor = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    return times;
}

} // namespace bench
