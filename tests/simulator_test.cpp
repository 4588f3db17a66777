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

// What the simulator wrote and read, one entry a write or read, with its time in ms, from its
// trace. Gaps the simulator promises are checked here, on its own side: the reading loop below
// can be preempted between a write and its read, which moves what it sees but not what was sent.
struct Transfer
{
    double at;
    bool written;
    Bytes bytes;
};

std::vector<Transfer> transfersOf(const QStringList &trace)
{
    std::vector<Transfer> out;
    for (const QString &line : trace) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        if (words.size() < 3 || (words[1] != "tx" && words[1] != "rx"))
            continue;
        Transfer t{words[0].toDouble(), words[1] == "tx", {}};
        for (int i = 2; i < words.size(); ++i)
            t.bytes.push_back(std::uint8_t(words[i].toUInt(nullptr, 16)));
        out.push_back(std::move(t));
    }
    return out;
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

    // Each frame is written whole, once its last byte has crossed the line: never before four
    // byte times after the answer that let it go, and never split, which a processor kept off
    // the CPU between two bytes would do to it.
    const std::vector<Transfer> transfers = transfersOf(trace);
    std::vector<Transfer> writes;
    std::copy_if(transfers.begin(), transfers.end(), std::back_inserter(writes),
                 [](const Transfer &t) { return t.written; });
    ASSERT_EQ(writes.size(), 1u + 38);
    EXPECT_EQ(writes[0].bytes, Bytes{kAck});
    EXPECT_GE(writes[1].at - writes[0].at, 5.0) << "a report while the panel may still wait";
    double answeredAt = -1;
    int frames = 0;
    for (const Transfer &t : transfers) {
        if (!t.written) {
            answeredAt = t.at;
            continue;
        }
        if (t.bytes.size() != 4)
            continue;
        ++frames;
        if (frames > 1) {
            EXPECT_GE(t.at - answeredAt, 4 * kByteUs / 1000.0) << "frame " << frames;
        }
    }
    EXPECT_EQ(frames, 38);

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
