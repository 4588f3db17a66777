#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;
using Bytes = std::vector<std::uint8_t>;

Bytes frameOf(int wireId, int value)
{
    const frame::Frame f = frame::make(std::uint8_t(wireId), std::uint8_t(value));
    return {f.begin(), f.end()};
}

TEST(SliderHandler, EverySliderAtBothEndsOfItsTrack)
{
    for (const Parameter &p : parameters()) {
        if (p.kind != ControlKind::Slider)
            continue;
        LinkRig rig;
        rig.goOnline();
        // Top of the track (Value = Min) is the largest value, the bottom the smallest.
        for (const auto &[value, shown] : {std::pair{p.min, p.max}, std::pair{p.max, p.min}}) {
            rig.panel.setSliderValue(p.wireId, value);
            rig.sliders.Scroll(p.wireId);
            const QString text = labelText(p.style, shown);
            EXPECT_EQ(rig.panel.displayCaption(p.wireId), text) << p.control;
            EXPECT_EQ(rig.panel.sliderTip(p.wireId), text) << p.control;
            EXPECT_EQ(rig.frames().back(), frameOf(p.wireId, shown)) << p.control;
            EXPECT_EQ(rig.cmd.CmdId, p.cmdId());
        }
    }
}

TEST(SliderHandler, WorkedFramesAndTexts)
{
    struct Case
    {
        int wireId, value;
        const char *text;
        Bytes frame;
    } cases[] = {
        {31, 0, "62", {0xAA, 0x1F, 0x3E, 0xF8}},  {31, 62, "0", {0xAA, 0x1F, 0x00, 0x36}},
        {6, 10, "0dB", {0xAA, 0x06, 0x0A, 0x45}}, {21, 7, "+3dB", frameOf(21, 13)},
        {21, 13, "+3dB", frameOf(21, 7)},         {20, 40, "160Hz", frameOf(20, 160)},
        {20, 160, "40Hz", frameOf(20, 40)},       {14, 80, "120ms", frameOf(14, 120)},
        {14, 120, "80ms", frameOf(14, 80)},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        rig.goOnline();
        rig.panel.setSliderValue(c.wireId, c.value);
        rig.sliders.Scroll(c.wireId);
        EXPECT_EQ(rig.panel.displayCaption(c.wireId), QString::fromLatin1(c.text));
        EXPECT_EQ(rig.frames().back(), c.frame) << c.text;
    }
}

TEST(SliderHandler, OfflineMovesChangeOnlyThePanel)
{
    LinkRig rig;
    rig.port.open = true;
    rig.cmd.CmdId = 9;
    rig.cmd.CmdValue = 3;
    rig.cmd.ReplyTicks = 44;
    rig.cmd.RetryLeft = 6;
    rig.panel.setSliderValue(31, 20);
    rig.sliders.Scroll(31);
    EXPECT_EQ(rig.panel.displayCaption(31), QStringLiteral("42"));
    EXPECT_EQ(rig.panel.sliderTip(31), QStringLiteral("42"));
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.cmd.CmdId, 9);
    EXPECT_EQ(rig.cmd.CmdValue, 3);
    EXPECT_EQ(rig.cmd.ReplyTicks, 44);
    EXPECT_EQ(rig.cmd.RetryLeft, 6);
}

TEST(SliderHandler, ALoweredLimitBoundsTheLevelSent)
{
    LinkRig rig;
    rig.goOnline();
    rig.panel.setValue(Control::MaxMicVolume, 30);
    rig.panel.setSliderValue(32, 0);
    rig.sliders.Scroll(32);
    EXPECT_EQ(rig.panel.displayCaption(32), QStringLiteral("30"));
    EXPECT_EQ(rig.frames().back(), frameOf(32, 30));
}

