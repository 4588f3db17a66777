#pragma once

#include <QCoreApplication>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace qj::test {

// How long a test waits for bytes it expects. A loaded machine can hold the simulator back for a
// good part of a second; a read that gets its bytes returns at once, so this costs a passing test
// nothing. Waits for silence stay short and are stated where they are made.
inline constexpr int kPatienceMs = 2000;

// The panel's end of a pseudo-terminal, played byte by byte with a raw descriptor. Reading runs
// the Qt event loop meanwhile, so a virtual processor in the same process keeps working.
class PanelEnd
{
public:
    explicit PanelEnd(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return;
        termios t{};
        tcgetattr(m_fd, &t);
        cfmakeraw(&t);
        tcsetattr(m_fd, TCSANOW, &t);
    }
    ~PanelEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PanelEnd(const PanelEnd &) = delete;
    PanelEnd &operator=(const PanelEnd &) = delete;

    bool ok() const { return m_fd >= 0; }

    void write(const std::vector<std::uint8_t> &bytes)
    {
        [[maybe_unused]] const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
    }

    // Reads until `count` bytes came or `timeoutMs` passed. `arrivals` gets the time of each
    // byte in microseconds on the monotonic clock.
    std::vector<std::uint8_t> read(std::size_t count, int timeoutMs,
                                   std::vector<long long> *arrivals = nullptr)
    {
        std::vector<std::uint8_t> got;
        const long long end = nowUs() + timeoutMs * 1000LL;
        while (got.size() < count && nowUs() < end) {
            QCoreApplication::processEvents();
            std::uint8_t b;
            if (::read(m_fd, &b, 1) == 1) {
                got.push_back(b);
                if (arrivals)
                    arrivals->push_back(nowUs());
            } else {
                usleep(50);
            }
        }
        return got;
    }

    // Whether the other end has gone within `timeoutMs`: a read fails with EIO or poll says so.
    bool hungUp(int timeoutMs)
    {
        const long long end = nowUs() + timeoutMs * 1000LL;
        while (nowUs() < end) {
            QCoreApplication::processEvents();
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 1) > 0 && (p.revents & (POLLHUP | POLLERR)))
                return true;
            std::uint8_t b;
            if (::read(m_fd, &b, 1) < 0 && errno == EIO)
                return true;
        }
        return false;
    }

    static long long nowUs()
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return ts.tv_sec * 1'000'000LL + ts.tv_nsec / 1000;
    }

private:
    int m_fd = -1;
};

} // namespace qj::test
