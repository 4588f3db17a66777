#pragma once

#include "link/connection.h"
#include "link/decoder.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/port.h"
#include "link/reporttable.h"
#include "link/supervisor.h"
#include "link/transmitter.h"
#include "params/buttonhandler.h"
#include "params/commandsender.h"
#include "params/panelaccess.h"
#include "params/sliderhandler.h"
#include "params/spinnerhandler.h"
#include "params/texts.h"

namespace qj {

// The protocol engine in one piece: the command and reception state, the transmitter, the
// supervision tick, the report decoder and table, the connection procedure, the control
// handlers and the link's state. The window, the tests, the benchmarks and a headless client
// build it the same way, on a port, a panel (the widgets or a model of them) and a host that
// shows the state and the messages. It holds no widget and no timer: time enters as one call of
// tick() per tick of the 1 ms timer.
class Link : public CommandSender
{
public:
    Link(Port &port, PanelAccess &panel, LinkHost &host);
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    LinkState state() const { return m_state; }
    bool online() const override { return m_state == LinkState::Online; }

    // The language the host shows the texts in; the window sets it whenever it switches its
    // captions.
    Language language() const { return m_language; }
    void setLanguage(Language language) { m_language = language; }

    // Every control back to its default, not online any more, the pending command forgotten:
    // at start-up and after a command went unanswered. The port and the connect entry stay.
    void OffLineStatus();

    // MenuConnect_Click on port `number`: open it and send the connect command (Connecting);
    // the processor's reports then complete the connection.
    void connect(int number);
    // The port's open that was pending has ended (Port::setOpenHandler): on None the connect
    // command goes out; a failure is the open's failure, told as the connect entry tells it
    // (only logged on an attempt of the watch, which goes on).
    void openEnded(PortError error);
    // Close the port, offer connecting again and take the panel offline.
    void disconnect();
    // The port layer reports the device gone (unplugged). Once the message has been read, the
    // port's device is watched until it is back, and then connected as by the connect entry.
    void deviceLost();
    // Every box of the window has closed: a loss that came while one was open is told now.
    void boxesClosed();
    // The port number box now names `number` (at each edit, or a choice in the port dialog):
    // a watch for another number ends, for good.
    void boxNames(int number);
    // The port layer says the watched device may be back: connect, telling a failure only in
    // the log (the next sign of the device tries again).
    void deviceReturned();
    // Whether the link waits for a lost device to come back. A disconnect, or a connect to
    // another number, ends the wait; so does a connection made.
    bool watching() const { return m_watching; }
    // The online transition, which the reports of ids 36 and 37 make: it acts only while
    // connecting is offered. A rig that starts in the middle of a session calls it too.
    void goOnline();

    // RunTimer_Timer: one tick of the 1 ms timer.
    void tick() { m_supervisor.RunTimer_Timer(); }
    // True while a tick would do nothing: the timer may sleep until a byte or a command comes.
    bool idle() { return m_supervisor.idle(); }

    // The command in flight.
    void issue(std::uint8_t cmdId, std::uint8_t value) override;
    bool commandPending() const override { return m_command.CmdId != 0; }
    CommandState &command() { return m_command; }
    const CommandState &command() const { return m_command; }
    // Forgets the pending command.
    void clear() { m_command.clear(); }

    // The controls' own events. controlChanged is a check box's, an option's or a spinner's
    // change of value, the program's included (an option only when it becomes selected).
    SliderHandler &sliders() { return m_sliders; }
    ButtonHandler &buttons() { return m_buttons; }
    SpinnerHandler &spinners() { return m_spinners; }
    void controlChanged(Control control);

    // The parts, for observers (acknowledgements, transmissions) and tests.
    Port &port() { return m_port; }
    PanelAccess &panel() { return m_panel; }
    Transmitter &transmitter() { return m_transmitter; }
    Supervisor &supervisor() { return m_supervisor; }
    Decoder &decoder() { return m_decoder; }
    ReceiveState &receiveState() { return m_receive; }

private:
    // Always: the offline procedure shows the state afresh even when it stays the same.
    enum class Announce { OnChange, Always };
    void setState(LinkState state, Announce announce = Announce::OnChange);

    // The ways the link fails, each ending in the offline procedure.
    void giveUp();
    void writeFailed(PortError error);
    void lose();
    void startWatch();
    void endWatch();

    Port &m_port;
    PanelAccess &m_panel;
    LinkHost &m_host;
    CommandState m_command;
    ReceiveState m_receive;
    Transmitter m_transmitter;
    ReportTable m_reports;
    Decoder m_decoder;
    Supervisor m_supervisor;
    Connection m_connection;
    SliderHandler m_sliders;
    ButtonHandler m_buttons;
    SpinnerHandler m_spinners;
    LinkState m_state = LinkState::Closed;
    bool m_watching = false;
    int m_watchedNumber = 0;
    bool m_connecting = false;    // inside connect(), which may show messages
    bool m_backMeanwhile = false; // the device showed up while connect() was busy
    bool m_lossWaiting = false;   // the device went away while a box was open
    // How the failure of the pending open (or of the connect command's first answer) is told.
    Connection::Failures m_openFailures = Connection::Failures::Shown;
    Language m_language = Language::Chinese; // the captions the window is created with
};

} // namespace qj
