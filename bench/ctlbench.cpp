#include "bench/ctlbench.h"

#include "bench/benchclock.h"
#include "bench/eventwait.h"
#include "bench/report.h"
#include "tools/simlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <cstdio>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr auto kRunTimeout = 10s;
constexpr auto kSettleTimeout = 5s;
constexpr double kMarginMs = 50;

// The processor has nothing left to send and no byte is crossing the line.
bool settled(sim::SimLauncher &device)
{
    return waitUntil(
        [&] {
            return device.request(QStringLiteral("queue")) == QLatin1String("OK 0") &&
                   device.request(QStringLiteral("line")) == QLatin1String("OK 0");
        },
        kSettleTimeout);
}

} // namespace

void runCtlBench(Report &report, int runs, double panelOnlineMs)
{
    std::fprintf(stderr, "7. qj-ctl get, process start to exit, %d runs\n", runs);
    const QString heading = QStringLiteral("qj-ctl get");
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qj-ctl"));
    sim::SimLauncher device;
    if (!device.start()) {
        report.addAnalysis(QStringLiteral("7"), heading,
                           QStringLiteral("Not measured: %1").arg(device.errorString()));
        return;
    }

    Stats total;
    int failed = 0;
    for (int run = 0; run < runs; ++run) {
        if (!settled(device))
            std::fprintf(stderr, "   run %d: the processor is still busy\n", run + 1);
        QProcess ctl;
        ctl.setProcessChannelMode(QProcess::SeparateChannels);
        std::optional<TimePoint> ended;
        QObject::connect(&ctl, &QProcess::finished, [&ended] { ended = Clock::now(); });
        const TimePoint started = Clock::now();
        ctl.start(program, {QStringLiteral("--device"), device.ptyPath(), QStringLiteral("get")});
        waitUntil([&] { return ended.has_value(); }, kRunTimeout, 1ms);
        if (!ended) {
            ctl.kill();
            ctl.waitForFinished();
        }
        const int lines = int(ctl.readAllStandardOutput().count('\n'));
        const bool ok = ended && ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
        std::fprintf(stderr, "   run %d: %.1f ms, exit %d, %d lines\n", run + 1,
                     ended ? toMs(*ended - started) : NAN, ended ? ctl.exitCode() : -1, lines);
        if (!ok) {
            ++failed;
            continue;
        }
        total.add(toMs(*ended - started));
    }

    const bool known = !std::isnan(panelOnlineMs);
    const QString target =
        known ? QStringLiteral("≤ %1 ms (item 1 + 50 ms)").arg(number(panelOnlineMs + kMarginMs, 1))
              : QStringLiteral("≤ item 1's connect → `Mute` + 50 ms");
    std::optional<bool> met;
    if (known && !total.empty())
        met = total.median() <= panelOnlineMs + kMarginMs;
    report.addRow({QStringLiteral("7"),
                   QStringLiteral("`qj-ctl get`: process start → exit, all 38 printed"),
                   QStringLiteral("ms"), 1, total, target, met});
    report.addAnalysis(
        QStringLiteral("7"), heading,
        QStringLiteral(
            "`build/qj-ctl --device <pty> get` started by the benchmark against the same paced "
            "`qj-sim`, timed from just before QProcess::start to its finished signal: loading "
            "the program and Qt Core, opening the port, the connect command and its "
            "acknowledgement, the 38 reports answered one per tick as the panel answers them, "
            "38 lines printed and the port closed. %1 of %2 runs ended with status 0 and are "
            "in the figure. It ends on the report of wire id 37, so it waits no longer than "
            "the panel takes to receive everything; what it adds to the panel's connect is its "
            "own start-up, which has no window to build.")
            .arg(runs - failed)
            .arg(runs));
}

} // namespace qj::bench
