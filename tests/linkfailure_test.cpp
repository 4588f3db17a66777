// Failures in the middle of other work, on the window's own serial port and a real
// pseudo-terminal: a loss noticed inside the send procedure, and a connect naming another
// number than the port open in the panel.
#include "ptywindow.h"

namespace qj {
namespace {

using test::Bytes;
using test::kConnectFrame;
using test::Pty;
using test::spin;
using test::waitFor;

using LinkFailureTest = test::PtyWindow;

TEST_F(LinkFailureTest, ALossNoticedWhileSendingLeavesTheCommandStateClear)
{
    ASSERT_TRUE(pty.ok());
    bind(5, pty);
    connect(QStringLiteral("5"));
    ASSERT_EQ(pty.read(4), kConnectFrame);
    pty.write({0xAA});
    ASSERT_TRUE(waitFor([&] { return cmd().CmdId == 0; }, 5000));
    pty.write({0xAA, 0x25, 0x00, 0x30}); // RunMode reports User1: online
    ASSERT_EQ(pty.read(1), Bytes{0xAA});
    ASSERT_TRUE(form.view().mute()->isEnabled());

    // The device goes while no event is handled, so the panel first hears of it when the
    // next command discards the port's queues before its frame.
    pty.closeMaster();
    form.view().slider(wire::kMusicVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
    EXPECT_EQ(cmd().CmdId, 0);
    EXPECT_EQ(cmd().CmdValue, 0);
    EXPECT_EQ(cmd().ReplyTicks, 0);
    EXPECT_EQ(cmd().RetryLeft, 0);
    EXPECT_FALSE(form.serialPort()->portOpen());
    EXPECT_EQ(form.link().state(), LinkState::Closed);
    spin(300); // nothing left to count down, resend or give up
    EXPECT_EQ(messages.size(), 1);
}

// After a failed connect on 5, the user types 6: the panel talks to the device named.
TEST_F(LinkFailureTest, ConnectingWithAnotherNumberLeavesTheOldDeviceAlone)
{
    Pty five, six;
    ASSERT_TRUE(five.ok() && six.ok());
    bind(5, five);
    bind(6, six);

    connect(QStringLiteral("5"));
    ASSERT_EQ(five.read(40, 10000).size(), 40u); // ten transmissions, unanswered
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 5000));
    ASSERT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
    ASSERT_TRUE(form.serialPort()->portOpen()); // the give-up leaves the port open
    messages.clear();

    // A valid other number: port 5 closes, 6 opens and gets the connect command.
    connect(QStringLiteral("6"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(form.serialPort()->commPort(), 6);
    EXPECT_TRUE(form.serialPort()->portOpen());
    EXPECT_EQ(form.link().state(), LinkState::Connecting);
    EXPECT_EQ(six.read(4), kConnectFrame);
    six.write({0xAA});
    ASSERT_TRUE(waitFor([&] { return cmd().CmdId == 0; }, 5000));
    EXPECT_TRUE(five.read(4, 400).empty()); // nothing of 5's schedule lives on
    six.read(64, 50);                       // a resend that crossed the acknowledgement

    // An invalid number while 6 is open: the message, and nothing else.
    connect(QStringLiteral("0"));
    EXPECT_EQ(messages, QStringList{QStringLiteral("端口无效！！！")});
    EXPECT_EQ(form.serialPort()->commPort(), 6);
    EXPECT_TRUE(form.serialPort()->portOpen());
    EXPECT_EQ(cmd().CmdId, 0);
    EXPECT_TRUE(six.read(4, 300).empty());
    messages.clear();

    // The same number while its port is open: the message, then the connect command again.
    connect(QStringLiteral("6"));
    EXPECT_EQ(messages, QStringList{QStringLiteral("端口已打开！！！")});
    EXPECT_EQ(six.read(4), kConnectFrame);
    EXPECT_TRUE(five.read(4, 100).empty());
}

// A valid other number whose device cannot be opened: the old port closes all the same, and
// connecting is offered again on a closed port.
TEST_F(LinkFailureTest, AnotherNumberThatDoesNotOpenLeavesThePortClosed)
{
    Pty five;
    ASSERT_TRUE(five.ok());
    bind(5, five);
    form.serialPort()->bindings().bind(7, QStringLiteral("/dev/qj-no-such-device"));
    connect(QStringLiteral("5"));
    ASSERT_EQ(five.read(4), kConnectFrame);

    connect(QStringLiteral("7"));
    EXPECT_EQ(messages, QStringList{QStringLiteral("端口无效！！！")});
    EXPECT_FALSE(form.serialPort()->portOpen());
    EXPECT_EQ(form.link().state(), LinkState::Closed);
    EXPECT_TRUE(form.menu().action(MenuEntry::Connect)->isEnabled());
    EXPECT_EQ(cmd().CmdId, 0);
    EXPECT_TRUE(five.read(4, 400).empty()); // no resend of 5's connect command anywhere
    EXPECT_EQ(messages.size(), 1);          // nor a give-up
}

} // namespace
} // namespace qj
