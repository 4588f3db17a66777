#include "bench/controlbench.h"

#include "bench/eventwait.h"
#include "bench/panelrig.h"
#include "bench/report.h"

#include <cstdio>
#include <random>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr auto kFrameTimeout = 500ms;
constexpr int kPauseMinMs = PanelRig::kPauseMinMs;
constexpr int kPauseMaxMs = PanelRig::kPauseMaxMs;

} // namespace

void runControlBench(Report &report, int runs, int steps)
{
    std::fprintf(stderr, "2. control to wire, %d runs of %d key presses\n", runs, steps);
    const QString heading = QStringLiteral("Control to wire");
    PanelRig rig;
    if (!rig.startDevice() || !rig.startTap()) {
        report.addAnalysis(QStringLiteral("2"), heading,
                           QStringLiteral("Not measured: %1").arg(rig.errorString()));
        return;
    }
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> pause(kPauseMinMs, kPauseMaxMs);
    Stats p50, p99, worst, written50, written99, hop50, hop99;
    int lost = 0;
    for (int run = 0; run < runs; ++run) {
        rig.startEchoDelayMidRange();
        rig.newPanel();
        if (!rig.connectAndSettle()) {
            std::fprintf(stderr, "   run %d: did not go online\n", run + 1);
            continue;
        }
        const PanelRig::Presses presses = rig.pressKeys(steps, rng);
        const Stats &latency = presses.latency;
        const Stats &written = presses.written;
        lost += presses.lost;
        // The same pseudo-terminal alone, under the same conditions: four bytes written on the
        // panel's side, read by the same thread. Bytes that start nothing, which qj-sim drops.
        Stats hop;
        for (int i = 0; i < steps; ++i) {
            const std::uint8_t bytes[4] = {0, 0, 0, 0};
            const std::size_t before = rig.tap().count();
            const TimePoint sentAt = Clock::now();
            rig.tap().writeAsPanel(bytes, sizeof bytes);
            if (waitUntil([&] { return rig.tap().count() >= before + 4; }, kFrameTimeout, 1ms))
                hop.add(toUs(rig.tap().since(before)[3].at - sentAt));
            idleFor(std::chrono::milliseconds(pause(rng)));
        }
        std::fprintf(stderr,
                     "   run %d: p50 %.0f us, p99 %.0f us, max %.0f us; written p50 %.0f us, "
                     "p99 %.0f us; pseudo-terminal alone p50 %.0f us, p99 %.0f us\n",
                     run + 1, latency.median(), latency.quantile(0.99), latency.max(),
                     written.median(), written.quantile(0.99), hop.median(), hop.quantile(0.99));
        p50.add(latency.median());
        p99.add(latency.quantile(0.99));
        worst.add(latency.max());
        written50.add(written.median());
        written99.add(written.quantile(0.99));
        hop50.add(hop.median());
        hop99.add(hop.quantile(0.99));
    }

    report.addRow({QStringLiteral("2"), QStringLiteral("Key press → frame on the wire, p50"),
                   QStringLiteral("µs"), 0, p50, QString(), std::nullopt});
    report.addRow({QStringLiteral("2"), QStringLiteral("Key press → frame on the wire, p99"),
                   QStringLiteral("µs"), 0, p99, QStringLiteral("< 1000 µs"), p99.median() < 1000});
    report.addRow({QStringLiteral("2"), QStringLiteral("Key press → frame on the wire, max"),
                   QStringLiteral("µs"), 0, worst, QString(), std::nullopt});
    report.addRow({QStringLiteral("2"),
                   QStringLiteral("Key press → frame written by the panel, p50"),
                   QStringLiteral("µs"), 0, written50, QString(), std::nullopt});
    report.addRow({QStringLiteral("2"),
                   QStringLiteral("Key press → frame written by the panel, p99"),
                   QStringLiteral("µs"), 0, written99, QString(), std::nullopt});
    report.addRow({QStringLiteral("ref"),
                   QStringLiteral("Pseudo-terminal alone: write → readable, p50"),
                   QStringLiteral("µs"), 0, hop50, QString(), std::nullopt});
    report.addRow({QStringLiteral("ref"),
                   QStringLiteral("Pseudo-terminal alone: write → readable, p99"),
                   QStringLiteral("µs"), 0, hop99, QString(), std::nullopt});
    report.addAnalysis(
        QStringLiteral("2"), heading,
        QStringLiteral(
            "%1 key presses per run (Down, then Up, %2 at a time) on the focused `EchoDelay` "
            "slider, each a QKeyEvent delivered through QApplication (QTest::keyPress), the panel "
            "online and idle, a random %3 to %4 ms after the previous acknowledgement. The clock "
            "starts just before the press is delivered and stops when a thread of the benchmark, "
            "blocked in poll() on the other end of the panel's pseudo-terminal, has read the "
            "frame's fourth byte; that thread relays the bytes on to qj-sim. Per run the p50, "
            "p99 and largest latency; the table gives their median and spread over the runs. "
            "%5 presses sent no frame in time. \"Frame written\" stops the clock in a slot on "
            "the slider's movement signal connected after the panel's handler, which has written "
            "the frame and returned by then. \"Pseudo-terminal alone\" writes four bytes on the "
            "panel's side from this program's main thread, as often and as far apart as the key "
            "presses, right after each run.")
            .arg(steps)
            .arg(PanelRig::kStrokes)
            .arg(kPauseMinMs)
            .arg(kPauseMaxMs)
            .arg(lost));
    report.addAnalysis(
        QStringLiteral("2"), heading,
        QStringLiteral(
            "The panel's own part is the key event's way through Qt to the slider, the handler "
            "(label, tip text, frame) and the write: %1 µs at the median, %2 µs at the 99th "
            "percentile. The rest is the pseudo-terminal handing the bytes over, which the "
            "kernel does in a worker thread that needs a free CPU. Right after the write the "
            "panel's thread goes on drawing the tip beside the thumb and the X server redraws, "
            "so on a machine whose two cores are already busy the hand-over waits: from the "
            "write to the bytes at the other end takes about %5 µs at the median here, against "
            "%3 µs for the bare pseudo-terminal after a write from an idle thread; and the bare "
            "pseudo-terminal has a 99th percentile of %4 µs under the same load. A tail above "
            "1 ms is therefore the machine's: a quieter machine, or a real serial port (whose "
            "driver starts sending in the writer's own system call), would move it; what the "
            "panel itself adds is the part above.")
            .arg(number(written50.median(), 0), number(written99.median(), 0),
                 number(hop50.median(), 0), number(hop99.median(), 0),
                 number(p50.median() - written50.median(), 0)));
}

} // namespace qj::bench
