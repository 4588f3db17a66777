#include "bench/wiretap.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace qj::bench {

namespace {

constexpr int kChunk = 256;
constexpr int kWriteWaitMs = 50; // a full queue on the far side drains at line rate

void makeRaw(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void writeAll(int fd, const std::uint8_t *bytes, ssize_t size)
{
    ssize_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<std::size_t>(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, kWriteWaitMs) <= 0)
            return;
    }
}

} // namespace

WireTap::~WireTap()
{
    close();
}

bool WireTap::open(const QString &devicePath)
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error =
            QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    }
    const char *name = ptsname(m_master);
    m_slave = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (m_slave < 0) {
        m_error = QStringLiteral("cannot open the slave side");
        close();
        return false;
    }
    makeRaw(m_slave);
    m_panelPath = QString::fromLocal8Bit(name);

    if (!devicePath.isEmpty()) {
        m_device = ::open(QFile::encodeName(devicePath).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_device < 0) {
            m_error = QStringLiteral("cannot open %1: %2")
                          .arg(devicePath, QString::fromLocal8Bit(strerror(errno)));
            close();
            return false;
        }
        makeRaw(m_device);
    }
    if (::pipe2(m_stop, O_CLOEXEC) != 0) {
        m_error = QStringLiteral("no pipe");
        close();
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void WireTap::close()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stop[1], &stop, 1);
        m_thread.join();
    }
    closeFd(m_stop[0]);
    closeFd(m_stop[1]);
    closeFd(m_device);
    closeFd(m_slave);
    closeFd(m_master);
    m_panelPath.clear();
    std::lock_guard lock(m_mutex);
    m_bytes.clear();
}

bool WireTap::writeAsPanel(const std::uint8_t *bytes, std::size_t size)
{
    return m_slave >= 0 && ::write(m_slave, bytes, size) == static_cast<ssize_t>(size);
}

std::size_t WireTap::count() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes.size();
}

std::vector<WireTap::Byte> WireTap::since(std::size_t index) const
{
    std::lock_guard lock(m_mutex);
    if (index >= m_bytes.size())
        return {};
    return {m_bytes.begin() + static_cast<std::ptrdiff_t>(index), m_bytes.end()};
}

void WireTap::run()
{
    for (;;) {
        pollfd fds[3] = {{m_stop[0], POLLIN, 0}, {m_master, POLLIN, 0}, {m_device, POLLIN, 0}};
        const nfds_t n = m_device >= 0 ? 3 : 2;
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN)
            relay(m_master, m_device, true);
        if (n == 3 && (fds[2].revents & POLLIN))
            relay(m_device, m_master, false);
    }
}

void WireTap::relay(int from, int to, bool stamp)
{
    std::uint8_t buf[kChunk];
    for (;;) {
        const ssize_t n = ::read(from, buf, sizeof buf);
        if (n <= 0)
            return;
        if (stamp) {
            const TimePoint at = Clock::now();
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i)
                m_bytes.push_back({buf[i], at});
        }
        if (to >= 0)
            writeAll(to, buf, n);
    }
}

} // namespace qj::bench
