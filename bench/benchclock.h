#pragma once

#include <chrono>

namespace qj::bench {

// One clock for every stamp: the monotonic clock, which the threads of this program and the
// programs it starts all share.
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

inline double toMs(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double toUs(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace qj::bench
