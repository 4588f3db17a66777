#pragma once

#include "app/menuactions.h"
#include "link/link.h"
#include "link/linkhost.h"
#include "link/tickgate.h"
#include "panel/gesturewatch.h"
#include "panel/panelmenu.h"
#include "panel/widgetpanel.h"

#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QScrollArea;
class QSettings;

namespace qj {

class PanelView;
class SerialPort;

// The main window. It owns the controls, the port and the link, wires the controls' events to
// the link, shows the link's state and messages, and runs the link's 1 ms tick.
class Form1 : public QMainWindow, public LinkHost
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kRunTimerPeriod{1}; // the shortest period asked

    explicit Form1(QWidget *parent = nullptr);             // on its own serial port
    explicit Form1(Port &port, QWidget *parent = nullptr); // on a port from outside
    // On a serial port reached through a wrapper around it (the protocol trace).
    Form1(SerialPort &serial, Port &port, QWidget *parent = nullptr);
    ~Form1() override;

    // What the link asks of the window: Mute, the connect entry and the status lamp follow the
    // link's state; messages in a modal box, in the link's language.
    void linkStateChanged(LinkState state) override;
    void showMessage(Message message) override;
    // The offline procedure's return to the design-time state: not work of the user's.
    void panelReset() override;
    bool boxOpen() const override { return m_panel.messagesOpen() != 0; }

    PanelView &view() { return *m_view; }
    WidgetPanel &panel() { return m_panel; }
    GestureWatch &gestures() { return m_gestures; }
    PanelMenu &menu() { return m_menu; }
    Link &link() { return m_link; }
    Port &port() { return m_port; }
    SerialPort *serialPort() { return m_serial; } // null on a port from outside
    // Which device each port number stands for: the serial port's, or a set of the window's
    // own on a port from outside.
    PortBindings &bindings();
    MenuActions &menuActions() { return m_actions; }
    QTimer &runTimer() { return m_runTimer; }
    void setMessagePresenter(WidgetPanel::MessagePresenter presenter);

    // What the panel remembers (MenuActions::useSettings), and where the window was left: it
    // opens there when that place is wholly on a screen now, centred otherwise, and the place
    // is remembered when it closes. Null: nothing is read or written.
    void useSettings(QSettings *settings);
    // Fits the window to a screen whose free area is `available`: as designed where there is
    // room, otherwise within it, the client area scrolling.
    void fitTo(const QRect &available);
    QScrollArea *clientScroll() const { return m_scroll; } // null while as designed

    // RunTimer's tick: the link's supervision, then the menu's preset push; nothing while a
    // message box is open. While a tick would do
    // nothing (no byte waiting, no wait running, no resend due) the timer sleeps, and a received
    // byte or a transmission wakes it: the panel does exactly what it did tick by tick, without
    // spending a wake-up every millisecond.
    void RunTimer_Timer();
    bool tickAsleep() const { return m_tickAsleep; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void runTimerFired(); // the timer's tick, through the tick gate, to RunTimer_Timer
    Form1(std::unique_ptr<SerialPort> ownPort, SerialPort *serial, Port *port, QWidget *parent);

    void Form_Load();
    void MenuConnect_Click();
    QString deviceDescription() const;
    void fixWindow();
    void placeWindow(std::optional<QPoint> remembered);
    QSize frameAllowance() const;
    void wireControls();
    void wakeTick();
    void boxOpened(bool open);
    void personChanged(const std::vector<int> &wireIds);

    std::unique_ptr<SerialPort> m_ownPort;
    SerialPort *m_serial;
    PortBindings m_looseBindings;
    Port &m_port;
    PanelView *m_view;
    GestureWatch m_gestures;
    PanelMenu m_menu;
    WidgetPanel m_panel;
    Link m_link;
    MenuActions m_actions;
    QTimer m_runTimer;
    TickGate m_tickGate;
    bool m_tickAsleep = false; // stopped by RunTimer_Timer itself, not from outside
    QScrollArea *m_scroll = nullptr;
    QSettings *m_settings = nullptr;
};

} // namespace qj
