#pragma once

#include <QTimer>

#include <chrono>
#include <functional>

namespace qj {

// A single-shot timer of the window that obeys the message-box rule: held while a box is open
// (it does not fire), and started with its full interval again when the box has closed.
//
// A test can take the clock over for every window timer at once (useTestClock): the timers then
// fire only when the test moves time on with advance(), in the order they come due.
class WindowTimer
{
public:
    using Callback = std::function<void()>;

    WindowTimer(std::chrono::milliseconds interval, Callback onTimeout);
    ~WindowTimer();
    WindowTimer(const WindowTimer &) = delete;
    WindowTimer &operator=(const WindowTimer &) = delete;

    // (Re)starts the full interval; while held, only remembers that it is to run.
    void start();
    void stop();
    bool isActive() const { return m_running; }

    // A message box opened (true) or closed (false).
    void hold(bool held);

    // Every window timer from now on runs on the test's clock, which starts at zero.
    static void useTestClock(bool on);
    // Moves the test's clock on by `by`, firing every timer that comes due meanwhile.
    static void advance(std::chrono::milliseconds by);

private:
    void arm();
    void fire();

    std::chrono::milliseconds m_interval;
    Callback m_onTimeout;
    QTimer m_timer;
    bool m_running = false; // started and not yet fired or stopped
    bool m_held = false;    // a box is open: the interval starts again when it closes
    long long m_due = -1;   // on the test's clock, -1: not armed there
};

} // namespace qj
