#include "bench/networkbench.h"

#include "bench/eventwait.h"
#include "bench/panelrig.h"
#include "bench/report.h"
#include "tests/ser2net.h"

#include <cstdio>
#include <random>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

double connectToOnline(PanelRig &rig, const QString &device)
{
    rig.newPanel(device);
    const TimePoint clicked = Clock::now();
    rig.clickConnect();
    if (!waitUntil([&] { return rig.online(); }, 5s))
        return NAN;
    const double ms = toUs(Clock::now() - clicked) / 1000.0;
    waitUntil([&] { return rig.idle(); }, 2s);
    idleFor(150ms);
    return ms;
}

} // namespace

void runNetworkBench(Report &report, int runs, int steps)
{
    std::fprintf(stderr, "9. through ser2net, %d runs of %d key presses\n", runs, steps);
    const QString heading = QStringLiteral("Through ser2net");
    PanelRig rig;
    test::Ser2net server;
    server.nodelay = true;
    if (!rig.startDevice() || !rig.startTap() || !server.start(rig.tap().panelPath())) {
        report.addAnalysis(QStringLiteral("9"), heading,
                           QStringLiteral("Not measured: %1")
                               .arg(rig.errorString().isEmpty()
                                        ? QStringLiteral("ser2net did not start")
                                        : rig.errorString()));
        return;
    }
    const QString url = server.socketUrl();
    std::mt19937 rng(9);
    Stats p50, p99, direct, network, ratio;
    int lost = 0;
    for (int run = 0; run < runs; ++run) {
        const double directMs = connectToOnline(rig, rig.tap().panelPath());
        const double networkMs = connectToOnline(rig, url);
        direct.add(directMs);
        network.add(networkMs);
        ratio.add(networkMs / directMs);

        rig.startEchoDelayMidRange();
        const PanelRig::Presses presses = rig.pressKeys(steps, rng);
        const Stats &latency = presses.latency;
        lost += presses.lost;
        std::fprintf(stderr,
                     "   run %d: key press → frame p50 %.0f us, p99 %.0f us; connect → online "
                     "direct %.1f ms, through ser2net %.1f ms\n",
                     run + 1, latency.median(), latency.quantile(0.99), directMs, networkMs);
        p50.add(latency.median());
        p99.add(latency.quantile(0.99));
    }
    rig.newPanel(); // the network panel closed before ser2net goes

    const auto row = [&report](const char *figure, const char *unit, int decimals, Stats stats) {
        report.addRow({QStringLiteral("9"), QString::fromUtf8(figure), QString::fromUtf8(unit),
                       decimals, std::move(stats), QString(), std::nullopt});
    };
    row("Through ser2net: key press → frame at the processor, p50", "µs", 0, p50);
    row("Through ser2net: key press → frame at the processor, p99", "µs", 0, p99);
    row("Connect → online, direct pseudo-terminal", "ms", 1, direct);
    row("Connect → online, through ser2net", "ms", 1, network);
    row("Connect → online, ser2net / direct", "×", 2, ratio);
    report.addAnalysis(
        QStringLiteral("9"), heading,
        QStringLiteral(
            "ser2net 4.3 started by the benchmark (`ser2net -n -u`, a raw accepter "
            "`tcp(nodelay),127.0.0.1,PORT`) on the wire tap's pseudo-terminal, qj-sim behind "
            "the tap as in item 2; the panel bound to `socket://127.0.0.1:PORT`. %1 key presses "
            "per run on the focused `EchoDelay` slider as in item 2; the clock stops when the "
            "tap has read the frame's fourth byte from ser2net's side of the pseudo-terminal. "
            "%2 presses sent no frame in time. Connect → online: the click on the connect entry "
            "to Mute enabled, first on the tap's pseudo-terminal directly, then through "
            "ser2net, in each run; the ratio is taken per run. Through the network the open "
            "takes the TCP connect (loopback), and each report the panel reads waits the 8 ms "
            "burst gap before it is handed over, which the 38 reports of a connect add up.")
            .arg(steps)
            .arg(lost));
}

} // namespace qj::bench
