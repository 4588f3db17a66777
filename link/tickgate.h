#pragma once

#include <chrono>
#include <optional>

namespace qj {

// Keeps RunTimer's ticks about a period apart. A periodic QTimer keeps its phase: after a late
// tick the next one can follow within microseconds. Two looks at the input count that close can
// fall between two bytes of an arriving report (a byte takes 0.35 ms at 28800 baud), find the
// count unchanged and decode half a frame. Such a tick is left out; the timer's next one comes
// within the period. Time is handed in, so a test drives it.
class TickGate
{
public:
    using Clock = std::chrono::steady_clock;
    // Well above a byte time; below the 1 ms period less the timer's usual lateness, so only a
    // tick crowding a late one is left out.
    static constexpr std::chrono::microseconds kMinSpacing{900};

    // Whether a tick at `now` runs; the first always does.
    bool admit(Clock::time_point now)
    {
        if (m_last && now - *m_last < kMinSpacing)
            return false;
        m_last = now;
        return true;
    }

private:
    std::optional<Clock::time_point> m_last; // the last tick that ran
};

} // namespace qj
