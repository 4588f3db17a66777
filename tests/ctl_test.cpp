// qj-ctl as a script runs it: the program against build/qj-sim on real
// pseudo-terminals.
#include "link/panelsettings.h"
#include "params/offlinedefaults.h"
#include "params/parametermap.h"
#include "params/preset.h"
#include "simprocessor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <unistd.h>

namespace qj {
namespace {

constexpr int kWaitMs = 15000;

bool waitFor(const std::function<bool()> &done, int ms = kWaitMs)
{
    return test::waitFor(done, ms);
}

QString name(int wireId)
{
    return QString::fromLatin1(parameter(wireId).control.data(),
                               qsizetype(parameter(wireId).control.size()));
}

struct CtlRun
{
    int status = -1; // as the shell tells it: 128 + the signal for a program ended by one
    QString out;
    QString err;
    QStringList trace; // the processor's, for a failure's message

    std::string told() const { return (err + trace.join(u'\n')).toStdString(); }
};

// Where qj-ctl's standard output goes.
enum class Output {
    Captured,         // a pipe the test reads
    Full,             // /dev/full: every write fails with ENOSPC
    Closed,           // no standard output at all: EBADF
    ReaderGone,       // a pipe whose reader has gone
    ReaderGoneIgnored // the same, with SIGPIPE ignored by whoever started qj-ctl
};

// Sets up the child's standard output; runs in the child between fork and exec.
void redirect(Output output)
{
    if (output == Output::Closed) {
        ::close(STDOUT_FILENO);
        return;
    }
    int ends[2];
    if (::pipe(ends) != 0)
        _exit(99);
    ::dup2(ends[1], STDOUT_FILENO);
    ::close(ends[0]); // nobody reads
    ::close(ends[1]);
    if (output == Output::ReaderGoneIgnored)
        ::signal(SIGPIPE, SIG_IGN);
}

// A processor played by hand on a pseudo-terminal, for lines the virtual processor never makes.
// It acknowledges the connect command, sends its reports one at a time (each after qj-ctl's
// answer to the one before), then, when noisy, a stray byte every 20 ms for as long as qj-ctl
// runs; it acknowledges every command frame that comes and notes it. An answer that never
// came (thrown away by the next frame) shows as commands read out of step.
struct PlayedLine
{
    std::vector<test::Bytes> reports;
    bool noisy = false;
};

struct PlayedProcessor
{
    static constexpr qint64 kGapMs = 20; // between the bursts it sends: each its own burst

    PlayedProcessor(test::Pty &p, PlayedLine l) : pty(p), line(std::move(l)) { clock.start(); }

    test::Pty &pty;
    PlayedLine line;
    QElapsedTimer clock;
    test::Bytes in;
    std::size_t next = 0;
    bool acknowledged = false;
    bool answerDue = false;
    qint64 lastSent = 0; // ms on clock: the acknowledgement or the last report
    qint64 lastNoise = 0;
    QStringList commands; // "id=value", the connect left out

    void step()
    {
        std::uint8_t buf[64];
        for (ssize_t n; (n = ::read(pty.master(), buf, sizeof buf)) > 0;)
            in.insert(in.end(), buf, buf + n);
        const qint64 now = clock.elapsed();
        if (!acknowledged) {
            if (in.size() < 4)
                return;
            in.clear(); // the connect command, perhaps sent again
            pty.write({0xAA});
            acknowledged = true;
            lastSent = lastNoise = now;
            return;
        }
        if (answerDue) { // the answer to the report, 0xAA or 0x55
            if (in.empty())
                return;
            in.erase(in.begin());
            answerDue = false;
        }
        if (next < line.reports.size()) {
            if (now - lastSent >= kGapMs) {
                pty.write(line.reports[next++]);
                lastSent = now;
                answerDue = true;
            }
            return;
        }
        if (line.noisy) {
            in.clear(); // the answers to the noise
            if (now - lastNoise >= kGapMs) {
                pty.write({0x00});
                lastNoise = now;
            }
            return;
        }
        while (in.size() >= 4) {
            commands << QStringLiteral("%1=%2").arg(in[1]).arg(in[2]);
            in.erase(in.begin(), in.begin() + 4);
            pty.write({0xAA});
        }
    }
};

// One virtual processor, traced from the start.
struct Processor : test::SimProcessor
{
    bool start(QStringList arguments = {})
    {
        return SimProcessor::start(arguments << QStringLiteral("--trace"));
    }
};

class CtlOnSim : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(room.start()) << room.sim.errorString().toStdString();
    }

