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
    bool waiting = false;
    int overlaps = 0;
    frame::Frame last{};
    form->link().transmitter().addSendHook([&](const frame::Frame &f) {
        if (waiting && f != last)
            ++overlaps;
        waiting = true;
        last = f;
    });
    form->link().supervisor().setAcknowledgedHook(
        [&](std::uint8_t, std::uint8_t) { waiting = false; });

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

} // namespace
} // namespace qj
