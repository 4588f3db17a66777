#pragma once

#include "fakeport.h"
#include "link/link.h"
#include "params/labeltext.h"
#include "params/panelmodel.h"

#include <QStringList>

namespace qj::test {

// The model panel, counting the runs of the offline procedure (the only thing that disables
// the whole window).
struct RigPanel : PanelModel
{
    int windowDisables = 0;

    void setWindowEnabled(bool enabled) override
    {
        windowDisables += enabled ? 0 : 1;
        PanelModel::setWindowEnabled(enabled);
    }
};

// The link on a model panel and an in-memory port, built the way the window builds it, with
// the host recording what the window would show. Ticks are calls.
struct LinkRig : LinkHost
{
    FakePort port;
    RigPanel panel;
    Link link{port, panel, *this};
    // The parts, by the names the tests use.
    CommandState &cmd = link.command();
    ReceiveState &rx = link.receiveState();
    Transmitter &tx = link.transmitter();
    Supervisor &supervisor = link.supervisor();
    SliderHandler &sliders = link.sliders();
    ButtonHandler &buttons = link.buttons();
    SpinnerHandler &spinners = link.spinners();

    // What the window would show.
    LinkState shown = LinkState::Closed;           // the state Mute and the connect entry show
    QString status;                                // the status lamp
    QStringList messages;                          // message boxes, in the link's language
    QString device = QStringLiteral("/dev/ttyS4"); // named in the access-denied message
    int errors = 0;                                // data-send failure messages
    int connects = 0;                              // online transitions shown
    std::vector<bool> windowEnabledWhenChanged;    // window state seen by each control's change

    LinkRig()
    {
        panel.setChangeHandler([this](Control c) {
            windowEnabledWhenChanged.push_back(panel.windowEnabled());
            link.controlChanged(c);
        });
        link.OffLineStatus(); // start-up
        panel.windowDisables = 0;
    }

    void linkStateChanged(LinkState state) override
    {
        shown = state;
        connects += state == LinkState::Online ? 1 : 0;
        status = statusText(state == LinkState::Online ? Status::Connected : Status::Offline,
                            link.language());
    }
    void showMessage(Message message) override
    {
        errors += message == Message::SendFailed ? 1 : 0;
        messages << messageText(message, link.language(), device);
    }

    // Runs of the offline procedure since start-up.
    int offlines() const { return panel.windowDisables; }
    void OffLineStatus() { link.OffLineStatus(); }
    // The connect entry with `text1` typed in the port number box.
    void MenuConnect_Click(const QString &text1)
    {
        link.connect(Connection::portNumberFrom(text1));
    }
    bool connectOffered() const { return offersConnect(link.state()); }

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            link.tick();
    }
    // Online as after a completed connection. After a give-up the link is connected anew.
    void goOnline()
    {
        if (link.state() == LinkState::Offline)
            link.disconnect();
        port.open = true;
        link.goOnline();
    }
    // Frames written, as 4-byte vectors; reply bytes are left out.
    std::vector<std::vector<std::uint8_t>> frames() const
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto &w : port.writes)
            if (w.size() == 4)
                out.push_back(w);
        return out;
    }
};

inline std::vector<std::uint8_t> bytes(std::initializer_list<std::uint8_t> b)
{
    return b;
}

} // namespace qj::test
