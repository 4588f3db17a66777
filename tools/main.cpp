// qj-sim: the virtual processor on a pseudo-terminal.
//
// The first line on standard output is "PTY <path>", for the program that started us; after it
// come the answers to control lines read from standard input, "PTY <path>" again after a plug,
// "UNPLUGGED" when the pseudo-terminal closes, and the trace when it is on. Messages for people
// go to standard error.

#include "tools/faults.h"
#include "tools/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace qj::sim;

namespace {

constexpr int kRealtimePriority = 10; // of 1 to 99: above all ordinary work, below the kernel's

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &b, 1);
}

// Whole lines through printf, which the hardened build checks at run time (no %n from a
// writable format, and so on), as the panel's messages are.
void say(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void tell(const QString &line)
{
    std::fprintf(stderr, "qj-sim: %s\n", line.toLocal8Bit().constData());
}

QString faultHelp()
{
    QString text = QStringLiteral("Switch a fault on (repeatable). NAME is one of:");
    for (const FaultInfo &f : faultTable()) {
        QString name = QString::fromLatin1(f.name.data(), static_cast<int>(f.name.size()));
        if (f.arg == FaultArg::Required)
            name += QStringLiteral("=N");
        else if (f.arg == FaultArg::Optional)
            name += QStringLiteral("[=N]");
        text += QStringLiteral("\n  %1  %2")
                    .arg(name, -14)
                    .arg(QString::fromLatin1(f.help.data(), static_cast<int>(f.help.size())));
    }
    return text;
}

// Control lines from standard input, answered on standard output.
class ControlInput : public QObject
{
public:
    ControlInput(Simulator &sim, bool quitOnEof) : m_sim(sim), m_quitOnEof(quitOnEof)
    {
        m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { readInput(); });
    }

private:
    void readInput()
    {
        char buf[512];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            m_notifier->setEnabled(false);
            if (m_quitOnEof)
                QCoreApplication::quit();
            return;
        }
        m_partial.append(buf, static_cast<int>(n));
        for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n')) {
            const QString line = QString::fromLocal8Bit(m_partial.left(end)).trimmed();
            m_partial.remove(0, end + 1);
            if (!line.isEmpty())
                say(m_sim.execute(line));
        }
    }

    Simulator &m_sim;
    bool m_quitOnEof;
    QSocketNotifier *m_notifier;
    QByteArray m_partial;
};

} // namespace

int main(int argc, char *argv[])
{
    // Bytes are due every 347 us; the default timer slack of 50 us would blur that.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qj-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Virtual karaoke processor on a pseudo-terminal. Prints \"PTY <path>\" first;"
        " open that path with any serial program, e.g. qj-panel --port 5=<path>.\n"
        "Reads control lines on standard input (type help)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption noPacing(QStringLiteral("no-pacing"),
                                      QStringLiteral("Send and take bytes as fast as they come "
                                                     "instead of at 28800 baud."));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Print every byte each way and every decision, "
                                                  "with the time in milliseconds."));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Keep a symbolic link at PATH to the "
                                                 "pseudo-terminal."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption fault(QStringLiteral("fault"), faultHelp(),
                                   QStringLiteral("NAME[=N]"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the noise fault (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption quitOnEof(QStringLiteral("quit-on-eof"),
                                       QStringLiteral("Quit when standard input ends (used when "
                                                      "another program starts us)."));
    const QCommandLineOption noRealtime(QStringLiteral("no-realtime"),
                                        QStringLiteral("Run at normal priority even where "
                                                       "real-time scheduling is allowed."));
    parser.addOptions({noPacing, trace, link, fault, seed, quitOnEof, noRealtime});
    parser.process(app);

    // A real line never pauses inside a frame. On a busy machine we can be kept off the CPU for a
    // millisecond or more between two bytes of a report; the panel then finds its input count
    // standing still, decodes half a frame and the report is lost. Where the system allows it
    // (root, or CAP_SYS_NICE) we run under real-time scheduling, low in its range; otherwise as
    // before. We sleep between bytes, so this costs the rest of the machine next to nothing.
    if (!parser.isSet(noRealtime)) {
        sched_param param{};
        param.sched_priority = kRealtimePriority;
        // Nor is a page of ours read back from disk in the middle of a frame.
        if (sched_setscheduler(0, SCHED_FIFO, &param) == 0)
            mlockall(MCL_CURRENT); // what is mapped now: our code and libraries
    }

    Device::Config config;
    config.pacing = !parser.isSet(noPacing);
    bool seedOk = false;
    config.seed = parser.value(seed).toUInt(&seedOk);
    if (!seedOk) {
        tell(QStringLiteral("--seed needs a number"));
        return 2;
    }
    std::vector<FaultSetting> faults;
    for (const QString &text : parser.values(fault)) {
        std::string why;
        const std::optional<FaultSetting> f = parseFault(text.toStdString(), why);
        if (!f) {
            tell(QString::fromStdString(why));
            return 2;
        }
        faults.push_back(*f);
    }

    Simulator sim(config);
    sim.setTrace(parser.isSet(trace));
    QObject::connect(&sim, &Simulator::traced, &app, say);
    QObject::connect(&sim, &Simulator::ptyOpened, &app, [](const QString &path) {
        say(QStringLiteral("PTY ") + path);
        tell(QStringLiteral("listening on %1; try: qj-panel --port 5=%1").arg(path));
    });
    QObject::connect(&sim, &Simulator::unplugged, &app, [] { say(QStringLiteral("UNPLUGGED")); });
    QObject::connect(&sim, &Simulator::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (parser.isSet(link))
        sim.setLink(parser.value(link));
    if (!sim.open()) {
        tell(sim.errorString());
        return 1;
    }
    for (const FaultSetting &f : faults)
        sim.setFault(f.fault, f.arg);

    // SIGINT and SIGTERM end the event loop, so the link is removed on the way out.
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    ControlInput control(sim, parser.isSet(quitOnEof));
    return app.exec();
}
