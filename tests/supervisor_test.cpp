#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::bytes;
using test::LinkRig;

const std::vector<std::uint8_t> kMusic40{0xAA, 0x1F, 0x28, 0x0E};

struct SupervisorTest : ::testing::Test
{
    LinkRig rig;
    std::vector<int> sentAtTick; // tick number of every frame written, 0 = before the first tick

    void SetUp() override { rig.goOnline(); }

    // Runs ticks 1..last, noting on which tick each frame went out.
    void runTo(int last, const std::function<void(int)> &beforeTick = {})
    {
        std::size_t seen = rig.port.writes.size();
        for (int t = 1; t <= last; ++t) {
            if (beforeTick)
                beforeTick(t);
            rig.tick();
            for (; seen < rig.port.writes.size(); ++seen)
                sentAtTick.push_back(t);
        }
    }
    void issueMusic40()
    {
        rig.tx.issue(32, 40);
        sentAtTick.push_back(0);
    }
};

TEST_F(SupervisorTest, AnUnansweredCommandGoesOutTenTimesThenGivesUpOnce)
{
    issueMusic40();
    int gaveUpAt = 0;
    runTo(2500, [&](int t) {
        if (gaveUpAt == 0 && rig.errors == 1)
            gaveUpAt = t - 1;
    });
    EXPECT_EQ(sentAtTick, (std::vector<int>{0, 100, 300, 500, 700, 900, 1100, 1300, 1500, 1700}));
    for (const auto &f : rig.frames())
        EXPECT_EQ(f, kMusic40);
    EXPECT_EQ(gaveUpAt, 1900);
    EXPECT_EQ(rig.errors, 1);
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("数据发送失败！！！")});
    EXPECT_EQ(rig.offlines(), 1);
    EXPECT_FALSE(rig.link.online());
    EXPECT_EQ(rig.link.state(), LinkState::Offline); // connecting is not offered again
    EXPECT_EQ(rig.cmd.CmdId, 0);
    EXPECT_EQ(rig.cmd.RetryLeft, 0);
    EXPECT_EQ(rig.cmd.ReplyTicks, 0);
    EXPECT_TRUE(rig.port.open); // giving up leaves the port open
}

TEST_F(SupervisorTest, AnAcknowledgementAfterTheThirdResendEndsTheSchedule)
{
    issueMusic40();
    runTo(2500, [&](int t) {
        if (t == 650)
            rig.port.arrive({0xAA});
    });
    EXPECT_EQ(sentAtTick, (std::vector<int>{0, 100, 300, 500}));
    EXPECT_EQ(rig.errors, 0);
    EXPECT_TRUE(rig.messages.isEmpty());
    EXPECT_EQ(rig.cmd.CmdId, 0);
    EXPECT_TRUE(rig.link.online());
}

TEST_F(SupervisorTest, AnAcknowledgementOnTheLastTickStillWins)
{
    issueMusic40();
    runTo(2500, [&](int t) {
        if (t == 1900)
            rig.port.arrive({0xAA});
    });
    EXPECT_EQ(sentAtTick.size(), 10u);
    EXPECT_EQ(rig.errors, 0);
}

TEST_F(SupervisorTest, ARejectByteChangesNothing)
{
    issueMusic40();
    runTo(50);
    rig.port.arrive({0x55, 0xAA});
    rig.tick();
    EXPECT_EQ(rig.cmd.CmdId, 32);
    EXPECT_EQ(rig.cmd.ReplyTicks, 49);
    EXPECT_TRUE(rig.port.received.empty()); // dropped, never decoded as a report
    runTo(2000);
    EXPECT_EQ(rig.errors, 1);
}

TEST_F(SupervisorTest, NoTransmissionsLeftAndNoWaitMeansNeitherResendNorGiveUp)
{
    rig.cmd.CmdId = 5;
    rig.cmd.RetryLeft = 0;
    rig.cmd.ReplyTicks = 0;
    runTo(5000);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.errors, 0);
    EXPECT_EQ(rig.cmd.CmdId, 5);
}

TEST_F(SupervisorTest, ATickDuringTheGiveUpMessageDoesNothing)
{
    struct NestingRig : LinkRig
    {
        void showMessage(Message message) override
        {
            LinkRig::showMessage(message);
            tick(500); // the modal box lets ticks through
        }
    } nested;
    nested.goOnline();
    nested.tx.issue(32, 40);
    nested.tick(1900);
    EXPECT_EQ(nested.errors, 1);
    EXPECT_EQ(nested.frames().size(), 10u);
    EXPECT_EQ(nested.offlines(), 1);
}

