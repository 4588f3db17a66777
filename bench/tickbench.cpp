#include "bench/tickbench.h"

#include "bench/eventwait.h"
#include "bench/panelrig.h"
#include "bench/report.h"

#include <QEventLoop>
#include <QTimer>

#include <sys/prctl.h>

#include <cstdio>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr int kFrames = 10;        // a command goes out at most ten times
constexpr int kGiveUpTicks = 1900; // 100 + 9 × 200
constexpr auto kGiveUpTimeout = 4s;
constexpr unsigned long kOurSlackNs = 1;         // what qj-panel asks for at start-up
constexpr unsigned long kDefaultSlackNs = 50000; // the kernel's default

struct TickRun
{
    double first = NAN;  // ms, 100 ticks: first frame to the first resend
    Stats resend;        // ms, 200 ticks: resend to resend
    double giveUp = NAN; // ms, 1900 ticks: first frame to the failure message
    Stats interval;      // ms between ticks
    int ticks = 0;       // ticks counted from the first frame to the message
};

TickRun panelRun(PanelRig &rig)
{
    TickRun r;
    rig.newPanel();
    idleFor(50ms);
    std::vector<TimePoint> ticks;
    QObject::connect(&rig.form().runTimer(), &QTimer::timeout, &rig.form(),
                     [&ticks] { ticks.push_back(Clock::now()); });
    const std::size_t before = rig.tap().count();
    rig.clickConnect();
    waitUntil([&] { return !rig.messages().empty(); }, kGiveUpTimeout);
    const std::vector<WireTap::Byte> sent = rig.tap().since(before);
    if (sent.size() != kFrames * 4 || rig.messages().empty())
        return r;
    const TimePoint first = sent[0].at;
    r.first = toMs(sent[4].at - first);
    for (int k = 1; k + 1 < kFrames; ++k)
        r.resend.add(toMs(sent[(k + 1) * 4].at - sent[k * 4].at));
    r.giveUp = toMs(rig.messages().front().at - first);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        r.interval.add(toMs(ticks[i] - ticks[i - 1]));
        if (ticks[i] > first && ticks[i] <= rig.messages().front().at)
            ++r.ticks;
    }
    return r;
}

// A bare 1 ms timer of the given type: the time its 100th, 200th and 1900th tick come.
TickRun bareRun(Qt::TimerType type)
{
    TickRun r;
    std::vector<TimePoint> ticks;
    ticks.reserve(kGiveUpTicks + 1);
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(type);
    timer.setInterval(1ms);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        ticks.push_back(Clock::now());
        if (ticks.size() > kGiveUpTicks)
            loop.quit();
    });
    const TimePoint start = Clock::now();
    timer.start();
    loop.exec();
    r.first = toMs(ticks[99] - start);
    r.resend.add(toMs(ticks[199] - start));
    r.giveUp = toMs(ticks[kGiveUpTicks - 1] - start);
    for (std::size_t i = 1; i < ticks.size(); ++i)
        r.interval.add(toMs(ticks[i] - ticks[i - 1]));
    return r;
}

void setSlack(unsigned long ns)
{
    prctl(PR_SET_TIMERSLACK, ns, 0UL, 0UL, 0UL);
}

} // namespace

void runTickBench(Report &report, int runs)
{
    const QString heading = QStringLiteral("Tick accuracy");
    std::fprintf(stderr, "3. tick accuracy, %d runs\n", runs);
    PanelRig rig;
    if (!rig.startTap()) {
        report.addAnalysis(QStringLiteral("3"), heading,
                           QStringLiteral("Not measured: %1").arg(rig.errorString()));
        return;
    }
    Stats first, resend, giveUp, tickP50, tickP99;
    QStringList counted;
    for (int run = 0; run < runs; ++run) {
        const TickRun r = panelRun(rig);
        std::fprintf(stderr,
                     "   run %d: 100 ticks %.1f ms, 200 ticks %.1f ms, 1900 ticks %.1f ms\n",
                     run + 1, r.first, r.resend.median(), r.giveUp);
        first.add(r.first);
        resend.add(r.resend.median());
        giveUp.add(r.giveUp / 1000.0);
        tickP50.add(r.interval.median());
        tickP99.add(r.interval.quantile(0.99));
        counted << QString::number(r.ticks);
    }
    report.addRow({QStringLiteral("3"), QStringLiteral("Panel: 100 ticks (first frame → resend)"),
                   QStringLiteral("ms"), 1, first, QString(), std::nullopt});
    report.addRow({QStringLiteral("3"), QStringLiteral("Panel: 200 ticks (resend → resend)"),
                   QStringLiteral("ms"), 1, resend, QString(), std::nullopt});
    report.addRow({QStringLiteral("3"),
                   QStringLiteral("Panel: 1900 ticks (first frame → give-up message)"),
                   QStringLiteral("s"), 3, giveUp, QStringLiteral("1.9–2.1 s"),
                   giveUp.median() >= 1.9 && giveUp.median() <= 2.1});
    report.addRow({QStringLiteral("3"), QStringLiteral("Panel: tick interval, p99"),
                   QStringLiteral("ms"), 3, tickP99, QString(), std::nullopt});

    struct Variant
    {
        const char *name;
        Qt::TimerType type;
        unsigned long slackNs;
    };
    const Variant variants[] = {
        {"Bare precise 1 ms QTimer, slack 1 µs: 1900 ticks", Qt::PreciseTimer, kOurSlackNs},
        {"Bare precise 1 ms QTimer, default slack (50 µs): 1900 ticks", Qt::PreciseTimer,
         kDefaultSlackNs},
        {"Bare coarse 1 ms QTimer, slack 1 µs: 1900 ticks", Qt::CoarseTimer, kOurSlackNs},
    };
    QStringList bareNotes;
    for (const Variant &v : variants) {
        setSlack(v.slackNs);
        Stats total, p99;
        for (int run = 0; run < runs; ++run) {
            const TickRun r = bareRun(v.type);
            total.add(r.giveUp / 1000.0);
            p99.add(r.interval.quantile(0.99));
        }
        setSlack(kOurSlackNs);
        std::fprintf(stderr, "   %s: %.3f s\n", v.name, total.median());
        report.addRow({QStringLiteral("ref"), QString::fromUtf8(v.name), QStringLiteral("s"), 3,
                       total, QString(), std::nullopt});
        bareNotes << QStringLiteral("%1: tick interval p99 %2 ms")
                         .arg(QString::fromUtf8(v.name).section(u':', 0, 0),
                              number(p99.median(), 3));
    }

    report.addAnalysis(
        QStringLiteral("3"), heading,
        QStringLiteral(
            "The panel's own RunTimer on a silent line (a pseudo-terminal whose other end only "
            "listens): a click on the connect entry, then the ten transmissions of the connect "
            "frame stamped as they become readable at the other end, and the failure message "
            "stamped when the panel shows it. First frame → second is the 100-tick first wait, "
            "frame → frame the 200-tick resend wait (median of the eight per run), first frame → "
            "message the 1900 ticks of the give-up. Ticks counted between the first frame and "
            "the message, per run: %1. Median tick interval %2 ms, p99 per run median %3 ms.")
            .arg(counted.join(QStringLiteral(", ")), number(tickP50.median(), 3),
                 number(tickP99.median(), 3)));
    report.addAnalysis(QStringLiteral("3"), heading,
                       QStringLiteral("Bare timers in this process for comparison (%1). %2.")
                           .arg(QStringLiteral("same runs"), bareNotes.join(QStringLiteral("; "))));
}

} // namespace qj::bench
