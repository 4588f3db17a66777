#pragma once

#include "link/decoder.h"
#include "link/linkstate.h"
#include "link/port.h"
#include "link/transmitter.h"

#include <functional>

namespace qj {

// The link's clock: one call per tick of the 1 ms timer. It recognises the acknowledgement,
// counts the wait down, resends, gives up, and hands a burst that has stopped growing to the
// report decoder. All waits are counted in ticks, so a test drives it in a loop.
class Supervisor
{
public:
    static constexpr std::uint8_t kQuietTicksCeiling = 255; // the count never wraps

    // `giveUp` runs when the tenth transmission of a command has gone unanswered.
    Supervisor(Port &port, Transmitter &transmitter, ReceiveState &rx, Decoder &decoder,
               std::function<void()> giveUp);

    void RunTimer_Timer();

    // Called when a tick takes the acknowledgement, with the command it counts as taken.
    void setAcknowledgedHook(std::function<void(std::uint8_t cmdId, std::uint8_t value)> hook);

    // True while a tick would do nothing at all: no byte waiting, no wait running and no
    // resend due. The timer may sleep then until a byte arrives or a command is issued.
    bool idle();

private:
    void keepReportAfterAck();

    Port &m_port;
    Transmitter &m_transmitter;
    CommandState &m_cmd;
    ReceiveState &m_rx;
    Decoder &m_decoder;
    std::function<void()> m_giveUp;
    std::function<void(std::uint8_t, std::uint8_t)> m_onAcknowledged;
    bool m_inTick = false;
};

} // namespace qj