TEST(ButtonHandler, GroupClicksLightAndSend)
{
    struct Case
    {
        Group group;
        int index;
        ButtonColour colour;
        Bytes frame; // empty: nothing sent
    } cases[] = {
        {Group::MusicSelect, 5, ButtonColour::Red, {0xAA, 0x1A, 0x08, 0x33}},
        {Group::MusicSelect, 0, ButtonColour::Red, frameOf(26, 0)},
        {Group::MusicPitch, 5, ButtonColour::Green, {0xAA, 0x12, 0x05, 0x3E}},
        {Group::MusicPitch, 10, ButtonColour::Red, {0xAA, 0x12, 0x0A, 0x39}},
        {Group::EchoMode, 3, ButtonColour::Red, {0xAA, 0x0C, 0x03, 0x46}},
        {Group::RunMode, 0, ButtonColour::Red, {0xAA, 0x25, 0x00, 0x30}},
        {Group::FeedbackClass, 2, ButtonColour::Red, frameOf(13, 2)},
        {Group::KaraokeMode, 4, ButtonColour::Red, frameOf(27, 4)},
        {Group::MusicVocal, 3, ButtonColour::Red, frameOf(19, 3)},
        {Group::SaveMode, 2, ButtonColour::Red, {}},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        rig.goOnline();
        rig.buttons.GroupClick(c.group, c.index);
        const ButtonGroup &g = buttonGroup(c.group);
        for (int i = 0; i < g.count; ++i)
            EXPECT_EQ(rig.panel.buttonColour(c.group, i),
                      i == c.index ? c.colour : ButtonColour::Face)
                << g.name << " " << i;
        const std::vector<Bytes> expected =
            c.frame.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{c.frame};
        EXPECT_EQ(rig.frames(), expected) << g.name;
    }
}

TEST(ButtonHandler, OfflineGroupsOnlyLightAndRunModeDoesNothing)
{
    LinkRig rig;
    rig.port.open = true;
    rig.buttons.GroupClick(Group::EchoMode, 3);
    EXPECT_EQ(rig.panel.buttonColour(Group::EchoMode, 3), ButtonColour::Red);
    EXPECT_EQ(rig.panel.buttonColour(Group::EchoMode, 0), ButtonColour::Face);
    rig.buttons.GroupClick(Group::RunMode, 0);
    EXPECT_EQ(rig.panel.buttonColour(Group::RunMode, 0), ButtonColour::Face);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.cmd.CmdId, 0);
}

TEST(ButtonHandler, MuteTogglesAndWaitsItsTurn)
{
    LinkRig rig;
    rig.goOnline();
    rig.buttons.Mute_Click();
    EXPECT_EQ(rig.panel.muteColour(), ButtonColour::Red);
    EXPECT_EQ(rig.frames(), (std::vector<Bytes>{{0xAA, 0x00, 0x0A, 0x4B}}));
    rig.buttons.Mute_Click(); // still pending: nothing at all
    EXPECT_EQ(rig.panel.muteColour(), ButtonColour::Red);
    EXPECT_EQ(rig.frames().size(), 1u);
    rig.port.arrive({0xAA});
    rig.tick();
    rig.buttons.Mute_Click();
    EXPECT_EQ(rig.panel.muteColour(), ButtonColour::Face);
    EXPECT_EQ(rig.frames().size(), 2u);
    EXPECT_EQ(rig.frames().back(), (Bytes{0xAA, 0x00, 0x0A, 0x4B}));
}

TEST(ButtonHandler, CheckBoxesAndOptionsSendOnlyWhenThemselvesEnabled)
{
    LinkRig rig;
    rig.goOnline();
    rig.panel.setValue(Control::SuperBass, 1);
    rig.panel.setValue(Control::SuperBass, 0);
    rig.panel.setValue(Control::SurroundMode2, 1);
    rig.panel.setValue(Control::SurroundMode1, 1);
    const std::vector<Bytes> expected{{0xAA, 0x16, 0x01, 0x3E},
                                      {0xAA, 0x16, 0x00, 0x3F},
                                      {0xAA, 0x18, 0x01, 0x3C},
                                      {0xAA, 0x18, 0x00, 0x3D}};
    EXPECT_EQ(rig.frames(), expected);
    rig.panel.setEnabled(Control::SuperBass, false);
    rig.panel.setValue(Control::SuperBass, 1);
    EXPECT_EQ(rig.frames().size(), 4u);
}

