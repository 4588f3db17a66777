#include "link/link.h"

#include "link/linklog.h"
#include "params/offlinedefaults.h"

namespace qj {

Link::Link(Port &port, PanelAccess &panel, LinkHost &host)
    : m_port(port), m_panel(panel), m_host(host), m_transmitter(port, m_command),
      m_reports(panel, [this] { goOnline(); }),
      m_decoder(port, m_receive, m_reports, m_transmitter),
      m_supervisor(port, m_transmitter, m_receive, m_decoder, [this] { giveUp(); }),
      m_connection(port, m_transmitter, host), m_sliders(panel, *this), m_buttons(panel, *this),
      m_spinners(panel)
{
    m_transmitter.setFailureHandler([this](PortError error) { writeFailed(error); });
    m_port.setOpenHandler([this](PortError error) { openEnded(error); });
}

void Link::setState(LinkState state, Announce announce)
{
    if (state != m_state)
        qCInfo(lcLink, "%s -> %s", linkStateName(m_state), linkStateName(state));
    else if (announce == Announce::OnChange)
        return;
    m_state = state;
    m_host.linkStateChanged(state);
}

void Link::OffLineStatus()
{
    // The window takes no input until the last step.
    m_panel.setWindowEnabled(false);
    showOfflineDefaults(m_panel);
    // Not online from here on. The steps above still saw the panel as it was: a box or option
    // they changed while online issued its command, which is forgotten next.
    m_panel.setMuteColour(ButtonColour::Face);
    setState(m_state == LinkState::Online ? LinkState::Offline : m_state, Announce::Always);
    m_command.clear();
    m_panel.setWindowEnabled(true);
    m_host.panelReset();
}

void Link::connect(int number)
{
    const int before = m_port.portOpen() ? m_port.commPort() : 0;
    m_connecting = true;
    m_backMeanwhile = false;
    const bool sent = m_connection.connect(number);
    m_connecting = false;
    // The same number tried in vain leaves the watch; a connection, or another number, ends it.
    if (m_watching && (m_port.portOpen() || m_port.commPort() != m_watchedNumber))
        endWatch();
    if (m_port.portOpening()) {
        m_openFailures = Connection::Failures::Shown; // the user's own connect, even in a watch
        setState(LinkState::Connecting);
    } else if (!m_port.portOpen())
        setState(LinkState::Closed); // e.g. the open port was closed for another that did not open
    // A port that has just opened (afresh, or in place of another) is connecting.
    else if (sent && (m_state == LinkState::Closed || m_port.commPort() != before))
        setState(LinkState::Connecting);
    if (m_backMeanwhile)
        deviceReturned();
}

void Link::disconnect()
{
    endWatch();
    if (m_port.portOpen() || m_port.portOpening()) {
        m_port.setPortOpen(false);
        setState(LinkState::Closed);
    }
    OffLineStatus();
}

void Link::goOnline()
{
    if (offersConnect(m_state))
        setState(LinkState::Online);
}

void Link::issue(std::uint8_t cmdId, std::uint8_t value)
{
    m_transmitter.issue(cmdId, value);
}

void Link::controlChanged(Control control)
{
    switch (control) {
    case Control::SuperBass:
    case Control::SubwoofPhase:
        m_buttons.CheckBoxClick(control);
        return;
    case Control::SurroundMode1:
    case Control::SurroundMode2:
        m_buttons.OptionClick(control);
        return;
    case Control::MaxMusicVolume:
    case Control::MaxMicVolume:
        m_spinners.Change(control);
        return;
    }
}

// The link fails in three ways. The give-up leaves the port open; a failed write and a lost
// device leave it closed, so connecting is offered again.

void Link::giveUp()
{
    // The tenth transmission went unanswered. The command stays in place while the message is
    // open; the tick does not run again meanwhile.
    qCInfo(lcLink, "gave up: command %d value %d unanswered after %d transmissions",
           m_command.CmdId, m_command.CmdValue, Transmitter::kTransmissions);
    m_host.showMessage(Message::SendFailed);
    OffLineStatus();
}

void Link::writeFailed(PortError error)
{
    if (error == PortError::DeviceGone) {
        qCInfo(lcLink, "a write found the device gone");
        lose();
        return;
    }
    qCInfo(lcLink, "a write failed (%d)", static_cast<int>(error));
    // The port refused a command or a reply byte and has closed. Forget the command before the
    // modal message, whose event loop keeps the tick running: it would otherwise count the
    // command down, resend it into nothing and report the same failure a second time.
    clear();
    m_host.showMessage(Message::SendFailed);
    setState(LinkState::Closed);
    OffLineStatus();
}

void Link::deviceLost()
{
    qCInfo(lcLink, "the device went away");
    // One box at a time: the loss is told once the open one has been read.
    if (m_host.boxOpen()) {
        m_lossWaiting = true;
        return;
    }
    lose();
}

void Link::boxesClosed()
{
    if (!m_lossWaiting)
        return;
    m_lossWaiting = false;
    lose();
}

void Link::boxNames(int number)
{
    if (m_watching && number != m_watchedNumber)
        endWatch();
}

void Link::lose()
{
    // The port is gone, so the pending command can never be acknowledged: forgotten first, as
    // for a failed write.
    clear();
    m_host.showMessage(Message::DeviceOffline);
    setState(LinkState::Closed);
    OffLineStatus();
    // Watched from here, after the message: a device back while the message is still open is
    // connected as soon as it has been read.
    startWatch();
}

void Link::openEnded(PortError error)
{
    if (m_state != LinkState::Connecting)
        return; // disconnected meanwhile, or a connection that went further
    const bool fromWatch = m_openFailures == Connection::Failures::Logged;
    if (error == PortError::None) {
        qCInfo(lcLink, "port %d open: connecting", m_port.commPort());
        endWatch();
        m_connection.announce(m_openFailures);
        return;
    }
    // A command sent before the server refused the line can never be acknowledged.
    qCInfo(lcLink, "port %d could not be opened (%d)", m_port.commPort(), static_cast<int>(error));
    clear();
    if (m_port.portOpen())
        m_port.setPortOpen(false);
    setState(LinkState::Closed);
    if (!fromWatch) {
        m_host.showMessage(Message::ConnectFailed);
        return;
    }
    if (!m_watching)
        startWatch(); // a server that accepted the connection and then refused: try again later
}

void Link::startWatch()
{
    m_watchedNumber = m_port.commPort();
    m_watching = true;
    qCInfo(lcLink, "watching port %d for the device", m_watchedNumber);
    m_port.setWatching(true);
}

void Link::endWatch()
{
    if (!m_watching)
        return;
    m_watching = false;
    qCInfo(lcLink, "no longer watching port %d", m_watchedNumber);
    m_port.setWatching(false);
}

void Link::deviceReturned()
{
    if (!m_watching || m_state != LinkState::Closed)
        return;
    if (m_connecting) {
        m_backMeanwhile = true; // a message of the connect entry is open: after it
        return;
    }
    m_backMeanwhile = false;
    qCInfo(lcLink, "the device of port %d may be back: connecting", m_watchedNumber);
    if (m_connection.connect(m_watchedNumber, Connection::Failures::Logged) && m_port.portOpen()) {
        endWatch();
        setState(LinkState::Connecting);
        return;
    }
    if (m_port.portOpening()) {
        m_openFailures = Connection::Failures::Logged; // the watch goes on until it is open
        setState(LinkState::Connecting);
        return;
    }
    // Not there yet (or the connect command could not be written): nothing waits for an
    // acknowledgement, and the next sign of the device tries again.
    clear();
}

} // namespace qj
