// A preset pushed to the virtual processor: one command in flight at a time, and the
// processor ends holding the file.
#include "app/menuactions.h"
#include "app/presetmenu.h"
#include "menufixture.h"
#include "simfixture.h"

namespace qj {
namespace {

using test::waitFor;

using PresetToSimulator = test::SimFixture;

TEST_F(PresetToSimulator, OneCommandInFlightAndTheProcessorEndsHoldingTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("far.json"));
    const Preset far = test::farPreset();
    test::writeFile(path, writePreset(far));
    auto dialogs = std::make_unique<test::ScriptedDialogs>();
    dialogs->openPath = path;
    form->menuActions().setDialogs(std::move(dialogs));

    // Every new command must wait until the one before it was acknowledged.
    countOverlaps();

    ASSERT_TRUE(connectAndSettle());
    ASSERT_FALSE(presetChanges(capturePreset(panel()), far).empty());
    form->menu().action(MenuEntry::OpenFile)->trigger();
    ASSERT_TRUE(waitFor(
        [&] {
            return !form->menuActions().presets().pushing() &&
                   panel().statusCaption() == QStringLiteral("当前状态：联机");
        },
        10000));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(capturePreset(panel()), far);
    const std::vector<int> device = deviceState();
    ASSERT_EQ(device.size(), 38u);
    for (int id : presetIds()) {
        if (parameter(id).kind == ControlKind::Spinner)
            continue; // the limits stay on the panel
        EXPECT_EQ(device[std::size_t(id)], far.values[std::size_t(id)]) << parameter(id).control;
    }
}

// A muted processor is unmuted by the reset: one mute command, sent as one of the push's
// commands (never beside another), and Mute ends plain. Offline the reset changes the panel only.
TEST_F(PresetToSimulator, TheResetEndsAMuteWithOneMoreMuteCommand)
{
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    scripted->resetConfirmed = true;
    form->menuActions().setDialogs(std::move(scripted));
    ASSERT_TRUE(connectAndSettle());

    form->view().mute()->click();
    ASSERT_TRUE(drainLine());
    ASSERT_EQ(deviceState()[wire::kStatus], 10); // muted
    ASSERT_EQ(panel().muteColour(), ButtonColour::Red);
    form->view().slider(wire::kMusicVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    ASSERT_TRUE(drainLine());

    const test::Bytes mute{0xAA, 0x00, 0x0A, 0x4B};
    int mutes = 0;
    countOverlaps([&](const frame::Frame &f) { mutes += test::Bytes(f.begin(), f.end()) == mute; });

    form->menu().action(MenuEntry::Reset)->trigger();
    EXPECT_EQ(panel().muteColour(), ButtonColour::Face);
    ASSERT_TRUE(waitFor([&] { return !form->menuActions().presets().pushing(); }, 10000));
    ASSERT_TRUE(drainLine());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(mutes, 1);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(deviceState()[wire::kStatus], 0); // unmuted
    EXPECT_EQ(deviceState()[wire::kMusicVolume], 30);
    EXPECT_EQ(panel().muteColour(), ButtonColour::Face);
    EXPECT_TRUE(online());

    // Offline: the panel alone changes, and nothing goes out.
    form->view().mute()->click();
    ASSERT_TRUE(drainLine());
    ASSERT_EQ(deviceState()[wire::kStatus], 10);
    form->menu().action(MenuEntry::Offline)->trigger();
    form->view().slider(wire::kMusicVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    mutes = 0;
    const std::uint32_t sent = form->link().transmitter().transmissions();
    form->menu().action(MenuEntry::Reset)->trigger();
    test::spin(50);
    EXPECT_EQ(form->link().transmitter().transmissions(), sent);
    EXPECT_EQ(panel().displayCaption(wire::kMusicVolume), QStringLiteral("30"));
    EXPECT_EQ(panel().muteColour(), ButtonColour::Face);
    EXPECT_EQ(deviceState()[wire::kStatus], 10);
}

} // namespace
} // namespace qj
