#include "link/decoder.h"

#include "link/linklog.h"

#include <algorithm>

namespace qj {

Decoder::Decoder(Port &port, ReceiveState &rx, ReportTable &table, Transmitter &transmitter)
    : m_port(port), m_rx(rx), m_table(table), m_transmitter(transmitter)
{}

void Decoder::setReportHook(std::function<void(std::uint8_t, std::uint8_t)> hook)
{
    m_onReport = std::move(hook);
}

void Decoder::ReadComData()
{
    ReceiveState &rx = m_rx;
    m_port.input(rx.RxBuffer);
    rx.RxReply[0] = frame::kReject;

    // The size test uses the count the tick saw; bytes the port did not hand over are absent.
    // There is no search for a start byte: a stray leading byte spoils the burst.
    const auto &buf = rx.RxBuffer;
    const std::uint32_t sentBefore = m_transmitter.transmissions();
    std::uint8_t reported = 0; // the value byte as it came; some rows rewrite RxValue
    if (rx.RxCount >= 4 && buf.size() >= 4 && buf[0] == frame::kStart &&
        frame::sum(buf.data()) == frame::kSum) {
        rx.RxReply[0] = frame::kAccept;
        rx.RxId = buf[1];
        rx.RxValue = buf[2];
        reported = rx.RxValue;
        m_table.apply(rx);
    }
    const bool accepted = rx.RxReply[0] == frame::kAccept;

    // A surround report may have sent its command just now: emptying the transmit buffer would
    // throw that frame away, and SendComFrame already emptied it before writing.
    if (m_transmitter.transmissions() == sentBefore)
        m_port.discardOutput();
    if (!accepted && lcLink().isDebugEnabled()) {
        const auto shown = static_cast<qsizetype>(std::min<std::size_t>(buf.size(), 8));
        qCDebug(lcLink, "report refused: %s",
                QByteArray(reinterpret_cast<const char *>(buf.data()), shown)
                    .toHex(' ')
                    .toUpper()
                    .constData());
    }
    // Whatever came with the report is emptied before the reply goes out, not after: the
    // processor sends its next report as soon as it has the reply, and a panel kept off the CPU
    // between writing the reply and emptying its input would throw that report away.
    m_port.discardInput();
    m_transmitter.reportFailure(m_port.output(rx.RxReply));
    rx.QuietTicks = 0;
    rx.RxCount = 0;
    if (accepted && m_onReport)
        m_onReport(rx.RxId, reported);
}

} // namespace qj
