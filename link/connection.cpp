#include "link/connection.h"

#include "link/linklog.h"
#include "params/labeltext.h"

namespace qj {

Connection::Connection(Port &port, Transmitter &transmitter, LinkHost &host)
    : m_port(port), m_transmitter(transmitter), m_host(host)
{}

int Connection::portNumberFrom(const QString &text)
{
    return roundHalfEven(leadingNumber(text));
}

bool Connection::connect(int number, Failures failures)
{
    // Each step that fails is reported and the next one still runs, as the port allows.
    report(m_port.setCommPort(number), failures);
    report(m_port.setPortOpen(true), failures);
    if (!m_port.portOpen())
        return false;

    CommandState &s = m_transmitter.state();
    s.CmdId = kConnectCmdId;
    s.CmdValue = 1;
    report(m_transmitter.SendComFrame(), failures);
    s.ReplyTicks = Transmitter::kFirstReplyTicks;
    s.RetryLeft = Transmitter::kTransmissions;
    return true;
}

void Connection::report(PortError error, Failures failures)
{
    if (error != PortError::None)
        qCInfo(lcLink, "port %d refused (%d)", m_port.commPort(), static_cast<int>(error));
    if (failures == Failures::Logged)
        return;
    switch (error) {
    case PortError::InvalidPort:
        m_host.showMessage(Message::PortInvalid);
        return;
    case PortError::AlreadyOpen:
        m_host.showMessage(Message::PortAlreadyOpen);
        return;
    case PortError::AccessDenied:
        m_host.showMessage(Message::AccessDenied);
        return;
    default:
        return; // other failures show nothing
    }
}

} // namespace qj
