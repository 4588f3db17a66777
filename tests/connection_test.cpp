#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;
using Bytes = std::vector<std::uint8_t>;

const QString kInvalid = QStringLiteral("端口无效！！！");
const QString kHeld = QStringLiteral("端口已打开！！！");

TEST(Connection, ThePortNumberComesFromTheBox)
{
    struct Case
    {
        const char16_t *text;
        int number;
    } cases[] = {{u"5", 5},   {u" 7", 7}, {u"7 ", 7},  {u"ab", 0},  {u"", 0},   {u"2.5", 2},
                 {u"3.5", 4}, {u"5x", 5}, {u"-1", -1}, {u"99", 99}, {u"０", 0}, {u"1e", 1}};
    for (const Case &c : cases)
        EXPECT_EQ(Connection::portNumberFrom(QString::fromUtf16(c.text)), c.number)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(Connection, AFreePortOpensAndTheConnectCommandGoesOut)
{
    for (const char16_t *text : {u"5", u" 7", u"7 "}) {
        LinkRig rig;
        rig.MenuConnect_Click(QString::fromUtf16(text));
        EXPECT_TRUE(rig.port.open);
        EXPECT_EQ(rig.port.number, QString::fromUtf16(text).trimmed().toInt());
        ASSERT_EQ(rig.port.writes.size(), 1u);
        EXPECT_EQ(rig.port.writes[0], (Bytes{0xAA, 0x00, 0x01, 0x54}));
        EXPECT_EQ(rig.cmd.CmdId, 1);
        EXPECT_EQ(rig.cmd.CmdValue, 1);
        EXPECT_EQ(rig.cmd.ReplyTicks, 100);
        EXPECT_EQ(rig.cmd.RetryLeft, 10);
        EXPECT_TRUE(rig.messages.isEmpty());
        EXPECT_EQ(rig.link.state(), LinkState::Connecting); // connecting, not online
        EXPECT_TRUE(rig.connectOffered());
        EXPECT_FALSE(rig.link.online());
    }
}

TEST(Connection, ARefusedNumberIsReportedAndTheOldNumberIsOpened)
{
    for (const char16_t *text : {u"ab", u"", u"0", u"-1"}) {
        LinkRig rig;
        rig.MenuConnect_Click(QString::fromUtf16(text));
        EXPECT_EQ(rig.messages, QStringList{kInvalid});
        EXPECT_EQ(rig.port.number, 1);
        EXPECT_TRUE(rig.port.open);
        EXPECT_EQ(rig.frames().size(), 1u);
    }
}

TEST(Connection, FailuresToOpenAreReportedByNumber)
{
    struct Case
    {
        PortError error;
        QStringList messages;
    } cases[] = {
        {PortError::AlreadyOpen, {kHeld}},
        {PortError::InvalidPort, {kInvalid}},
        {PortError::OpenFailed, {}},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        rig.port.openError = c.error;
        rig.link.setLanguage(Language::English); // these two stay Chinese
        rig.MenuConnect_Click(QStringLiteral("5"));
        EXPECT_EQ(rig.messages, c.messages) << int(c.error);
        EXPECT_FALSE(rig.port.open);
        EXPECT_TRUE(rig.port.writes.empty());
        EXPECT_EQ(rig.cmd.CmdId, 0);
        EXPECT_EQ(rig.link.state(), LinkState::Closed);
    }
}

TEST(Connection, AccessDeniedNamesTheDeviceAndTheRemedy)
{
    LinkRig rig;
    rig.port.openError = PortError::AccessDenied;
    rig.device = QStringLiteral("/dev/ttyUSB0"); // the host names the device it was to open
    rig.MenuConnect_Click(QStringLiteral("5"));
    ASSERT_EQ(rig.messages.size(), 1);
    EXPECT_TRUE(rig.messages[0].contains(QStringLiteral("/dev/ttyUSB0")));
    EXPECT_TRUE(rig.messages[0].contains(QStringLiteral("dialout")));
    EXPECT_NE(rig.messages[0], kHeld);
}

TEST(Connection, ConnectingAgainReportsTheOpenPortAndResends)
{
    LinkRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.tick(150); // first resend
    rig.MenuConnect_Click(QStringLiteral("5"));
    EXPECT_EQ(rig.messages, QStringList{kHeld});
    EXPECT_EQ(rig.frames().size(), 3u);
    EXPECT_EQ(rig.cmd.ReplyTicks, 100);
    EXPECT_EQ(rig.cmd.RetryLeft, 10);
}

TEST(Connection, TheStepsComeInOrder)
{
    LinkRig rig;
    rig.port.log.clear();
    rig.MenuConnect_Click(QStringLiteral("5"));
    EXPECT_EQ(rig.port.log,
              (std::vector<std::string>{"select 5", "open", "discardOut", "discardIn", "out"}));
}

// A port is open under 5 (a connect that was not answered); the box now holds another text.
TEST(Connection, AnotherNumberWhileAPortIsOpen)
{
    struct Case
    {
        const char16_t *typed;
        QStringList messages;
        std::vector<std::string> steps; // what the port is asked, in order
        int number;                     // the port's number after
        bool sent;                      // a connect command went out
    } cases[] = {
        {u"6", {}, {"close", "select 6", "open", "discardOut", "discardIn", "out"}, 6, true},
        {u"0", {kInvalid}, {}, 5, false},
        {u"ab", {kInvalid}, {}, 5, false},
        {u"5", {kHeld}, {"select 5", "open", "discardOut", "discardIn", "out"}, 5, true},
    };
    for (const Case &c : cases) {
        const std::string typed = QString::fromUtf16(c.typed).toStdString();
        LinkRig rig;
        rig.MenuConnect_Click(QStringLiteral("5"));
        rig.tick(150); // a resend
        rig.port.log.clear();
        rig.port.writes.clear();
        rig.MenuConnect_Click(QString::fromUtf16(c.typed));
        EXPECT_EQ(rig.messages, c.messages) << typed;
        EXPECT_EQ(rig.port.log, c.steps) << typed;
        EXPECT_EQ(rig.port.number, c.number) << typed;
        EXPECT_TRUE(rig.port.open) << typed;
        EXPECT_EQ(rig.frames().size(), c.sent ? 1u : 0u) << typed;
        EXPECT_EQ(rig.link.state(), LinkState::Connecting) << typed;
        // A new connect command starts afresh; otherwise 5's keeps its schedule.
        EXPECT_EQ(rig.cmd.RetryLeft, c.sent ? 10 : 9) << typed;
    }
}

TEST(Connection, AnotherNumberThatDoesNotOpenLeavesNothingPending)
{
    LinkRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.port.writes.clear();
    rig.port.openError = PortError::InvalidPort; // no device behind 7
    rig.MenuConnect_Click(QStringLiteral("7"));
    EXPECT_EQ(rig.messages, QStringList{kInvalid});
    EXPECT_FALSE(rig.port.open);
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    EXPECT_TRUE(rig.connectOffered());
    EXPECT_EQ(rig.cmd.CmdId, 0);
    rig.tick(2500); // no resend and no give-up of 5's command
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.messages.size(), 1);
}

