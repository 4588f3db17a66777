#include "formfixture.h"

#include <QToolButton>

namespace qj {
namespace {

using test::Bytes;
using test::FormFixture;
using test::frameOf;

struct ControlsTest : FormFixture
{
    QColor colour(const QString &name)
    {
        return find<CommandButton>(name)->palette().color(QPalette::Button);
    }
    ButtonColour lit(const QString &name) { return find<CommandButton>(name)->backColour(); }

    // Every button of `group` in button face except `index`, which shows `colour`.
    void expectLit(const char *group, int count, int index, ButtonColour colour)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(group)).arg(i);
            EXPECT_EQ(lit(name), i == index ? colour : ButtonColour::Face) << qPrintable(name);
        }
    }

    void expectPending(int cmdId, int value)
    {
        EXPECT_EQ(cmd().CmdId, cmdId);
        EXPECT_EQ(cmd().CmdValue, value);
        EXPECT_EQ(cmd().ReplyTicks, 100);
        EXPECT_EQ(cmd().RetryLeft, 10);
    }

    SpinButton *spinner(const char *name) { return find<SpinButton>(QString::fromLatin1(name)); }
    void clickArrow(const char *name, bool up, int times = 1)
    {
        SpinButton *s = spinner(name);
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(up ? s->upArrow() : s->downArrow(), Qt::LeftButton);
    }
};

struct OnlineTest : ControlsTest
{
    void SetUp() override
    {
        ControlsTest::SetUp();
        goOnline();
    }
};

TEST_F(OnlineTest, GroupClicksLightTheirButtonAndSendTheirFrame)
{
    const struct
    {
        const char *group;
        int count, index;
        Bytes frame;
        ButtonColour colour;
    } cases[] = {
        {"MusicSelect", 6, 5, {0xAA, 0x1A, 0x08, 0x33}, ButtonColour::Red}, // "Auto" sends 8
        {"MusicSelect", 6, 0, {0xAA, 0x1A, 0x00, 0x3B}, ButtonColour::Red},
        {"MusicSelect", 6, 3, {0xAA, 0x1A, 0x03, 0x38}, ButtonColour::Red},
        {"MusicPitch", 11, 5, {0xAA, 0x12, 0x05, 0x3E}, ButtonColour::Green},
        {"MusicPitch", 11, 10, {0xAA, 0x12, 0x0A, 0x39}, ButtonColour::Red},
        {"EchoMode", 4, 3, {0xAA, 0x0C, 0x03, 0x46}, ButtonColour::Red},
        {"RunMode", 5, 0, {0xAA, 0x25, 0x00, 0x30}, ButtonColour::Red},
        {"MusicVocal", 4, 3, {0xAA, 0x13, 0x03, 0x3F}, ButtonColour::Red},
        {"FeedbackClass", 4, 2, {0xAA, 0x0D, 0x02, 0x46}, ButtonColour::Red},
        {"KaraokeMode", 6, 5, {0xAA, 0x1B, 0x05, 0x35}, ButtonColour::Red},
    };
    for (const auto &c : cases) {
        const std::size_t before = port.writes.size();
        click(QStringLiteral("%1_%2").arg(QLatin1String(c.group)).arg(c.index));
        ASSERT_EQ(port.writes.size(), before + 1) << c.group << c.index;
        EXPECT_EQ(port.writes.back(), c.frame) << c.group << c.index;
        expectLit(c.group, c.count, c.index, c.colour);
        expectPending(c.frame[1] + 1, c.frame[2]);
    }
}

TEST_F(OnlineTest, SaveSlotsOnlyMark)
{
    click(QStringLiteral("SaveMode_2"));
    expectLit("SaveMode", 5, 2, ButtonColour::Red);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(cmd().CmdId, 0);
}

TEST_F(OnlineTest, MuteTogglesAndWaitsForTheAcknowledgement)
{
    click(QStringLiteral("Mute"));
    EXPECT_EQ(view().mute()->backColour(), ButtonColour::Red);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0xAA, 0x00, 0x0A, 0x4B}}));
    expectPending(1, 10);

    click(QStringLiteral("Mute")); // still waiting: nothing at all
    EXPECT_EQ(view().mute()->backColour(), ButtonColour::Red);
    EXPECT_EQ(port.writes.size(), 1u);

    acknowledge();
    click(QStringLiteral("Mute"));
    EXPECT_EQ(view().mute()->backColour(), ButtonColour::Face);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x00, 0x0A, 0x4B}));
}

