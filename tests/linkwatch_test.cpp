// The link after a lost device: it watches, connects by itself when the device is back, shows
// nothing when such a try fails, and stops watching at a disconnect or another number.
#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;

const QString kGone = QStringLiteral("设备已脱机！！！");
const std::vector<std::uint8_t> kConnectFrame{0xAA, 0x00, 0x01, 0x54};

// Online on port 5, then the device goes away.
struct LostRig : LinkRig
{
    LostRig()
    {
        MenuConnect_Click(QStringLiteral("5"));
        goOnline();
        port.open = false;
        link.deviceLost();
        port.writes.clear();
        messages.clear();
    }
};

TEST(LinkWatch, TheLossMessageComesBeforeTheWatch)
{
    struct Rig : LinkRig
    {
        bool watchingDuringMessage = true;
        void showMessage(Message message) override
        {
            watchingDuringMessage = link.watching() || port.watching;
            // The device is back while the message is open: nothing may happen yet.
            port.open = false;
            link.deviceReturned();
            LinkRig::showMessage(message);
        }
    } rig;
    rig.MenuConnect_Click(QStringLiteral("5"));
    rig.goOnline();
    rig.port.open = false;
    rig.port.writes.clear();
    rig.link.deviceLost();
    EXPECT_FALSE(rig.watchingDuringMessage);
    EXPECT_EQ(rig.messages, QStringList{kGone});
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    EXPECT_TRUE(rig.link.watching());
    EXPECT_TRUE(rig.port.watching);
}

TEST(LinkWatch, ADeviceBackIsConnectedAsByTheConnectEntry)
{
    LostRig rig;
    rig.link.deviceReturned();
    EXPECT_TRUE(rig.port.open);
    EXPECT_EQ(rig.port.number, 5);
    EXPECT_EQ(rig.frames(), std::vector<std::vector<std::uint8_t>>{kConnectFrame});
    EXPECT_EQ(rig.cmd.CmdId, 1);
    EXPECT_EQ(rig.cmd.ReplyTicks, 100);
    EXPECT_EQ(rig.cmd.RetryLeft, 10);
    EXPECT_EQ(rig.link.state(), LinkState::Connecting);
    EXPECT_FALSE(rig.link.watching());
    EXPECT_FALSE(rig.port.watching);
    EXPECT_TRUE(rig.messages.isEmpty());

    // The reports complete the connection as ever.
    rig.port.arrive({0xAA});
    rig.tick();
    rig.port.arrive({0xAA, 0x25, 0x02, 0x2E});
    rig.tick(2);
    EXPECT_EQ(rig.link.state(), LinkState::Online);
}

TEST(LinkWatch, ATryThatFailsShowsNothingAndTheNextReturnTriesAgain)
{
    for (const PortError e : {PortError::InvalidPort, PortError::AlreadyOpen,
                              PortError::AccessDenied, PortError::OpenFailed}) {
        LostRig rig;
        rig.port.openError = e;
        rig.link.deviceReturned();
        const int code = static_cast<int>(e);
        EXPECT_TRUE(rig.messages.isEmpty()) << code;
        EXPECT_EQ(rig.link.state(), LinkState::Closed) << code;
        EXPECT_TRUE(rig.link.watching()) << code;
        EXPECT_TRUE(rig.port.watching) << code;
        EXPECT_TRUE(rig.port.writes.empty()) << code;
        rig.tick(2500); // nothing waits for an acknowledgement, so nothing is given up
        EXPECT_TRUE(rig.messages.isEmpty()) << code;

        rig.port.openError = PortError::None;
        rig.link.deviceReturned();
        EXPECT_EQ(rig.link.state(), LinkState::Connecting) << code;
        EXPECT_EQ(rig.frames().size(), 1u) << code;
    }
}

