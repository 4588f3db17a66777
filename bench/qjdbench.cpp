#include "bench/qjdbench.h"

#include "bench/benchclock.h"
#include "bench/eventwait.h"
#include "bench/procstat.h"
#include "bench/report.h"
#include "tests/qjdclient.h"
#include "tools/simlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <atomic>
#include <cstdio>
#include <future>
#include <memory>

namespace qj::bench {

using namespace std::chrono_literals;

namespace {

constexpr auto kOnlineTimeout = 60s; // 64 rooms connect at once on two shared cores
constexpr int kEchoDelay = 1;        // the setting changed: a level with a wide range

QJsonObject jsonOf(const std::string &text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// A trace line of a whole frame (four bytes) received ("rx") or sent ("tx") by the processor:
// "  3551.455 rx AA 01 1E 36".
bool isFrame(const QString &line, const char *direction)
{
    const QStringList words = line.simplified().split(u' ');
    return words.size() >= 6 && words[1] == QLatin1String(direction);
}

// qjd with one room per processor, on a free port; 0 when it did not start.
unsigned short startQjd(QProcess &qjd, const std::vector<std::unique_ptr<sim::SimLauncher>> &sims)
{
    QStringList arguments{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")};
    for (std::size_t i = 0; i < sims.size(); ++i)
        arguments << QStringLiteral("--room")
                  << QStringLiteral("r%1=%2").arg(i).arg(sims[i]->ptyPath());
    qjd.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qjd")),
              arguments);
    if (!waitUntil([&] { return qjd.canReadLine() || qjd.state() == QProcess::NotRunning; }, 10s))
        return 0;
    const QString line = QString::fromUtf8(qjd.readLine()).trimmed();
    return static_cast<unsigned short>(line.mid(line.lastIndexOf(u':') + 1).toUInt());
}

bool allOnline(unsigned short port, std::size_t rooms)
{
    test::HttpClient http(port);
    return waitUntil(
        [&] {
            const auto list = jsonOf(http.request("GET", "/api/v1/rooms").body)
                                  .value(QStringLiteral("rooms"))
                                  .toArray();
            std::size_t online = 0;
            for (const auto &room : list)
                online +=
                    room.toObject().value(QStringLiteral("state")) == QStringLiteral("online");
            return online == rooms;
        },
        kOnlineTimeout, 100ms);
}

std::vector<std::unique_ptr<sim::SimLauncher>> startSims(int count, bool trace)
{
    std::vector<std::unique_ptr<sim::SimLauncher>> sims;
    for (int i = 0; i < count; ++i) {
        auto sim = std::make_unique<sim::SimLauncher>();
        if (!sim->start(trace ? QStringList{QStringLiteral("--trace")} : QStringList{}))
            break;
        sims.push_back(std::move(sim));
    }
    return sims;
}

void stopQjd(QProcess &qjd)
{
    qjd.terminate();
    if (!qjd.waitForFinished(5000))
        qjd.kill();
    qjd.waitForFinished();
}

// A PATCH sent to the processor's frame: from just before the request is written to the
// processor's trace of the frame received, read here from its standard output.
Stats patchToFrame(int samples)
{
    Stats out;
    auto sims = startSims(1, true);
    QProcess qjd;
    const unsigned short port = sims.empty() ? 0 : startQjd(qjd, sims);
    if (port == 0 || !allOnline(port, 1))
        return out;
    std::atomic<bool> armed{false};
    std::optional<TimePoint> frameAt;
    QObject::connect(sims[0].get(), &sim::SimLauncher::traced, [&](const QString &line) {
        if (armed && !frameAt && isFrame(line, "rx"))
            frameAt = Clock::now();
    });
    test::HttpClient http(port);
    for (int i = 0; i < samples; ++i) {
        frameAt.reset();
        std::atomic<std::int64_t> sentAt{0};
        auto answer = std::async(std::launch::async, [&, i] {
            const std::string body = "{\"EchoDelay\": " + std::to_string(i % 250) + "}";
            armed = true;
            sentAt = Clock::now().time_since_epoch().count();
            return http.request("PATCH", "/api/v1/rooms/r0/settings", body).status;
        });
        waitUntil([&] { return frameAt.has_value(); }, 2s, 0ms);
        const int status = answer.get();
        armed = false;
        if (status != 200 || !frameAt)
            std::fprintf(stderr, "   PATCH %d: status %d, %s\n", i, status,
                         frameAt ? "frame traced" : "no frame traced");
        if (frameAt && status == 200)
            out.add(toMs(*frameAt - TimePoint(Clock::duration(sentAt.load()))));
    }
    stopQjd(qjd);
    return out;
}

// A report to its event at every client: from the processor's trace of the report written to
// each client's read of the event.
Stats reportToEvent(int samples, int clients)
{
    Stats out;
    auto sims = startSims(1, true);
    QProcess qjd;
    const unsigned short port = sims.empty() ? 0 : startQjd(qjd, sims);
    if (port == 0 || !allOnline(port, 1))
        return out;
    std::vector<std::unique_ptr<test::EventClient>> watchers;
    for (int i = 0; i < clients; ++i)
        watchers.push_back(std::make_unique<test::EventClient>(port));
    std::optional<TimePoint> reportAt;
    // The processor traces "-- report 1=V" as it starts the report; with pacing its bytes then
    // follow one a line, at the line's rate.
    const QString reportLine = QStringLiteral("-- report %1=").arg(kEchoDelay);
    QObject::connect(sims[0].get(), &sim::SimLauncher::traced, [&](const QString &line) {
        if (!reportAt && line.contains(reportLine))
            reportAt = Clock::now();
    });
    for (int i = 0; i < samples; ++i) {
        const int value = (i * 7) % 250 + 1;
        std::vector<std::size_t> before;
        for (const auto &w : watchers)
            before.push_back(w->messages().size());
        reportAt.reset();
        sims[0]->request(QStringLiteral("set %1 %2").arg(kEchoDelay).arg(value));
        waitUntil(
            [&] {
                for (std::size_t c = 0; c < watchers.size(); ++c)
                    if (watchers[c]->messages().size() <= before[c])
                        return false;
                return reportAt.has_value();
            },
            1s, 1ms);
        if (!reportAt) {
            std::fprintf(stderr, "   report %d: the processor's report was not seen\n", i);
            if (i >= 4 && out.empty())
                break; // not measurable here: the figure stays empty
            continue;
        }
        for (std::size_t c = 0; c < watchers.size(); ++c) {
            const auto messages = watchers[c]->messages();
            const auto times = watchers[c]->readAt();
            for (std::size_t m = before[c]; m < messages.size(); ++m)
                if (jsonOf(messages[m])
                        .value(QStringLiteral("settings"))
                        .toObject()
                        .contains(QStringLiteral("EchoDelay")))
                    out.add(toMs(times[m] - *reportAt));
        }
    }
    watchers.clear();
    stopQjd(qjd);
    return out;
}

struct Idle
{
    double cpuPercent = NAN;
    double residentMiB = NAN;
    int online = 0;
};

Idle idleWith(int rooms, int seconds)
{
    Idle idle;
    auto sims = startSims(rooms, false);
    QProcess qjd;
    const unsigned short port = int(sims.size()) == rooms ? startQjd(qjd, sims) : 0;
    if (port == 0)
        return idle;
    if (allOnline(port, sims.size()))
        idle.online = rooms;
    idleFor(2s); // the connections' reports are over
    const ProcSample start = sampleProcess(qjd.processId());
    const TimePoint from = Clock::now();
    idleFor(std::chrono::seconds(seconds));
    const ProcSample end = sampleProcess(qjd.processId());
    if (start.ok && end.ok)
        idle.cpuPercent = 100.0 * double(end.cpuNs - start.cpuNs) /
                          double(std::chrono::nanoseconds(Clock::now() - from).count());
    idle.residentMiB = double(residentKiB(qjd.processId())) / 1024.0;
    stopQjd(qjd);
    return idle;
}

} // namespace

void runQjdBench(Report &report, const QjdBenchConfig &config)
{
    const QString heading = QStringLiteral("qjd");
    std::fprintf(stderr, "9. qjd: PATCH -> frame, %d samples\n", config.samples);
    const Stats patch = patchToFrame(config.samples);
    report.addRow({QStringLiteral("10"), QStringLiteral("qjd PATCH → frame at the processor, p50"),
                   QStringLiteral("ms"), 2, Stats({patch.empty() ? NAN : patch.median()}),
                   QStringLiteral("—"), std::nullopt});
    const bool patchMet = !patch.empty() && patch.quantile(0.99) < 5.0;
    report.addRow({QStringLiteral("10"), QStringLiteral("qjd PATCH → frame at the processor, p99"),
                   QStringLiteral("ms"), 2, Stats({patch.empty() ? NAN : patch.quantile(0.99)}),
                   QStringLiteral("< 5 ms"),
                   patch.empty() ? std::optional<bool>() : std::optional<bool>(patchMet)});

    std::fprintf(stderr, "9. qjd: report -> event at %d clients, %d reports\n", config.clients,
                 config.samples / 2);
    const Stats event = reportToEvent(config.samples / 2, config.clients);
    report.addRow(
        {QStringLiteral("10"),
         QStringLiteral("qjd report → event at %1 WebSocket clients, p99").arg(config.clients),
         QStringLiteral("ms"), 2, Stats({event.empty() ? NAN : event.quantile(0.99)}),
         QStringLiteral("< 10 ms"),
         event.empty() ? std::optional<bool>() : std::optional<bool>(event.quantile(0.99) < 10.0)});

    QStringList idleLines;
    for (const int rooms : {8, 32, 64}) {
        std::fprintf(stderr, "9. qjd: idle with %d rooms, %d s\n", rooms, config.idleSeconds);
        const Idle idle = idleWith(rooms, config.idleSeconds);
        report.addRow({QStringLiteral("10"),
                       QStringLiteral("qjd idle CPU, %1 rooms online").arg(rooms),
                       QStringLiteral("% of a core"), 2, Stats({idle.cpuPercent}),
                       rooms == 64 ? QStringLiteral("< 1 %") : QString(),
                       rooms == 64 && !std::isnan(idle.cpuPercent)
                           ? std::optional<bool>(idle.cpuPercent < 1.0)
                           : std::nullopt});
        report.addRow({QStringLiteral("10"),
                       QStringLiteral("qjd resident memory, %1 rooms online").arg(rooms),
                       QStringLiteral("MiB"), 1, Stats({idle.residentMiB}), QString(),
                       std::nullopt});
        idleLines << QStringLiteral("%1 rooms: %2 online").arg(rooms).arg(idle.online);
    }
    report.addAnalysis(
        QStringLiteral("10"), heading,
        QStringLiteral(
            "`build/qjd` against paced `qj-sim` processes on pseudo-terminals, one per room. "
            "PATCH → frame (%1 samples): from just before the HTTP request is written (a "
            "kept-alive connection) to the moment the processor's trace line of the frame "
            "received reaches the benchmark through the processor's standard output, so the "
            "figure is an upper bound by that pipe. Report → event (%2 reports, each read by "
            "%3 WebSocket clients): from the processor's trace line of the report's start (its "
            "four "
            "bytes then take about 1.4 ms on the line) to "
            "each client's read of the event; qjd waits for the report's bytes to fall quiet "
            "(the panel's own tick) before taking it. Idle: qjd's CPU time over %4 s with every "
            "room online and nothing asked (the processors' own CPU is theirs), and its "
            "resident memory after. %5.")
            .arg(patch.count())
            .arg(config.samples / 2)
            .arg(config.clients)
            .arg(config.idleSeconds)
            .arg(idleLines.join(QLatin1String("; "))));
}

} // namespace qj::bench
