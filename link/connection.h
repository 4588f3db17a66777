#pragma once

#include "link/linkhost.h"
#include "link/panelaccess.h"
#include "link/port.h"
#include "link/transmitter.h"

#include <functional>

namespace qj {

// Opening the port the user names and announcing the panel to the processor.
class Connection
{
public:
    static constexpr std::uint8_t kConnectCmdId = 1; // wire id 0, value 1: AA 00 01 54

    Connection(Port &port, Transmitter &transmitter, PanelAccess &panel, LinkHost &host);

    // Describes the device of the current port number and why it could not be opened,
    // for the access-denied message. Without one, the message names the port number.
    void setDeviceDescriber(std::function<QString()> describe);

    // The port number typed in the box: spaces trimmed, the leading number, halves to even.
    static int portNumberFrom(const QString &text);

    void MenuConnect_Click(const QString &text1);

    // Close the port if open, allow connecting again, and take the panel offline.
    void disconnect();

private:
    void report(PortError error);

    Port &m_port;
    Transmitter &m_transmitter;
    PanelAccess &m_panel;
    LinkHost &m_host;
    std::function<QString()> m_describe;
};

} // namespace qj
