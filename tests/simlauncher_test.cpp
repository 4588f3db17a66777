#include "link/frame.h"
#include "panelend.h"
#include "simbench.h"
#include "tools/faults.h"
#include "tools/simlauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

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

TEST_F(SimLauncherTest, AMissingProgramIsReported)
{
    launcher.setProgram("/nonexistent/qj-sim");
    EXPECT_FALSE(launcher.start());
    EXPECT_TRUE(launcher.errorString().contains("/nonexistent/qj-sim"));
    EXPECT_FALSE(launcher.isRunning());
    EXPECT_TRUE(launcher.request("state").isEmpty());
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
