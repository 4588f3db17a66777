#pragma once

#include "bench/benchclock.h"

#include <QString>

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qj::bench {

// A pseudo-terminal for the panel whose other end a thread of ours holds: it stamps every byte
// the panel writes the moment it becomes readable there, and relays both ways to the device's
// pseudo-terminal (qj-sim's), so the panel talks to the virtual processor through it. Without a
// device it is a silent line. The relay adds tens of microseconds to the device's path only.
class WireTap
{
public:
    struct Byte
    {
        std::uint8_t value;
        TimePoint at; // when the tap's read returned it
    };

    WireTap() = default;
    ~WireTap();
    WireTap(const WireTap &) = delete;
    WireTap &operator=(const WireTap &) = delete;

    // Opens the panel's pseudo-terminal and, with a device path, the relay to it.
    bool open(const QString &devicePath = {});
    void close();
    QString panelPath() const { return m_panelPath; }
    QString errorString() const { return m_error; }

    // Writes on the panel's side, as the panel would: for timing the pseudo-terminal alone.
    bool writeAsPanel(const std::uint8_t *bytes, std::size_t size);

    // Bytes from the panel, oldest first, from `index` on.
    std::size_t count() const;
    std::vector<Byte> since(std::size_t index) const;

private:
    void run();
    void relay(int from, int to, bool stamp);

    int m_master = -1; // the panel's pseudo-terminal, our end
    int m_slave = -1;  // held open so our end never sees a hang-up between panels
    int m_device = -1; // the device's pseudo-terminal, opened as a serial program would
    int m_stop[2] = {-1, -1};
    QString m_panelPath;
    QString m_error;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Byte> m_bytes;
};

} // namespace qj::bench
