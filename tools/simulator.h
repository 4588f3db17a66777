#pragma once

#include "tools/controlchannel.h"
#include "tools/device.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QSocketNotifier;

namespace qj::sim {

// The virtual processor on a real pseudo-terminal: any serial program opens ptyPath() and talks
// to the Device. This class only moves bytes and time: a read notifier hands what the panel
// wrote to the device with the time it came, and a timer wakes it when its next byte is due.
//
// The timer is a timerfd on the monotonic clock rather than a QTimer: QTimer counts whole
// milliseconds, and bytes are due every 347 us at 28800 baud.
//
// In the same process as a panel, the event loop must keep turning for the bytes to go out on
// time: wait with QEventLoop or processEvents(WaitForMoreEvents), not QTest::qWait(), which
// sleeps up to 10 ms between turns. Timing that matters is best measured against qj-sim as a
// child process (SimLauncher).
class Simulator : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(Device::Config config = {}, QObject *parent = nullptr);
    ~Simulator() override;

    // Opens a new pseudo-terminal; emits ptyOpened() with its path.
    bool open();
    bool isOpen() const { return m_master >= 0; }
    QString ptyPath() const { return m_path; }
    QString errorString() const { return m_error; }

    // Keeps a symbolic link at `path` pointing to the pseudo-terminal while it is open.
    bool setLink(const QString &path);
    QString linkPath() const { return m_link; }

    // Microseconds since this object was made, on the clock the device runs on.
    Micros now() const;

    // Run-time control, for a test in the same process. Each takes effect at once.
    Device &device() { return m_device; }
    void setFault(Fault fault, int arg = 0);
    void clearFault(Fault fault);
    void clearFaults();
    bool report(int wireId);
    bool set(int wireId, int value);
    void unplug();
    bool plug();

    // One line of the control channel (see ControlChannel); returns the answer line.
    QString execute(const QString &line);

    void setTrace(bool on) { m_trace = on; }
    bool tracing() const { return m_trace; }

signals:
    void ptyOpened(const QString &path);
    void unplugged();
    void traced(const QString &line);
    void quitRequested();

private slots:
    void readPanel();
    void wake();

private:
    void pump();
    void armTimer(std::optional<Micros> at);
    void closePty();
    bool makeLink();
    void removeLink();
    void traceBytes(const char *direction, const std::uint8_t *bytes, std::size_t count);
    void traceLine(Micros at, const QString &text);

    Device m_device;
    ControlChannel m_control;
    int m_master = -1;
    int m_slave = -1; // held open so the master never sees a hang-up while no panel is attached
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    long long m_epochNs = 0;
    QString m_path;
    QString m_link;
    QString m_error;
    bool m_trace = false;
    std::vector<std::uint8_t> m_scratch;
    std::vector<DeviceEvent> m_events;
};

} // namespace qj::sim
