#include "link/connection.h"

#include "link/linklog.h"
#include "link/portbindings.h"
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
    if ((m_port.portOpen() || m_port.portOpening()) && number != m_port.commPort()) {
        // The port open here is not the one now named. An invalid number changes nothing: the
        // open port's device must not receive a connect command meant for another. A valid one
        // closes that port first (the port only; the panel keeps what it shows), with the
        // command meant for its device, so that the steps below reach the device named.
        if (!PortBindings::isValidNumber(number)) {
            report(PortError::InvalidPort, failures);
            return false;
        }
        qCInfo(lcLink, "port %d closed for port %d", m_port.commPort(), number);
        m_transmitter.state().clear();
        m_port.setPortOpen(false);
    }
    // Each step that fails is reported and the next one still runs, as the port allows.
    report(m_port.setCommPort(number), failures);
    report(m_port.setPortOpen(true), failures);
    if (!m_port.portOpen())
        return false;
    return announce(failures);
}

bool Connection::announce(Failures failures)
{
    CommandState &s = m_transmitter.state();
    s.CmdId = kConnectCmdId;
    s.CmdValue = 1;
    const PortError written = m_transmitter.SendComFrame();
    if (written != PortError::None) {
        // The failed write has closed the port: nothing waits for an acknowledgement. Told as
        // any failed write is (a gone device is a loss), or only logged when the panel tries
        // by itself.
        s.clear();
        if (failures == Failures::Shown)
            m_transmitter.reportFailure(written);
        else
            report(written, failures);
        return false;
    }
    m_transmitter.armWait();
    return s.CmdId != 0;
}

void Connection::report(PortError error, Failures failures)
{
    if (error == PortError::OpenPending)
        return; // its end is told later
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
    case PortError::InUse:
        m_host.showMessage(Message::PortInUse);
        return;
    default:
        return; // other failures show nothing
    }
}

} // namespace qj
