#include "bench/processbench.h"

#include "app/form1.h"
#include "bench/eventwait.h"
#include "bench/mapwatcher.h"
#include "bench/panelrig.h"
#include "bench/procstat.h"
#include "bench/report.h"
#include "params/parametermap.h"
#include "tools/simlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>

#include <cstdio>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr auto kMapTimeout = 10s;
constexpr auto kFirstPaint = 300ms; // the window lays out and paints once it is mapped
constexpr auto kOnlineTimeout = 5s;
constexpr auto kAfterOnline = 1s; // the last reply, the status text, the tooltips settle
constexpr auto kQuitTimeout = 3s;
// The connect frame and a reply to each of the reports, one per parameter.
constexpr int kOnlineBytes = 4 + kParameterCount;
constexpr double kBytesPerMB = 1e6;

// Where the connect entry sits in a window of this build on this display.
QPoint connectEntry()
{
    Form1 form;
    form.show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&form);
    return connectEntryInWindow(form);
}

struct CpuShare
{
    double percent = NAN;     // CPU time per wall time, in % of one core
    double wakeupsPerS = NAN; // context switches per second
};

CpuShare measureIdle(qint64 pid, std::chrono::seconds time, CpuShare *other = nullptr,
                     qint64 otherPid = 0)
{
    const ProcSample s0 = sampleProcess(pid);
    const ProcSample o0 = otherPid ? sampleProcess(otherPid) : ProcSample{};
    const TimePoint w0 = Clock::now();
    idleFor(time);
    const ProcSample s1 = sampleProcess(pid);
    const ProcSample o1 = otherPid ? sampleProcess(otherPid) : ProcSample{};
    const double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - w0).count();
    CpuShare c;
    if (s0.ok && s1.ok) {
        c.percent = 100.0 * double(s1.cpuNs - s0.cpuNs) / wallNs;
        c.wakeupsPerS = double(s1.switches - s0.switches) / (wallNs / 1e9);
    }
    if (other && o0.ok && o1.ok) {
        other->percent = 100.0 * double(o1.cpuNs - o0.cpuNs) / wallNs;
        other->wakeupsPerS = double(o1.switches - o0.switches) / (wallNs / 1e9);
    }
    return c;
}

void endProcess(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(int(std::chrono::milliseconds(kQuitTimeout).count()))) {
        p.kill();
        p.waitForFinished();
    }
}

} // namespace

int runBareTimer(int argc, char *argv[])
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); // as qj-panel does
    QCoreApplication app(argc, argv);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1ms);
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start();
    return app.exec();
}

