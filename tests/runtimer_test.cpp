// RunTimer sleeps while a tick would do nothing and wakes for a byte or a transmission.
#include "app/form1.h"
#include "link/serialport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "pty.h"

#include <QAction>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>

namespace qj {
namespace {

using test::Pty;
using test::spin;

struct RunTimerTest : ::testing::Test
{
    Pty pty;
    std::unique_ptr<Form1> form;
    QStringList messages;

    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        form = std::make_unique<Form1>();
        form->setMessagePresenter([this](const QString &t) { messages << t; });
        form->serialPort()->bindings().bind(5, QString::fromStdString(pty.path()));
    }
    bool asleep() { return form->tickAsleep() && !form->runTimer().isActive(); }
    // Turns the event loop until `done` holds (true) or 10 s pass (false).
    static bool waitFor(const std::function<bool()> &done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000)
            spin(2);
        return done();
    }
};

TEST_F(RunTimerTest, SleepsWhenIdleAndWakesForBytesAndCommands)
{
    EXPECT_TRUE(waitFor([&] { return asleep(); })); // start-up left nothing to do

    form->menu().action(MenuEntry::Connect)->trigger();
    EXPECT_FALSE(asleep()); // the connect command waits for its acknowledgement
    EXPECT_EQ(pty.read(4), (std::vector<std::uint8_t>{0xAA, 0x00, 0x01, 0x54}));
    pty.write({0xAA});
    EXPECT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }));
    EXPECT_TRUE(waitFor([&] { return asleep(); }));

    // A report arriving while asleep is decoded and answered as on a running tick.
    pty.write({0xAA, 0x24, 0x1E, 0x13}); // background level 30: completes the connection
    EXPECT_EQ(pty.read(1, 500), std::vector<std::uint8_t>{0xAA});
    EXPECT_TRUE(form->view().mute()->isEnabled());
    EXPECT_TRUE(waitFor([&] { return asleep(); }));

    // An unanswered command keeps it awake through every resend to the give-up.
    form->view().slider(wire::kMusicVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_FALSE(asleep());
    std::vector<std::uint8_t> sent = pty.read(40, 10000);
    EXPECT_EQ(sent.size(), 40u);
    // The give-up comes 200 ticks after the tenth frame.
    EXPECT_TRUE(waitFor([&] { return !messages.isEmpty(); }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
    EXPECT_TRUE(waitFor([&] { return asleep(); }));
}

TEST_F(RunTimerTest, ATimerStoppedFromOutsideStaysStopped)
{
    form->runTimer().stop();
    form->menu().action(MenuEntry::Connect)->trigger();
    spin(30);
    EXPECT_FALSE(form->runTimer().isActive());
    EXPECT_EQ(form->link().command().ReplyTicks, 100); // nobody ticked
}

} // namespace
} // namespace qj