TEST(ButtonHandler, ASecondChangeWhilePendingLeavesOnlyTheNewCommand)
{
    LinkRig rig;
    rig.goOnline();
    rig.panel.setSliderValue(31, 10);
    rig.sliders.Scroll(31);
    rig.tick(40);
    rig.buttons.GroupClick(Group::EchoMode, 2);
    EXPECT_EQ(rig.cmd.CmdId, 13);
    EXPECT_EQ(rig.cmd.CmdValue, 2);
    EXPECT_EQ(rig.cmd.ReplyTicks, 100);
    EXPECT_EQ(rig.cmd.RetryLeft, 10);
    rig.tick(100);
    EXPECT_EQ(rig.frames().back(), frameOf(12, 2)); // the resend repeats the new one
}

TEST(SpinnerHandler, LoweringAndRaisingALimit)
{
    LinkRig rig;
    rig.panel.setSliderValue(32, 7);
    rig.panel.setDisplayCaption(32, QStringLiteral("35"));
    rig.panel.setValue(Control::MaxMicVolume, 30);
    EXPECT_EQ(rig.panel.displayCaption(30), QStringLiteral("30"));
    EXPECT_EQ(rig.panel.sliderMax(32), 30);
    EXPECT_EQ(rig.panel.displayCaption(32), QStringLiteral("30"));
    EXPECT_EQ(rig.panel.sliderValue(32), 0);
    rig.panel.setValue(Control::MaxMicVolume, 31);
    EXPECT_EQ(rig.panel.displayCaption(30), QStringLiteral("31"));
    EXPECT_EQ(rig.panel.sliderMax(32), 31);
    EXPECT_EQ(rig.panel.displayCaption(32), QStringLiteral("30"));
    EXPECT_EQ(rig.panel.sliderValue(32), 1);
    EXPECT_TRUE(rig.port.writes.empty());
}

TEST(SpinnerHandler, StepByStepDownToALimitAboveTheLevel)
{
    LinkRig rig;
    rig.panel.setSliderValue(31, 42);
    rig.panel.setDisplayCaption(31, QStringLiteral("20"));
    for (int limit = 61; limit >= 25; --limit)
        rig.panel.setValue(Control::MaxMusicVolume, limit);
    EXPECT_EQ(rig.panel.sliderMax(31), 25);
    EXPECT_EQ(rig.panel.displayCaption(31), QStringLiteral("20"));
    EXPECT_EQ(rig.panel.sliderValue(31), 5);
}

TEST(SpinnerHandler, ALimitOfOne)
{
    LinkRig rig;
    rig.panel.setValue(Control::MaxMusicVolume, 1);
    EXPECT_EQ(rig.panel.sliderMax(31), 1);
    EXPECT_EQ(rig.panel.displayCaption(31), QStringLiteral("1"));
    EXPECT_EQ(rig.panel.sliderValue(31), 0);
    rig.goOnline();
    rig.panel.setSliderValue(31, 1);
    rig.sliders.Scroll(31);
    EXPECT_EQ(rig.frames().back(), frameOf(31, 0));
}

TEST(Handlers, NoControlEverSendsTheLimitIds)
{
    LinkRig rig;
    rig.goOnline();
    for (int v = 1; v <= 62; ++v)
        rig.panel.setValue(Control::MaxMusicVolume, v);
    for (int v = 42; v >= 1; --v)
        rig.panel.setValue(Control::MaxMicVolume, v);
    for (const auto &f : rig.port.writes)
        EXPECT_TRUE(f.size() != 4 || (f[1] != 29 && f[1] != 30));
    EXPECT_TRUE(rig.port.writes.empty());
}

} // namespace
} // namespace qj