TEST_F(OnlineTest, MuteDoesNothingWhileASliderCommandIsPending)
{
    key("EchoRepat", Qt::Key_Up);
    ASSERT_NE(cmd().CmdId, 0);
    click(QStringLiteral("Mute"));
    EXPECT_EQ(view().mute()->backColour(), ButtonColour::Face);
    EXPECT_EQ(port.writes.size(), 1u);
    expectPending(3, 21);
}

TEST_F(OnlineTest, CheckBoxAndOptionsSendTheirValues)
{
    click(QStringLiteral("SuperBass"));
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x16, 0x01, 0x3E}));
    click(QStringLiteral("SuperBass"));
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x16, 0x00, 0x3F}));
    QTest::keyClick(find(QStringLiteral("SuperBass")), Qt::Key_Space);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x16, 0x01, 0x3E}));

    click(QStringLiteral("SurroundMode2"));
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x18, 0x01, 0x3C}));
    EXPECT_FALSE(find<QRadioButton>(QStringLiteral("SurroundMode1"))->isChecked());
    click(QStringLiteral("SurroundMode1"));
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x18, 0x00, 0x3D}));
    const std::size_t before = port.writes.size();
    click(QStringLiteral("SurroundMode1")); // already selected: no change, no command
    EXPECT_EQ(port.writes.size(), before);
    expectPending(25, 0);
}

TEST_F(OnlineTest, ProgramChangesOfBoxAndOptionRunTheirHandlersAtOnce)
{
    // A program change raises the same handler as a click, before the change returns.
    panel().setValue(Control::SuperBass, 1);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x16, 0x01, 0x3E}));
    panel().setValue(Control::SurroundMode2, 1);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x18, 0x01, 0x3C}));
    panel().setValue(Control::SurroundMode2, 1); // the value it has: nothing
    panel().setValue(Control::SurroundMode1, 0); // an option is not cleared by itself
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(panel().value(Control::SurroundMode2), 1);

    // Disabled around the change, as a report does it: the box changes, nothing is sent.
    panel().setEnabled(Control::SuperBass, false);
    panel().setValue(Control::SuperBass, 0);
    panel().setEnabled(Control::SuperBass, true);
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(OnlineTest, ProgramSetSliderPositionsSendNothing)
{
    panel().setSliderValue(31, 5);
    panel().setSliderMax(32, 30);
    panel().setSliderValue(1, 9999); // kept within the range
    EXPECT_EQ(slider("EchoDelay")->value(), 250);
    EXPECT_EQ(slider("MusicVolume")->value(), 5);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("30")); // labels are not touched
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(cmd().CmdId, 0);
}

TEST_F(OnlineTest, AReportedCheckBoxSendsOnlyTheReply)
{
    port.arrive({0xAA, 0x16, 0x01, 0x3E}); // the processor reports SuperBass on
    tick(2);
    EXPECT_TRUE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
    EXPECT_TRUE(panel().isEnabled(Control::SuperBass));
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0xAA}}));
}

TEST_F(OnlineTest, MusicVolumeDraggedToTheTopSendsItsLimit)
{
    LevelSlider *s = slider("MusicVolume");
    const QPoint thumb = s->thumbRect().center();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, thumb);
    for (int y = thumb.y() - 15; y > -20; y -= 15)
        QTest::mouseMove(s, QPoint(thumb.x(), y));
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.x(), -20));

    ASSERT_GE(port.writes.size(), 3u); // one command per step of the drag
    for (std::size_t i = 1; i < port.writes.size(); ++i)
        EXPECT_GT(port.writes[i][2], port.writes[i - 1][2]); // rising toward the top
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x1F, 0x3E, 0xF8}));
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("62"));
    EXPECT_EQ(s->tipText(), QStringLiteral("62"));
    EXPECT_EQ(s->value(), 0);
    expectPending(32, 62);

    key("MusicVolume", Qt::Key_End);
    key("MusicVolume", Qt::Key_Home);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA, 0x1F, 0x3E, 0xF8}));
}

