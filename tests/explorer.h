#pragma once

// The panel explored: the real window, the virtual processor behind a scripted port, and a
// person, all on one clock that the explorer moves itself. Steps are a person's gestures, the
// processor's events and what happens while a message box is open; after every step the
// invariants are checked and each breach is noted in `violations`.

#include "app/windowtimer.h"
#include "menufixture.h"
#include "params/offlinedefaults.h"
#include "tools/device.h"

#include <QGuiApplication>
#include <QLineEdit>

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>

namespace qj::test {

struct Action
{
    enum Kind {
        // A person's gestures.
        Key,     // a: slider, b: 0 up, 1 down, 2 page up, 3 end
        Press,   // the mouse takes a slider's thumb (a: slider)
        Drag,    // the held thumb moves b * 8 px
        Release, // the mouse lets go
        Group,   // a: group, b: button
        Box,     // a: 0 SuperBass, 1 SubwoofPhase
        Option,  // a: 0 SurroundMode1, 1 SurroundMode2
        Mute,    //
        Undo,    //
        Redo,    //
        Type,    // the port box names a (1: the processor's port, 2: a port with no device)
        Connect, //
        Disconnect,
        Reset,       // the reset, confirmed
        Answer,      // the next question is answered: a 1 send, 0 keep
        OpenMissing, // a preset file that is not there: a message box with no failure
        // The processor and the line.
        Pass,       // a ms pass
        FrontPanel, // the processor's own panel sets a to b and reports it
        Report,     // the processor reports a unasked
        Corrupt,    // a: every a-th report carries a wrong check byte from now on, 0: none
        Silence,    // a 1: commands go unanswered from now on, 0: answered again
        Noise,      // a 1: noise bursts from now on, 0: no more
        Refuse,     // the next write fails: a 1 the device is gone, 0 it refuses
        Lose,       // the device is unplugged
        Return,     // the device is plugged back in
        // While the next message box is open: a ms pass, and with b the device is unplugged.
        WhileBox,
    };
    Kind kind;
    int a = 0;
    int b = 0;
};

std::ostream &operator<<(std::ostream &os, const Action &action);

class Explorer
{
public:
    Explorer();
    ~Explorer();

    void apply(const Action &action);
    void run(const std::vector<Action> &actions)
    {
        for (const Action &a : actions)
            apply(a);
    }

    std::vector<std::string> violations;
    std::vector<std::string> trail; // the steps so far, for a failure's report

    // What a named sequence looks at.
    Form1 &form() { return *m_form; }
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    sim::Device &device() { return m_port.device; }
    int questions() const { return m_questionsTotal; }
    long long questionAt() const { return m_questionAt; } // ms on the clock, -1: never asked
    long long now() const { return m_now; }
    long long lastByteAt() const { return m_lastByteAt; } // the last byte the panel received
    const QStringList &messages() const { return m_messages; }
    std::vector<Bytes> commandsWritten() const { return m_port.commands; }
    int value(int wireId) const;

private:
    struct SimPort : Port
    {
        Explorer *owner = nullptr;
        sim::Device device{sim::DeviceConfig{true, 7}};
        std::vector<std::uint8_t> rx;
        std::vector<Bytes> commands; // four-byte writes: the panel's commands
        bool open = false;
        bool unplugged = false;
        int number = 1;
        int deviceNumber = 1;
        bool watching = false;
        PortError nextWrite = PortError::None;

        PortError setCommPort(int n) override;
        int commPort() const override { return number; }
        PortError setPortOpen(bool on) override;
        bool portOpen() const override { return open; }
        int inBufferCount() override { return open ? static_cast<int>(rx.size()) : 0; }
        void discardInput() override { rx.clear(); }
        void discardOutput() override {}
        void input(std::vector<std::uint8_t> &into) override;
        void unread(std::span<const std::uint8_t> bytes) override
        {
            rx.insert(rx.begin(), bytes.begin(), bytes.end());
        }
        PortError output(std::span<const std::uint8_t> bytes) override;
        void setWatching(bool on) override { watching = on; }
    };

    void pass(int ms);
    void tick();
    void pump();
    void boxOpened(const QString &text);
    bool asked();
    void gesture(const std::function<void()> &act);
    void checkAfterStep(LinkState before, std::size_t undoBefore, bool redoBefore, bool person);
    void checkQuiet();
    bool quiet();
    void note(const std::string &what);
    void onLinkState(LinkState before, LinkState after);
    std::map<int, int> offlineWorkShown() const;
    QWidget *sliderWidget(int index) const;

    SimPort m_port;
    std::unique_ptr<Form1> m_form;
    ScriptedDialogs *m_dialogs = nullptr;
    QStringList m_messages;
    long long m_now = 0; // ms
    long long m_lastByteAt = -1;
    bool m_tickAsleep = false;
    Action m_whileBox{Action::WhileBox, 0, 0};
    int m_held = -1; // the slider the mouse holds
    QPoint m_heldAt;

    // The model of the person's offline work and what the processor must hold.
    std::map<int, int> m_work;  // taken when a connection starts, with changes meanwhile
    bool m_workPending = false; // not yet asked about in this connection
    int m_questionsThisConnection = 0;
    int m_questionsTotal = 0;
    long long m_questionAt = -1;
    std::map<int, int> m_mustHold; // wire id -> the value the processor must end up with
    std::set<int> m_changedOnline; // by the person since the connection completed
    bool m_refusedSinceConnect = false;
    bool m_reportInBoxSinceConnect = false;
    bool m_connectionDisturbed = false; // the processor's panel or noise since the connect
};

} // namespace qj::test
