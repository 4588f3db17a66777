#include "app/windowtimer.h"

#include <algorithm>
#include <vector>

namespace qj {

namespace {

struct TestClock
{
    bool on = false;
    long long now = 0; // ms
    std::vector<WindowTimer *> timers;
};

TestClock &testClock()
{
    static TestClock clock;
    return clock;
}

} // namespace

WindowTimer::WindowTimer(std::chrono::milliseconds interval, Callback onTimeout)
    : m_interval(interval), m_onTimeout(std::move(onTimeout))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(interval);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
    testClock().timers.push_back(this);
}

WindowTimer::~WindowTimer()
{
    auto &timers = testClock().timers;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void WindowTimer::start()
{
    m_running = true;
    arm();
}

void WindowTimer::stop()
{
    m_running = false;
    m_timer.stop();
    m_due = -1;
}

void WindowTimer::hold(bool held)
{
    m_held = held;
    if (held) {
        m_timer.stop();
        m_due = -1;
    } else if (m_running) {
        arm(); // the full interval again
    }
}

void WindowTimer::arm()
{
    if (m_held)
        return;
    if (testClock().on)
        m_due = testClock().now + m_interval.count();
    else
        m_timer.start();
}

void WindowTimer::fire()
{
    m_running = false;
    m_due = -1;
    m_onTimeout();
}

void WindowTimer::useTestClock(bool on)
{
    TestClock &clock = testClock();
    clock.on = on;
    clock.now = 0;
    for (WindowTimer *t : clock.timers) {
        t->m_timer.stop();
        t->m_due = -1;
        if (t->m_running)
            t->arm();
    }
}

void WindowTimer::advance(std::chrono::milliseconds by)
{
    TestClock &clock = testClock();
    const long long end = clock.now + by.count();
    for (;;) {
        WindowTimer *next = nullptr;
        for (WindowTimer *t : clock.timers)
            if (t->m_due >= 0 && t->m_due <= end && (!next || t->m_due < next->m_due))
                next = t;
        if (!next)
            break;
        clock.now = next->m_due;
        next->fire();
    }
    clock.now = end;
}

} // namespace qj