    // qj-ctl with these arguments, its settings folder a scratch one, its standard output where
    // `output` says; `meanwhile` runs in the loop while it does.
    CtlRun ctl(const QStringList &arguments, Output output = Output::Captured,
               const std::function<void()> &meanwhile = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        p.setProcessEnvironment(env);
        if (output == Output::Full)
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        else if (output != Output::Captured)
            p.setChildProcessModifier([output] { redirect(output); });
        p.start(QStringLiteral(QJ_CTL_PROGRAM), arguments);
        CtlRun run;
        const auto ended = [&] {
            if (meanwhile)
                meanwhile();
            return p.state() == QProcess::NotRunning;
        };
        if (!p.waitForStarted() || !waitFor(ended)) {
            p.kill();
            p.waitForFinished();
            return run;
        }
        run.status = p.exitCode() + (p.exitStatus() == QProcess::NormalExit ? 0 : 128);
        run.out = QString::fromUtf8(p.readAllStandardOutput());
        run.err = QString::fromUtf8(p.readAllStandardError());
        return run;
    }
    CtlRun ctlOn(Processor &processor, QStringList arguments, Output output = Output::Captured)
    {
        arguments.prepend(processor.path());
        arguments.prepend(QStringLiteral("--device"));
        const qsizetype from = processor.trace.size();
        CtlRun run = ctl(arguments, output);
        run.trace = processor.trace.mid(from);
        return run;
    }

    QString file(const QString &fileName) const { return dir.filePath(fileName); }

    QTemporaryDir dir;
    Processor room;
};

// "NAME VALUE" lines by name.
QMap<QString, QString> linesOf(const QString &out)
{
    QMap<QString, QString> values;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList words = line.split(u' ');
        if (words.size() == 2)
            values.insert(words[0], words[1]);
    }
    return values;
}

TEST_F(CtlOnSim, GetPrintsWhatTheProcessorReportsInLinesAndAsJson)
{
    // The source on Auto (8), a group index, a box, a level, the other surround
    // option.
    ASSERT_TRUE(room.hold({{wire::kMusicSelect, 8},
                           {12, 2},
                           {wire::kSuperBass, 1},
                           {wire::kMusicVolume, 41},
                           {wire::kSurround, 1}}));
    const std::vector<int> held = room.state();
    ASSERT_EQ(held.size(), std::size_t(kParameterCount));

    const CtlRun all = ctlOn(room, {QStringLiteral("get")});
    EXPECT_EQ(all.status, 0) << all.told();
    EXPECT_TRUE(all.err.isEmpty()) << all.err.toStdString();
    const QStringList lines = all.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), kParameterCount) << all.out.toStdString();
    for (int id = 0; id < kParameterCount; ++id)
        EXPECT_EQ(lines[id], QStringLiteral("%1 %2").arg(name(id)).arg(held[std::size_t(id)]));

    const CtlRun some = ctlOn(room, {QStringLiteral("get"), QStringLiteral("MusicVolume"),
                                     QStringLiteral("MusicSelect"), QStringLiteral("--json")});
    EXPECT_EQ(some.status, 0) << some.told();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(some.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << some.out.toStdString();
    const QJsonObject object = doc.object();
    EXPECT_EQ(object.keys().size(), 2);
    EXPECT_EQ(object.value(QStringLiteral("MusicVolume")).toInt(-1), 41);
    EXPECT_EQ(object.value(QStringLiteral("MusicSelect")).toInt(-1), 8);
    EXPECT_EQ(some.out.count(u'\n'), 1); // one object on one line
    // Named ones come in the order named.
    EXPECT_LT(some.out.indexOf(QLatin1String("MusicVolume")),
              some.out.indexOf(QLatin1String("MusicSelect")));
}

