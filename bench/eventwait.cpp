#include "bench/eventwait.h"

#include <QEventLoop>
#include <QTimer>

namespace qj::bench {

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds every)
{
    if (done())
        return true;
    QEventLoop loop;
    bool held = false;
    QTimer look;
    look.setInterval(every);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            held = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return held || done();
}

void idleFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace qj::bench
