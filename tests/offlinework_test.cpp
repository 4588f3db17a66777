// Settings changed while offline: kept when the panel connects, and after the processor's
// reports the user is asked once whether to send them or keep the processor's.
#include "app/menuactions.h"
#include "menufixture.h"
#include "params/offlinedefaults.h"

#include <QAbstractSlider>

namespace qj {
namespace {

using test::Bytes;

struct OfflineWorkTest : test::MenuFixture
{
    // The processor's settings: the offline ones, with a louder music and the other surround.
    Preset processor = [] {
        Preset p = offlinePreset();
        p.values[wire::kMusicVolume] = 44;
        p.values[24] = 1; // the report selects "L-R", the program's change and not the user's
        return p;
    }();

    void SetUp() override
    {
        MenuFixture::SetUp();
        port.open = false; // closed as after start-up
    }

    // The connect entry (or the lost device back), then the processor: it takes the connect
    // command and reports every setting, each answered by the panel.
    void connectAndReport(bool byItself = false)
    {
        if (byItself)
            form->link().deviceReturned();
        else
            choose(MenuEntry::Connect);
        port.arrive({0xAA});
        run(2);
        for (int id = 0; id < kParameterCount; ++id) {
            const int value = inPreset(id) ? processor.values[std::size_t(id)] : 0;
            const Bytes frame = test::frameOf(id, value);
            port.received.insert(port.received.end(), frame.begin(), frame.end());
            run(2);
        }
        ASSERT_TRUE(form->link().online());
    }
    // Waits for the question (it comes once the line has been quiet a moment).
    bool asked()
    {
        return QTest::qWaitFor([&] { return dialogs->asked.contains(QStringLiteral("offline")); },
                               2000);
    }
    bool stillWaiting() { return form->menuActions().offlineWork().waiting(); }
    // Whether the panel shows `preset` (the settings the processor receives; the limits are the
    // processor's, the rest of the array means nothing).
    bool shows(const Preset &preset)
    {
        const Preset now = shown();
        for (const int id : presetIds())
            if (parameter(id).kind != ControlKind::Spinner &&
                now.values[std::size_t(id)] != preset.values[std::size_t(id)])
                return false;
        return true;
    }
    void disconnect()
    {
        choose(MenuEntry::Offline);
        dialogs->asked.clear();
        port.writes.clear();
    }
};

TEST_F(OfflineWorkTest, EachKindOfChangeOfflineIsAskedAboutOnceAndKeepingIsTheDefault)
{
    const QString presetPath = file("far.json");
    test::writeFile(presetPath, writePreset(test::farPreset()));
    // Work is what differs from the offline panel, and it is asked about only where it differs
    // from what the processor reported: this processor selects "L-R" already, and the reset
    // brings back the offline panel itself.
    const struct
    {
        const char *what;
        std::function<void()> change;
        bool asked = true;
    } changes[] = {
        {"a slider", [&] { slider("MicVolume")->triggerAction(QAbstractSlider::SliderToMinimum); }},
        {"a button", [&] { click(QStringLiteral("EchoMode_2")); }},
        {"a check box",
         [&] { QTest::mouseClick(view().checkBox(Control::SuperBass), Qt::LeftButton); }},
        {"an option",
         [&] { QTest::mouseClick(view().option(Control::SurroundMode2), Qt::LeftButton); }, false},
        {"a preset opened",
         [&] {
             dialogs->openPath = presetPath;
             choose(MenuEntry::OpenFile);
         }},
        {"the reset",
         [&] {
             dialogs->resetConfirmed = true;
             choose(MenuEntry::Reset);
         },
         false},
    };
    for (const auto &c : changes) {
        c.change();
        dialogs->asked.clear();
        const Preset made = shown();
        connectAndReport();
        if (c.asked) {
            EXPECT_EQ(form->menuActions().offlineWork().kept(), made) << c.what;
        }
        // Not while the reports come: only once the line has been quiet a moment.
        EXPECT_TRUE(dialogs->asked.isEmpty()) << c.what;
        if (c.asked) {
            EXPECT_TRUE(stillWaiting()) << c.what;
            ASSERT_TRUE(asked()) << c.what;
            EXPECT_EQ(dialogs->asked, QStringList{QStringLiteral("offline")}) << c.what;
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !stillWaiting(); }, 2000)) << c.what;
            EXPECT_TRUE(dialogs->asked.isEmpty()) << c.what;
        }
        // Kept: the panel shows the processor's settings and nothing is sent for them.
        EXPECT_TRUE(shows(processor)) << c.what;
        EXPECT_TRUE(frames().size() == 1 && frames()[0] == (Bytes{0xAA, 0x00, 0x01, 0x54}))
            << c.what;
        EXPECT_FALSE(stillWaiting()) << c.what;
        EXPECT_TRUE(messages.isEmpty()) << c.what;
        disconnect();
    }
}