void runProcessBench(Report &report, const ProcessBenchConfig &config)
{
    std::fprintf(stderr, "4./5. start-up, memory and idle cost of build/qj-panel, %d start-ups\n",
                 config.startRuns);
    const QString startHeading = QStringLiteral("Start-up and memory");
    const QString idleHeading = QStringLiteral("Idle cost");
    MapWatcher watcher;
    if (!watcher.open()) {
        report.addAnalysis(QStringLiteral("4, 5"), startHeading,
                           QStringLiteral("Not measured: no X display to watch."));
        return;
    }
    const QString panelProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qj-panel"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QPoint click = connectEntry();

    sim::SimLauncher device;
    if (!device.start()) {
        report.addAnalysis(QStringLiteral("4, 5"), startHeading,
                           QStringLiteral("Not measured: %1").arg(device.errorString()));
        return;
    }
    int received = 0; // bytes the processor took from the panel while its trace is on
    QObject::connect(&device, &sim::SimLauncher::traced, [&received](const QString &line) {
        const QStringList words = line.simplified().split(u' ');
        if (words.size() > 2 && words[1] == QLatin1String("rx"))
            received += int(words.size()) - 2;
    });

    Stats startup, rss, idle, wakeups, deviceIdle;
    int notOnline = 0;
    for (int run = 0; run < config.startRuns; ++run) {
        watcher.drain();
        QProcess panel;
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        const TimePoint started = Clock::now();
        panel.start(panelProgram,
                    {QStringLiteral("--port"), QStringLiteral("5=") + device.ptyPath()});
        const std::optional<MapWatcher::Mapped> mapped =
            watcher.waitForWindow("QJ Karaoke", kMapTimeout);
        if (!mapped) {
            std::fprintf(stderr, "   run %d: no window\n", run + 1);
            endProcess(panel);
            continue;
        }
        startup.add(toMs(mapped->at - started));
        std::fprintf(stderr, "   run %d: window mapped after %.0f ms", run + 1,
                     toMs(mapped->at - started));
        if (xdotool.isEmpty()) {
            std::fprintf(stderr, "\n");
            endProcess(panel);
            continue;
        }

        idleFor(kFirstPaint);
        received = 0;
        device.request(QStringLiteral("trace on"));
        QProcess::execute(xdotool, {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                    QString::number(mapped->window), QString::number(click.x()),
                                    QString::number(click.y()), QStringLiteral("click"),
                                    QStringLiteral("1")});
        const bool online = waitUntil([&] { return received >= kOnlineBytes; }, kOnlineTimeout);
        device.request(QStringLiteral("trace off"));
        if (!online) {
            ++notOnline;
            std::fprintf(stderr, ", did not go online (%d bytes)\n", received);
            endProcess(panel);
            continue;
        }
        idleFor(kAfterOnline);
        const double mb = double(residentKiB(panel.processId())) * 1024.0 / kBytesPerMB;
        rss.add(mb);
        std::fprintf(stderr, ", online, %.1f MB resident", mb);
        if (run < config.idleRuns) {
            CpuShare sim;
            const CpuShare c =
                measureIdle(panel.processId(), std::chrono::seconds(config.idleSeconds), &sim,
                            device.processId());
            idle.add(c.percent);
            wakeups.add(c.wakeupsPerS);
            deviceIdle.add(sim.percent);
            std::fprintf(stderr, ", idle %.3f %% of a core, %.1f wake-ups/s", c.percent,
                         c.wakeupsPerS);
        }
        std::fprintf(stderr, "\n");
        endProcess(panel);
    }

    Stats bare, bareWakeups;
    for (int run = 0; run < config.idleRuns; ++run) {
        QProcess timer;
        timer.setProcessChannelMode(QProcess::ForwardedChannels);
        timer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare-timer")});
        if (!timer.waitForStarted())
            break;
        idleFor(500ms);
        const CpuShare c = measureIdle(timer.processId(), std::chrono::seconds(config.bareSeconds));
        bare.add(c.percent);
        bareWakeups.add(c.wakeupsPerS);
        endProcess(timer);
    }
    std::fprintf(stderr, "   bare 1 ms timer: %.2f %% of a core\n", bare.median());

    report.addRow({QStringLiteral("4"),
                   QStringLiteral("Idle cost, online, window shown (%1 s)").arg(config.idleSeconds),
                   QStringLiteral("% of a core"), 3, idle, QStringLiteral("< 0.5 %"),
                   idle.empty() ? std::optional<bool>() : idle.median() < 0.5});
    report.addRow({QStringLiteral("4"), QStringLiteral("… its wake-ups (context switches)"),
                   QStringLiteral("/s"), 1, wakeups, QString(), std::nullopt});
    report.addRow(
        {QStringLiteral("ref"),
         QStringLiteral("Bare precise 1 ms QTimer process (%1 s)").arg(config.bareSeconds),
         QStringLiteral("% of a core"), 2, bare, QString(), std::nullopt});
    report.addRow({QStringLiteral("5"), QStringLiteral("Start-up: process start → window mapped"),
                   QStringLiteral("ms"), 0, startup, QStringLiteral("< 500 ms"),
                   startup.empty() ? std::optional<bool>() : startup.median() < 500});
    report.addRow({QStringLiteral("5"), QStringLiteral("Resident memory once online (VmRSS)"),
                   QStringLiteral("MB"), 1, rss, QStringLiteral("< 80 MB"),
                   rss.empty() ? std::optional<bool>() : rss.median() < 80});

    report.addAnalysis(
        QStringLiteral("4"), idleHeading,
        QStringLiteral(
            "build/qj-panel as its own process on this display, bound to qj-sim's pseudo-terminal "
            "(`--port 5=PTY`), connected by a real click on its connect entry (xdotool), then "
            "left alone: CPU time of all its threads (schedstat) over %1 s of wall time, once "
            "online and settled. Meanwhile this benchmark does nothing but wait. Online and "
            "idle the panel has nothing to do: its tick sleeps while no byte waits and no "
            "command is pending, and a byte arriving or a command being sent wakes it. The "
            "processor "
            "used %2 % of a core in the same time. For comparison, a process that runs nothing "
            "but a precise 1 ms QTimer costs %3 % of a core (%4 wake-ups/s).")
            .arg(config.idleSeconds)
            .arg(number(deviceIdle.median(), 3), number(bare.median(), 2),
                 number(bareWakeups.median(), 0)));
    report.addAnalysis(
        QStringLiteral("5"), startHeading,
        QStringLiteral(
            "From just before the benchmark starts build/qj-panel (fork and exec included) to "
            "the X server's notice that its top-level window is mapped (Qt paints it on the "
            "expose that follows), read from a connection "
            "of the benchmark's own (Xlib, SubstructureNotify on the root window). The resident "
            "set is VmRSS from /proc once the panel is online and settled, in MB of 10^6 bytes; "
            "it counts the shared Qt libraries the panel maps. %1 of %2 runs did not go online.")
            .arg(notOnline)
            .arg(config.startRuns));
}

