#include "link/supervisor.h"

#include "link/linklog.h"

namespace qj {

Supervisor::Supervisor(Port &port, Transmitter &transmitter, ReceiveState &rx, Decoder &decoder,
                       std::function<void()> giveUp)
    : m_port(port), m_transmitter(transmitter), m_cmd(transmitter.state()), m_rx(rx),
      m_decoder(decoder), m_giveUp(std::move(giveUp))
{}

void Supervisor::setAcknowledgedHook(std::function<void(std::uint8_t, std::uint8_t)> hook)
{
    m_onAcknowledged = std::move(hook);
}

void Supervisor::RunTimer_Timer()
{
    // The give-up message is modal and lets ticks through; they must not resend or give up
    // the same command again.
    if (m_inTick)
        return;
    m_inTick = true;

    const int n = m_port.inBufferCount();
    if (n != 0) {
        if (m_cmd.pending()) {
            // The acknowledgement names no command: a first byte 0xAA takes whatever is pending.
            m_port.input(m_rx.RxBuffer);
            if (!m_rx.RxBuffer.empty() && m_rx.RxBuffer[0] == frame::kAck) {
                qCDebug(lcLink, "command %d value %d acknowledged", m_cmd.CmdId, m_cmd.CmdValue);
                if (m_onAcknowledged)
                    m_onAcknowledged(m_cmd.CmdId, m_cmd.CmdValue);
                m_cmd.clear();
                keepReportAfterAck();
            }
        } else if (m_port.inBufferCount() == m_rx.RxCount) {
            // The burst has stopped growing: decode it on the first quiet look.
            if (m_rx.QuietTicks < kQuietTicksCeiling)
                ++m_rx.QuietTicks;
            if (m_rx.QuietTicks == 1) {
                m_rx.RxCount = static_cast<std::int16_t>(m_port.inBufferCount());
                m_decoder.ReadComData();
            }
        } else {
            m_rx.RxCount = static_cast<std::int16_t>(m_port.inBufferCount());
            m_rx.QuietTicks = 0;
        }
    }

    if (m_cmd.ReplyTicks != 0)
        --m_cmd.ReplyTicks;

    if (m_cmd.CmdId != 0 && m_cmd.ReplyTicks == 0 && m_cmd.RetryLeft != 0) {
        if (m_cmd.RetryLeft >= 2) {
            m_transmitter.resend();
            qCDebug(lcLink, "command %d unanswered: transmission %d of %d", m_cmd.CmdId,
                    Transmitter::kTransmissions - m_cmd.RetryLeft + 1, Transmitter::kTransmissions);
        } else {
            m_giveUp();
        }
    }
    m_inTick = false;
}

void Supervisor::keepReportAfterAck()
{
    // The processor reports a few milliseconds after its acknowledgement. A panel kept off the
    // CPU that long reads both at once; a frame's start byte right after the acknowledgement
    // is that report, which goes back to be received as any other. Anything else read with
    // the acknowledgement is dropped, as it always was.
    if (m_rx.RxBuffer.size() < 2 || m_rx.RxBuffer[1] != frame::kStart)
        return;
    m_port.unread(std::span<const std::uint8_t>(m_rx.RxBuffer).subspan(1));
    // Counted afresh: a count left from before the command must not make a report still
    // arriving look complete.
    m_rx.RxCount = 0;
    m_rx.QuietTicks = 0;
}

bool Supervisor::idle()
{
    const bool resendDue = m_cmd.CmdId != 0 && m_cmd.RetryLeft != 0;
    return m_port.inBufferCount() == 0 && m_cmd.ReplyTicks == 0 && !resendDue;
}

} // namespace qj
