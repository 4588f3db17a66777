#include "app/form1.h"

#include "link/panelsettings.h"
#include "link/serialport.h"
#include "panel/appicon.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "panel/windowplace.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStyle>

#include <algorithm>

namespace qj {

Form1::Form1(QWidget *parent) : Form1(std::make_unique<SerialPort>(), nullptr, nullptr, parent) {}

Form1::Form1(Port &port, QWidget *parent) : Form1(nullptr, nullptr, &port, parent) {}

Form1::Form1(SerialPort &serial, Port &port, QWidget *parent)
    : Form1(nullptr, &serial, &port, parent)
{}

Form1::Form1(std::unique_ptr<SerialPort> ownPort, SerialPort *serial, Port *port, QWidget *parent)
    : QMainWindow(parent), m_ownPort(std::move(ownPort)),
      m_serial(serial ? serial : m_ownPort.get()), m_port(port ? *port : *m_serial),
      m_view(new PanelView(this)), m_gestures(*m_view), m_menu(*menuBar()), m_panel(*this, *m_view),
      m_link(m_port, m_panel, *this), m_actions({*this, *m_view, m_menu, m_panel, m_link, *this,
                                                 m_serial ? m_serial->bindings() : m_looseBindings})
{
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(tr("QJ Karaoke V1.0"));
    setWindowIcon(appIcon());
    setCentralWidget(m_view);
    fixWindow();
    wireControls();
    m_link.setLanguage(m_menu.textLanguage());

    m_runTimer.setObjectName(QStringLiteral("RunTimer"));
    m_runTimer.setTimerType(Qt::PreciseTimer);
    m_runTimer.setInterval(kRunTimerPeriod);
    connect(&m_runTimer, &QTimer::timeout, this, &Form1::runTimerFired);
    m_runTimer.start();

    Form_Load();
}

Form1::~Form1() = default;

PortBindings &Form1::bindings()
{
    return m_serial ? m_serial->bindings() : m_looseBindings;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Disconnected like the menu entry does it, so nothing is left pending to resend or give
    // up on while the program ends.
    m_actions.closing();
    m_link.disconnect();
    if (m_settings)
        PanelSettings(*m_settings).setWindowPosition(pos());
    QMainWindow::closeEvent(event);
}

void Form1::fixWindow()
{
    // A fixed border: the client area stays as designed, the window can be minimised only.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ensurePolished();
    layout()->activate();
    adjustSize();
    placeWindow(std::nullopt);
}

void Form1::useSettings(QSettings *settings)
{
    m_settings = settings;
    m_actions.useSettings(settings);
    if (settings)
        placeWindow(PanelSettings(*settings).windowPosition());
}

QSize Form1::frameAllowance() const
{
    // The window manager's frame is known only once the window is shown; before that thin
    // borders and a title bar are assumed, generously: desktops often draw it taller than Qt's
    // own measure, and a frame assumed too small leaves the bottom row under the screen's edge.
    const QSize frame = frameGeometry().size() - size();
    if (!frame.isNull())
        return frame;
    constexpr int kBorder = 4;
    const int titleBar =
        std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight), 2 * fontMetrics().height());
    return {2 * kBorder, titleBar + 2 * kBorder};
}

void Form1::placeWindow(std::optional<QPoint> remembered)
{
    // The remembered place, on the screen it lies on, when the window fits there whole.
    if (remembered) {
        for (const QScreen *s : QGuiApplication::screens()) {
            const QRect area = s->availableGeometry();
            if (!area.contains(*remembered))
                continue;
            fitTo(area);
            if (placeOnScreens(QRect(*remembered, size() + frameAllowance()), {area})) {
                move(*remembered);
                return;
            }
        }
    }
    if (const QScreen *s = screen()) {
        fitTo(s->availableGeometry());
        move(s->availableGeometry().center() - rect().center());
    }
}

