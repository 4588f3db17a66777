#include "link/connection.h"

#include "params/labeltext.h"

namespace qj {

Connection::Connection(Port &port, Transmitter &transmitter, PanelAccess &panel, LinkHost &host)
    : m_port(port), m_transmitter(transmitter), m_panel(panel), m_host(host)
{}

void Connection::setDeviceDescriber(std::function<QString()> describe)
{
    m_describe = std::move(describe);
}

int Connection::portNumberFrom(const QString &text)
{
    return roundHalfEven(leadingNumber(text));
}

void Connection::MenuConnect_Click(const QString &text1)
{
    // Each step that fails is reported and the next one still runs, as the port allows.
    report(m_port.setCommPort(portNumberFrom(text1)));
    report(m_port.setPortOpen(true));
    if (!m_port.portOpen())
        return;

    CommandState &s = m_transmitter.state();
    s.CmdId = kConnectCmdId;
    s.CmdValue = 1;
    report(m_transmitter.SendComFrame());
    s.ReplyTicks = Transmitter::kFirstReplyTicks;
    s.RetryLeft = Transmitter::kTransmissions;
}

void Connection::disconnect()
{
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
        m_panel.setEnabled(Control::MenuConnect, true);
    }
    m_host.OffLineStatus();
}

void Connection::report(PortError error)
{
    switch (error) {
    case PortError::InvalidPort:
        m_panel.showMessage(QStringLiteral("端口无效！！！")); // always Chinese
        return;
    case PortError::AlreadyOpen:
        m_panel.showMessage(QStringLiteral("端口已打开！！！"));
        return;
    case PortError::AccessDenied: {
        const QString device =
            m_describe ? m_describe() : QStringLiteral("COM%1").arg(m_port.commPort());
        if (speaksChinese(m_panel))
            m_panel.showMessage(QStringLiteral("无法打开串口 %1：没有访问权限。\r\n"
                                               "请把当前用户加入 dialout 组，重新登录后再连接。")
                                    .arg(device));
        else
            m_panel.showMessage(QStringLiteral("Cannot open the serial port %1: permission "
                                               "denied.\r\nAdd your user to the dialout group, "
                                               "log in again and reconnect.")
                                    .arg(device));
        return;
    }
    default:
        return; // other failures show nothing
    }
}

} // namespace qj
