#include "bench/dragbench.h"

#include "bench/eventwait.h"
#include "bench/panelrig.h"
#include "bench/report.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "params/parametermap.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr int kOvershoot = 20;     // pixels past each end of the groove: the thumb stops there
constexpr auto kProbePeriod = 1ms; // how often the probe thread posts an event
constexpr auto kDrainTimeout = 5s; // the device works through the frames at line rate
constexpr double kLineFramesPerS = 28800.0 / 10.0 / 4.0; // 720 frames a second fit the wire

// An event posted from another thread with the moment it was posted.
class ProbeEvent : public QEvent
{
public:
    static QEvent::Type type()
    {
        static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
        return t;
    }
    ProbeEvent() : QEvent(type()), posted(Clock::now()) {}
    const TimePoint posted;
};

// Receives the probe's events in the GUI thread and records how long each waited.
class ProbeReceiver : public QObject
{
public:
    Stats waited; // ms
    bool event(QEvent *e) override
    {
        if (e->type() != ProbeEvent::type())
            return QObject::event(e);
        waited.add(toMs(Clock::now() - static_cast<ProbeEvent *>(e)->posted));
        return true;
    }
};

// Posts a ProbeEvent every millisecond while it lives.
class Probe
{
public:
    explicit Probe(ProbeReceiver &receiver)
        : m_thread([this, &receiver] {
              TimePoint next = Clock::now();
              while (!m_stop) {
                  QCoreApplication::postEvent(&receiver, new ProbeEvent);
                  next += kProbePeriod;
                  std::this_thread::sleep_until(next);
              }
          })
    {}
    ~Probe()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct DragRun
{
    double framesPerS = NAN;
    int frames = 0;
    int moves = 0;
    double seconds = NAN;
    Stats waited;   // ms each probe event waited
    Stats moveCost; // ms to deliver one mouse move
    bool deviceFollowed = false;
};

// Drags the thumb from the top of the track to the bottom, one pixel per mouse move; with
// `paced`, one move each millisecond (a 1000 Hz mouse), otherwise as fast as the panel takes
// them, the event loop turning between moves.
DragRun drag(PanelRig &rig, bool paced)
{
    DragRun r;
    LevelSlider *s = rig.form().view().slider(*wireIdOf("EchoDelay"));
    // To the top (the largest value) first, unmeasured.
    QPoint thumb = s->thumbRect().center();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, thumb);
    QTest::mouseMove(s, QPoint(thumb.x(), -kOvershoot));
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.x(), -kOvershoot));
    waitUntil([&] { return rig.idle(); }, 1s);
    idleFor(100ms);

    thumb = s->thumbRect().center();
    const int endY = s->height() + kOvershoot;
    ProbeReceiver receiver;
    const std::size_t before = rig.tap().count();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, thumb);
    {
        Probe probe(receiver);
        int y = thumb.y();
        auto move = [&] {
            ++y;
            const TimePoint t = Clock::now();
            QTest::mouseMove(s, QPoint(thumb.x(), y));
            r.moveCost.add(toMs(Clock::now() - t));
            ++r.moves;
        };
        if (paced) {
            QEventLoop loop;
            QTimer mouse;
            mouse.setTimerType(Qt::PreciseTimer);
            mouse.setInterval(1ms);
            QObject::connect(&mouse, &QTimer::timeout, &loop, [&] {
                move();
                if (y >= endY)
                    loop.quit();
            });
            mouse.start();
            loop.exec();
        } else {
            while (y < endY) {
                move();
                QCoreApplication::processEvents();
            }
        }
        QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.x(), y));
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(&receiver);
    r.waited = receiver.waited;

    const std::vector<WireTap::Byte> sent = rig.tap().since(before);
    r.frames = int(sent.size() / 4);
    if (r.frames > 1) {
        r.seconds = toMs(sent.back().at - sent.front().at) / 1000.0;
        r.framesPerS = double(r.frames - 1) / r.seconds;
    }
    // The drag ended at 0; the processor must get there once it has worked through the frames.
    r.deviceFollowed = waitUntil(
        [&] {
            const QStringList words = rig.device().request(QStringLiteral("state")).split(u' ');
            return words.value(1 + *wireIdOf("EchoDelay")) == QLatin1String("0");
        },
        kDrainTimeout, 50ms);
    waitUntil([&] { return rig.idle(); }, 1s);
    return r;
}

} // namespace

