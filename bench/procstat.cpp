#include "bench/procstat.h"

#include <QDir>
#include <QFile>

namespace qj::bench {

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::int64_t statusField(const QByteArray &status, const char *name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith(name))
            continue;
        const QList<QByteArray> words = line.simplified().split(' ');
        return words.size() > 1 ? words[1].toLongLong() : 0;
    }
    return 0;
}

} // namespace

ProcSample sampleProcess(qint64 pid)
{
    ProcSample s;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : threads) {
        const QByteArray sched = readAll(tasks + u'/' + tid + QStringLiteral("/schedstat"));
        if (sched.isEmpty())
            continue; // the thread ended in between
        s.cpuNs += sched.split(' ').value(0).toLongLong();
        const QByteArray status = readAll(tasks + u'/' + tid + QStringLiteral("/status"));
        s.switches += statusField(status, "voluntary_ctxt_switches:") +
                      statusField(status, "nonvoluntary_ctxt_switches:");
        s.ok = true;
    }
    return s;
}

std::int64_t residentKiB(qint64 pid)
{
    return statusField(readAll(QStringLiteral("/proc/%1/status").arg(pid)), "VmRSS:");
}

std::int64_t peakResidentKiB(qint64 pid)
{
    return statusField(readAll(QStringLiteral("/proc/%1/status").arg(pid)), "VmHWM:");
}

QString loadAverage()
{
    const QList<QByteArray> words = readAll(QStringLiteral("/proc/loadavg")).split(' ');
    if (words.size() < 3)
        return QStringLiteral("?");
    return QStringLiteral("%1 %2 %3")
        .arg(QString::fromLatin1(words[0]), QString::fromLatin1(words[1]),
             QString::fromLatin1(words[2]));
}

} // namespace qj::bench