TEST_F(OnlineTest, EverySliderShowsAndSendsBothEndsOfItsRange)
{
    const struct
    {
        const char *name;
        int wireId;
        const char *top;
        int topValue;
        const char *bottom;
        int bottomValue;
    } cases[] = {
        {"EchoDelay", 1, "250", 250, "0", 0},
        {"EchoRepat", 2, "40", 40, "0", 0},
        {"ReverbTime", 3, "40", 40, "0", 0},
        {"ReverbVolume", 4, "40", 40, "0", 0},
        {"EffectVolume", 5, "40", 40, "0", 0},
        {"MicEQ100Hz", 6, "+10dB", 20, "-10dB", 0},
        {"MicEQ300Hz", 7, "+10dB", 20, "-10dB", 0},
        {"MicEQ900Hz", 8, "+10dB", 20, "-10dB", 0},
        {"MicEQ2k7Hz", 9, "+10dB", 20, "-10dB", 0},
        {"MicEQ8kHz", 10, "+10dB", 20, "-10dB", 0},
        {"MicExciter", 11, "40", 40, "0", 0},
        {"FeedbackTime", 14, "120ms", 120, "80ms", 80},
        {"MusicTreble", 15, "+10dB", 20, "-10dB", 0},
        {"MusicMid", 16, "+10dB", 20, "-10dB", 0},
        {"MusicBass", 17, "+10dB", 20, "-10dB", 0},
        {"SubwoofLpf", 20, "160Hz", 160, "40Hz", 40},
        {"MusicBalance", 21, "+10dB", 20, "+10dB", 0},
        {"MicNoiseGate", 23, "40", 40, "0", 0},
        {"SingSubwoofVolume", 25, "20", 20, "0", 0},
        {"MusicVolume", 31, "62", 62, "0", 0},
        {"MicVolume", 32, "42", 42, "0", 0},
        {"SurroundVolume", 33, "20", 20, "0", 0},
        {"CenterVolume", 34, "20", 20, "0", 0},
        {"SubwoofVolume", 35, "20", 20, "0", 0},
        {"BgmVolume", 36, "62", 62, "0", 0},
    };
    for (const auto &c : cases) {
        const std::string display = std::string(c.name) + "Display";
        LevelSlider *s = slider(c.name);
        panel().setSliderValue(c.wireId, (s->minimum() + s->maximum()) / 2); // off both ends
        key(c.name, Qt::Key_Home);
        EXPECT_EQ(caption(display.c_str()), QString::fromLatin1(c.top)) << c.name;
        EXPECT_EQ(slider(c.name)->tipText(), QString::fromLatin1(c.top)) << c.name;
        EXPECT_EQ(port.writes.back(), frameOf(c.wireId, c.topValue)) << c.name;
        key(c.name, Qt::Key_End);
        EXPECT_EQ(caption(display.c_str()), QString::fromLatin1(c.bottom)) << c.name;
        EXPECT_EQ(slider(c.name)->tipText(), QString::fromLatin1(c.bottom)) << c.name;
        EXPECT_EQ(port.writes.back(), frameOf(c.wireId, c.bottomValue)) << c.name;
        expectPending(c.wireId + 1, c.bottomValue);
    }
    EXPECT_EQ(port.writes.size(), 50u);
}

TEST_F(OnlineTest, ASecondMoveLeavesOnlyTheNewCommandPending)
{
    key("MusicVolume", Qt::Key_Home);
    tick(40);
    EXPECT_EQ(cmd().ReplyTicks, 60);
    key("EchoDelay", Qt::Key_End);
    expectPending(2, 0);
    tick(100); // the wait runs out: only the new command is repeated
    ASSERT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(port.writes[2], (Bytes{0xAA, 0x01, 0x00, 0x54}));
    acknowledge();
    EXPECT_EQ(cmd().CmdId, 0);
}

TEST_F(ControlsTest, OfflineMovesChangeOnlyThePanel)
{
    cmd().CmdId = 7; // whatever the command state holds, it stays
    cmd().CmdValue = 3;
    cmd().ReplyTicks = 33;
    cmd().RetryLeft = 4;
    key("EchoDelay", Qt::Key_Home);
    EXPECT_EQ(caption("EchoDelayDisplay"), QStringLiteral("250"));
    EXPECT_EQ(slider("EchoDelay")->tipText(), QStringLiteral("250"));
    key("MicEQ8kHz", Qt::Key_Down);
    EXPECT_EQ(caption("MicEQ8kHzDisplay"), QStringLiteral("-1dB"));
    click(QStringLiteral("EchoMode_3"));
    expectLit("EchoMode", 4, 3, ButtonColour::Red);
    click(QStringLiteral("SuperBass"));
    EXPECT_TRUE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
    click(QStringLiteral("SurroundMode2"));
    EXPECT_TRUE(find<QRadioButton>(QStringLiteral("SurroundMode2"))->isChecked());

    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(cmd().CmdId, 7);
    EXPECT_EQ(cmd().CmdValue, 3);
    EXPECT_EQ(cmd().ReplyTicks, 33);
    EXPECT_EQ(cmd().RetryLeft, 4);
}