TEST_F(CtlOnSim, SetSendsEachSettingInTheOrderGivenOneInFlight)
{
    room.trace.clear();
    const CtlRun run =
        ctlOn(room, {QStringLiteral("set"), QStringLiteral("MusicVolume=10"),
                     QStringLiteral("EchoMode=2"), QStringLiteral("SuperBass=1"),
                     QStringLiteral("SurroundMode1=1"), QStringLiteral("MicVolume=5"),
                     QStringLiteral("MusicVolume=12")});
    EXPECT_EQ(run.status, 0) << run.told();
    EXPECT_TRUE(run.out.isEmpty());
    ASSERT_TRUE(room.settled());
    EXPECT_EQ(room.acknowledged(), (QStringList{"31=10", "12=2", "22=1", "24=1", "32=5", "31=12"}));
    const std::vector<int> held = room.state();
    ASSERT_EQ(held.size(), std::size_t(kParameterCount));
    EXPECT_EQ(held[wire::kMusicVolume], 12);
    EXPECT_EQ(held[12], 2);
    EXPECT_EQ(held[wire::kSuperBass], 1);
    EXPECT_EQ(held[wire::kSurround], 1);
    EXPECT_EQ(held[wire::kMicVolume], 5);

    // One in flight: after each acknowledgement the processor sends before it
    // hears the next command, and nothing comes from qj-ctl while a command
    // waits.
    int waiting = 0; // commands received and not yet acknowledged
    int most = 0;
    bool reports = true; // the connection's reports come first
    for (const QString &line : room.trace) {
        const QStringList words = line.simplified().split(u' ');
        if (words.size() < 3)
            continue;
        if (words[1] == QLatin1String("--") && words[2] == QLatin1String("command")) {
            if (line.contains(QLatin1String(" 0=1 ")))
                continue;
            reports = false;
            ++waiting;
            most = std::max(most, waiting);
        } else if (!reports && words[1] == QLatin1String("tx") && words.mid(2).join(u' ') == "AA") {
            waiting = std::max(0, waiting - 1);
        }
    }
    EXPECT_EQ(most, 1);
}

// The processor refuses a master level above the limit it reported: set and load refuse it
// first, and nothing is sent.
TEST_F(CtlOnSim, ALevelAboveTheReportedLimitIsRefusedBySetAndLoad)
{
    ASSERT_TRUE(room.hold({{wire::kMaxMusicVolume, 40}, {wire::kMaxMicVolume, 20}}));
    struct Case
    {
        QStringList arguments;
        const char *says;
    };
    Preset loud;
    for (const int id : presetIds())
        loud.values[std::size_t(id)] = parameter(id).offline;
    loud.values[wire::kMaxMicVolume] = 42;
    loud.values[wire::kMicVolume] = 30; // the file's own limit allows it; the processor's not
    const QString path = file(QStringLiteral("loud.json"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(writePreset(loud));
    out.close();
    const Case cases[] = {
        {{"set", "EchoMode=1", "MusicVolume=41"},
         "MusicVolume=41 is above the limit the "
         "processor reported (MaxMusicVolume 40)"},
        {{"set", "MicVolume=21"},
         "MicVolume=21 is above the limit the processor reported "
         "(MaxMicVolume 20)"},
        {{"load", path},
         "MicVolume=30 is above the limit the processor reported (MaxMicVolume 20)"},
    };
    for (const Case &c : cases) {
        room.trace.clear();
        const CtlRun run = ctlOn(room, c.arguments);
        EXPECT_EQ(run.status, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.says))) << run.err.toStdString();
        ASSERT_TRUE(room.settled());
        EXPECT_EQ(room.acknowledged(), QStringList()) << c.says;
    }
    const CtlRun atLimit = ctlOn(room, {QStringLiteral("set"), QStringLiteral("MusicVolume=40")});
    EXPECT_EQ(atLimit.status, 0) << atLimit.told();
}

