#include "bench/panelrig.h"

#include "bench/eventwait.h"
#include "link/serialport.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "params/parametermap.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {
// The processor reports 38 settings after the connect command, at about 5 ms each.
constexpr auto kOnlineTimeout = 5s;
// After the online report the run mode follows, and its reply; then the line is quiet.
constexpr auto kSettle = 150ms;
} // namespace

PanelRig::PanelRig() = default;

PanelRig::~PanelRig()
{
    m_form.reset();
    m_tap.close();
    m_device.stop();
}

bool PanelRig::startDevice(const QStringList &arguments)
{
    if (!m_device.start(arguments)) {
        m_error = m_device.errorString();
        return false;
    }
    return true;
}

bool PanelRig::startTap()
{
    if (!m_tap.open(m_device.isRunning() ? m_device.ptyPath() : QString())) {
        m_error = m_tap.errorString();
        return false;
    }
    return true;
}

void PanelRig::newPanel(const QString &device)
{
    m_form.reset();
    m_messages.clear();
    m_form = std::make_unique<Form1>();
    m_form->setMessagePresenter([this](const QString &text) {
        m_messages.push_back({Clock::now(), text});
    });
    const QString path = !device.isEmpty()             ? device
                         : m_tap.panelPath().isEmpty() ? m_device.ptyPath()
                                                       : m_tap.panelPath();
    m_form->serialPort()->bindings().bind(kPort, path);
    m_form->view().text1()->setText(QString::number(kPort));
    m_form->show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(m_form.get());
}

QPoint connectEntryInWindow(Form1 &form)
{
    QMenuBar *bar = form.menuBar();
    const QRect entry = bar->actionGeometry(form.menu().action(MenuEntry::Connect));
    return bar->mapTo(&form, entry.center());
}

void PanelRig::clickConnect()
{
    QMenuBar *bar = m_form->menuBar();
    const QPoint entry = bar->mapFrom(m_form.get(), connectEntryInWindow(*m_form));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, entry);
}

bool PanelRig::online()
{
    return m_form->link().online();
}

bool PanelRig::idle()
{
    return !m_form->link().command().pending();
}

bool PanelRig::connectAndSettle()
{
    clickConnect();
    if (!waitUntil([this] { return online() && idle(); }, kOnlineTimeout))
        return false;
    idleFor(kSettle);
    return online() && idle();
}

void PanelRig::startEchoDelayMidRange()
{
    m_device.request(QStringLiteral("set %1 %2").arg(*wireIdOf("EchoDelay")).arg(kStartValue));
    idleFor(100ms);
}

PanelRig::Presses PanelRig::pressKeys(int steps, std::mt19937 &rng)
{
    constexpr auto kFrameTimeout = 500ms;
    constexpr auto kAckTimeout = 500ms;
    std::uniform_int_distribution<int> pause(kPauseMinMs, kPauseMaxMs);
    LevelSlider *slider = m_form->view().slider(*wireIdOf("EchoDelay"));
    slider->setFocus(Qt::OtherFocusReason);
    // Connected after the panel's own handler: runs once the frame has been written.
    TimePoint wroteAt;
    const QMetaObject::Connection wrote =
        QObject::connect(slider, &LevelSlider::scrolled, slider, [&] { wroteAt = Clock::now(); });
    Presses presses;
    for (int i = 0; i < steps; ++i) {
        const Qt::Key key = (i / kStrokes) % 2 == 0 ? Qt::Key_Down : Qt::Key_Up;
        const std::size_t before = m_tap.count();
        const TimePoint pressed = Clock::now();
        QTest::keyPress(slider, key);
        QTest::keyRelease(slider, key);
        if (!waitUntil([&] { return m_tap.count() >= before + 4; }, kFrameTimeout, 1ms)) {
            ++presses.lost;
            continue;
        }
        presses.latency.add(toUs(m_tap.since(before)[3].at - pressed));
        presses.written.add(toUs(wroteAt - pressed));
        waitUntil([this] { return idle(); }, kAckTimeout, 1ms);
        idleFor(std::chrono::milliseconds(pause(rng)));
    }
    QObject::disconnect(wrote);
    return presses;
}

} // namespace qj::bench
