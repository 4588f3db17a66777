#pragma once

#include "tools/line.h"

#include <cstdint>
#include <string>

namespace qj::sim {

// What the virtual processor did, for the trace and for tests that check its decisions.
struct DeviceEvent
{
    enum class Kind {
        CommandAcked,      // id, value: answered 0xAA and applied
        CommandRefused,    // id, value: answered 0x55 (range, reported-only id, unknown id)
        CommandGarbled,    // id, value as received: bad check byte, answered 0x55
        CommandIgnored,    // id, value: left unanswered by a fault
        ReportSent,        // id, value
        ReportCorrupted,   // id, value: sent with a wrong check byte
        ReplyAccepted,     // id of the report the panel took
        ReplyRejected,     // id of the report the panel refused
        ReplyTimedOut,     // id of the report nobody answered
        ReportInterrupted, // id of the report a command cut into; it goes out again
        Stray,             // value: a byte that belongs to nothing
        Noise,             // value: bytes in the burst
        Unplugged,
        Plugged,
    };

    Micros at;
    Kind kind;
    std::uint8_t id = 0;
    std::uint8_t value = 0;

    bool operator==(const DeviceEvent &) const = default;
};

// One line of text, for the trace: "command 31=40 acknowledged".
std::string describe(const DeviceEvent &event);

} // namespace qj::sim
