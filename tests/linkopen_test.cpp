// An open that pends (a network device): the connect command goes out when the port is open,
// a failure is the open's failure, told once or, on an attempt of the watch, only logged.
#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;

const std::vector<std::uint8_t> kConnectFrame{0xAA, 0x00, 0x01, 0x54};

struct PendingRig : LinkRig
{
    PendingRig()
    {
        port.pendingOpens = true;
        device = QStringLiteral("socket://10.0.0.7:4001");
    }
    QString failure() const { return messageText(Message::ConnectFailed, link.language(), device); }
    // Connected through a pending open, online, then the device gone: the watch is on and
    // nothing of that history is left in the messages or the writes.
    void lostAfterOnline()
    {
        MenuConnect_Click(QStringLiteral("5"));
        port.endOpen(PortError::None);
        goOnline();
        port.open = false;
        link.deviceLost();
        messages.clear();
        port.writes.clear();
    }
};

TEST(LinkOpen, TheConnectCommandWaitsForTheOpen)
{
    PendingRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    EXPECT_TRUE(rig.port.opening);
    EXPECT_EQ(rig.link.state(), LinkState::Connecting);
    EXPECT_EQ(rig.shown, LinkState::Connecting); // the connect entry stays offered
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.messages.isEmpty());
    for (int i = 0; i < 5000; ++i) // the tick runs meanwhile and sends nothing
        rig.link.tick();
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.link.state(), LinkState::Connecting);

    rig.port.endOpen(PortError::None);
    EXPECT_EQ(rig.port.allWritten(), kConnectFrame);
    EXPECT_EQ(rig.cmd.CmdId, Connection::kConnectCmdId);
    rig.port.arrive({0xAA});
    rig.link.tick();
    rig.link.tick();
    EXPECT_EQ(rig.cmd.CmdId, 0); // acknowledged as on a serial line
    EXPECT_TRUE(rig.messages.isEmpty());
}

// The ways an open ends in failure: before the port opened, and after it opened but before the
// processor said anything (a server refusing the line), each told once, with no watch.
TEST(LinkOpen, AFailedOpenIsToldOnceAndStartsNoWatch)
{
    for (const bool afterOpen : {false, true}) {
        SCOPED_TRACE(afterOpen ? "refused after the open" : "open failed");
        PendingRig rig;
        rig.MenuConnect_Click(QStringLiteral("5"));
        if (afterOpen)
            rig.port.endOpen(PortError::None);
        rig.port.endOpen(PortError::ConnectFailed);
        EXPECT_EQ(rig.messages, QStringList{rig.failure()});
        EXPECT_EQ(rig.link.state(), LinkState::Closed);
        EXPECT_EQ(rig.cmd.CmdId, 0);
        EXPECT_FALSE(rig.link.watching());
        EXPECT_FALSE(rig.port.watching);
        const std::size_t written = rig.port.writes.size();
        for (int i = 0; i < 3000; ++i)
            rig.link.tick();
        EXPECT_EQ(rig.port.writes.size(), written); // nothing resent, no give-up message
        EXPECT_EQ(rig.messages.size(), 1);
    }
}

TEST(LinkOpen, ADisconnectEndsThePendingOpen)
{
    PendingRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.link.disconnect();
    EXPECT_FALSE(rig.port.opening);
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    // An end that comes anyway is not the link's any more.
    rig.link.openEnded(PortError::ConnectFailed);
    rig.link.openEnded(PortError::None);
    EXPECT_TRUE(rig.messages.isEmpty());
    EXPECT_TRUE(rig.port.writes.empty());
}

TEST(LinkOpen, AnotherNumberReplacesThePendingOpen)
{
    PendingRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.MenuConnect_Click(QStringLiteral("6"));
    EXPECT_EQ(rig.port.number, 6);
    EXPECT_TRUE(rig.port.opening);
    EXPECT_TRUE(rig.messages.isEmpty());
    // The same number again while it pends changes nothing.
    rig.MenuConnect_Click(QStringLiteral("6"));
    EXPECT_TRUE(rig.port.opening);
    EXPECT_TRUE(rig.messages.isEmpty());
    rig.port.endOpen(PortError::None);
    EXPECT_EQ(rig.port.allWritten(), kConnectFrame);
}

// After a loss the watch tries again; its failures are silent and it goes on, a server that
// accepts and then refuses included, until the processor answers.
TEST(LinkOpen, TheWatchTriesSilentlyUntilTheProcessorAnswers)
{
    PendingRig rig;
    rig.lostAfterOnline();
    ASSERT_TRUE(rig.link.watching());

    rig.link.deviceReturned(); // refused
    EXPECT_TRUE(rig.port.opening);
    rig.port.endOpen(PortError::ConnectFailed);
    EXPECT_TRUE(rig.link.watching());
    EXPECT_TRUE(rig.port.watching);
    EXPECT_EQ(rig.link.state(), LinkState::Closed);

    rig.link.deviceReturned(); // accepted, then "Port already in use"
    rig.port.endOpen(PortError::None);
    EXPECT_EQ(rig.port.allWritten(), kConnectFrame);
    rig.port.endOpen(PortError::ConnectFailed);
    EXPECT_TRUE(rig.link.watching());
    EXPECT_TRUE(rig.port.watching);
    EXPECT_TRUE(rig.messages.isEmpty());

    rig.link.deviceReturned(); // back
    rig.port.endOpen(PortError::None);
    EXPECT_FALSE(rig.link.watching());
    EXPECT_EQ(rig.link.state(), LinkState::Connecting);
    rig.goOnline();
    EXPECT_EQ(rig.link.state(), LinkState::Online);
    EXPECT_TRUE(rig.messages.isEmpty());
}

TEST(LinkOpen, TheUsersOwnConnectDuringTheWatchIsTold)
{
    PendingRig rig;
    rig.lostAfterOnline();
    rig.link.deviceReturned();
    rig.MenuConnect_Click(QStringLiteral("5")); // while the watch's attempt pends
    rig.port.endOpen(PortError::ConnectFailed);
    EXPECT_EQ(rig.messages, QStringList{rig.failure()});
}

} // namespace
} // namespace qj