void Form1::fitTo(const QRect &available)
{
    const QSize natural(m_view->width(), m_view->height() + menuBar()->sizeHint().height());
    const WindowFit fit = fitWindow(natural, available.size() - frameAllowance(),
                                    style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    if (fit.scrolls && !m_scroll) {
        m_scroll = new QScrollArea;
        m_scroll->setObjectName(QStringLiteral("ClientScroll"));
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setWidget(takeCentralWidget());
        setCentralWidget(m_scroll);
        layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    } else if (!fit.scrolls && m_scroll) {
        setCentralWidget(m_scroll->takeWidget()); // the scroll area goes with the next events
        m_scroll = nullptr;
        m_view->show();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        layout()->activate();
        adjustSize();
        return;
    }
    if (m_scroll)
        setFixedSize(fit.size);
}

void Form1::wireControls()
{
    // Each change a person makes is a step that Ctrl+Z takes back, except the run mode and the
    // save slots (no setting of a preset changes), Mute and the limits.
    PanelUndo &undo = m_actions.undo();
    OfflineWork &work = m_actions.offlineWork();
    m_actions.setGestures(&m_gestures);
    connect(m_view, &PanelView::sliderScrolled, this, [this, &undo](int wireId) {
        // Scrolled comes while value() still holds the old position.
        const LevelSlider *s = m_view->slider(wireId);
        const int before = s->minimum() + s->maximum() - s->value();
        m_link.sliders().Scroll(wireId);
        undo.sliderMoved(wireId, before, s->parameterValue(), s->held());
        personChanged({wireId});
    });
    connect(m_view, &PanelView::sliderLetGo, this,
            [&undo](int wireId) { undo.sliderLetGo(wireId); });
    connect(m_view, &PanelView::groupClicked, this, [this, &undo](Group group, int index) {
        const Preset before = capturePreset(m_panel);
        m_link.buttons().GroupClick(group, index);
        undo.recordSince(before);
        const Preset after = capturePreset(m_panel);
        std::vector<int> changed;
        for (const int id : presetIds())
            if (after.values[std::size_t(id)] != before.values[std::size_t(id)])
                changed.push_back(id);
        personChanged(changed);
    });
    connect(m_view, &PanelView::muteClicked, this, [this] { m_link.buttons().Mute_Click(); });
    const auto changed = [this](Control control) { m_link.controlChanged(control); };
    // Boxes and options change by reports, undo and the offline procedure too; only a change
    // made while the person's input is being delivered is the person's. The offline procedure
    // (a failure inside a click) changes them with the window disabled. It has changed already:
    // the value before was the other one.
    const auto ticked = [this, &undo, changed](Control control) {
        changed(control);
        if (!m_gestures.inGesture() || !isEnabled() || !m_panel.isEnabled(control))
            return;
        const int wireId = control == Control::SuperBass      ? wire::kSuperBass
                           : control == Control::SubwoofPhase ? wire::kSubwoofPhase
                                                              : wire::kSurround;
        const int after = capturePreset(m_panel).values[static_cast<std::size_t>(wireId)];
        undo.recordSetting(wireId, 1 - after, after);
        personChanged({wireId});
    };
    connect(m_view, &PanelView::checkBoxChanged, this, ticked);
    connect(m_view, &PanelView::optionSelected, this, ticked);
    connect(m_view, &PanelView::spinnerChanged, this, changed);
    connect(&m_gestures, &GestureWatch::settled, this, [&work] { work.handsFree(); });
    connect(m_menu.action(MenuEntry::Connect), &QAction::triggered, this,
            &Form1::MenuConnect_Click);
    // A watch for a lost device follows the number in the box.
    connect(m_view->text1(), &QLineEdit::textChanged, this,
            [this](const QString &text) { m_link.boxNames(Connection::portNumberFrom(text)); });
    m_panel.setBoxHook([this](bool open) { boxOpened(open); });

    m_link.transmitter().addSendHook([this](const frame::Frame &) { wakeTick(); });
    if (m_serial) {
        connect(m_serial, &SerialPort::readyRead, this, &Form1::wakeTick);
        m_serial->setObjectName(QStringLiteral("MSComm1"));
        connect(m_serial, &SerialPort::lost, this, [this] { m_link.deviceLost(); });
        connect(m_serial, &SerialPort::deviceBack, this, [this] { m_link.deviceReturned(); });
    }
}

void Form1::personChanged(const std::vector<int> &wireIds)
{
    // Offline work while connecting, a choice made online otherwise: a running push or the
    // offline work's push leaves these out, so the newest choice wins.
    for (const int id : wireIds)
        m_actions.offlineWork().gesture(id);
    m_actions.presets().leaveOut(wireIds);
}

void Form1::boxOpened(bool open)
{
    // No timer of the window fires into the link while a box is open; each starts its full
    // interval again once the box has closed.
    m_actions.offlineWork().hold(open);
    if (m_serial)
        m_serial->holdWatch(open);
    if (open)
        return;
    if (m_runTimer.isActive())
        m_runTimer.start();
    m_link.boxesClosed();
}

void Form1::runTimerFired()
{
    if (m_tickGate.admit(TickGate::Clock::now()))
        RunTimer_Timer(); // else it crowds a late tick (see TickGate)
}

void Form1::RunTimer_Timer()
{
    // A message box is open: its event loop lets ticks through, and they do nothing until it
    // is read, the preset push's next setting included. A failure is then reported once, and
    // nothing is resent or sent while the panel has not yet gone offline.
    if (m_panel.messagesOpen() != 0)
        return;
    m_link.tick();
    m_actions.afterTick(); // a preset push sends its next setting once the last was taken
    if (m_link.idle() && m_runTimer.isActive()) {
        m_runTimer.stop();
        m_tickAsleep = true;
    }
}

void Form1::wakeTick()
{
    if (!m_tickAsleep)
        return; // running, or stopped from outside (a test driving the ticks itself)
    m_tickAsleep = false;
    m_runTimer.start();
}

void Form1::Form_Load()
{
    m_link.OffLineStatus();
}

void Form1::MenuConnect_Click()
{
    m_link.connect(Connection::portNumberFrom(m_view->text1()->text()));
}

void Form1::linkStateChanged(LinkState state)
{
    // The status lamp reads connected only online; a preset push shows its progress there
    // while it runs.
    m_view->mute()->setEnabled(state == LinkState::Online);
    // The connection's reports have just replaced the panel's state.
    if (state == LinkState::Online)
        m_actions.undo().clear();
    m_menu.action(MenuEntry::Connect)->setEnabled(offersConnect(state));
    m_panel.setStatusCaption(statusText(
        state == LinkState::Online ? Status::Connected : Status::Offline, m_link.language()));
    m_actions.offlineWork().linkStateChanged(state);
}

void Form1::panelReset()
{
    m_actions.offlineWork().panelReset();
}

void Form1::showMessage(Message message)
{
    QString text =
        message == Message::ConnectFailed && m_serial
            ? networkProblemText(m_serial->networkProblem(), m_link.language())
            : messageText(message, m_link.language(),
                          message == Message::AccessDenied || message == Message::ConnectFailed ||
                                  message == Message::PortInUse
                              ? deviceDescription()
                              : QString(),
                          message == Message::PortInUse && m_serial ? m_serial->lastErrorText()
                                                                    : QString());
    // A link failure ends a running preset push before its box opens: nothing more is sent,
    // and the one box tells how far the push got.
    if (message == Message::SendFailed || message == Message::DeviceOffline) {
        const QString progress = m_actions.presets().stopForFailure();
        if (!progress.isEmpty())
            text += u'\n' + progress;
    }
    m_panel.showMessage(text);
}

QString Form1::deviceDescription() const
{
    if (!m_serial)
        return QStringLiteral("COM%1").arg(m_port.commPort());
    const QString why = m_serial->lastErrorText();
    return why.isEmpty() ? m_serial->deviceName()
                         : m_serial->deviceName() + QStringLiteral(" (") + why + u')';
}

void Form1::setMessagePresenter(WidgetPanel::MessagePresenter presenter)
{
    m_panel.setMessagePresenter(std::move(presenter));
}

} // namespace qj