void runDragBench(Report &report, int runs)
{
    std::fprintf(stderr, "6. drag throughput, %d runs\n", runs);
    const QString heading = QStringLiteral("Drag throughput");
    PanelRig rig;
    if (!rig.startDevice() || !rig.startTap()) {
        report.addAnalysis(QStringLiteral("6"), heading,
                           QStringLiteral("Not measured: %1").arg(rig.errorString()));
        return;
    }
    rig.newPanel();
    if (!rig.connectAndSettle()) {
        report.addAnalysis(QStringLiteral("6"), heading,
                           QStringLiteral("Not measured: the panel did not go online."));
        return;
    }
    struct Mode
    {
        bool paced;
        Stats framesPerS, waitedMax, waitedP99, moveMax, moveP50;
        int frames = 0, moves = 0, followed = 0;
    } modes[2] = {{true, {}, {}, {}, {}, {}}, {false, {}, {}, {}, {}, {}}};
    for (int run = 0; run < runs; ++run) {
        for (Mode &m : modes) {
            const DragRun r = drag(rig, m.paced);
            std::fprintf(stderr,
                         "   run %d %s: %d moves, %d frames in %.3f s = %.0f frames/s, "
                         "events waited p99 %.2f ms max %.2f ms, a move took p50 %.2f ms max "
                         "%.2f ms, device %s\n",
                         run + 1, m.paced ? "1 kHz mouse" : "flat out", r.moves, r.frames,
                         r.seconds, r.framesPerS, r.waited.quantile(0.99), r.waited.max(),
                         r.moveCost.median(), r.moveCost.max(),
                         r.deviceFollowed ? "followed" : "did not follow");
            m.framesPerS.add(r.framesPerS);
            m.waitedMax.add(r.waited.max());
            m.waitedP99.add(r.waited.quantile(0.99));
            m.moveMax.add(r.moveCost.max());
            m.moveP50.add(r.moveCost.median());
            m.frames = r.frames;
            m.moves = r.moves;
            m.followed += r.deviceFollowed ? 1 : 0;
        }
    }
    for (const Mode &m : modes) {
        const QString how = m.paced ? QStringLiteral("1 kHz mouse") : QStringLiteral("flat out");
        report.addRow({QStringLiteral("6"), QStringLiteral("Drag %1: frames written").arg(how),
                       QStringLiteral("frames/s"), 0, m.framesPerS, QString(), std::nullopt});
        report.addRow({QStringLiteral("6"),
                       QStringLiteral("Drag %1: longest wait of a queued event").arg(how),
                       QStringLiteral("ms"), 2, m.waitedMax, QStringLiteral("≤ 16 ms"),
                       m.waitedMax.median() <= 16});
    }
    const Mode &paced = modes[0];
    const Mode &flat = modes[1];
    report.addAnalysis(
        QStringLiteral("6"), heading,
        QStringLiteral(
            "The panel online and idle; the mouse is pressed on the `EchoDelay` thumb at the "
            "top of its track (250) and moved one pixel at a time to past the bottom (0), %1 "
            "moves, then released: real QMouseEvents with the button held, delivered through "
            "QApplication (QTest::mousePress/mouseMove). Two ways: one move every millisecond "
            "from a precise timer (a 1000 Hz mouse, the fastest a user's hand produces), and "
            "flat out, the next move as soon as the event loop has turned once. Each run "
            "sends %2 and %3 frames. Frames per second are counted at the other end of the "
            "pseudo-terminal from the first frame to the last. Meanwhile a thread posts an "
            "event to the GUI thread every millisecond; the time each waits before it is "
            "handled is the responsiveness figure (p99 per run, median: %4 ms at 1 kHz, %5 ms "
            "flat out). One mouse move took at most %6 ms (1 kHz) and %7 ms (flat out) to "
            "deliver, median of the runs.")
            .arg(paced.moves)
            .arg(paced.frames)
            .arg(flat.frames)
            .arg(number(paced.waitedP99.median(), 2), number(flat.waitedP99.median(), 2),
                 number(paced.moveMax.median(), 2), number(flat.moveMax.median(), 2)));
    report.addAnalysis(
        QStringLiteral("6"), heading,
        QStringLiteral(
            "What bounds the frame rate is the work of one move, %1 ms at the median flat out: "
            "the handler and its frame are a small part; the tip beside the thumb moves with it "
            "(a window of its own: each move comes back as a geometry notice, on which Qt asks "
            "the X server about the window's frame and waits for the answer) and the slider and "
            "its label are redrawn, each redraw first waiting for the X server to catch up. "
            "Flat out that gives %2 frames a second, %3 the %4 the wire can carry; the longest "
            "wait of a queued event was %5 ms. Fewer round trips to the X server (a tip that "
            "does not follow the thumb) would move it.")
            .arg(number(flat.moveP50.median(), 2), number(flat.framesPerS.median(), 0),
                 flat.framesPerS.median() >= kLineFramesPerS ? QStringLiteral("above")
                                                             : QStringLiteral("below"),
                 number(kLineFramesPerS, 0), number(flat.waitedMax.median(), 2)));
    report.addAnalysis(
        QStringLiteral("6"), heading,
        QStringLiteral(
            "The wire carries at most %1 frames a second at 28800 baud. The pseudo-terminal "
            "takes frames as fast as the panel writes them and qj-sim works through them at line "
            "rate; after every drag it reached the final value 0 in %2 of %3 runs (1 kHz) and "
            "%4 of %3 (flat out).")
            .arg(number(kLineFramesPerS, 0))
            .arg(paced.followed)
            .arg(runs)
            .arg(flat.followed));
}

} // namespace qj::bench
