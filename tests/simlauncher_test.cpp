#include "link/frame.h"
#include "panelend.h"
#include "simbench.h"
#include "tools/faults.h"
#include "tools/simlauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace qj {
namespace {

using sim::SimLauncher;
using test::kPatienceMs;
using test::PanelEnd;
using test::operator+;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kAck = 0xAA;
constexpr std::uint8_t kNak = 0x55;
const QString kProgram = QStringLiteral(QJ_SIM_PROGRAM);

Bytes cmd(int wireId, int value)
{
    const frame::Frame f = frame::make(std::uint8_t(wireId), std::uint8_t(value));
    return {f.begin(), f.end()};
}

bool alive(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

struct SimLauncherTest : ::testing::Test
{
    SimLauncher launcher;
    void start(const QStringList &arguments = {})
    {
        launcher.setProgram(kProgram);
        ASSERT_TRUE(launcher.start(arguments)) << launcher.errorString().toStdString();
        ASSERT_TRUE(QFileInfo::exists(launcher.ptyPath()));
    }
};

TEST_F(SimLauncherTest, ThePanelConnectsAndTheTestSteersTheChild)
{
    start();
    PanelEnd panel(launcher.ptyPath());
    ASSERT_TRUE(panel.ok());

    panel.write(cmd(0, 1));
    ASSERT_EQ(panel.read(1, kPatienceMs), Bytes{kAck});
    std::vector<int> reported;
    for (int id = 0; id < 38; ++id) {
        const Bytes f = panel.read(4, kPatienceMs);
        ASSERT_EQ(f.size(), 4u) << "report " << id;
        ASSERT_EQ(f[1], id);
        ASSERT_EQ(frame::sum(f.data()), frame::kSum);
        reported.push_back(f[2]);
        panel.write({kAck});
    }

    QString state = launcher.request("state");
    ASSERT_TRUE(state.startsWith("STATE ")) << state.toStdString();
    const QStringList values = state.mid(6).split(' ');
    ASSERT_EQ(values.size(), 38);
    for (int id = 0; id < 38; ++id)
        EXPECT_EQ(values[id].toInt(), reported[id]) << id;

    EXPECT_EQ(launcher.request("set 31 50"), "OK");
    EXPECT_EQ(panel.read(4, kPatienceMs), cmd(31, 50));
    panel.write({kAck});

    panel.write(cmd(32, 20));
    EXPECT_EQ(panel.read(1, kPatienceMs), Bytes{kAck});
    EXPECT_EQ(launcher.request("fault nak"), "OK");
    EXPECT_EQ(launcher.request("faults"), "FAULTS nak");
    panel.write(cmd(32, 21));
    EXPECT_EQ(panel.read(1, kPatienceMs), Bytes{kNak});
    EXPECT_TRUE(launcher.request("dance").startsWith("ERROR"));

    // Answers keep their order when one is sent without waiting.
    QSignalSpy answered(&launcher, &SimLauncher::answered);
    launcher.sendLine("fault none");
    EXPECT_EQ(launcher.request("faults"), "FAULTS none");
    EXPECT_EQ(answered.count(), 2);
}

TEST_F(SimLauncherTest, UnplugAndPlugAreSeenThroughTheLauncher)
{
    start({"--no-pacing"});
    QSignalSpy lost(&launcher, &SimLauncher::ptyLost);
    QSignalSpy ready(&launcher, &SimLauncher::ptyReady);
    const QString first = launcher.ptyPath();
    {
        PanelEnd panel(first);
        ASSERT_TRUE(panel.ok());
        EXPECT_EQ(launcher.request("unplug"), "OK");
        EXPECT_TRUE(panel.hungUp(kPatienceMs));
        EXPECT_TRUE(lost.count() == 1 || lost.wait(kPatienceMs));
    }
    EXPECT_EQ(launcher.request("plug"), "OK");
    ASSERT_EQ(ready.count(), 1);
    PanelEnd panel(launcher.ptyPath());
    ASSERT_TRUE(panel.ok());
    panel.write(cmd(0, 10));
    EXPECT_EQ(panel.read(5, kPatienceMs), Bytes{kAck} + cmd(0, 10));
}

TEST_F(SimLauncherTest, CommandLineFaultsAndLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("sim");
    start({"--link", link, "--fault", "ack-after=1", "--fault", "corrupt=2"});
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), launcher.ptyPath());
    EXPECT_EQ(launcher.request("faults"), "FAULTS ack-after=1 corrupt=2");
    PanelEnd panel(link);
    ASSERT_TRUE(panel.ok());
    panel.write(cmd(0, 1));
    EXPECT_TRUE(panel.read(1, 100).empty());
    panel.write(cmd(0, 1));
    EXPECT_EQ(panel.read(1, kPatienceMs), Bytes{kAck});
    for (int id = 0; id < 2; ++id) {
        const Bytes f = panel.read(4, kPatienceMs);
        ASSERT_EQ(f.size(), 4u);
        EXPECT_EQ(frame::sum(f.data()) == frame::kSum, id == 0) << "report " << id;
        panel.write({id == 0 ? kAck : kNak});
    }
    launcher.stop();
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the program";
}