TEST_F(CtlOnSim, SaveAndLoadCarryOneRoomsSettingsToAnother)
{
    // Room 3 holds its music above a limit lowered on its front panel: the panel
    // shows the level at the limit, and so does the file.
    ASSERT_TRUE(room.hold({{wire::kMusicVolume, 50},
                           {wire::kMaxMusicVolume, 40},
                           {12, 3},
                           {wire::kSuperBass, 1},
                           {wire::kSurround, 1},
                           {wire::kMusicSelect, 8},
                           {18, 7},
                           {1, 99},
                           {wire::kMicVolume, 12}}));
    Processor next;
    ASSERT_TRUE(next.start()) << next.sim.errorString().toStdString();
    ASSERT_TRUE(next.hold({{wire::kMusicVolume, 20}, {wire::kMusicSelect, 2}, {1, 99}}));
    const std::vector<int> before = next.state();

    const QString path = file(QStringLiteral("room3.json"));
    const CtlRun save = ctlOn(room, {QStringLiteral("save"), path});
    ASSERT_EQ(save.status, 0) << save.told();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    PresetProblem problem{};
    const std::optional<Preset> preset = readPreset(saved.readAll(), &problem);
    ASSERT_TRUE(preset) << problem.kind; // the panel opens it as it is
    const std::vector<int> held = room.state();
    for (int id : presetIds()) {
        const int expected = id == wire::kMusicVolume ? 40 : held[std::size_t(id)];
        EXPECT_EQ(preset->values[std::size_t(id)], expected) << name(id).toStdString();
    }

    const CtlRun load = ctlOn(next, {QStringLiteral("load"), path});
    ASSERT_EQ(load.status, 0) << load.told();
    ASSERT_TRUE(next.settled());
    const std::vector<int> after = next.state();
    int differing = 0;
    for (int id : presetIds()) {
        const auto i = std::size_t(id);
        if (parameter(id).kind == ControlKind::Spinner) {
            EXPECT_EQ(after[i], before[i]) << "the limits are never sent";
            continue;
        }
        differing += before[i] != preset->values[i] ? 1 : 0;
        EXPECT_EQ(after[i], preset->values[i]) << name(id).toStdString();
    }
    // Only what differed went out, in wire-id order.
    const QStringList sent = next.acknowledged();
    EXPECT_EQ(sent.size(), differing);
    EXPECT_EQ(sent.first(), QLatin1String("12=3"));
    for (const QString &command : sent) {
        const int id = command.section(u'=', 0, 0).toInt();
        EXPECT_TRUE(inPreset(id) && parameter(id).kind != ControlKind::Spinner)
            << command.toStdString();
    }
}

