#pragma once

#include "link/linkhost.h"
#include "link/port.h"
#include "link/transmitter.h"

#include <QString>

namespace qj {

// Opening the port the user names and announcing the panel to the processor.
class Connection
{
public:
    static constexpr std::uint8_t kConnectCmdId = 1; // wire id 0, value 1: AA 00 01 54

    Connection(Port &port, Transmitter &transmitter, LinkHost &host);

    // The port number typed in the box: spaces trimmed, the leading number, halves to even.
    static int portNumberFrom(const QString &text);

    // How a failed step is told: in a message box (the user chose the connect entry), or
    // only in the log (the panel tries by itself, when a lost device is back).
    enum class Failures { Shown, Logged };

    // MenuConnect_Click on port `number`: select it, open it and, if it then reads open, send
    // the connect command. Each step that fails is reported and the next one still runs.
    // While a port is open under another number, a valid `number` closes it first and an
    // invalid one is reported and changes nothing. True when the connect command went out.
    // An open that pends (a network device) returns false with the port opening: announce()
    // follows when the port is open.
    bool connect(int number, Failures failures = Failures::Shown);
    // Sends the connect command on the open port. True when it went out.
    bool announce(Failures failures);

private:
    void report(PortError error, Failures failures);

    Port &m_port;
    Transmitter &m_transmitter;
    LinkHost &m_host;
};

} // namespace qj