TEST_F(ControlsTest, RunModeOfflineDoesNothingAtAll)
{
    click(QStringLiteral("RunMode_1"));
    expectLit("RunMode", 5, -1, ButtonColour::Red);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ControlsTest, LoweringAndRaisingTheMicrophoneLimit)
{
    for (int i = 0; i < 5; ++i)
        key("MicVolume", Qt::Key_Up); // offline: 30 -> 35
    ASSERT_EQ(caption("MicVolumeDisplay"), QStringLiteral("35"));
    ASSERT_EQ(slider("MicVolume")->value(), 7);
    goOnline();

    clickArrow("MaxMicVolume", false, 12);
    EXPECT_EQ(caption("MaxMicVolumeDisplay"), QStringLiteral("30"));
    EXPECT_EQ(slider("MicVolume")->maximum(), 30);
    EXPECT_EQ(caption("MicVolumeDisplay"), QStringLiteral("30"));
    EXPECT_EQ(slider("MicVolume")->value(), 0);

    clickArrow("MaxMicVolume", true);
    EXPECT_EQ(caption("MaxMicVolumeDisplay"), QStringLiteral("31"));
    EXPECT_EQ(slider("MicVolume")->maximum(), 31);
    EXPECT_EQ(caption("MicVolumeDisplay"), QStringLiteral("30"));
    EXPECT_EQ(slider("MicVolume")->value(), 1);

    QTest::keyClick(spinner("MaxMicVolume"), Qt::Key_Down); // the keyboard steps it too
    EXPECT_EQ(caption("MaxMicVolumeDisplay"), QStringLiteral("30"));
    EXPECT_EQ(slider("MicVolume")->maximum(), 30);
    EXPECT_EQ(slider("MicVolume")->value(), 0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(cmd().CmdId, 0);
}

TEST_F(ControlsTest, MusicLimitLoweredStepByStepBelowTheLevel)
{
    for (int i = 0; i < 10; ++i)
        key("MusicVolume", Qt::Key_Down); // 30 -> 20
    ASSERT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("20"));
    clickArrow("MaxMusicVolume", false, 37); // 62 -> 25
    EXPECT_EQ(slider("MusicVolume")->maximum(), 25);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("20"));
    EXPECT_EQ(slider("MusicVolume")->value(), 5);

    clickArrow("MaxMusicVolume", false, 30); // stops at 1
    EXPECT_EQ(spinner("MaxMusicVolume")->value(), 1);
    EXPECT_EQ(caption("MaxMusicVolumeDisplay"), QStringLiteral("1"));
    EXPECT_EQ(slider("MusicVolume")->maximum(), 1);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("1"));
    EXPECT_EQ(slider("MusicVolume")->value(), 0);
    key("MusicVolume", Qt::Key_End);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("0"));
    key("MusicVolume", Qt::Key_Home);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("1"));
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ControlsTest, AHeldArrowKeepsTheSliderInStep)
{
    std::vector<int> seen; // the slider's Max at every change the handler saw
    QObject::connect(spinner("MaxMusicVolume"), &SpinButton::changed,
                     [&] { seen.push_back(slider("MusicVolume")->maximum()); });
    SpinButton *s = spinner("MaxMusicVolume");
    QTest::mousePress(s->downArrow(), Qt::LeftButton);
    // The press and three auto-repeats, however late a busy machine delivers them.
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 4; }, 10000));
    QTest::mouseRelease(s->downArrow(), Qt::LeftButton);
    EXPECT_GE(seen.size(), 4u);
    EXPECT_EQ(s->value(), 62 - static_cast<int>(seen.size()));
    EXPECT_EQ(slider("MusicVolume")->maximum(), s->value());
    EXPECT_EQ(caption("MaxMusicVolumeDisplay"), QString::number(s->value()));
}

TEST_F(OnlineTest, NoFrameEverCarriesTheReportedOnlyLimits)
{
    for (LevelSlider *s : view().findChildren<LevelSlider *>())
        for (Qt::Key k : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up})
            QTest::keyClick(s, k);
    for (CommandButton *b : view().findChildren<CommandButton *>()) {
        if (b->isVisible())
            QTest::mouseClick(b, Qt::LeftButton);
        acknowledge(); // lets Mute take its turn
    }
    for (const char *name : {"SuperBass", "SurroundMode2", "SurroundMode1", "SuperBass"})
        click(QString::fromLatin1(name));
    for (const char *name : {"MaxMusicVolume", "MaxMicVolume"}) {
        clickArrow(name, false, 50);
        clickArrow(name, true, 70);
        QTest::keyClick(spinner(name), Qt::Key_Down);
    }
    ASSERT_GT(port.writes.size(), 100u);
    for (const Bytes &w : port.writes) {
        ASSERT_EQ(w.size(), 4u);
        EXPECT_NE(w[1], 29);
        EXPECT_NE(w[1], 30);
        EXPECT_EQ((w[0] + w[1] + w[2] + w[3]) & 0xFF, 0xFF);
    }
}

} // namespace
} // namespace qj