TEST_F(CtlOnSim, BadInputOfEveryKindIsRefusedBeforeAnythingIsWritten)
{
    const QString broken = file(QStringLiteral("broken.json"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"format\": \"qj-karaoke-preset\", \"version\": 1, \"parameters\": [");
    f.close();
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const QString folder = file(QStringLiteral("folder"));
    const QString missing = file(QStringLiteral("nowhere/room.json"));
    const QString spare = file(QStringLiteral("a.json"));
    const QString valid = file(QStringLiteral("valid.json"));
    QFile v(valid);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write(writePreset(offlinePreset()));
    v.close();

    const std::vector<QStringList> cases = {
        {"dance"},                          // unknown command
        {},                                 // no command
        {"get", "Volume"},                  // unknown name
        {"set", "Loudness=3"},              // unknown name in a setting
        {"set", "MusicVolume=63"},          // above the range
        {"set", "FeedbackTime=79"},         // below the range
        {"set", "MusicSelect=6"},           // a source that does not exist
        {"set", "MusicVolume=ten"},         // not a number
        {"set", "MusicVolume"},             // no value
        {"set", "MusicVolume="},            // an empty value
        {"set", "EchoMode=1", "MicVolume"}, // the second has no value: the first is not sent
        {"set"},                            // nothing to set
        {"set", "MaxMusicVolume=40"},       // a limit
        {"set", "MaxMicVolume=20"},
        {"set", "Mute=10"},                            // a toggle
        {"load", file(QStringLiteral("absent.json"))}, // unreadable: not there
        {"load", folder},                              // unreadable: a folder
        {"load", broken},                              // malformed
        {"load"},                                      // no file
        {"save", missing},                             // nowhere to write
        {"save", folder},
        {"save", spare, file(QStringLiteral("b.json"))}, // two files: which?
        {"load", valid, valid},
        {"get", "--frobnicate"},            // unknown option
        {"set", "MusicVolume=1", "--json"}, // an option of another command
        {"--port", "0", "get"},
        {"--port", "100", "get"},
    };
    room.trace.clear();
    for (const QStringList &arguments : cases) {
        const CtlRun run = ctlOn(room, arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QLatin1String("qj-ctl: ")))
            << arguments.join(u' ').toStdString() << ": " << run.err.toStdString();
    }
    // Both ways of naming the device at once.
    const CtlRun both = ctl({QStringLiteral("--device"), room.path(), QStringLiteral("--port"),
                             QStringLiteral("5"), QStringLiteral("get")});
    EXPECT_EQ(both.status, 2);
    // Network devices that name no host and port.
    for (const char *device : {"socket://127.0.0.1", "rfc2217://:4001", "telnet://host:23",
                               "socket://host:70000", "socket://host:4001?timeout=1"}) {
        const CtlRun run =
            ctl({QStringLiteral("--device"), QString::fromLatin1(device), QStringLiteral("get")});
        EXPECT_EQ(run.status, 2) << device;
        EXPECT_TRUE(run.err.startsWith(
            QStringLiteral("qj-ctl: The device \"%1\" is not valid: ").arg(QLatin1String(device))))
            << run.err.toStdString();
    }
    ASSERT_TRUE(room.settled());
    EXPECT_EQ(room.bytesReceived(), 0) << room.trace.join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_FALSE(QFile::exists(spare));
}