// A connect command that cannot be written ends at once, as any failed write: one message, no
// wait armed on the port the failure closed; a device gone is a loss, watched for its return.
TEST(Connection, AFailedConnectWriteEndsAtOnceAsAnyFailedWrite)
{
    for (const PortError e : {PortError::DeviceLost, PortError::DeviceGone}) {
        LinkRig rig;
        rig.port.writeError = e;
        rig.MenuConnect_Click(QStringLiteral("5"));
        EXPECT_EQ(rig.cmd.CmdId, 0);
        EXPECT_EQ(rig.cmd.ReplyTicks, 0);
        EXPECT_EQ(rig.link.state(), LinkState::Closed);
        EXPECT_EQ(rig.link.watching(), e == PortError::DeviceGone);
        rig.tick(2500); // nothing resent into the closed port, no second message
        EXPECT_EQ(rig.messages.size(), 1);
        EXPECT_EQ(rig.errors, e == PortError::DeviceLost ? 1 : 0);
        EXPECT_EQ(rig.port.closedWrites, 0);
    }
}

TEST(Connection, ReportsAfterTheConnectCommandBringThePanelOnline)
{
    LinkRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.tick(3);
    rig.port.arrive({0xAA}); // acknowledgement
    rig.tick(5);
    ASSERT_EQ(rig.cmd.CmdId, 0);
    const std::uint8_t settings[38] = {0,  100, 10, 11, 12, 13, 5,  6,   7,  8,  9,  14, 2,
                                       1,  90,  15, 16, 17, 3,  1,  120, 13, 1,  18, 1,  19,
                                       10, 4,   0,  60, 40, 50, 35, 11,  12, 13, 44, 2};
    for (std::uint8_t id = 0; id < 38; ++id) {
        const frame::Frame f = frame::make(id, settings[id]);
        rig.port.received.insert(rig.port.received.end(), f.begin(), f.end());
        rig.tick(3);
        EXPECT_EQ(rig.link.online(), id >= 36) << int(id);
    }
    EXPECT_TRUE(rig.link.online());
    EXPECT_FALSE(rig.connectOffered());
    EXPECT_EQ(rig.status, QStringLiteral("当前状态：联机"));
    EXPECT_EQ(rig.panel.displayCaption(1), QStringLiteral("100"));
    EXPECT_EQ(rig.panel.displayCaption(31), QStringLiteral("50"));
    EXPECT_EQ(rig.panel.displayCaption(36), QStringLiteral("44"));
    EXPECT_EQ(rig.panel.displayCaption(20), QStringLiteral("120Hz"));
    EXPECT_EQ(rig.panel.buttonColour(Group::RunMode, 2), ButtonColour::Red);
    EXPECT_EQ(rig.panel.value(Control::SurroundMode2), 1);
    // Every report was answered with exactly one accept byte.
    int accepts = 0;
    for (const auto &w : rig.port.writes)
        accepts += w == Bytes{0xAA};
    EXPECT_EQ(accepts, 38);
}

TEST(Connection, DisconnectClosesAndAllowsConnectingAgain)
{
    LinkRig rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.link.goOnline();
    rig.link.disconnect();
    EXPECT_FALSE(rig.port.open);
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    EXPECT_TRUE(rig.connectOffered());
    EXPECT_FALSE(rig.link.online());
    EXPECT_EQ(rig.cmd.CmdId, 0);
    EXPECT_EQ(rig.offlines(), 1);
    rig.MenuConnect_Click(QStringLiteral("5"));
    EXPECT_TRUE(rig.port.open);
    EXPECT_TRUE(rig.messages.isEmpty());
}

} // namespace
} // namespace qj
