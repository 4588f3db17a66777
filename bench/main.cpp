// qj-bench: how the panel performs against the virtual processor on this machine. It reports
// figures (median and spread over several runs) and writes docs/PERFORMANCE.md; it passes or
// fails nothing.
#include "bench/connectbench.h"
#include "bench/controlbench.h"
#include "bench/ctlbench.h"
#include "bench/dragbench.h"
#include "bench/machine.h"
#include "bench/networkbench.h"
#include "bench/processbench.h"
#include "bench/procstat.h"
#include "bench/qjdbench.h"
#include "bench/report.h"
#include "bench/tickbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>

#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr const char *kXvfbScreen = "-screen 0 1280x1024x24"; // the window is 1009 x 652

// Without a display, starts this program again on a virtual one.
void runOnVirtualDisplay(int argc, char *argv[])
{
    std::vector<char *> args;
    std::string screen = kXvfbScreen;
    args.push_back(const_cast<char *>("xvfb-run"));
    args.push_back(const_cast<char *>("-a"));
    args.push_back(const_cast<char *>("-s"));
    args.push_back(screen.data());
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    std::fprintf(stderr, "qj-bench: no display; running on a virtual one (xvfb-run)\n");
    execvp("xvfb-run", args.data());
    std::fprintf(stderr, "qj-bench: cannot start xvfb-run: %s\n", std::strerror(errno));
}

QString commandLine(const QStringList &arguments)
{
    // As typed from the top of the checkout, whatever the current folder was.
    QString program = QDir(QStringLiteral(QJ_SOURCE_DIR))
                          .relativeFilePath(QCoreApplication::applicationFilePath());
    if (!program.contains(u'/'))
        program.prepend(QStringLiteral("./"));
    QStringList words{program};
    words << arguments.mid(1);
    return words.join(u' ');
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--bare-timer") == 0)
            return qj::bench::runBareTimer(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        runOnVirtualDisplay(argc, argv);
        return 2;
    }

    // The panel's own setting (see app/main.cpp): timers wake on time, not up to 50 us late.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qj-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures the panel against the virtual processor and writes docs/PERFORMANCE.md."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Runs of each measurement (default 5)."),
                                        QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption stepsOption(
        QStringLiteral("steps"),
        QStringLiteral("Key presses per control-to-wire run (default 200)."), QStringLiteral("N"),
        QStringLiteral("200"));
    const QCommandLineOption idleRunsOption(QStringLiteral("idle-runs"),
                                            QStringLiteral("Idle-cost runs (default 3)."),
                                            QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption idleSecondsOption(
        QStringLiteral("idle-seconds"), QStringLiteral("Seconds per idle-cost run (default 30)."),
        QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption onlyOption(
        QStringLiteral("only"), QStringLiteral("Only these items, e.g. 1,3 (default all: 1-10)."),
        QStringLiteral("LIST"), QStringLiteral("1,2,3,4,5,6,7,8,9"));
    const QCommandLineOption outOption(
        QStringLiteral("out"),
        QStringLiteral("Where to write the report (default docs/PERFORMANCE.md of the checkout)."),
        QStringLiteral("PATH"), QStringLiteral(QJ_SOURCE_DIR "/docs/PERFORMANCE.md"));
    parser.addOptions(
        {runsOption, stepsOption, idleRunsOption, idleSecondsOption, onlyOption, outOption});
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QStringList only = parser.value(onlyOption).split(u',');
    auto wanted = [&only](const char *item) { return only.contains(QLatin1String(item)); };

    qj::bench::Report report;
    report.setCommand(commandLine(app.arguments()));
    report.setMachine(qj::bench::describeMachine());
    report.addCondition(
        QStringLiteral("Started %1; load average before: %2")
            .arg(QDateTime::currentDateTime().toString(Qt::ISODate), qj::bench::loadAverage()));

    double panelOnlineMs = NAN; // item 1's connect to Mute enabled, for item 7
    if (wanted("1"))
        panelOnlineMs = qj::bench::runConnectBench(report, runs);
    if (wanted("2"))
        qj::bench::runControlBench(report, runs, std::max(1, parser.value(stepsOption).toInt()));
    if (wanted("3"))
        qj::bench::runTickBench(report, runs);
    if (wanted("4") || wanted("5")) {
        qj::bench::ProcessBenchConfig config;
        config.startRuns = runs;
        config.idleRuns = wanted("4") ? std::min(runs, parser.value(idleRunsOption).toInt()) : 0;
        config.idleSeconds = std::max(1, parser.value(idleSecondsOption).toInt());
        qj::bench::runProcessBench(report, config);
    }
    if (wanted("6"))
        qj::bench::runDragBench(report, runs);
    if (wanted("7"))
        qj::bench::runCtlBench(report, runs, panelOnlineMs);
    if (wanted("8")) {
        qj::bench::ProcessBenchConfig config;
        config.idleRuns = std::min(runs, parser.value(idleRunsOption).toInt());
        config.idleSeconds = std::max(1, parser.value(idleSecondsOption).toInt());
        qj::bench::runWatchBench(report, config);
    }
    if (wanted("9"))
        qj::bench::runNetworkBench(report, runs, std::max(1, parser.value(stepsOption).toInt()));
    if (wanted("10")) {
        qj::bench::QjdBenchConfig config;
        config.idleSeconds = std::max(1, parser.value(idleSecondsOption).toInt());
        qj::bench::runQjdBench(report, config);
    }

    report.addCondition(QStringLiteral("Load average after: %1 (2 cores; other work on the "
                                       "machine shows here)")
                            .arg(qj::bench::loadAverage()));
    const QString out = parser.value(outOption);
    std::fprintf(stdout, "%s", qPrintable(report.table()));
    if (!report.write(out)) {
        std::fprintf(stderr, "qj-bench: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::fprintf(stderr, "qj-bench: wrote %s\n", qPrintable(out));
    return 0;
}