TEST_F(OfflineWorkTest, NoQuestionWithoutTheUsersOfflineWork)
{
    // And one connection that ended before its question: that work is kept for the next one.
    const struct
    {
        const char *what;
        std::function<void()> before;
        bool kept = false;
    } cases[] = {
        {"nothing changed", [] {}},
        {"a limit spinner, which the processor never receives",
         [&] { QTest::keyClick(view().spinner(Control::MaxMusicVolume), Qt::Key_Down); }},
        {"the give-up of the connect command, the work kept and offered but the processor's kept",
         [&] {
             slider("MicVolume")->triggerAction(QAbstractSlider::SliderToMinimum);
             choose(MenuEntry::Connect);
             run(1900); // unanswered: the panel's own return to its design-time state
             ASSERT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
             messages.clear();
             port.open = false;
         },
         true},
        {"a lost device, changes made online before",
         [&] {
             connectAndReport();
             ASSERT_TRUE(QTest::qWaitFor([&] { return !stillWaiting(); }, 2000));
             slider("MicVolume")->triggerAction(QAbstractSlider::SliderToMinimum); // sent
             port.open = false;
             form->link().deviceLost();
             ASSERT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
             messages.clear();
             form->link().disconnect(); // end the watch; the port is ours again
         }},
    };
    for (const auto &c : cases) {
        c.before();
        dialogs->asked.clear();
        connectAndReport();
        if (c.kept) {
            EXPECT_TRUE(form->menuActions().offlineWork().kept().has_value());
            ASSERT_TRUE(asked());
            disconnect();
            continue;
        }
        EXPECT_FALSE(form->menuActions().offlineWork().kept().has_value()) << c.what;
        EXPECT_FALSE(stillWaiting()) << c.what; // so no question will come
        EXPECT_TRUE(dialogs->asked.isEmpty()) << c.what;
        EXPECT_EQ(shown().values[wire::kMusicVolume], 44) << c.what;
        disconnect();
    }
}

TEST_F(OfflineWorkTest, SendingPushesThePanelsSettingsOneCommandAtATime)
{
    const Preset far = test::farPreset();
    const QString path = file("far.json");
    test::writeFile(path, writePreset(far));
    dialogs->openPath = path;
    choose(MenuEntry::OpenFile);
    dialogs->sendOffline = true;
    connectAndReport();
    ASSERT_TRUE(asked());
    ASSERT_TRUE(form->menuActions().presets().pushing());
    const std::vector<Bytes> sent = acknowledgeAll();
    std::vector<Bytes> wanted;
    for (const auto &[id, value] : presetChanges(processor, far))
        wanted.push_back(test::frameFor(id, value));
    EXPECT_EQ(sent, wanted);
    EXPECT_TRUE(shows(far));
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OfflineWorkTest, ADeviceLostWhileAskedKeepsTheWorkOnThePanelForTheNextConnection)
{
    const Preset far = test::farPreset();
    const QString path = file("far.json");
    test::writeFile(path, writePreset(far));
    dialogs->openPath = path;
    choose(MenuEntry::OpenFile);
    dialogs->sendOffline = true;
    dialogs->whileAsked = [&] {
        port.open = false;
        form->link().deviceLost();
    };
    connectAndReport();
    ASSERT_TRUE(asked());
    EXPECT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
    EXPECT_TRUE(shows(far)); // not lost: back on the panel
    EXPECT_TRUE(form->menuActions().offlineWork().changed());
    EXPECT_EQ(frames().size(), 1u); // the connect command alone
    ASSERT_TRUE(form->link().watching());

    // The device back: the work is kept again and offered again.
    dialogs->whileAsked = nullptr;
    dialogs->sendOffline = false;
    dialogs->asked.clear();
    connectAndReport(true);
    EXPECT_TRUE(form->menuActions().offlineWork().kept().has_value());
    EXPECT_TRUE(asked());
}

} // namespace
} // namespace qj
