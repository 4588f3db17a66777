#pragma once

#include "link/frame.h"

#include <cstdint>
#include <vector>

namespace qj {

// The command in flight. Names are those of the protocol's own description.
struct CommandState
{
    std::uint8_t CmdId = 0;      // 1-based parameter id of the pending command; 0 = none
    std::uint8_t CmdValue = 0;   // its value byte
    frame::Frame TxFrame{};      // the frame last built, reused for every transmission
    std::uint8_t RetryLeft = 0;  // transmissions still allowed
    std::int16_t ReplyTicks = 0; // ticks left before the command counts as unanswered

    bool pending() const { return CmdId != 0 || ReplyTicks != 0; }
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
