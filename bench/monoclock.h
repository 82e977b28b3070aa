// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <time.h>

#include <cstdint>

namespace bench {

// CLOCK_MONOTONIC in nanoseconds: the one time base of the child's exec stamp and of every
// event the watcher sees.
inline std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline double NsToMs(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

} // namespace bench
