#include "fakeport.h"
#include "link/transmitter.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::FakePort;

struct TransmitterTest : ::testing::Test
{
    FakePort port;
    CommandState state;
    Transmitter tx{port, state};
    TransmitterTest() { port.open = true; }
};

TEST_F(TransmitterTest, CountersFollowTheirRules)
{
    struct Case
    {
        std::uint8_t retryBefore, retryAfter;
        std::int16_t ticksBefore, ticksAfter;
    } cases[] = {{0, 0, 0, 200}, {10, 9, 0, 200}, {1, 0, 57, 57}, {255, 254, -3, -3}};
    for (const Case &c : cases) {
        state.CmdId = 5;
        state.RetryLeft = c.retryBefore;
        state.ReplyTicks = c.ticksBefore;
        EXPECT_EQ(tx.SendComFrame(), PortError::None);
        EXPECT_EQ(state.RetryLeft, c.retryAfter);
        EXPECT_EQ(state.ReplyTicks, c.ticksAfter);
    }
}

TEST_F(TransmitterTest, DiscardsBothBuffersThenWritesOneFrame)
{
    port.arrive({0x55, 0x01});
    state.CmdId = 38;
    state.CmdValue = 255;
    tx.SendComFrame();
    EXPECT_TRUE(port.received.empty());
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], (std::vector<std::uint8_t>{0xAA, 0x25, 0xFF, 0x31}));
    EXPECT_EQ(port.log, (std::vector<std::string>{"discardOut", "discardIn", "out"}));
}

TEST_F(TransmitterTest, ANewCommandReplacesThePendingOne)
{
    tx.issue(32, 40);
    state.ReplyTicks = 13;
    state.RetryLeft = 4;
    tx.issue(7, 10);
    EXPECT_EQ(state.CmdId, 7);
    EXPECT_EQ(state.CmdValue, 10);
    EXPECT_EQ(state.ReplyTicks, 100);
    EXPECT_EQ(state.RetryLeft, 10);
    EXPECT_EQ(port.writes.back(), (std::vector<std::uint8_t>{0xAA, 0x06, 0x0A, 0x45}));
    EXPECT_EQ(tx.transmissions(), 2u);
}

TEST_F(TransmitterTest, AClosedPortTakesTheCommandSilently)
{
    port.open = false;
    PortError seen = PortError::None;
    tx.setFailureHandler([&](PortError e) { seen = e; });
    tx.issue(25, 0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(seen, PortError::None);
    EXPECT_EQ(state.CmdId, 25);
    EXPECT_EQ(state.ReplyTicks, 100);
}

TEST_F(TransmitterTest, AFailedWriteReachesTheFailureHandlerWithTheStateArmed)
{
    port.writeError = PortError::DeviceLost;
    std::vector<PortError> seen;
    tx.setFailureHandler([&](PortError e) { seen.push_back(e); });
    tx.issue(2, 100);
    EXPECT_EQ(seen, std::vector<PortError>{PortError::DeviceLost});
    EXPECT_EQ(state.RetryLeft, 10);
    EXPECT_EQ(state.ReplyTicks, 100);
}

} // namespace
} // namespace qj
