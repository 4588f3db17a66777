// Fuzz target: the protocol engine, the report table and the control handlers on a headless
// window. The input is a script that interleaves received bytes, ticks and user actions; after
// every step the invariants below must hold, whatever the processor or the user did.
#include "app/form1.h"
#include "fakeport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "panel/spinbutton.h"
#include "params/labeltext.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace qj;

void require(bool ok, const char *what, int detail = -1)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s (%d)\n", what, detail);
        std::abort();
    }
}

struct Harness
{
    test::FakePort port;
    Form1 form{port};
    int messages = 0;
    int stepMessages = 0; // message boxes opened by the step under way
    int boxesOpen = 0;
    int boxTicks = 0; // ticks that pass while a box is open, as while a person reads it
    std::vector<int> sliderIds;

    Harness()
    {
        form.runTimer().stop(); // time is the script's
        // A stand-in for the modal box: its event loop lets the window's ticks through.
        form.setMessagePresenter([this](const QString &) {
            require(boxesOpen == 0, "one message box at a time");
            ++messages;
            ++stepMessages;
            ++boxesOpen;
            const int closedBefore = port.closedWrites;
            const std::size_t writesBefore = port.writes.size();
            for (int i = 0; i < boxTicks; ++i)
                form.RunTimer_Timer();
            require(port.closedWrites == closedBefore && port.writes.size() == writesBefore,
                    "nothing sent while a box is open");
            --boxesOpen;
        });
        for (const Parameter &p : parameters())
            if (p.kind == ControlKind::Slider)
                sliderIds.push_back(p.wireId);
    }

    // Back to a freshly started panel with nothing open.
    void reset()
    {
        form.link().disconnect();
        port = test::FakePort();
        form.link().receiveState() = ReceiveState();
        form.view().text1()->setText(QStringLiteral("5"));
        messages = 0;
        boxTicks = 0;
    }

    void checkWrites()
    {
        require(port.closedWrites == 0, "nothing written while the port is closed",
                port.closedWrites);
        for (const auto &w : port.writes) {
            if (w.size() == 1) {
                require(w[0] == 0xAA || w[0] == 0x55, "reply byte", w[0]);
                continue;
            }
            require(w.size() == 4, "frame of four bytes", int(w.size()));
            require(w[0] == frame::kStart, "start byte", w[0]);
            require(frame::sum(w.data()) == frame::kSum, "check byte");
            require(w[1] < kParameterCount, "wire id", w[1]);
            require(w[1] != wire::kMaxMusicVolume && w[1] != wire::kMaxMicVolume,
                    "limit never sent", w[1]);
            require(isSendable(w[1], w[2]), "value of its parameter", w[1] * 256 + w[2]);
        }
        port.writes.clear();
        port.log.clear();
    }

    void checkPanel()
    {
        WidgetPanel &panel = form.panel();
        const CommandState &cmd = form.link().command();
        require(cmd.CmdId <= kParameterCount, "pending command id", cmd.CmdId);
        if (cmd.CmdId != 0)
            require(isSendable(cmd.CmdId - 1, cmd.CmdValue), "pending command value", cmd.CmdValue);
        require(cmd.RetryLeft <= Transmitter::kTransmissions, "transmissions left", cmd.RetryLeft);
        require(cmd.ReplyTicks >= 0 && cmd.ReplyTicks <= Transmitter::kResendReplyTicks,
                "reply wait", cmd.ReplyTicks);
        // The window shows the link's state: online only once a connection completed.
        const LinkState state = form.link().state();
        const bool muteEnabled = form.view().mute()->isEnabled();
        const bool connectOffered = form.menu().action(MenuEntry::Connect)->isEnabled();
        require(muteEnabled == (state == LinkState::Online), "Mute shows the state", int(state));
        require(connectOffered == offersConnect(state), "connect entry shows the state",
                int(state));
        if (muteEnabled)
            require(!connectOffered, "online means connected");
        require(form.isEnabled(), "window enabled between events");

        for (int id : sliderIds) {
            const int min = panel.sliderMin(id), max = panel.sliderMax(id),
                      v = panel.sliderValue(id);
            require(min <= v && v <= max, "slider inside its range", id);
            require(max >= min && max <= parameter(id).max, "slider range", id);
            const QString label = panel.displayCaption(id);
            const int shown = min + max - v;
            if (label == labelText(parameter(id).style, shown))
                continue;
            // A reported value the track cannot show keeps its text; the thumb waits at the end.
            const double n = leadingNumber(label);
            const bool aboveTop = v == min && n > shown;
            const bool belowBottom = v == max && n < shown;
            require((aboveTop || belowBottom) && label == labelText(parameter(id).style, int(n)),
                    "value label agrees with its slider", id);
        }
        for (const auto &[spinner, labelId] :
             {std::pair{Control::MaxMusicVolume, 29}, std::pair{Control::MaxMicVolume, 30}}) {
            const int v = panel.value(spinner);
            require(v >= 1 && v <= parameter(labelId).max, "spinner inside its range", labelId);
            const QString label = panel.displayCaption(labelId);
            require(label == QString::number(v) || (label == QStringLiteral("0") && v == 1),
                    "limit label agrees with its spinner", labelId);
        }
        for (const ButtonGroup &g : buttonGroups()) {
            int lit = 0;
            for (int i = 0; i < g.count; ++i)
                lit += panel.buttonColour(g.group, i) != ButtonColour::Face;
            const int most = g.group == Group::MusicSelect ? 2 : 1;
            require(lit <= most, "lit buttons in a group", int(g.group));
        }
    }
};