// Every way a run ends that a script must tell apart by the status: results that cannot be
// written, a reader gone, and lines the virtual processor never makes (played by hand). No run
// aborts, hangs or reports a success it did not have.
TEST_F(CtlOnSim, EveryEndingHasItsStatusAndNoRunAbortsOrHangs)
{
    const test::Bytes runMode{0xAA, 0x25, 0x00, 0x30}; // User1: the last report
    const test::Bytes beyond{0xAA, 0x28, 0x05, 0x28};  // wire id 40: no parameter of the table
    const test::Bytes garbled{0xAA, 0x1F, 0x0A, 0x00}; // a wrong check byte: refused
    struct Ending
    {
        const char *what;
        QStringList arguments; // after --device
        Output output;
        std::optional<PlayedLine> played; // none: the virtual processor
        int status;
        QString err;              // a part of the message; empty: no message at all
        QStringList sent = {};    // played: the commands acknowledged
        qint64 endsAfter[2] = {}; // played: ms from its last report (or the acknowledgement)
                                  // to the end, least and most; {0, 0}: not measured
    };
    const PlayedLine setAfterBeyond{{beyond, runMode}};
    const PlayedLine reportsLost{{garbled, garbled, garbled}};
    const PlayedLine endlessNoise{{}, true};
    const QString values = QStringLiteral("cannot write the values to the standard output");
    // clang-format off
    const Ending endings[] = {
        {"values into a full disk", {"get"}, Output::Full, {}, 4,
         values + QStringLiteral(": No space left on device")},
        {"values with no standard output", {"get", "--json"}, Output::Closed, {}, 4, values},
        {"the help into a full disk", {"--help"}, Output::Full, {}, 4, "cannot write the help"},
        {"a save onto a full disk", {"save", "/dev/full"}, Output::Captured, {}, 4,
         "Cannot save the preset file \"/dev/full\""},
        {"a reader gone", {"get"}, Output::ReaderGone, {}, 128 + SIGPIPE, ""},
        {"a reader gone, SIGPIPE ignored", {"get"}, Output::ReaderGoneIgnored, {}, 128 + SIGPIPE,
         ""},
        {"the help to a reader gone", {"--help"}, Output::ReaderGoneIgnored, {}, 128 + SIGPIPE, ""},
        {"a report beyond the table, then a set", {"set", "MusicVolume=10", "EchoMode=2"},
         Output::Captured, setAfterBeyond, 0, "", {"31=10", "12=2"}},
        {"every report lost: 200 ms of quiet", {"get", "RunMode"}, Output::Captured, reportsLost,
         3, "not reported: RunMode", {}, {200, 1500}},
        {"noise that never stops: 3 s at the most", {"get", "RunMode"}, Output::Captured,
         endlessNoise, 3, "not reported: RunMode", {}, {3000, 4500}},
    };
    // clang-format on
    for (const Ending &e : endings) {
        SCOPED_TRACE(e.what);
        CtlRun run;
        if (e.played) {
            test::Pty pty;
            ASSERT_TRUE(pty.ok());
            PlayedProcessor processor(pty, *e.played);
            run = ctl(QStringList{QStringLiteral("--device"), QString::fromStdString(pty.path())} +
                          e.arguments,
                      e.output, [&] { processor.step(); });
            const qint64 after = processor.clock.elapsed() - processor.lastSent;
            EXPECT_EQ(processor.commands, e.sent);
            if (e.endsAfter[1] > 0) {
                EXPECT_GE(after, e.endsAfter[0]);
                EXPECT_LE(after, e.endsAfter[1]);
            }
        } else {
            run = ctlOn(room, e.arguments, e.output);
        }
        EXPECT_EQ(run.status, e.status) << run.err.toStdString();
        if (e.err.isEmpty())
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        else
            EXPECT_TRUE(run.err.startsWith(QLatin1String("qj-ctl: ")) && run.err.contains(e.err))
                << run.err.toStdString();
    }
}

TEST_F(CtlOnSim, ASilentProcessorGetsTenConnectCommandsAndTheLinkFails)
{
    Processor silent;
    ASSERT_TRUE(silent.start({QStringLiteral("--fault"), QStringLiteral("noack")}));
    const CtlRun run = ctlOn(silent, {QStringLiteral("get")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(silent.path())) << run.err.toStdString();
    ASSERT_TRUE(silent.settled());
    EXPECT_EQ(silent.bytesReceived(), 10 * 4);
    EXPECT_EQ(silent.lines(QStringLiteral("rx")).join(u' ').count(QLatin1String("AA 00 01 54")),
              10);
}

TEST_F(CtlOnSim, ADeviceLostWhileConnectingFailsTheLink)
{
    Processor silent;
    ASSERT_TRUE(silent.start({QStringLiteral("--fault"), QStringLiteral("noack")}));
    QProcess p;
    p.start(QStringLiteral(QJ_CTL_PROGRAM),
            {QStringLiteral("--device"), silent.path(), QStringLiteral("get")});
    // Unplugged once the connect command has come, while qj-ctl waits for its
    // answer.
    ASSERT_TRUE(waitFor([&] { return silent.bytesReceived() >= 4; }));
    silent.sim.sendLine(QStringLiteral("unplug"));
    ASSERT_TRUE(waitFor([&] { return p.state() == QProcess::NotRunning; }));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QLatin1String("went away"))) << err.toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
}

TEST_F(CtlOnSim, AProcessorWhoseReportsAreAllLostNeverConnectsAndNothingIsSent)
{
    Processor garbled;
    ASSERT_TRUE(garbled.start({QStringLiteral("--fault"), QStringLiteral("corrupt=1")}));
    const CtlRun get = ctlOn(garbled, {QStringLiteral("get"), QStringLiteral("RunMode")});
    EXPECT_EQ(get.status, 3);
    EXPECT_EQ(get.out, QStringLiteral("RunMode -\n"));
    garbled.trace.clear();
    const CtlRun set = ctlOn(garbled, {QStringLiteral("set"), QStringLiteral("MusicVolume=3")});
    EXPECT_EQ(set.status, 3);
    ASSERT_TRUE(garbled.settled());
    EXPECT_TRUE(garbled.acknowledged().isEmpty());
    // It waited for the reports to end rather than closing the port in the middle
    // of one.
    EXPECT_FALSE(garbled.trace.filter(QStringLiteral("report 37")).isEmpty());
}

