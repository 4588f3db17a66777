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

TEST_F(SimulatorTest, ScriptedExchangeAtLineRate)
{
    PanelEnd panel(sim.ptyPath());
    ASSERT_TRUE(panel.ok());

    // Connect: the answer cannot come before the frame and the answer have crossed the line.
    const long long sentAt = PanelEnd::nowUs();
    panel.write(cmd(0, 1));
    std::vector<long long> at;
    ASSERT_EQ(panel.read(1, 100, &at), Bytes{kAck});
    EXPECT_GE(at[0] - sentAt, 5 * kByteUs - 50);
    EXPECT_LT(at[0] - sentAt, 50'000);
    EXPECT_TRUE(panel.read(1, 3).empty()) << "a report came while the panel may still wait";

    std::vector<long long> spreads;
    for (int id = 0; id < 38; ++id) {
        at.clear();
        const Bytes report = panel.read(4, 200, &at);
        ASSERT_EQ(report, cmd(id, sim.device().value(id))) << "report " << id;
        spreads.push_back(at[3] - at[0]);
        EXPECT_TRUE(panel.read(1, 2).empty()) << "report " << id << " not waited for";
        panel.write({kAck});
    }
    EXPECT_TRUE(panel.read(1, 60).empty());
    // Paced: the last byte of a frame comes three byte times after the first. The median, since
    // a first byte written late (this loop also runs the simulator) shortens a frame's spread.
    std::sort(spreads.begin(), spreads.end());
    EXPECT_GE(spreads[spreads.size() / 2], 3 * kByteUs - 100);

    panel.write(cmd(31, 45));
    EXPECT_EQ(panel.read(1, 100), Bytes{kAck});
    EXPECT_EQ(sim.device().value(31), 45);

    panel.write(cmd(0, 10));
    EXPECT_EQ(panel.read(5, 100), Bytes{kAck} + cmd(0, 10));
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
        EXPECT_EQ(panel.read(1, 50), s.answer) << s.name;
    }
}

TEST_F(SimulatorTest, ControlLinesReachTheDeviceAndTheLine)
{
    PanelEnd panel(sim.ptyPath());
    ASSERT_TRUE(panel.ok());
    EXPECT_EQ(sim.execute("set 31 50"), "OK");
    EXPECT_EQ(panel.read(4, 100), cmd(31, 50));
    EXPECT_TRUE(sim.execute("state").startsWith("STATE 0 120 "));
    EXPECT_EQ(sim.execute("report 36"), "OK");
    EXPECT_TRUE(panel.read(4, 20).empty()) << "the panel has not answered report 31 yet";
    panel.write({kAck});
    EXPECT_EQ(panel.read(4, 100), cmd(36, 30));
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
        EXPECT_TRUE(panel.hungUp(500));
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
    EXPECT_EQ(again.read(1, 100), Bytes{kAck});
}

} // namespace
} // namespace qj
