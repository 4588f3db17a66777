#pragma once

#include <cstdint>

namespace qj {

// The link as the control handlers use it: there is one command in flight, and commands go out
// only while the panel is online.
class CommandSender
{
public:
    virtual ~CommandSender() = default;

    virtual bool online() const = 0;
    // A command still waits for its acknowledgement (CmdId is not 0).
    virtual bool commandPending() const = 0;
    // A new command: it replaces any command still pending.
    virtual void issue(std::uint8_t cmdId, std::uint8_t value) = 0;
};

} // namespace qj