TEST_F(CtlOnSim, AMissingDeviceFailsTheLinkAndIsNamed)
{
    const QString absent = file(QStringLiteral("no-such-tty"));
    const CtlRun run = ctl({QStringLiteral("--device"), absent, QStringLiteral("get")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(absent)) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

TEST_F(CtlOnSim, APortNumberResolvesAsThePanelResolvesIt)
{
    // The binding the panel remembers, in the settings folder qj-ctl is given.
    {
        QSettings settings(dir.filePath(QStringLiteral("config/QJ/QJ.conf")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("ports/7"), room.path());
    }
    const CtlRun bound = ctl({QStringLiteral("--port"), QStringLiteral("7"), QStringLiteral("get"),
                              QStringLiteral("MusicVolume")});
    EXPECT_EQ(bound.status, 0) << bound.err.toStdString();
    EXPECT_TRUE(bound.out.startsWith(QLatin1String("MusicVolume "))) << bound.out.toStdString();

    // An unbound number is the built-in port before it.
    const CtlRun unbound =
        ctl({QStringLiteral("--port"), QStringLiteral("42"), QStringLiteral("get")});
    EXPECT_EQ(unbound.status, 1);
    EXPECT_TRUE(unbound.err.contains(QLatin1String("/dev/ttyS41"))) << unbound.err.toStdString();
}

TEST_F(CtlOnSim, ReportsLostToNoiseAreShownMissingAndNothingIsSavedOrLoaded)
{
    Processor noisy;
    ASSERT_TRUE(noisy.start({QStringLiteral("--fault"), QStringLiteral("corrupt=4")}));
    const std::vector<int> held = noisy.state();

    const CtlRun get = ctlOn(noisy, {QStringLiteral("get")});
    EXPECT_EQ(get.status, 3) << get.err.toStdString();
    const QMap<QString, QString> values = linesOf(get.out);
    ASSERT_EQ(values.size(), kParameterCount);
    int lost = 0;
    for (int id = 0; id < kParameterCount; ++id) {
        const QString shown = values.value(name(id));
        if (shown == QLatin1String("-"))
            ++lost;
        else
            EXPECT_EQ(shown, QString::number(held[std::size_t(id)])) << name(id).toStdString();
    }
    EXPECT_GE(lost, 1);
    EXPECT_TRUE(get.err.contains(QLatin1String("not reported"))) << get.err.toStdString();

    const CtlRun json = ctlOn(noisy, {QStringLiteral("get"), QStringLiteral("--json")});
    EXPECT_EQ(json.status, 3);
    EXPECT_TRUE(json.out.contains(QLatin1String("null"))) << json.out.toStdString();

    // A file from guesses would be opened by the panel as the truth; a push from
    // them would leave settings out.
    const QString path = file(QStringLiteral("partial.json"));
    EXPECT_EQ(ctlOn(noisy, {QStringLiteral("save"), path}).status, 3);
    EXPECT_FALSE(QFile::exists(path));
    QFile far(path);
    Preset preset;
    for (int id : presetIds())
        preset.values[std::size_t(id)] = parameter(id).offline;
    ASSERT_TRUE(far.open(QIODevice::WriteOnly));
    far.write(writePreset(preset));
    far.close();
    noisy.trace.clear();
    EXPECT_EQ(ctlOn(noisy, {QStringLiteral("load"), path}).status, 3);
    ASSERT_TRUE(noisy.settled());
    EXPECT_TRUE(noisy.acknowledged().isEmpty()) << noisy.acknowledged().join(u' ').toStdString();
}

} // namespace
} // namespace qj
