#pragma once

#include "app/form1.h"
#include "bench/benchclock.h"
#include "bench/stats.h"
#include "bench/wiretap.h"
#include "tools/simlauncher.h"

#include <QPoint>

#include <memory>
#include <random>

namespace qj::bench {

// Where the connect entry of `form` sits in its window, for a click from outside.
QPoint connectEntryInWindow(Form1 &form);

// The panel window as a user has it (shown, on its own serial port, 1 ms tick), bound to port
// 5, with the virtual processor as a child process behind it, directly or through a wire tap.
class PanelRig
{
public:
    static constexpr int kPort = 5;

    struct Message
    {
        TimePoint at;
        QString text;
    };

    PanelRig();
    ~PanelRig();

    // qj-sim as a child process, paced unless `arguments` say otherwise.
    bool startDevice(const QStringList &arguments = {});
    // A tap between the panel and the device (a silent line if no device was started).
    bool startTap();
    QString errorString() const { return m_error; }

    // A fresh window on port 5, shown and exposed; the previous one is closed with its port.
    // Port 5 is bound to `device`, by default the tap (or the device).
    void newPanel(const QString &device = QString());
    Form1 &form() { return *m_form; }
    sim::SimLauncher &device() { return m_device; }
    WireTap &tap() { return m_tap; }
    const std::vector<Message> &messages() const { return m_messages; }

    // The user chooses the connect entry: a mouse click on it in the menu bar.
    void clickConnect();
    bool online();
    bool idle();
    // Connects and waits until online, every report answered and no command pending.
    bool connectAndSettle();

    // Key presses on the echo delay's slider, kStrokes down then kStrokes up and so on, each
    // timed from the press to the frame's last byte on the wire (`latency`) and to the moment
    // the panel had written it (`written`); after each acknowledgement a random pause of a few
    // milliseconds keeps the presses from locking onto any rhythm of the panel or the device.
    // The echo delay starts mid-range (kStartValue) so the presses never reach an end.
    static constexpr int kStrokes = 40;
    static constexpr int kStartValue = 125; // of 0 to 250
    static constexpr int kPauseMinMs = 3;   // a user's presses come tens of ms apart
    static constexpr int kPauseMaxMs = 12;
    struct Presses
    {
        Stats latency;
        Stats written;
        int lost = 0; // presses whose frame did not reach the wire in time
    };
    // Sets the processor's echo delay to kStartValue (before newPanel() or after connecting).
    void startEchoDelayMidRange();
    Presses pressKeys(int steps, std::mt19937 &rng);

private:
    sim::SimLauncher m_device;
    WireTap m_tap;
    std::unique_ptr<Form1> m_form;
    std::vector<Message> m_messages;
    QString m_error;
};

} // namespace qj::bench
