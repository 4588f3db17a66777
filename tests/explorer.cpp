#include "explorer.h"

#include "link/connection.h"

#include <QKeyEvent>

#include <sstream>

namespace qj::test {

namespace {

const char *const kKindNames[] = {
    "Key",    "Press",       "Drag", "Release",    "Group",    "Box",        "Option",
    "Mute",   "Undo",        "Redo", "Type",       "Connect",  "Disconnect", "Reset",
    "Answer", "OpenMissing", "Pass", "FrontPanel", "Report",   "Corrupt",    "Silence",
    "Noise",  "Refuse",      "Lose", "Return",     "WhileBox",
};

// The settings the processor receives: a preset's, but the two limits.
bool sent(int wireId)
{
    return inPreset(wireId) && parameter(wireId).kind != ControlKind::Spinner;
}

std::vector<int> sentIds()
{
    std::vector<int> ids;
    for (const int id : presetIds())
        if (sent(id))
            ids.push_back(id);
    return ids;
}

} // namespace

std::ostream &operator<<(std::ostream &os, const Action &action)
{
    return os << kKindNames[action.kind] << '(' << action.a << ',' << action.b << ')';
}

// The port: number 1 leads to the processor, any other to nothing.

PortError Explorer::SimPort::setCommPort(int n)
{
    if (n < 1 || n > 99)
        return PortError::InvalidPort;
    if (open && n != number)
        return PortError::AlreadyOpen;
    number = n;
    return PortError::None;
}

PortError Explorer::SimPort::setPortOpen(bool on)
{
    if (!on) {
        open = false;
        return PortError::None;
    }
    if (open)
        return PortError::AlreadyOpen;
    if (number != deviceNumber || unplugged)
        return PortError::InvalidPort;
    open = true;
    rx.clear();
    return PortError::None;
}

void Explorer::SimPort::input(std::vector<std::uint8_t> &into)
{
    into.clear();
    if (open)
        into.swap(rx);
}

PortError Explorer::SimPort::output(std::span<const std::uint8_t> bytes)
{
    if (owner->m_form && owner->m_form->panel().messagesOpen() != 0)
        owner->note("a write while a message box is open");
    if (!open) {
        owner->note("a write on a closed port");
        return PortError::None;
    }
    const sim::Micros now{owner->m_now * 1000};
    if (nextWrite != PortError::None || unplugged) {
        const PortError e = unplugged ? PortError::DeviceGone : nextWrite;
        nextWrite = PortError::None;
        open = false;
        if (e == PortError::DeviceGone) {
            unplugged = true;
            device.unplug(now);
        }
        return e;
    }
    if (bytes.size() == 4)
        commands.emplace_back(bytes.begin(), bytes.end());
    else if (bytes.size() == 1 && bytes[0] == frame::kReject)
        owner->m_refusedSinceConnect = true;
    device.receive(bytes, now);
    return PortError::None;
}

Explorer::Explorer()
{
    WindowTimer::useTestClock(true);
    m_port.owner = this;
    m_form = std::make_unique<Form1>(m_port);
    m_form->runTimer().stop();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_dialogs->resetConfirmed = true;
    m_dialogs->whileAsked = [this] { asked(); };
    m_form->menuActions().setDialogs(std::move(dialogs));
    m_form->setMessagePresenter([this](const QString &text) { boxOpened(text); });
    m_form->link().transmitter().addSendHook(
        [this](const frame::Frame &) { m_tickAsleep = false; });
    m_form->view().text1()->setText(QStringLiteral("1"));
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        note("the window never showed");
}

Explorer::~Explorer()
{
    if (m_held >= 0)
        QTest::mouseRelease(sliderWidget(m_held), Qt::LeftButton, {}, m_heldAt);
    m_form.reset();
    WindowTimer::useTestClock(false);
}

void Explorer::note(const std::string &what)
{
    std::ostringstream os;
    os << what << " (at " << m_now << " ms, after";
    for (const std::string &s : trail)
        os << ' ' << s;
    os << ')';
    violations.push_back(os.str());
}

int Explorer::value(int wireId) const
{
    return capturePreset(m_form->panel()).values[static_cast<std::size_t>(wireId)];
}

QWidget *Explorer::sliderWidget(int index) const
{
    std::vector<int> ids;
    for (int id = 0; id < kParameterCount; ++id)
        if (m_form->view().slider(id))
            ids.push_back(id);
    return m_form->view().slider(ids[static_cast<std::size_t>(index) % ids.size()]);
}

std::map<int, int> Explorer::offlineWorkShown() const
{
    const Preset now = capturePreset(m_form->panel());
    const Preset offline = offlinePreset();
    std::map<int, int> work;
    for (const int id : sentIds())
        if (now.values[std::size_t(id)] != offline.values[std::size_t(id)])
            work[id] = now.values[std::size_t(id)];
    return work;
}

// Time.

void Explorer::pump()
{
    const sim::Micros now{m_now * 1000};
    sim::Device &d = m_port.device;
    d.advance(now);
    std::vector<std::uint8_t> due;
    d.takeDue(now, due);
    if (due.empty() || !m_port.open)
        return;
    if (m_form->panel().messagesOpen() != 0)
        m_reportInBoxSinceConnect = true;
    m_port.rx.insert(m_port.rx.end(), due.begin(), due.end());
    m_lastByteAt = m_now;
    m_tickAsleep = false;
}

void Explorer::tick()
{
    // As the window's timer: asleep while a tick would do nothing, woken by a byte or a send.
    if (m_tickAsleep)
        return;
    m_form->RunTimer_Timer();
    if (m_form->panel().messagesOpen() == 0 && m_form->link().idle())
        m_tickAsleep = true;
}

void Explorer::pass(int ms)
{
    for (int i = 0; i < ms; ++i) {
        ++m_now;
        pump();
        const LinkState before = m_form->link().state();
        tick();
        WindowTimer::advance(std::chrono::milliseconds(1));
        onLinkState(before, m_form->link().state());
    }
}

// Boxes.

void Explorer::boxOpened(const QString &text)
{
    m_messages << text;
    if (m_form->panel().messagesOpen() != 1)
        note("two boxes at once: " + text.toStdString());
    if (m_form->panel().messagesOpen() > 1)
        return;
    const Action script = m_whileBox;
    m_whileBox = Action{Action::WhileBox, 0, 0}; // for this box only
    // While it is open the person can do nothing else; time passes and the device may go.
    if (script.b != 0)
        apply(Action{Action::Lose, 0, 0});
    pass(script.a);
}

bool Explorer::asked()
{
    ++m_questionsTotal;
    ++m_questionsThisConnection;
    m_questionAt = m_now;
    if (!m_form->link().online())
        note("the question while not online");
    if (m_form->panel().messagesOpen() != 1)
        note("the question not alone, or not counted as a box");
    if (m_held >= 0 || QGuiApplication::mouseButtons() != Qt::NoButton)
        note("the question during a drag");
    if (m_questionsThisConnection > 1)
        note("the question twice in one connection");
    bool differs = false;
    for (const auto &[id, v] : m_work)
        if (!m_changedOnline.count(id) && m_port.device.value(id) != v)
            differs = true;
    if (!differs && !m_refusedSinceConnect)
        note("the question without a real difference");
    m_workPending = false;
    // What the processor must hold once the answer has been carried out: the work where the
    // person has not chosen anew online, its own value everywhere else.
    for (const int id : sentIds()) {
        if (m_mustHold.count(id))
            continue;
        const auto w = m_work.find(id);
        m_mustHold[id] =
            m_dialogs->sendOffline && w != m_work.end() ? w->second : m_port.device.value(id);
    }
    const Action script = m_whileBox;
    m_whileBox = Action{Action::WhileBox, 0, 0};
    if (script.b != 0)
        apply(Action{Action::Lose, 0, 0});
    pass(script.a);
    return true;
}

// The model follows the connection.

void Explorer::onLinkState(LinkState before, LinkState after)
{
    if (before == after)
        return;
    if (after == LinkState::Connecting) {
        m_work = offlineWorkShown();
        m_workPending = !m_work.empty();
        m_questionsThisConnection = 0;
        m_changedOnline.clear();
        m_mustHold.clear();
        m_refusedSinceConnect = false;
        m_reportInBoxSinceConnect = false;
        m_connectionDisturbed = false;
        return;
    }
    if ((before == LinkState::Connecting || before == LinkState::Online) &&
        (after == LinkState::Closed || after == LinkState::Offline)) {
        m_changedOnline.clear();
        m_mustHold.clear();
    }
}

void Explorer::gesture(const std::function<void()> &act)
{
    const Preset before = capturePreset(m_form->panel());
    const LinkState state = m_form->link().state();
    act();
    onLinkState(state, m_form->link().state());
    if (state != m_form->link().state())
        return; // the gesture's send failed: the connection has ended
    const Preset after = capturePreset(m_form->panel());
    for (const int id : sentIds()) {
        const int v = after.values[std::size_t(id)];
        if (v == before.values[std::size_t(id)])
            continue;
        if (state == LinkState::Connecting) {
            m_work[id] = v;
            m_workPending = true;
        } else if (state == LinkState::Online) {
            m_changedOnline.insert(id);
            m_mustHold[id] = v;
        }
    }
}

// Steps.

void Explorer::apply(const Action &action)
{
    std::ostringstream os;
    os << action;
    trail.push_back(os.str());

    PanelView &view = m_form->view();
    const LinkState before = m_form->link().state();
    const std::size_t undoBefore = m_form->menuActions().undo().history().size();
    const bool redoBefore = m_form->menuActions().undo().history().canRedo();
    const bool workWasPending = m_workPending;
    const std::map<int, int> work = m_work;
    bool person = true;
    const auto letGo = [&] {
        if (m_held < 0)
            return;
        QTest::mouseRelease(sliderWidget(m_held), Qt::LeftButton, {}, m_heldAt);
        m_held = -1;
    };

    switch (action.kind) {
    case Action::Key: {
        QWidget *s = sliderWidget(action.a);
        s->setFocus();
        static const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_End};
        if (action.b < 4) {
            gesture([&] { QTest::keyClick(s, keys[action.b]); });
            break;
        }
        // Held down: the key repeats a while, then is let go.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
        gesture([&] { QApplication::sendEvent(s, &press); });
        pass(350);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
        gesture([&] { QApplication::sendEvent(s, &up); });
        break;
    }
    case Action::Press:
        letGo();
        m_held = action.a;
        m_heldAt = static_cast<LevelSlider *>(sliderWidget(m_held))->thumbRect().center();
        gesture([&] { QTest::mousePress(sliderWidget(m_held), Qt::LeftButton, {}, m_heldAt); });
        break;
    case Action::Drag:
        if (m_held < 0)
            break;
        m_heldAt.ry() += action.b * 8;
        gesture([&] { QTest::mouseMove(sliderWidget(m_held), m_heldAt); });
        break;
    case Action::Release:
        gesture(letGo);
        break;
    case Action::Group: {
        letGo();
        const Group g = static_cast<Group>(action.a % kGroupCount);
        const int index = action.b % buttonGroup(g).count;
        const bool recall = g == Group::RunMode && m_form->link().online();
        gesture([&] { QTest::mouseClick(view.button(g, index), Qt::LeftButton); });
        if (recall) // the processor recalls a memory: its values are its own again
            m_mustHold.clear();
        break;
    }
    case Action::Box:
        letGo();
        gesture([&] {
            QTest::mouseClick(
                view.checkBox(action.a % 2 ? Control::SubwoofPhase : Control::SuperBass),
                Qt::LeftButton);
        });
        break;
    case Action::Option:
        letGo();
        gesture([&] {
            QTest::mouseClick(
                view.option(action.a % 2 ? Control::SurroundMode2 : Control::SurroundMode1),
                Qt::LeftButton);
        });
        break;
    case Action::Mute:
        letGo();
        gesture([&] { QTest::mouseClick(view.mute(), Qt::LeftButton); });
        break;
    case Action::Undo:
        gesture([&] { QTest::keyClick(m_form.get(), Qt::Key_Z, Qt::ControlModifier); });
        break;
    case Action::Redo:
        gesture([&] {
            QTest::keyClick(m_form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        });
        break;
    case Action::Type:
        view.text1()->selectAll();
        QTest::keyClicks(view.text1(), QString::number(action.a));
        break;
    case Action::Connect:
        letGo();
        gesture([&] { m_form->menu().action(MenuEntry::Connect)->trigger(); });
        break;
    case Action::Disconnect:
        letGo();
        gesture([&] { m_form->menu().action(MenuEntry::Offline)->trigger(); });
        break;
    case Action::Reset:
        letGo();
        gesture([&] { m_form->menu().action(MenuEntry::Reset)->trigger(); });
        break;
    case Action::Answer:
        m_dialogs->sendOffline = action.a != 0;
        break;
    case Action::OpenMissing:
        letGo();
        m_dialogs->openPath = QStringLiteral("/nonexistent/qj-explorer.json");
        gesture([&] { m_form->menu().action(MenuEntry::OpenFile)->trigger(); });
        break;
    case Action::Pass:
        person = false;
        pass(action.a);
        break;
    case Action::FrontPanel:
        person = false;
        if (m_port.device.set(action.a, action.b, sim::Micros{m_now * 1000})) {
            m_mustHold.erase(action.a);
            if (action.a == wire::kRunMode)
                m_mustHold.clear();
        }
        break;
    case Action::Report:
        person = false;
        m_port.device.report(action.a, sim::Micros{m_now * 1000});
        break;
    case Action::Corrupt:
        person = false;
        if (action.a)
            m_port.device.setFault(sim::Fault::Corrupt, action.a, sim::Micros{m_now * 1000});
        else
            m_port.device.clearFault(sim::Fault::Corrupt);
        break;
    case Action::Silence:
        person = false;
        if (action.a)
            m_port.device.setFault(sim::Fault::NoAck, 0, sim::Micros{m_now * 1000});
        else
            m_port.device.clearFault(sim::Fault::NoAck);
        break;
    case Action::Noise:
        person = false;
        if (action.a) {
            m_port.device.setFault(sim::Fault::Noise, 0, sim::Micros{m_now * 1000});
            m_connectionDisturbed = true;
        } else {
            m_port.device.clearFault(sim::Fault::Noise);
        }
        break;
    case Action::Refuse:
        person = false;
        m_port.nextWrite = action.a ? PortError::DeviceGone : PortError::DeviceLost;
        break;
    case Action::Lose:
        person = false;
        if (m_port.unplugged)
            break;
        m_port.device.unplug(sim::Micros{m_now * 1000});
        m_port.unplugged = true;
        if (m_port.open) { // as the port layer notices it
            m_port.open = false;
            const LinkState s = m_form->link().state();
            m_form->link().deviceLost();
            onLinkState(s, m_form->link().state());
        }
        break;
    case Action::Return: {
        person = false;
        if (!m_port.unplugged)
            break;
        m_port.device.plug(sim::Micros{m_now * 1000});
        m_port.unplugged = false;
        if (!m_port.watching)
            break;
        const int named = Connection::portNumberFrom(view.text1()->text());
        const LinkState s = m_form->link().state();
        m_form->link().deviceReturned();
        onLinkState(s, m_form->link().state());
        if (m_port.open && m_port.number != named)
            note("the watch connected port " + std::to_string(m_port.number) +
                 " while the box names " + std::to_string(named));
        break;
    }
    case Action::WhileBox:
        person = false;
        m_whileBox = action;
        break;
    }
    onLinkState(before, m_form->link().state());

    // A connection that ended before its question keeps the work: back on the panel.
    const LinkState after = m_form->link().state();
    if (workWasPending && m_workPending &&
        (after == LinkState::Closed || after == LinkState::Offline)) {
        m_workPending = false;
        const Preset shown = capturePreset(m_form->panel());
        for (const auto &[id, v] : work)
            if (shown.values[std::size_t(id)] != v)
                note("offline work lost with the connection (wire id " + std::to_string(id) + ")");
    }
    checkAfterStep(before, undoBefore, redoBefore, person);
}

bool Explorer::quiet()
{
    Link &link = m_form->link();
    const sim::Device &d = m_port.device;
    return link.online() && !link.commandPending() && !m_form->menuActions().presets().pushing() &&
           !m_form->menuActions().offlineWork().waiting() && d.reportsQueued() == 0 &&
           d.bytesOnLine() == 0 && m_port.rx.empty() && m_held < 0 &&
           m_form->panel().messagesOpen() == 0 && !m_refusedSinceConnect &&
           !m_reportInBoxSinceConnect && !m_connectionDisturbed;
}

void Explorer::checkQuiet()
{
    if (!quiet())
        return;
    const Preset shown = capturePreset(m_form->panel());
    for (const int id : sentIds()) {
        const int v = shown.values[std::size_t(id)];
        if (v != m_port.device.value(id)) {
            note("online and quiet, wire id " + std::to_string(id) + " shows " + std::to_string(v) +
                 " but the processor holds " + std::to_string(m_port.device.value(id)));
            return;
        }
    }
    if (m_form->view().mute()->backColour() == ButtonColour::Red && !m_port.device.muted()) {
        note("Mute lit but the processor is not muted");
        return;
    }
    for (const auto &[id, v] : m_mustHold) {
        if (m_port.device.value(id) != v) {
            note("the processor holds " + std::to_string(m_port.device.value(id)) +
                 " for wire id " + std::to_string(id) + " instead of " + std::to_string(v));
            return;
        }
    }
    if (m_workPending) {
        for (const auto &[id, v] : m_work) {
            if (!m_changedOnline.count(id) && m_port.device.value(id) != v) {
                note("offline work never offered (wire id " + std::to_string(id) + ")");
                return;
            }
        }
        m_workPending = false; // the processor holds it all: nothing to ask
    }
}

void Explorer::checkAfterStep(LinkState before, std::size_t undoBefore, bool redoBefore,
                              bool person)
{
    static_cast<void>(before);
    const UndoHistory &h = m_form->menuActions().undo().history();
    if (!person && h.size() != 0 && (h.size() != undoBefore || h.canRedo() != redoBefore))
        note("the undo history changed without a gesture");
    checkQuiet();
    // Online and no longer waiting: the panel has decided, and asks no more in this connection
    // (a real difference left unasked is caught above once the line is quiet).
    if (m_workPending && m_form->link().online() && !m_form->menuActions().offlineWork().waiting())
        m_workPending = false;
}

} // namespace qj::test