TEST_F(SimLauncherTest, TheChildEndsWithTheLauncher)
{
    qint64 pid = 0;
    {
        SimLauncher own;
        own.setProgram(kProgram);
        ASSERT_TRUE(own.start());
        pid = own.processId();
        ASSERT_TRUE(alive(pid));
    }
    EXPECT_FALSE(alive(pid));
}

// A program for the launcher to start, written as a shell script into `dir`.
QString script(const QTemporaryDir &dir, const char *name, const char *body, bool executable)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("#!/bin/sh\n") + body + '\n');
    f.close();
    QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        mode |= QFile::ExeOwner;
    EXPECT_TRUE(f.setPermissions(mode));
    return path;
}

// A demo mode that cannot start says why, with the virtual processor's own words.
TEST(SimLauncherFailure, TheReasonIsTheProgramsOwnInBothLanguages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notLink = dir.filePath("taken");
    QFile(notLink).open(QIODevice::WriteOnly);
    const struct
    {
        const char *what;
        QString program;
        QStringList arguments;
        int timeoutMs;
        sim::SimStartFailure::Kind kind;
        QString chinese;
        QString english;
    } cases[] = {
        {"missing",
         "/nonexistent/qj-sim",
         {},
         SimLauncher::kStartTimeoutMs,
         sim::SimStartFailure::NotFound,
         "找不到虚拟处理器程序 /nonexistent/qj-sim。",
         "the virtual processor /nonexistent/qj-sim was not found."},
        {"not executable",
         script(dir, "plain", "exit 0", false),
         {},
         SimLauncher::kStartTimeoutMs,
         sim::SimStartFailure::NotExecutable,
         QStringLiteral("虚拟处理器程序 %1 不能执行（没有执行权限）。").arg(dir.filePath("plain")),
         QStringLiteral("the virtual processor %1 cannot be run (it is not executable).")
             .arg(dir.filePath("plain"))},
        {"bad fault",
         kProgram,
         {"--fault", "bogus"},
         SimLauncher::kStartTimeoutMs,
         sim::SimStartFailure::Ended,
         "虚拟处理器刚启动就结束了（退出码 2）。\r\n它报告：\r\nqj-sim: unknown fault 'bogus'",
         "the virtual processor ended as it started (exit code 2).\r\nIt said:\r\nqj-sim: "
         "unknown fault 'bogus'"},
        {"link taken",
         kProgram,
         {"--link", notLink},
         SimLauncher::kStartTimeoutMs,
         sim::SimStartFailure::Ended,
         QStringLiteral(
             "（退出码 1）。\r\n它报告：\r\nqj-sim: %1 exists and is not a symbolic link")
             .arg(notLink),
         QStringLiteral(
             "(exit code 1).\r\nIt said:\r\nqj-sim: %1 exists and is not a symbolic link")
             .arg(notLink)},
        {"crash",
         script(dir, "crash", "echo 'falling over' >&2; kill -SEGV $$", true),
         {},
         SimLauncher::kStartTimeoutMs,
         sim::SimStartFailure::Crashed,
         "虚拟处理器启动时崩溃了。\r\n它报告：\r\nfalling over",
         "the virtual processor crashed as it started.\r\nIt said:\r\nfalling over"},
        {"silent",
         script(dir, "silent", "exec sleep 30", true),
         {},
         300,
         sim::SimStartFailure::Silent,
         "虚拟处理器没有及时报告它的串口。\r\n它没有说明原因。",
         "the virtual processor named no serial port in time.\r\nIt gave no reason."},
    };
    for (const auto &c : cases) {
        SimLauncher launcher;
        launcher.setProgram(c.program);
        EXPECT_FALSE(launcher.start(c.arguments, c.timeoutMs)) << c.what;
        EXPECT_FALSE(launcher.isRunning()) << c.what;
        EXPECT_EQ(launcher.failure().kind, c.kind) << c.what;
        const QString chinese = launcher.failure().text(Language::Chinese);
        const QString english = launcher.failure().text(Language::English);
        EXPECT_TRUE(chinese.startsWith(QStringLiteral("演示模式无法启动："))) << c.what;
        EXPECT_TRUE(english.startsWith(QStringLiteral("The demo mode cannot start: "))) << c.what;
        EXPECT_TRUE(chinese.endsWith(c.chinese)) << c.what << ": " << chinese.toStdString();
        EXPECT_TRUE(english.endsWith(c.english)) << c.what << ": " << english.toStdString();
        EXPECT_EQ(launcher.errorString(), english) << c.what;
        EXPECT_TRUE(launcher.request("state").isEmpty()) << c.what;
    }
}

