#include "app/form1.h"

#include "link/serialport.h"
#include "panel/appicon.h"
#include "panel/commandbutton.h"
#include "panel/panelview.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>

namespace qj {

Form1::Form1(QWidget *parent) : Form1(std::make_unique<SerialPort>(), nullptr, nullptr, parent) {}

Form1::Form1(Port &port, QWidget *parent) : Form1(nullptr, nullptr, &port, parent) {}

Form1::Form1(SerialPort &serial, Port &port, QWidget *parent)
    : Form1(nullptr, &serial, &port, parent)
{}

Form1::Form1(std::unique_ptr<SerialPort> ownPort, SerialPort *serial, Port *port, QWidget *parent)
    : QMainWindow(parent), m_ownPort(std::move(ownPort)),
      m_serial(serial ? serial : m_ownPort.get()), m_port(port ? *port : *m_serial),
      m_view(new PanelView(this)), m_menu(*menuBar()), m_panel(*this, *m_view),
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
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void Form1::wireControls()
{
    connect(m_view, &PanelView::sliderScrolled, this, [this](int wireId) {
        m_actions.offlineWork().userChanged();
        m_link.sliders().Scroll(wireId);
    });
    connect(m_view, &PanelView::groupClicked, this, [this](Group group, int index) {
        m_actions.offlineWork().userChanged();
        m_link.buttons().GroupClick(group, index);
    });
    connect(m_view, &PanelView::muteClicked, this, [this] { m_link.buttons().Mute_Click(); });
    const auto changed = [this](Control control) { m_link.controlChanged(control); };
    connect(m_view, &PanelView::checkBoxChanged, this, changed);
    connect(m_view, &PanelView::optionSelected, this, changed);
    connect(m_view, &PanelView::spinnerChanged, this, changed);
    // Boxes and options change by reports and by the offline procedure too; a click is the
    // user's alone.
    const auto userChanged = [this] { m_actions.offlineWork().userChanged(); };
    for (const Control box : {Control::SuperBass, Control::SubwoofPhase})
        connect(m_view->checkBox(box), &QAbstractButton::clicked, this, userChanged);
    for (const Control option : {Control::SurroundMode1, Control::SurroundMode2})
        connect(m_view->option(option), &QAbstractButton::clicked, this, userChanged);
    connect(m_menu.action(MenuEntry::Connect), &QAction::triggered, this,
            &Form1::MenuConnect_Click);

    m_link.transmitter().addSendHook([this](const frame::Frame &) { wakeTick(); });
    if (m_serial) {
        connect(&m_serial->device(), &QIODevice::readyRead, this, &Form1::wakeTick);
        m_serial->setObjectName(QStringLiteral("MSComm1"));
        connect(m_serial, &SerialPort::lost, this, [this] { m_link.deviceLost(); });
        connect(m_serial, &SerialPort::deviceBack, this, [this] { m_link.deviceReturned(); });
    }
}

void Form1::runTimerFired()
{
    if (m_tickGate.admit(TickGate::Clock::now()))
        RunTimer_Timer(); // else it crowds a late tick (see TickGate)
}

void Form1::RunTimer_Timer()
{
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
    m_actions.offlineWork().connecting();
    m_link.connect(Connection::portNumberFrom(m_view->text1()->text()));
}

void Form1::linkStateChanged(LinkState state)
{
    // The status lamp reads connected only online; a preset push shows its progress there
    // while it runs.
    m_view->mute()->setEnabled(state == LinkState::Online);
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
    m_panel.showMessage(
        messageText(message, m_link.language(),
                    message == Message::AccessDenied ? deviceDescription() : QString()));
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