TEST(LinkWatch, AConnectFrameThatCannotBeWrittenIsAFailedTryToo)
{
    for (const PortError e : {PortError::DeviceLost, PortError::DeviceGone}) {
        LostRig rig;
        rig.port.writeError = e;
        rig.link.deviceReturned();
        EXPECT_TRUE(rig.messages.isEmpty());
        EXPECT_EQ(rig.link.state(), LinkState::Closed);
        EXPECT_TRUE(rig.link.watching());
        EXPECT_EQ(rig.cmd.CmdId, 0);
        rig.tick(2500);
        EXPECT_TRUE(rig.messages.isEmpty());
    }
}

TEST(LinkWatch, WhatEndsTheWatch)
{
    const struct
    {
        const char *what;
        std::function<void(LostRig &)> run;
        bool watching;
    } cases[] = {
        {"disconnect", [](LostRig &r) { r.link.disconnect(); }, false},
        {"a connect to another number",
         [](LostRig &r) {
             r.port.openError = PortError::InvalidPort;
             r.MenuConnect_Click(QStringLiteral("6"));
         },
         false},
        {"a connect to the same number, in vain",
         [](LostRig &r) {
             r.port.openError = PortError::InvalidPort;
             r.MenuConnect_Click(QStringLiteral("5"));
         },
         true},
        {"a connect to the same number that opens it",
         [](LostRig &r) { r.MenuConnect_Click(QStringLiteral("5")); }, false},
        {"a number refused, so the watched one is opened again, in vain",
         [](LostRig &r) {
             r.port.openError = PortError::OpenFailed;
             r.MenuConnect_Click(QStringLiteral("0"));
         },
         true},
    };
    for (const auto &c : cases) {
        LostRig rig;
        c.run(rig);
        EXPECT_EQ(rig.link.watching(), c.watching) << c.what;
        EXPECT_EQ(rig.port.watching, c.watching) << c.what;
        if (c.watching)
            continue;
        // A sign of the old device now changes nothing.
        const LinkState before = rig.link.state();
        const bool open = rig.port.open;
        const std::size_t written = rig.port.writes.size();
        rig.port.openError = PortError::None;
        rig.link.deviceReturned();
        EXPECT_EQ(rig.link.state(), before) << c.what;
        EXPECT_EQ(rig.port.open, open) << c.what;
        EXPECT_EQ(rig.port.writes.size(), written) << c.what;
    }
}

TEST(LinkWatch, ADeviceBackWhileTheConnectEntryShowsAMessageIsConnectedAfterIt)
{
    struct Rig : LostRig
    {
        void showMessage(Message message) override
        {
            LostRig::showMessage(message);
            if (message != Message::PortInvalid)
                return;
            port.openError = PortError::None;
            link.deviceReturned(); // while the box is open
        }
    } rig;
    rig.port.openError = PortError::InvalidPort;
    rig.MenuConnect_Click(QStringLiteral("5"));
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("端口无效！！！")});
    EXPECT_EQ(rig.link.state(), LinkState::Connecting);
    EXPECT_EQ(rig.frames(), std::vector<std::vector<std::uint8_t>>{kConnectFrame});
    EXPECT_FALSE(rig.link.watching());
}

TEST(LinkWatch, NoWatchAfterAGiveUpOrAFailedWriteWithTheDeviceThere)
{
    LinkRig gaveUp;
    gaveUp.MenuConnect_Click(QStringLiteral("5"));
    gaveUp.tick(1900);
    EXPECT_FALSE(gaveUp.link.watching());
    EXPECT_FALSE(gaveUp.port.watching);

    LinkRig refused;
    refused.MenuConnect_Click(QStringLiteral("5"));
    refused.goOnline();
    refused.port.writeError = PortError::DeviceLost;
    refused.tx.issue(32, 40);
    EXPECT_EQ(refused.messages, QStringList{QStringLiteral("数据发送失败！！！")});
    EXPECT_FALSE(refused.link.watching());
    EXPECT_FALSE(refused.port.watching);
}

} // namespace
} // namespace qj