TEST_F(SimLauncherTest, ItsStandardErrorIsKeptWhileItRuns)
{
    start();
    EXPECT_FALSE(launcher.failure());
    // The child names its pseudo-terminal on standard output before it greets on standard error,
    // and the two pipes arrive in either order: the greeting may come after start() returned.
    const QString greeting = QStringLiteral("listening on %1").arg(launcher.ptyPath());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return launcher.errorOutput().contains(greeting); }, kPatienceMs))
        << launcher.errorOutput().toStdString();
}

TEST(SimProgram, HelpListsEveryOptionAndFaultAndVersionIsOurs)
{
    QProcess p;
    p.start(kProgram, {"--help"});
    ASSERT_TRUE(p.waitForFinished(5000));
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char *option :
         {"--no-pacing", "--trace", "--link", "--fault", "--seed", "--quit-on-eof", "--version"})
        EXPECT_TRUE(help.contains(option)) << option;
    for (const sim::FaultInfo &f : sim::faultTable())
        EXPECT_TRUE(help.contains(QString::fromLatin1(f.name.data(), int(f.name.size()))))
            << f.name;

    p.start(kProgram, {"--version"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed(),
              QStringLiteral("qj-sim " QJ_VERSION));

    p.start(kProgram, {"--fault", "bogus"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_NE(p.exitCode(), 0);
}

TEST(SimProgram, TraceShowsEveryByteWithItsTime)
{
    SimLauncher launcher;
    launcher.setProgram(kProgram);
    ASSERT_TRUE(launcher.start({"--trace"}));
    QStringList lines;
    QObject::connect(&launcher, &SimLauncher::traced, [&](const QString &l) { lines << l; });
    PanelEnd panel(launcher.ptyPath());
    panel.write(cmd(31, 45));
    ASSERT_EQ(panel.read(1, kPatienceMs), Bytes{kAck});
    launcher.request("faults"); // everything before its answer has been read
    const QString all = lines.join('\n');
    EXPECT_TRUE(all.contains(QRegularExpression(R"(^ *\d+\.\d{3} rx AA 1F 2D 09$)",
                                                QRegularExpression::MultilineOption)))
        << all.toStdString();
    EXPECT_TRUE(all.contains(
        QRegularExpression(R"(^ *\d+\.\d{3} tx AA$)", QRegularExpression::MultilineOption)))
        << all.toStdString();
    EXPECT_TRUE(all.contains("command 31=45 acknowledged")) << all.toStdString();
}

} // namespace
} // namespace qj
