#include "bench/devicepriority.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/resource.h>

namespace qj::bench {

namespace {
constexpr int kRealTimePriority = 10; // above ordinary work, below the kernel's own threads
constexpr int kNice = -10;
} // namespace

QString raiseDevicePriority(qint64 pid)
{
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    if (sched_setscheduler(static_cast<pid_t>(pid), SCHED_FIFO, &param) == 0)
        return QStringLiteral("real-time (SCHED_FIFO %1)").arg(kRealTimePriority);
    const QString why = QString::fromLocal8Bit(std::strerror(errno));
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(pid), kNice) == 0)
        return QStringLiteral("nice %1 (no real-time: %2)").arg(kNice).arg(why);
    return QStringLiteral("normal (%1)").arg(why);
}

} // namespace qj::bench
