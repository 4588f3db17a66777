#include "link/transmitter.h"

namespace qj {

Transmitter::Transmitter(Port &port, CommandState &state) : m_port(port), m_state(state) {}

void Transmitter::setFailureHandler(std::function<void(PortError)> handler)
{
    m_onFailure = std::move(handler);
}

void Transmitter::addSendHook(std::function<void(const frame::Frame &)> hook)
{
    m_onSend.push_back(std::move(hook));
}

PortError Transmitter::SendComFrame()
{
    CommandState &s = m_state;
    if (s.RetryLeft > 0)
        --s.RetryLeft;
    frame::build(s.TxFrame, static_cast<std::uint8_t>(s.CmdId - 1), s.CmdValue);
    if (s.ReplyTicks == 0)
        s.ReplyTicks = kResendReplyTicks;
    const bool wasOpen = m_port.portOpen();
    m_port.discardOutput();
    // Anything received before this frame cannot be its acknowledgement.
    m_port.discardInput();
    // The port noticed in the discards that its device is gone: the loss is reported already
    // (and has forgotten the command), and there is nothing to write to.
    if (wasOpen && !m_port.portOpen())
        return PortError::None;
    ++m_transmissions;
    const PortError error = m_port.output(s.TxFrame);
    for (const auto &hook : m_onSend)
        hook(s.TxFrame);
    return error;
}

void Transmitter::issue(std::uint8_t cmdId, std::uint8_t value)
{
    ++m_commands;
    m_state.CmdId = cmdId;
    m_state.CmdValue = value;
    const PortError error = SendComFrame();
    armWait();
    reportFailure(error);
}

void Transmitter::armWait()
{
    // A loss the port noticed while the frame went out (in its discards) has forgotten the
    // command already: no wait is armed for a command that is no longer there.
    if (m_state.CmdId == 0)
        return;
    m_state.ReplyTicks = kFirstReplyTicks;
    m_state.RetryLeft = kTransmissions;
}

void Transmitter::resend()
{
    reportFailure(SendComFrame());
}

void Transmitter::reportFailure(PortError error)
{
    if (error != PortError::None && m_onFailure)
        m_onFailure(error);
}

} // namespace qj
