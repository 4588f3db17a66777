#pragma once

#include "link/linkstate.h"
#include "link/port.h"

#include <functional>
#include <vector>

namespace qj {

// Builds command frames from the command state and writes them to the port.
class Transmitter
{
public:
    static constexpr std::int16_t kFirstReplyTicks = 100;  // first wait after a new command
    static constexpr std::int16_t kResendReplyTicks = 200; // wait after every resend
    static constexpr std::uint8_t kTransmissions = 10;     // a command goes out at most this often

    Transmitter(Port &port, CommandState &state);

    // Called when a send by a control or by the tick fails because the port stopped working.
    void setFailureHandler(std::function<void(PortError)> handler);
    // Called after every transmission, with the frame written: a command now waits for its
    // acknowledgement. Observers only; they do not change the command state.
    void addSendHook(std::function<void(const frame::Frame &)> hook);

    // One transmission of the pending command; failures go back to the caller.
    PortError SendComFrame();

    // A new command: CmdId, CmdValue, SendComFrame, ReplyTicks := 100, RetryLeft := 10.
    // It replaces any command still pending. Failures go to the failure handler.
    void issue(std::uint8_t cmdId, std::uint8_t value);

    // The wait of a new command, armed after its first transmission: ReplyTicks := 100 and
    // RetryLeft := 10, unless the command was forgotten while it was being sent.
    void armWait();

    // The tick's resend of the pending command; failures go to the failure handler.
    void resend();

    // Hands a failed write (of a command or of a reply byte) to the failure handler.
    void reportFailure(PortError error);

    // Frames written since start-up, and new commands issued since start-up.
    std::uint32_t transmissions() const { return m_transmissions; }
    std::uint32_t commands() const { return m_commands; }

    CommandState &state() { return m_state; }
    Port &port() { return m_port; }

private:
    Port &m_port;
    CommandState &m_state;
    std::function<void(PortError)> m_onFailure;
    std::vector<std::function<void(const frame::Frame &)>> m_onSend;
    std::uint32_t m_transmissions = 0;
    std::uint32_t m_commands = 0;
};

} // namespace qj
