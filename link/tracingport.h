#pragma once

#include "link/port.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

namespace qj {

// Wraps the port and writes every byte sent and received to a text stream, one frame or
// byte per line with the time since start in milliseconds and the direction:
//     1234.567 TX AA 1F 28 0E
//     1236.102 RX AA
// Received bytes thrown away unread are shown too, marked "(discarded)". What happens to the
// port itself (selected, opened, closed, watched for a lost device) is a line starting "--".
class TracingPort : public Port
{
public:
    TracingPort(Port &inner, QTextStream &out);

    PortError setCommPort(int number) override;
    int commPort() const override { return m_inner.commPort(); }
    PortError setPortOpen(bool open) override;
    bool portOpen() const override { return m_inner.portOpen(); }
    int inBufferCount() override { return m_inner.inBufferCount(); }
    void discardInput() override;
    void discardOutput() override { m_inner.discardOutput(); }
    void input(std::vector<std::uint8_t> &into) override;
    void unread(std::span<const std::uint8_t> bytes) override;
    PortError output(std::span<const std::uint8_t> bytes) override;
    void setWatching(bool on) override;
    bool portOpening() const override { return m_inner.portOpening(); }
    void setOpenHandler(OpenHandler handler) override;

    // A line of its own about the port ("device lost ..."), with the time.
    void note(const QString &text);

private:
    void line(const char *direction, std::span<const std::uint8_t> bytes, const char *note = "");

    Port &m_inner;
    QTextStream &m_out;
    QElapsedTimer m_clock;
    std::vector<std::uint8_t> m_scratch;
};

} // namespace qj
