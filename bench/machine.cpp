#include "bench/machine.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

#include <sys/utsname.h>
#include <thread>

namespace qj::bench {

namespace {

QString lscpuField(const QString &lscpu, const QString &name)
{
    for (const QString &line : lscpu.split(u'\n'))
        if (line.startsWith(name + u':'))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

QString memTotal()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QString first = QString::fromLatin1(f.readLine()).simplified(); // MemTotal: N kB
    const QStringList words = first.split(u' ');
    return words.size() > 1
               ? QStringLiteral("%1 GiB").arg(words[1].toDouble() / 1048576.0, 0, 'f', 1)
               : QStringLiteral("?");
}

} // namespace

QStringList describeMachine()
{
    QProcess lscpu;
    lscpu.start(QStringLiteral("lscpu"), {});
    lscpu.waitForFinished(3000);
    const QString cpu = QString::fromLocal8Bit(lscpu.readAllStandardOutput());
    QString model = lscpuField(cpu, QStringLiteral("Model name"));
    const QString hypervisor = lscpuField(cpu, QStringLiteral("Hypervisor vendor"));
    if (!hypervisor.isEmpty())
        model += QStringLiteral(" (virtual machine, %1)").arg(hypervisor);

    utsname u{};
    uname(&u);
    QStringList lines;
    lines << QStringLiteral("CPU: %1").arg(model.isEmpty() ? QStringLiteral("?") : model)
          << QStringLiteral("Cores (nproc): %1, threads per core: %2")
                 .arg(std::thread::hardware_concurrency())
                 .arg(lscpuField(cpu, QStringLiteral("Thread(s) per core")))
          << QStringLiteral("Kernel: %1 %2 %3")
                 .arg(QString::fromLatin1(u.sysname), QString::fromLatin1(u.release),
                      QString::fromLatin1(u.machine))
          << QStringLiteral("Memory: %1").arg(memTotal())
          << QStringLiteral("Qt: %1 (built against %2)")
                 .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    const QScreen *screen = QGuiApplication::primaryScreen();
    lines << QStringLiteral("Display: %1, %2, screen %3x%4")
                 .arg(QGuiApplication::platformName(), qEnvironmentVariable("DISPLAY"))
                 .arg(screen ? screen->size().width() : 0)
                 .arg(screen ? screen->size().height() : 0);
    return lines;
}

} // namespace qj::bench