void runWatchBench(Report &report, const ProcessBenchConfig &config)
{
    std::fprintf(stderr, "8. idle cost of build/qj-panel watching for a lost device, %d runs\n",
                 config.idleRuns);
    const QString heading = QStringLiteral("Watching for a lost device");
    MapWatcher watcher;
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (!watcher.open() || xdotool.isEmpty()) {
        report.addAnalysis(QStringLiteral("8"), heading,
                           QStringLiteral("Not measured: no X display or no xdotool."));
        return;
    }
    const QString panelProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qj-panel"));
    const QPoint click = connectEntry();
    auto xdo = [&xdotool](const QStringList &arguments) {
        QProcess p;
        p.start(xdotool, arguments);
        p.waitForFinished();
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    };

    Stats idle, wakeups, back;
    int notBack = 0;
    for (int run = 0; run < config.idleRuns; ++run) {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("qj-sim"));
        sim::SimLauncher device;
        if (!device.start({QStringLiteral("--link"), link})) {
            std::fprintf(stderr, "   run %d: %s\n", run + 1, qPrintable(device.errorString()));
            continue;
        }
        int received = 0; // bytes the processor took from the panel while its trace is on
        QObject::connect(&device, &sim::SimLauncher::traced, [&received](const QString &line) {
            const QStringList words = line.simplified().split(u' ');
            if (words.size() > 2 && words[1] == QLatin1String("rx"))
                received += int(words.size()) - 2;
        });
        // The connect command, the first thing the panel sends on a connection.
        const auto connectFrame = [&received] { return received >= 4; };
        watcher.drain();
        QProcess panel;
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        panel.start(panelProgram, {QStringLiteral("--port"), QStringLiteral("5=") + link});
        const std::optional<MapWatcher::Mapped> mapped =
            watcher.waitForWindow("QJ Karaoke", kMapTimeout);
        if (!mapped) {
            std::fprintf(stderr, "   run %d: no window\n", run + 1);
            endProcess(panel);
            continue;
        }
        idleFor(kFirstPaint);
        device.request(QStringLiteral("trace on"));
        xdo({QStringLiteral("mousemove"), QStringLiteral("--window"),
             QString::number(mapped->window), QString::number(click.x()),
             QString::number(click.y()), QStringLiteral("click"), QStringLiteral("1")});
        if (!waitUntil(connectFrame, kOnlineTimeout)) {
            std::fprintf(stderr, "   run %d: did not connect\n", run + 1);
            endProcess(panel);
            continue;
        }
        idleFor(kAfterOnline);

        // Unplugged: the loss message comes up; Return closes it, and the watch begins.
        watcher.drain();
        device.request(QStringLiteral("unplug"));
        const std::optional<MapWatcher::Mapped> box = watcher.waitForWindow("QJ", kMapTimeout);
        if (!box) {
            std::fprintf(stderr, "   run %d: no loss message\n", run + 1);
            endProcess(panel);
            continue;
        }
        idleFor(kFirstPaint);
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
             QString::number(box->window)});
        xdo({QStringLiteral("key"), QStringLiteral("Return")});
        idleFor(kAfterOnline); // the message is gone; the first looks after the start are over
        idleFor(2s);

        const CpuShare c = measureIdle(panel.processId(), std::chrono::seconds(config.idleSeconds));
        idle.add(c.percent);
        wakeups.add(c.wakeupsPerS);
        std::fprintf(stderr, "   run %d: watching, %.3f %% of a core, %.1f wake-ups/s", run + 1,
                     c.percent, c.wakeupsPerS);

        received = 0;
        const TimePoint plugged = Clock::now();
        device.request(QStringLiteral("plug"));
        if (waitUntil(connectFrame, 5s)) {
            back.add(toMs(Clock::now() - plugged));
            std::fprintf(stderr, ", back: connect command after %.0f ms\n",
                         toMs(Clock::now() - plugged));
        } else {
            ++notBack;
            std::fprintf(stderr, ", not back\n");
        }
        endProcess(panel);
    }

    report.addRow(
        {QStringLiteral("8"),
         QStringLiteral("Idle cost, watching for a lost device (%1 s)").arg(config.idleSeconds),
         QStringLiteral("% of a core"), 3, idle, QStringLiteral("< 0.5 %"),
         idle.empty() ? std::optional<bool>() : idle.median() < 0.5});
    report.addRow({QStringLiteral("8"), QStringLiteral("… its wake-ups (context switches)"),
                   QStringLiteral("/s"), 1, wakeups, QString(), std::nullopt});
    report.addRow({QStringLiteral("8"),
                   QStringLiteral("Device back (`plug`) → connect command at the processor"),
                   QStringLiteral("ms"), 0, back, QStringLiteral("≤ 2000 ms"),
                   back.empty() ? std::optional<bool>() : back.median() <= 2000});
    report.addAnalysis(
        QStringLiteral("8"), heading,
        QStringLiteral(
            "build/qj-panel as its own process on this display, bound to the symbolic link "
            "qj-sim keeps at its pseudo-terminal (`qj-sim --link PATH`, `qj-panel --port "
            "5=PATH`), connected by a click on its connect entry, then the processor unplugged "
            "(`unplug`: the pseudo-terminal closes and the link is removed) and the loss "
            "message closed with Return (xdotool). From then on the panel watches the link's "
            "folder; after 3 s more, its CPU time (schedstat, all threads) over %1 s of wall "
            "time while nothing changes. Then `plug` (a new pseudo-terminal, the link made "
            "again) and the time until the processor has received the panel's connect command, "
            "which shows the watch was on. %2 of %3 runs were not back within 5 s.")
            .arg(config.idleSeconds)
            .arg(notBack)
            .arg(config.idleRuns));
}

} // namespace qj::bench
