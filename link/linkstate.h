#pragma once

#include "link/frame.h"

#include <cstdint>
#include <vector>

namespace qj {

// Where the link stands. The window shows it: Mute is enabled only online, the connect entry is
// offered while closed or connecting, and the status lamp reads connected only online.
enum class LinkState {
    Closed,     // no port open: start-up, Disconnect, a failed write, a lost device
    Connecting, // the port is open and the connect command went out; the reports are not complete
    Online,     // the processor's reports completed the connection: the controls send
    Offline,    // a command went unanswered after the connection completed; the port stays open
};

// Whether the connect entry is offered in `state`.
constexpr bool offersConnect(LinkState state)
{
    return state == LinkState::Closed || state == LinkState::Connecting;
}

// For the log.
constexpr const char *linkStateName(LinkState state)
{
    switch (state) {
    case LinkState::Closed:
        return "closed";
    case LinkState::Connecting:
        return "connecting";
    case LinkState::Online:
        return "online";
    case LinkState::Offline:
        return "offline";
    }
    return "?";
}

// The command in flight. Names are those of the protocol's own description.
struct CommandState
{
    std::uint8_t CmdId = 0;      // 1-based parameter id of the pending command; 0 = none
    std::uint8_t CmdValue = 0;   // its value byte
    frame::Frame TxFrame{};      // the frame last built, reused for every transmission
    std::uint8_t RetryLeft = 0;  // transmissions still allowed
    std::int16_t ReplyTicks = 0; // ticks left before the command counts as unanswered

    bool pending() const { return CmdId != 0 || ReplyTicks != 0; }

    // No command pending: acknowledged, or forgotten because nothing can acknowledge it now.
    void clear()
    {
        CmdId = 0;
        CmdValue = 0;
        ReplyTicks = 0;
        RetryLeft = 0;
    }
};

// What the tick and the report decoder keep between calls.
struct ReceiveState
{
    std::vector<std::uint8_t> RxBuffer; // everything read at the last read
    std::int16_t RxCount = 0;           // input count seen at the previous look
    std::uint8_t QuietTicks = 0;        // looks that found the count unchanged
    std::uint8_t RxId = 0;              // bytes 1 and 2 of the last report frame
    std::uint8_t RxValue = 0;
    std::uint8_t RxReply[1] = {0}; // our one-byte answer to the last report
};

} // namespace qj
