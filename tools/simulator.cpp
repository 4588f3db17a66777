#include "tools/simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace qj::sim {

namespace {

constexpr int kReadChunk = 256; // one read of the pseudo-terminal
constexpr int kPumpRounds = 64; // catching up after a late wake never loops for good
constexpr long long kNsPerUs = 1000;

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

QString hex(const std::uint8_t *bytes, std::size_t count)
{
    QString s;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            s += QLatin1Char(' ');
        s += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return s;
}

} // namespace

Simulator::Simulator(Device::Config config, QObject *parent)
    : QObject(parent), m_device(config), m_control(m_device), m_epochNs(monotonicNs())
{
    m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer >= 0) {
        m_timerNotifier = std::make_unique<QSocketNotifier>(m_timer, QSocketNotifier::Read);
        connect(m_timerNotifier.get(), &QSocketNotifier::activated, this, &Simulator::wake);
    }
}

Simulator::~Simulator()
{
    closePty();
    m_timerNotifier.reset();
    if (m_timer >= 0)
        ::close(m_timer);
}

Micros Simulator::now() const
{
    return Micros{(monotonicNs() - m_epochNs) / kNsPerUs};
}

bool Simulator::open()
{
    if (m_master >= 0)
        return true;
    if (m_timer < 0) {
        m_error = QStringLiteral("no timer: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        m_error =
            QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        if (master >= 0)
            ::close(master);
        return false;
    }
    const char *name = ptsname(master);
    const int slave = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (slave < 0) {
        m_error = QStringLiteral("cannot open the pseudo-terminal's slave side");
        ::close(master);
        return false;
    }
    // Raw from the start, so nothing is echoed or translated before the panel sets the line up.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);

    m_master = master;
    m_slave = slave;
    m_path = QString::fromLocal8Bit(name);
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &Simulator::readPanel);
    if (!m_link.isEmpty() && !makeLink())
        return false;
    emit ptyOpened(m_path);
    pump();
    return true;
}

bool Simulator::setLink(const QString &path)
{
    removeLink();
    m_link = path;
    return m_master < 0 || m_link.isEmpty() || makeLink();
}

void Simulator::setFault(Fault fault, int arg)
{
    m_device.setFault(fault, arg, now());
    pump();
}

void Simulator::clearFault(Fault fault)
{
    m_device.clearFault(fault);
    pump();
}

void Simulator::clearFaults()
{
    m_device.clearFaults();
    pump();
}

bool Simulator::report(int wireId)
{
    const bool ok = m_device.report(wireId, now());
    pump();
    return ok;
}

bool Simulator::set(int wireId, int value)
{
    const bool ok = m_device.set(wireId, value, now());
    pump();
    return ok;
}

void Simulator::unplug()
{
    m_device.unplug(now());
    pump();
}

bool Simulator::plug()
{
    if (m_master >= 0)
        return false;
    m_device.plug(now());
    return open();
}

QString Simulator::execute(const QString &line)
{
    const ControlChannel::Reply reply = m_control.execute(line.toStdString(), now());
    QString text = QString::fromStdString(reply.text);
    switch (reply.action) {
    case ControlChannel::Action::None:
        break;
    case ControlChannel::Action::Plug:
        if (!plug())
            text = QStringLiteral("ERROR ") + m_error;
        break;
    case ControlChannel::Action::TraceOn:
    case ControlChannel::Action::TraceOff:
        m_trace = reply.action == ControlChannel::Action::TraceOn;
        break;
    case ControlChannel::Action::Quit:
        emit quitRequested();
        break;
    }
    pump();
    return text;
}

void Simulator::readPanel()
{
    std::uint8_t buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        traceBytes("rx", buf, static_cast<std::size_t>(n));
        m_device.receive(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), now());
    }
    pump();
}

void Simulator::wake()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_timer, &expirations, sizeof expirations);
    pump();
}

// Lets the device catch up to the present, writes what has come due and sleeps until the next
// thing it has to do.
void Simulator::pump()
{
    for (int round = 0; round < kPumpRounds; ++round) {
        const Micros t = now();
        m_device.advance(t);
        m_scratch.clear();
        m_device.takeDue(t, m_scratch);
        m_device.takeEvents(m_events);
        for (const DeviceEvent &e : m_events)
            traceLine(e.at, QStringLiteral("-- ") + QString::fromStdString(describe(e)));
        m_events.clear();
        if (!m_scratch.empty() && m_master >= 0) {
            traceBytes("tx", m_scratch.data(), m_scratch.size());
            // A panel that has stopped reading fills the pseudo-terminal; a real line would
            // carry the bytes into the void, so what does not fit is dropped.
            const ssize_t n = ::write(m_master, m_scratch.data(), m_scratch.size());
            if (n < static_cast<ssize_t>(m_scratch.size()))
                traceLine(t, QStringLiteral("%1 bytes dropped, the panel is not reading")
                                 .arg(m_scratch.size() - std::max<ssize_t>(n, 0)));
        }
        if (m_device.unplugged()) {
            if (m_master >= 0) {
                closePty();
                emit unplugged();
            }
            armTimer(std::nullopt);
            return;
        }
        const std::optional<Micros> next = m_device.nextWake();
        if (!next || *next > now()) {
            armTimer(next);
            return;
        }
    }
    armTimer(now());
}

void Simulator::armTimer(std::optional<Micros> at)
{
    if (m_timer < 0)
        return;
    itimerspec when{};
    if (at) {
        // Absolute, so a late wake does not push every later byte back.
        const long long ns = m_epochNs + std::max<long long>(at->count(), 1) * kNsPerUs;
        when.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000LL);
        when.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000LL);
    }
    timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &when, nullptr);
}

void Simulator::closePty()
{
    m_readNotifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    // The number of a closed pseudo-terminal is soon handed to another program.
    removeLink();
}

bool Simulator::makeLink()
{
    const QFileInfo info(m_link);
    if (info.exists() && !info.isSymLink()) {
        m_error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_link);
        return false;
    }
    QFile::remove(m_link);
    if (!QFile::link(m_path, m_link)) {
        m_error = QStringLiteral("cannot make the link %1").arg(m_link);
        return false;
    }
    return true;
}

void Simulator::removeLink()
{
    if (!m_link.isEmpty() && QFileInfo(m_link).isSymLink())
        QFile::remove(m_link);
}

void Simulator::traceBytes(const char *direction, const std::uint8_t *bytes, std::size_t count)
{
    if (m_trace)
        traceLine(now(), QString::fromLatin1(direction) + QLatin1Char(' ') + hex(bytes, count));
}

void Simulator::traceLine(Micros at, const QString &text)
{
    if (m_trace)
        emit traced(
            QStringLiteral("%1 ").arg(static_cast<double>(at.count()) / 1000.0, 10, 'f', 3) + text);
}

} // namespace qj::sim
