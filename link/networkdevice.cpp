#include "link/networkdevice.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>

namespace qj {

NetworkDevice::NetworkDevice(QObject *parent) : QObject(parent)
{
    m_openTimer.setSingleShot(true);
    m_openTimer.setInterval(kOpenTime);
    m_burstTimer.setSingleShot(true);
    m_burstTimer.setTimerType(Qt::PreciseTimer);
    m_burstTimer.setInterval(kBurstGap);
    m_retry.setSingleShot(true);
    connect(&m_socket, &QTcpSocket::connected, this, &NetworkDevice::connected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkDevice::received);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkDevice::ended);
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { ended(QAbstractSocket::RemoteHostClosedError); });
    connect(&m_openTimer, &QTimer::timeout, this, [this] { fail(NetworkProblem::Kind::NoAnswer); });
    connect(&m_burstTimer, &QTimer::timeout, this, &NetworkDevice::handOver);
    connect(&m_retry, &QTimer::timeout, this, &NetworkDevice::retryFired);
}

NetworkDevice::~NetworkDevice()
{
    m_state = State::Closed;
    m_socket.abort();
}

void NetworkDevice::open(const DeviceUrl &url)
{
    close();
    ++m_generation;
    m_url = url;
    m_telnet = TelnetCodec();
    m_problem = NetworkProblem{};
    m_problem.endpoint = url.endpoint();
    m_serverText.clear();
    m_heard = false;
    m_ackAwaited = false;
    m_state = State::Connecting;
    m_openTimer.start();
    m_socket.connectToHost(url.host, url.port);
}

void NetworkDevice::close()
{
    ++m_generation; // nothing said of the connection closed here is told any more
    m_state = State::Closed;
    m_openTimer.stop();
    m_burstTimer.stop();
    m_gathering.clear();
    m_ready.clear();
    m_socket.abort();
}

void NetworkDevice::setKeepAlive()
{
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); // Nagle off: a frame goes at once
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const auto fd = static_cast<int>(m_socket.socketDescriptor());
    if (fd < 0)
        return;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds,
                 sizeof kKeepIntervalSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepProbes, sizeof kKeepProbes);
}

void NetworkDevice::connected()
{
    if (m_state != State::Connecting)
        return;
    setKeepAlive();
    quickAck();
    if (m_url.scheme == DeviceUrl::Scheme::Socket) {
        m_state = State::Open;
        m_openTimer.stop();
        later(&NetworkDevice::opened);
        return;
    }
    m_state = State::Negotiating;
    const std::vector<std::uint8_t> opening = TelnetCodec::opening();
    m_socket.write(reinterpret_cast<const char *>(opening.data()),
                   static_cast<qint64>(opening.size()));
}