Harness *harness = nullptr;

struct Script
{
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t next() { return at < size ? data[at++] : 0; }
};

void step(Harness &h, Script &s)
{
    PanelView &view = h.form.view();
    const std::uint8_t op = s.next();
    h.stepMessages = 0;
    const bool connecting = op % 15 == 10;
    switch (op % 15) {
    case 0: { // raw bytes from the line
        const int n = s.next() % 12 + 1;
        for (int i = 0; i < n; ++i)
            h.port.received.push_back(s.next());
        break;
    }
    case 1: { // a well-formed report
        const frame::Frame f = frame::make(s.next() % 40, s.next());
        h.port.received.insert(h.port.received.end(), f.begin(), f.end());
        break;
    }
    case 2: // the acknowledgement
        h.port.received.push_back(frame::kAck);
        break;
    case 3:
    case 4: // time passes: the window's ticks, the link's and the preset push's
        for (int i = s.next() % 8 + 1; i > 0; --i)
            h.form.RunTimer_Timer();
        break;
    case 5: // a long wait: resends and the give-up
        for (int i = (s.next() % 20 + 1) * 100; i > 0; --i)
            h.form.RunTimer_Timer();
        break;
    case 6: { // a slider moved by the user
        LevelSlider *slider = view.slider(h.sliderIds[s.next() % h.sliderIds.size()]);
        static const QAbstractSlider::SliderAction actions[] = {
            QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
            QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepSub,
            QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum};
        const std::uint8_t a = s.next();
        if (a % 7 == 6)
            slider->setSliderPosition(slider->minimum() +
                                      a % (slider->maximum() - slider->minimum() + 1));
        else
            slider->triggerAction(actions[a % 7]);
        break;
    }
    case 7: { // a group button clicked
        const ButtonGroup &g = buttonGroups()[s.next() % kGroupCount];
        CommandButton *b = view.button(g.group, s.next() % g.count);
        if (b->isVisible() || !b->isHidden())
            b->click();
        break;
    }
    case 8: { // Mute, the super-bass box, the surround options
        switch (s.next() % 4) {
        case 0:
            view.mute()->click();
            break;
        case 1:
            view.checkBox(Control::SuperBass)->click();
            break;
        default:
            view.option(s.next() % 2 ? Control::SurroundMode1 : Control::SurroundMode2)->click();
        }
        break;
    }
    case 9: { // a limit spinner's arrow
        SpinButton *spin =
            view.spinner(s.next() % 2 ? Control::MaxMusicVolume : Control::MaxMicVolume);
        const auto arrows = spin->findChildren<QToolButton *>();
        if (!arrows.isEmpty())
            arrows[s.next() % arrows.size()]->click();
        break;
    }
    case 10: { // connect with whatever is typed in the box
        const char typed[3] = {char(s.next() % 96 + 32), char(s.next() % 96 + 32), 0};
        view.text1()->setText(QString::fromLatin1(typed, s.next() % 3));
        if (s.next() % 4 == 0)
            h.port.openError = PortError::AlreadyOpen;
        h.form.menu().action(MenuEntry::Connect)->trigger();
        h.port.openError = PortError::None;
        break;
    }
    case 11: // disconnect
        h.form.link().disconnect();
        break;
    case 12: // a write is refused or finds the device gone, the port reports the loss, or the
             // watched device may be back
        switch (s.next() % 4) {
        case 0:
            h.port.writeError = PortError::DeviceLost;
            break;
        case 1:
            h.port.writeError = PortError::DeviceGone;
            break;
        case 2:
            if (h.port.open) {
                h.port.open = false;
                h.form.link().deviceLost();
            }
            break;
        default:
            h.form.link().deviceReturned();
            break;
        }
        break;
    case 13: // the reset, which pushes every setting that differs while online
        h.form.menuActions().presets().restoreDefaults();
        break;
    case 14: // how long the next message boxes stay open, in ticks (up to past a give-up)
        h.boxTicks = s.next() % 4 == 0 ? 2500 : s.next() % 50;
        break;
    }
    h.port.writeError = s.more() && s.data[s.at] == 0xFF ? h.port.writeError : PortError::None;
    // One failure, one box: only a connect may report a refused number and then a refused
    // open in turn.
    require(connecting || h.stepMessages <= 1, "one message box per failure", h.stepMessages);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    harness = new Harness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Harness &h = *harness;
    h.reset();
    h.checkWrites();
    Script script{data, std::min<std::size_t>(size, 4096)};
    while (script.more()) {
        step(h, script);
        h.checkWrites();
        h.checkPanel();
    }
    // The event loop never runs here: deliver what the widgets posted, so nothing piles up.
    QCoreApplication::sendPostedEvents();
    return 0;
}