TEST_F(SupervisorTest, AQuietBurstIsDecodedOnTheFirstUnchangedLook)
{
    rig.port.arrive({0xAA, 0x01});
    rig.tick(); // count 2 recorded
    rig.port.arrive({0x64, 0xF0});
    rig.tick(); // count 4 recorded
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.rx.RxCount, 4);
    rig.tick(); // unchanged: decoded
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0], bytes({0xAA}));
    EXPECT_EQ(rig.panel.displayCaption(1), QStringLiteral("100"));
    EXPECT_EQ(rig.rx.RxCount, 0);
    EXPECT_EQ(rig.rx.QuietTicks, 0);
}

TEST_F(SupervisorTest, ACountLeftFromBeforeACommandDecodesOnTheFirstLook)
{
    rig.port.arrive({0x01, 0x02, 0x03, 0x04});
    rig.tick();           // RxCount 4 recorded while idle
    rig.tx.issue(32, 40); // discards the input, keeps RxCount
    rig.port.arrive({0xAA});
    rig.tick(); // acknowledged
    ASSERT_EQ(rig.cmd.CmdId, 0);
    const std::size_t writes = rig.port.writes.size();
    rig.port.arrive({0xAA, 0x01, 0x64, 0xF0});
    rig.tick();
    ASSERT_EQ(rig.port.writes.size(), writes + 1);
    EXPECT_EQ(rig.port.writes.back(), bytes({0xAA}));
}

TEST(SupervisorAck, AReportReadWithTheAcknowledgementIsKeptAndNothingElseIs)
{
    // A panel kept off the CPU reads the acknowledgement together with what followed it.
    struct Case
    {
        const char *name;
        std::vector<std::uint8_t> before; // received while idle, before the command
        std::vector<std::uint8_t> withAck;
        std::vector<std::uint8_t> later; // arriving a tick after the acknowledgement
        bool decoded;                    // EchoDelay shows the report's 100
        std::vector<std::vector<std::uint8_t>> replies;
    } cases[] = {
        {"a whole report behind it", {}, {0xAA, 0xAA, 0x01, 0x64, 0xF0}, {}, true, {{0xAA}}},
        {"half a report, the count before the command as large",
         {0x01, 0x02},
         {0xAA, 0xAA, 0x01},
         {0x64, 0xF0},
         true,
         {{0xAA}}},
        {"bytes that start no frame", {}, {0xAA, 0x01, 0x64, 0xF0}, {}, false, {}},
        {"a second acknowledgement, answered as a lone byte",
         {},
         {0xAA, 0xAA},
         {},
         false,
         {{0x55}}},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        rig.goOnline();
        if (!c.before.empty()) {
            rig.port.arrive(c.before);
            rig.tick(); // its count is recorded
        }
        const QString shown = rig.panel.displayCaption(1);
        rig.tx.issue(32, 40);
        const std::size_t writes = rig.port.writes.size();
        rig.port.arrive(c.withAck);
        rig.tick();
        EXPECT_EQ(rig.cmd.CmdId, 0) << c.name;
        rig.tick();
        if (!c.later.empty())
            rig.port.arrive(c.later);
        rig.tick(5);
        EXPECT_EQ(rig.panel.displayCaption(1), c.decoded ? QStringLiteral("100") : shown) << c.name;
        EXPECT_EQ(std::vector<std::vector<std::uint8_t>>(rig.port.writes.begin() + long(writes),
                                                         rig.port.writes.end()),
                  c.replies)
            << c.name;
        EXPECT_EQ(rig.errors, 0) << c.name;
    }
}

TEST_F(SupervisorTest, AClosedPortIdleTickDoesNothing)
{
    rig.port.open = false;
    rig.port.log.clear();
    rig.port.arrive({0xAA, 0x01, 0x64, 0xF0});
    EXPECT_TRUE(rig.supervisor.idle());
    rig.tick(10);
    EXPECT_TRUE(rig.port.log.empty());
}

TEST_F(SupervisorTest, IdleOnlyWhenATickWouldDoNothing)
{
    EXPECT_TRUE(rig.supervisor.idle());
    rig.tx.issue(32, 40);
    EXPECT_FALSE(rig.supervisor.idle()); // waiting
    rig.port.arrive({0xAA});
    EXPECT_FALSE(rig.supervisor.idle()); // a byte waits
    rig.tick();
    EXPECT_TRUE(rig.supervisor.idle());
    rig.cmd.CmdId = 3;
    rig.cmd.RetryLeft = 2;
    EXPECT_FALSE(rig.supervisor.idle()); // a resend is due
}

TEST_F(SupervisorTest, AFailedResendIsHandedOn)
{
    rig.tx.issue(32, 40);
    rig.port.writeError = PortError::DeviceLost;
    rig.tick(100);
    // The link's failure path took it: one message, the command forgotten, connecting offered.
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("数据发送失败！！！")});
    EXPECT_EQ(rig.cmd.CmdId, 0);
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    rig.tick(3000);
    EXPECT_EQ(rig.errors, 1);
}

} // namespace
} // namespace qj