void NetworkDevice::quickAck()
{
    // Acknowledge what came at once, not up to 40 ms later: a server that leaves Nagle on holds
    // its next small segment (the report after an acknowledgement) until this one is
    // acknowledged, and the processor would meanwhile give up waiting for the reply. Linux
    // falls back to delayed acknowledgements after a while, so this is asked after every read.
    const auto fd = static_cast<int>(m_socket.socketDescriptor());
    const int on = 1;
    if (fd >= 0)
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void NetworkDevice::received()
{
    const QByteArray bytes = m_socket.readAll();
    quickAck();
    if (m_state == State::Closed || bytes.isEmpty())
        return;
    const std::span<const std::uint8_t> in(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                           static_cast<std::size_t>(bytes.size()));
    if (m_url.scheme == DeviceUrl::Scheme::Socket) {
        gather({in.begin(), in.end()});
        return;
    }
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> reply;
    m_telnet.receive(in, data, reply);
    if (!reply.empty())
        m_socket.write(reinterpret_cast<const char *>(reply.data()),
                       static_cast<qint64>(reply.size()));
    gather(data);
    if (m_state != State::Negotiating)
        return;
    switch (m_telnet.negotiation()) {
    case TelnetCodec::Negotiation::Waiting:
        return;
    case TelnetCodec::Negotiation::Done:
        m_state = State::Open;
        m_openTimer.stop();
        later(&NetworkDevice::opened);
        return;
    case TelnetCodec::Negotiation::OptionRefused:
        fail(NetworkProblem::Kind::OptionRefused);
        return;
    case TelnetCodec::Negotiation::SettingRefused: {
        const auto refused = m_telnet.refusedSetting();
        m_problem.setting = refused->first;
        m_problem.answered = refused->second;
        fail(NetworkProblem::Kind::SettingRefused);
        return;
    }
    }
}

void NetworkDevice::gather(const std::vector<std::uint8_t> &data)
{
    if (data.empty())
        return;
    for (const std::uint8_t b : data) {
        if (b == kProcessorByte && !m_heard) {
            m_heard = true;
            m_nextRetry = kFirstRetry; // the processor was there: a later watch starts afresh
        }
        // A server's refusal is a line of text before the processor said anything.
        if (!m_heard && m_serverText.size() < kMaxServerText && b >= 0x20 && b < 0x7F)
            m_serverText.append(static_cast<char>(b));
    }
    auto from = data.begin();
    if (m_ackAwaited && m_gathering.empty()) {
        // The processor answers a command with one byte and starts a report 5 ms later at the
        // soonest; on a line the tick reads that byte alone before the report comes. Gathered
        // with it, the report would be read as part of the acknowledgement and lost.
        m_ackAwaited = false;
        m_ready.push_back(*from++);
        emit readyRead();
        if (from == data.end())
            return;
    }
    if (m_gathering.empty())
        m_burstStart.start();
    m_lateRead = false;
    m_gathering.insert(m_gathering.end(), from, data.end());
    if (m_burstStart.elapsed() >= kBurstMost.count())
        handOver();
    else
        m_burstTimer.start(kBurstGap);
}

void NetworkDevice::handOver()
{
    m_burstTimer.stop();
    if (m_gathering.empty())
        return;
    // Bytes that reached the socket within the gap, while this thread was busy elsewhere, are
    // still part of the burst: a late timer must not cut a report in two. They are read at the
    // next turn of the event loop, and the hand-over waits for them.
    int waiting = 0;
    const auto fd = static_cast<int>(m_socket.socketDescriptor());
    if (!m_lateRead && fd >= 0 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0) {
        m_lateRead = true; // once: the event loop reads them before the timer fires again
        m_burstTimer.start(kLateRead);
        return;
    }
    m_lateRead = false;
    m_ready.insert(m_ready.end(), m_gathering.begin(), m_gathering.end());
    m_gathering.clear();
    emit readyRead();
}

void NetworkDevice::take(std::vector<std::uint8_t> &into)
{
    into.swap(m_ready);
    m_ready.clear();
}

void NetworkDevice::unread(std::span<const std::uint8_t> bytes)
{
    m_ready.insert(m_ready.begin(), bytes.begin(), bytes.end());
}

void NetworkDevice::clearInput()
{
    m_ready.clear();
    m_gathering.clear();
    m_burstTimer.stop();
}

bool NetworkDevice::write(std::span<const std::uint8_t> bytes)
{
    if (m_state != State::Open)
        return true; // as a closed serial port: nothing, and no failure
    const char *data = reinterpret_cast<const char *>(bytes.data());
    auto size = static_cast<qint64>(bytes.size());
    if (m_url.scheme == DeviceUrl::Scheme::Rfc2217) {
        m_scratch.clear();
        TelnetCodec::escape(bytes, m_scratch);
        data = reinterpret_cast<const char *>(m_scratch.data());
        size = static_cast<qint64>(m_scratch.size());
    }
    m_ackAwaited = bytes.size() > 1; // a command frame; a reply to a report is one byte
    if (m_socket.write(data, size) != size) {
        close(); // the caller tells the loss; no lost() besides
        return false;
    }
    m_socket.flush(); // to the operating system now, not at the next turn of the event loop
    return true;
}

void NetworkDevice::ended(QAbstractSocket::SocketError error)
{
    using K = NetworkProblem::Kind;
    switch (m_state) {
    case State::Closed:
        return;
    case State::Connecting:
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            fail(K::Refused);
            return;
        case QAbstractSocket::HostNotFoundError:
            fail(K::HostNotFound);
            return;
        case QAbstractSocket::NetworkError:
            fail(K::Unreachable);
            return;
        case QAbstractSocket::SocketTimeoutError:
            fail(K::NoAnswer);
            return;
        default:
            fail(K::Other, m_socket.errorString());
            return;
        }
    case State::Negotiating:
        failFromServer();
        return;
    case State::Open:
        if (!m_heard) {
            failFromServer();
            return;
        }
        close();
        later(&NetworkDevice::lost);
        return;
    }
}

void NetworkDevice::failFromServer()
{
    // ser2net: "Port already in use", "Port's device already in use", "Device open failure: …".
    using K = NetworkProblem::Kind;
    const QString text = QString::fromLatin1(m_serverText).trimmed();
    if (text.isEmpty())
        fail(K::ServerClosed);
    else if (text.contains(QLatin1String("in use"), Qt::CaseInsensitive))
        fail(K::Busy, text);
    else if (text.contains(QLatin1String("open failure"), Qt::CaseInsensitive))
        fail(K::DeviceMissing, text);
    else
        fail(K::ServerSaid, text);
}

void NetworkDevice::fail(NetworkProblem::Kind kind, const QString &detail)
{
    if (m_state == State::Closed)
        return;
    m_problem.kind = kind;
    m_problem.detail = detail;
    close();
    later(&NetworkDevice::openFailed);
}

void NetworkDevice::later(void (NetworkDevice::*signal)())
{
    // Told from the event loop, not from inside the socket's own signal: what hears it may
    // close the device, open another or show a modal message.
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, signal, generation] {
            if (generation == m_generation) // else closed or opened again meanwhile
                emit(this->*signal)();
        },
        Qt::QueuedConnection);
}

void NetworkDevice::startWatch()
{
    if (!m_retry.isActive())
        m_retry.start(m_nextRetry);
}

void NetworkDevice::stopWatch()
{
    m_retry.stop();
}

void NetworkDevice::retryFired()
{
    m_nextRetry = std::min(m_nextRetry * 2, kLastRetry);
    m_retry.start(m_nextRetry);
    emit mayBeBack();
}

} // namespace qj
