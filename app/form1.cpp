#include "app/form1.h"

#include "link/serialport.h"
#include "panel/appicon.h"
#include "panel/offlinestatus.h"
#include "panel/panelview.h"

#include <QAction>
#include <QCloseEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
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
      m_view(new PanelView(this)), m_menu(*menuBar()), m_panel(*this, *m_view, m_menu),
      m_texts(m_panel), m_transmitter(m_port, m_command), m_reports(m_panel, *this),
      m_decoder(m_port, m_receive, m_reports, m_transmitter),
      m_supervisor(m_port, m_transmitter, m_receive, m_decoder, *this),
      m_connection(m_port, m_transmitter, m_panel, *this), m_sliders(m_panel, m_transmitter),
      m_buttons(m_panel, m_transmitter), m_spinners(m_panel),
      m_actions({*this, *m_view, m_menu, m_panel, m_texts, m_transmitter, m_connection,
                 m_serial ? m_serial->bindings() : m_looseBindings})
{
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(tr("QJ Karaoke V1.0"));
    setWindowIcon(appIcon());
    setCentralWidget(m_view);
    fixWindow();
    wireControls();

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
    m_connection.disconnect();
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
    connect(m_view, &PanelView::sliderScrolled, this,
            [this](int wireId) { m_sliders.Scroll(wireId); });
    connect(m_view, &PanelView::groupClicked, this,
            [this](Group group, int index) { m_buttons.GroupClick(group, index); });
    connect(m_view, &PanelView::muteClicked, this, [this] { m_buttons.Mute_Click(); });
    connect(m_view, &PanelView::checkBoxChanged, this,
            [this](Control box) { m_buttons.CheckBoxClick(box); });
    connect(m_view, &PanelView::optionSelected, this,
            [this](Control option) { m_buttons.OptionClick(option); });
    connect(m_view, &PanelView::spinnerChanged, this,
            [this](Control spinner) { m_spinners.Change(spinner); });
    connect(m_menu.action(MenuEntry::Connect), &QAction::triggered, this,
            &Form1::MenuConnect_Click);

    m_transmitter.setFailureHandler([this](PortError) { handleWriteFailure(); });
    m_transmitter.addSendHook([this](const frame::Frame &) { wakeTick(); });
    if (m_serial) {
        connect(&m_serial->device(), &QIODevice::readyRead, this, &Form1::wakeTick);
        m_serial->setObjectName(QStringLiteral("MSComm1"));
        connect(m_serial, &SerialPort::lost, this, &Form1::handlePortLost);
        m_connection.setDeviceDescriber([this] {
            const QString why = m_serial->lastErrorText();
            return why.isEmpty() ? m_serial->deviceName()
                                 : m_serial->deviceName() + QStringLiteral(" (") + why + u')';
        });
    }
}

void Form1::runTimerFired()
{
    if (m_tickGate.admit(TickGate::Clock::now()))
        RunTimer_Timer(); // else it crowds a late tick (see TickGate)
}

void Form1::RunTimer_Timer()
{
    m_supervisor.RunTimer_Timer();
    m_actions.afterTick(); // a preset push sends its next setting once the last was taken
    if (m_supervisor.idle() && m_runTimer.isActive()) {
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
    OffLineStatus();
}

void Form1::MenuConnect_Click()
{
    m_connection.MenuConnect_Click(m_view->text1()->text());
}

void Form1::ShowError()
{
    m_texts.ShowError();
}

void Form1::ShowConnect()
{
    m_texts.ShowConnect();
}

void Form1::OffLineStatus()
{
    qj::OffLineStatus(m_panel, m_command, m_texts);
}

void Form1::setMessagePresenter(WidgetPanel::MessagePresenter presenter)
{
    m_panel.setMessagePresenter(std::move(presenter));
}

void Form1::abandonCommand()
{
    // The port is gone, so the pending command can never be acknowledged. Forget it before the
    // modal message, whose event loop keeps the tick running: it would otherwise count the
    // command down, resend it into nothing and report the same failure a second time.
    m_command.CmdId = 0;
    m_command.CmdValue = 0;
    m_command.ReplyTicks = 0;
    m_command.RetryLeft = 0;
}

void Form1::handleWriteFailure()
{
    abandonCommand();
    m_texts.ShowError();
    m_panel.setEnabled(Control::MenuConnect, true);
    OffLineStatus();
}

void Form1::handlePortLost()
{
    abandonCommand();
    m_texts.ShowOffline();
    m_panel.setEnabled(Control::MenuConnect, true);
    OffLineStatus();
}

} // namespace qj
