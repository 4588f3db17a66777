#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qj::test {

using Bytes = std::vector<std::uint8_t>;

// The connect command, as the panel and qj-ctl send it first.
inline const Bytes kConnectFrame{0xAA, 0x00, 0x01, 0x54};

// A real pseudo-terminal: the test holds the master side, the panel opens the slave path.
class Pty
{
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_path = ptsname(m_master);
        // Raw line discipline from the start, so nothing is echoed or translated even
        // before the panel opens the slave.
        const int slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY);
        if (slave >= 0) {
            termios t{};
            tcgetattr(slave, &t);
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
            ::close(slave);
        }
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return m_master >= 0 && !m_path.empty(); }
    const std::string &path() const { return m_path; }
    int master() const { return m_master; }

    void write(const std::vector<std::uint8_t> &bytes)
    {
        ssize_t done = 0;
        while (done < static_cast<ssize_t>(bytes.size())) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += n;
        }
    }

    // Reads until `count` bytes came or `timeoutMs` passed, running the Qt event loop meanwhile.
    std::vector<std::uint8_t> read(std::size_t count, int timeoutMs = 1000)
    {
        std::vector<std::uint8_t> got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            std::uint8_t buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        return got;
    }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    std::string m_path;
};

// Runs the event loop, idle, for `ms` milliseconds.
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Turns the event loop until `done` holds or `ms` pass.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        spin(2);
    }
    return true;
}

} // namespace qj::test
