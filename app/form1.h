#pragma once

#include "app/menuactions.h"
#include "app/tickgate.h"
#include "link/connection.h"
#include "link/decoder.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/reporttable.h"
#include "link/supervisor.h"
#include "link/transmitter.h"
#include "panel/panelmenu.h"
#include "panel/texts.h"
#include "panel/widgetpanel.h"
#include "params/buttonhandler.h"
#include "params/sliderhandler.h"
#include "params/spinnerhandler.h"

#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <memory>

namespace qj {

class PanelView;
class SerialPort;

// The main window. It owns the form-level state (the controls, the command and reception
// state, the port, the link and the handlers), wires the controls' events to their handlers
// and runs the link's 1 ms tick.
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

    // The form procedures the link calls back into.
    void ShowError() override;
    void ShowConnect() override;
    void OffLineStatus() override;

    PanelView &view() { return *m_view; }
    WidgetPanel &panel() { return m_panel; }
    PanelMenu &menu() { return m_menu; }
    Port &port() { return m_port; }
    SerialPort *serialPort() { return m_serial; } // null on a port from outside
    // Which device each port number stands for: the serial port's, or a set of the window's
    // own on a port from outside.
    PortBindings &bindings();
    MenuActions &menuActions() { return m_actions; }
    CommandState &commandState() { return m_command; }
    ReceiveState &receiveState() { return m_receive; }
    Transmitter &transmitter() { return m_transmitter; }
    Supervisor &supervisor() { return m_supervisor; }
    Connection &connection() { return m_connection; }
    QTimer &runTimer() { return m_runTimer; }
    void setMessagePresenter(WidgetPanel::MessagePresenter presenter);

    // The open port stopped working (unplugged): the panel goes offline.
    void handlePortLost();

    // RunTimer's tick: the link's supervision, then the menu's preset push. While a tick would do
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
    void handleWriteFailure();
    void abandonCommand();
    void fixWindow();
    void wireControls();
    void wakeTick();

    std::unique_ptr<SerialPort> m_ownPort;
    SerialPort *m_serial;
    PortBindings m_looseBindings;
    Port &m_port;
    PanelView *m_view;
    PanelMenu m_menu;
    WidgetPanel m_panel;
    CommandState m_command;
    ReceiveState m_receive;
    Texts m_texts;
    Transmitter m_transmitter;
    ReportTable m_reports;
    Decoder m_decoder;
    Supervisor m_supervisor;
    Connection m_connection;
    SliderHandler m_sliders;
    ButtonHandler m_buttons;
    SpinnerHandler m_spinners;
    MenuActions m_actions;
    QTimer m_runTimer;
    TickGate m_tickGate;
    bool m_tickAsleep = false; // stopped by RunTimer_Timer itself, not from outside
};

} // namespace qj
