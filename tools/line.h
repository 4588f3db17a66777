#pragma once

#include <algorithm>
#include <chrono>

namespace qj::sim {

// The virtual processor's clock: microseconds on the host's steady clock, handed in by the caller.
using Micros = std::chrono::microseconds;

// One direction of the serial line. Bytes cross it one after another, each taking a byte time,
// so a byte handed over while the line is still busy arrives after the ones before it.
class Line
{
public:
    // 28800 baud, 8N1: a start bit, eight data bits and a stop bit, 10 / 28800 s = 347.2 us.
    static constexpr Micros kByteTime{347};

    explicit Line(bool paced = true) : m_byteTime(paced ? kByteTime : Micros{0}) {}

    void setPaced(bool paced) { m_byteTime = paced ? kByteTime : Micros{0}; }
    bool paced() const { return m_byteTime > Micros{0}; }

    // When a byte handed to the line at `at` has fully arrived at the far end.
    Micros pass(Micros at)
    {
        m_free = std::max(at, m_free) + m_byteTime;
        return m_free;
    }

    Micros freeAt() const { return m_free; }
    void reset(Micros at) { m_free = at; }

private:
    Micros m_byteTime;
    Micros m_free{0};
};

} // namespace qj::sim
