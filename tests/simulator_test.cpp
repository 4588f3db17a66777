#include "link/frame.h"
#include "panelend.h"
#include "simbench.h"
#include "tools/simulator.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace qj {
namespace {

using sim::Fault;
using sim::Simulator;
using test::PanelEnd;
using test::operator+;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kAck = 0xAA;
constexpr std::uint8_t kNak = 0x55;
constexpr long long kByteUs = 347; // 28800 baud, 8N1

Bytes cmd(int wireId, int value)
{
    const frame::Frame f = frame::make(std::uint8_t(wireId), std::uint8_t(value));
    return {f.begin(), f.end()};
}

struct SimulatorTest : ::testing::Test
{
    Simulator sim;
    void SetUp() override { ASSERT_TRUE(sim.open()) << sim.errorString().toStdString(); }
};

// Every byte the simulator wrote, with the time it wrote it in ms, read from its trace. Gaps the
// simulator promises are checked here, on its own side: the reading loop below can be
// preempted between a write and its read, which moves what it sees but not what was sent.
std::vector<std::pair<double, std::uint8_t>> writesOf(const QStringList &trace)
{
    std::vector<std::pair<double, std::uint8_t>> writes;
    for (const QString &line : trace) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        if (words.size() < 3 || words[1] != "tx")
            continue;
        for (int i = 2; i < words.size(); ++i)
            writes.emplace_back(words[0].toDouble(), std::uint8_t(words[i].toUInt(nullptr, 16)));
    }
    return writes;
}

TEST_F(SimulatorTest, ScriptedExchangeAtLineRate)
{
    QStringList trace;
    sim.setTrace(true);
    QObject::connect(&sim, &Simulator::traced, [&](const QString &line) { trace << line; });
    PanelEnd panel(sim.ptyPath());
    ASSERT_TRUE(panel.ok());

    // Connect: the answer cannot come before the frame and the answer have crossed the line.
    const long long sentAt = PanelEnd::nowUs();
    panel.write(cmd(0, 1));
    std::vector<long long> at;
    ASSERT_EQ(panel.read(1, test::kPatienceMs, &at), Bytes{kAck});
    EXPECT_GE(at[0] - sentAt, 5 * kByteUs - 50);
    EXPECT_LT(at[0] - sentAt, 50'000);

    for (int id = 0; id < 38; ++id) {
        const Bytes report = panel.read(4, test::kPatienceMs);
        ASSERT_EQ(report, cmd(id, sim.device().value(id))) << "report " << id;
        EXPECT_TRUE(panel.read(1, 2).empty()) << "report " << id << " not waited for";
        panel.write({kAck});
    }
    EXPECT_TRUE(panel.read(1, 60).empty());

    const auto writes = writesOf(trace);
    ASSERT_EQ(writes.size(), 1u + 38 * 4);
    EXPECT_EQ(writes[0].second, kAck);
    EXPECT_GE(writes[1].first - writes[0].first, 5.0) << "a report while the panel may still wait";
    // Paced: the last byte of a frame leaves three byte times after the first. The median, since
    // a first byte written late (this process also runs the test) shortens a frame's spread.
    std::vector<double> spreads;
    for (std::size_t f = 1; f + 3 < writes.size(); f += 4)
        spreads.push_back(writes[f + 3].first - writes[f].first);
    std::sort(spreads.begin(), spreads.end());
    EXPECT_GE(spreads[spreads.size() / 2], (3 * kByteUs - 100) / 1000.0);

    panel.write(cmd(31, 45));
    EXPECT_EQ(panel.read(1, test::kPatienceMs), Bytes{kAck});
    EXPECT_EQ(sim.device().value(31), 45);

    panel.write(cmd(0, 10));
    EXPECT_EQ(panel.read(5, test::kPatienceMs), Bytes{kAck} + cmd(0, 10));
    EXPECT_TRUE(sim.device().muted());
}

TEST_F(SimulatorTest, FaultsSwitchAtRunTime)
{
    PanelEnd panel(sim.ptyPath());
    ASSERT_TRUE(panel.ok());
    struct Step
    {
        const char *name;
        std::function<void()> change;
        Bytes answer;
    } steps[] = {
        {"nak", [&] { sim.setFault(Fault::Nak); }, {kNak}},
        {"cleared", [&] { sim.clearFaults(); }, {kAck}},
        {"noack", [&] { sim.setFault(Fault::NoAck); }, {}},
        {"noack off", [&] { sim.clearFault(Fault::NoAck); }, {kAck}},
        {"control line", [&] { EXPECT_EQ(sim.execute("fault nak"), "OK"); }, {kNak}},
    };
    for (const Step &s : steps) {
        s.change();
        panel.write(cmd(32, 20));
        EXPECT_EQ(panel.read(1, s.answer.empty() ? 50 : test::kPatienceMs), s.answer) << s.name;
    }
}

TEST_F(SimulatorTest, ControlLinesReachTheDeviceAndTheLine)
{
    PanelEnd panel(sim.ptyPath());
    ASSERT_TRUE(panel.ok());
    EXPECT_EQ(sim.execute("set 31 50"), "OK");
    EXPECT_EQ(panel.read(4, test::kPatienceMs), cmd(31, 50));
    EXPECT_TRUE(sim.execute("state").startsWith("STATE 0 120 "));
    EXPECT_EQ(sim.execute("report 36"), "OK");
    // Report 36 waits while report 31 waits for the panel's reply. Asked at once: a read that
    // lingered could outlast the processor's 100 ms patience on a busy machine.
    EXPECT_EQ(sim.execute("queue"), "OK 2") << "the panel has not answered report 31 yet";
    panel.write({kAck});
    EXPECT_EQ(panel.read(4, test::kPatienceMs), cmd(36, 30));
}

TEST_F(SimulatorTest, UnplugClosesThePtyAndPlugOpensANewOne)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("qj-sim");
    ASSERT_TRUE(sim.setLink(link));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.ptyPath());

    QSignalSpy lost(&sim, &Simulator::unplugged);
    QSignalSpy opened(&sim, &Simulator::ptyOpened);
    {
        PanelEnd panel(link);
        ASSERT_TRUE(panel.ok());
        sim.setFault(Fault::Unplug, 30);
        EXPECT_EQ(lost.count(), 0);
        EXPECT_TRUE(panel.hungUp(test::kPatienceMs));
        EXPECT_EQ(lost.count(), 1);
        EXPECT_FALSE(sim.isOpen());
        EXPECT_FALSE(QFileInfo(link).isSymLink()) << "a closed pty number is soon reused";
    }
    ASSERT_TRUE(sim.plug());
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    PanelEnd again(link);
    ASSERT_TRUE(again.ok());
    again.write(cmd(0, 1));
    EXPECT_EQ(again.read(1, test::kPatienceMs), Bytes{kAck});
}

} // namespace
} // namespace qj
