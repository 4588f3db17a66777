#include "link/tracingport.h"

namespace qj {

TracingPort::TracingPort(Port &inner, QTextStream &out) : m_inner(inner), m_out(out)
{
    m_clock.start();
}

PortError TracingPort::setCommPort(int number)
{
    const PortError e = m_inner.setCommPort(number);
    m_out << QStringLiteral("%1 -- port %2%3\n")
                 .arg(static_cast<double>(m_clock.nsecsElapsed()) / 1e6, 10, 'f', 3)
                 .arg(number)
                 .arg(e == PortError::None ? QString()
                                           : QStringLiteral(" refused (%1)").arg(int(e)));
    m_out.flush();
    return e;
}

PortError TracingPort::setPortOpen(bool open)
{
    const PortError e = m_inner.setPortOpen(open);
    m_out << QStringLiteral("%1 -- %2 port %3%4\n")
                 .arg(static_cast<double>(m_clock.nsecsElapsed()) / 1e6, 10, 'f', 3)
                 .arg(open ? QStringLiteral("open") : QStringLiteral("close"))
                 .arg(m_inner.commPort())
                 .arg(e == PortError::None          ? QString()
                      : e == PortError::OpenPending ? QStringLiteral(" pending")
                                                    : QStringLiteral(" failed (%1)").arg(int(e)));
    m_out.flush();
    return e;
}

void TracingPort::setOpenHandler(OpenHandler handler)
{
    m_inner.setOpenHandler([this, handler = std::move(handler)](PortError e) {
        note(e == PortError::None ? QStringLiteral("port %1 open").arg(m_inner.commPort())
                                  : QStringLiteral("port %1 could not be opened (%2)")
                                        .arg(m_inner.commPort())
                                        .arg(int(e)));
        if (handler)
            handler(e);
    });
}

void TracingPort::discardInput()
{
    // Read what is waiting first, so the trace shows every byte that came in.
    m_inner.input(m_scratch);
    if (!m_scratch.empty())
        line("RX", m_scratch, " (discarded)");
    m_inner.discardInput();
}

void TracingPort::input(std::vector<std::uint8_t> &into)
{
    m_inner.input(into);
    if (!into.empty())
        line("RX", into);
}

void TracingPort::unread(std::span<const std::uint8_t> bytes)
{
    m_inner.unread(bytes);
    note(QStringLiteral("the last %1 bytes read are kept to be read again").arg(bytes.size()));
}

PortError TracingPort::output(std::span<const std::uint8_t> bytes)
{
    const PortError e = m_inner.output(bytes);
    if (m_inner.portOpen() || e != PortError::None)
        line("TX", bytes,
             e == PortError::None         ? ""
             : e == PortError::DeviceGone ? " (failed: the device is gone)"
                                          : " (failed)");
    return e;
}

void TracingPort::setWatching(bool on)
{
    m_inner.setWatching(on);
    note(on ? QStringLiteral("watch port %1 for the device's return").arg(m_inner.commPort())
            : QStringLiteral("watch of port %1 ends").arg(m_inner.commPort()));
}

void TracingPort::note(const QString &text)
{
    m_out << QStringLiteral("%1 -- ").arg(static_cast<double>(m_clock.nsecsElapsed()) / 1e6, 10,
                                          'f', 3)
          << text << '\n';
    m_out.flush();
}

void TracingPort::line(const char *direction, std::span<const std::uint8_t> bytes, const char *note)
{
    m_out << QStringLiteral("%1 %2")
                 .arg(static_cast<double>(m_clock.nsecsElapsed()) / 1e6, 10, 'f', 3)
                 .arg(QLatin1String(direction));
    for (std::uint8_t b : bytes)
        m_out << ' ' << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    m_out << note << '\n';
    m_out.flush();
}

} // namespace qj
