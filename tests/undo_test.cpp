#include "menufixture.h"

#include <QApplication>
#include <QMenuBar>

#include <map>

namespace qj {
namespace {

using test::Bytes;
using test::farPreset;
using test::frameFor;
using test::writeFile;

struct UndoTest : test::MenuFixture
{
    // The keys as a person presses them, on the window.
    void undo() { QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier); }
    void redo() { QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
    void open(const Preset &preset)
    {
        writeFile(file("p.json"), writePreset(preset));
        dialogs->openPath = file("p.json");
        choose(MenuEntry::OpenFile);
    }
    void reset()
    {
        dialogs->resetConfirmed = true;
        choose(MenuEntry::Reset);
    }
    bool muteLit() { return view().mute()->backColour() == ButtonColour::Red; }
    int value(int wireId) { return shown().values[static_cast<std::size_t>(wireId)]; }
    // The mute toggles among `frames`.
    static int toggles(const std::vector<Bytes> &frames)
    {
        return static_cast<int>(
            std::count(frames.begin(), frames.end(), frameFor(wire::kStatus, wire::kMuteValue)));
    }
};

// Offline each key step is a step; the panel alone changes, back and forth.
TEST_F(UndoTest, OfflineKeyStepsGoBackAndForwardOnThePanelOnly)
{
    LevelSlider *s = slider("EchoRepat");
    s->setFocus();
    const QString start = caption("EchoRepatDisplay");
    key("EchoRepat", Qt::Key_Up);
    const QString one = caption("EchoRepatDisplay");
    key("EchoRepat", Qt::Key_Up);
    const QString two = caption("EchoRepatDisplay");
    ASSERT_NE(start, one);
    ASSERT_NE(one, two);

    undo();
    EXPECT_EQ(caption("EchoRepatDisplay"), one);
    EXPECT_EQ(s->parameterValue(), one.toInt());
    undo();
    EXPECT_EQ(caption("EchoRepatDisplay"), start);
    undo(); // nothing left: nothing happens
    EXPECT_EQ(caption("EchoRepatDisplay"), start);
    redo();
    EXPECT_EQ(caption("EchoRepatDisplay"), one);
    redo();
    EXPECT_EQ(caption("EchoRepatDisplay"), two);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(messages.isEmpty());
}

// A drag is one step from where the thumb was pressed to where it was let go, online one
// command back.
TEST_F(UndoTest, ADragFromPressToReleaseIsOneStep)
{
    goOnline();
    LevelSlider *s = slider("MusicVolume");
    const int start = s->parameterValue();
    const QPoint thumb = s->thumbRect().center();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, thumb);
    for (int y = thumb.y() - 15; y > -20; y -= 15) {
        QTest::mouseMove(s, QPoint(thumb.x(), y));
        acknowledge();
    }
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.x(), -20));
    acknowledge();
    ASSERT_GE(frames().size(), 3u);
    ASSERT_EQ(s->parameterValue(), 62);
    port.writes.clear();

    undo();
    EXPECT_EQ(s->parameterValue(), start);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QString::number(start));
    EXPECT_EQ(acknowledgeAll(), (std::vector<Bytes>{frameFor(wire::kMusicVolume, start)}));
    redo();
    EXPECT_EQ(acknowledgeAll(), (std::vector<Bytes>{frameFor(wire::kMusicVolume, 62)}));
    EXPECT_EQ(s->parameterValue(), 62);
    undo();
    acknowledgeAll();
    EXPECT_EQ(s->parameterValue(), start); // the whole drag again, not one of its steps
}

// A group click, the check box and an option are steps; the run mode and the save slots are
// not, so Ctrl+Z passes over them to the change before.
TEST_F(UndoTest, ClicksAreStepsExceptTheRunModeAndTheSaveSlots)
{
    goOnline();
    const Preset start = shown();
    click(QStringLiteral("EchoMode_2"));
    acknowledge();
    click(QStringLiteral("SuperBass"));
    acknowledge();
    click(start.values[wire::kSurround] == 0 ? QStringLiteral("SurroundMode2")
                                             : QStringLiteral("SurroundMode1"));
    acknowledge();
    click(QStringLiteral("RunMode_3"));
    acknowledge();
    click(QStringLiteral("SaveMode_4"));
    ASSERT_NE(value(12), start.values[12]);
    ASSERT_NE(value(wire::kSuperBass), start.values[wire::kSuperBass]);
    ASSERT_NE(value(wire::kSurround), start.values[wire::kSurround]);
    port.writes.clear();

    undo();
    EXPECT_EQ(value(wire::kSurround), start.values[wire::kSurround]);
    undo();
    EXPECT_EQ(value(wire::kSuperBass), start.values[wire::kSuperBass]);
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
    undo();
    EXPECT_EQ(shown(), start);
    undo(); // nothing before: the run mode's recall is not taken back
    EXPECT_EQ(shown(), start);
    acknowledgeAll();
    // Each undo replaced the command in flight; what was replaced went out again, so the last
    // frame of each setting is its value before. The run mode and the save slot stay as clicked.
    std::map<int, int> last;
    for (const Bytes &f : frames())
        last[f[1]] = f[2];
    EXPECT_EQ(last, (std::map<int, int>{{12, start.values[12]},
                                        {wire::kSuperBass, start.values[wire::kSuperBass]},
                                        {wire::kSurround, start.values[wire::kSurround]}}));
    EXPECT_EQ(view().button(Group::RunMode, 3)->backColour(), ButtonColour::Red);
    EXPECT_EQ(view().button(Group::SaveMode, 4)->backColour(), ButtonColour::Red);
}

// A preset opened online is one step: Ctrl+Z sends every setting back, one command in flight,
// and Ctrl+Shift+Z the file's settings again.
TEST_F(UndoTest, APresetOpenedOnlineGoesBackOneCommandAtATime)
{
    goOnline();
    const Preset start = shown();
    open(farPreset());
    acknowledgeAll();
    ASSERT_EQ(shown(), farPreset());
    port.writes.clear();

    undo();
    EXPECT_EQ(shown(), start); // the panel at once
    const std::vector<Bytes> back = acknowledgeAll();
    std::vector<Bytes> expected;
    for (const auto &[id, v] : presetChanges(farPreset(), start))
        expected.push_back(frameFor(id, v));
    EXPECT_EQ(back, expected);

    redo();
    EXPECT_EQ(shown(), farPreset());
    EXPECT_EQ(acknowledgeAll().size(), expected.size());
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
    EXPECT_TRUE(messages.isEmpty());
}

// Undo while the file's push is still running: what the processor has not taken yet is sent as
// well, so it ends holding the panel's state.
TEST_F(UndoTest, UndoDuringThePushStillBringsTheProcessorBack)
{
    goOnline();
    const Preset start = shown();
    open(farPreset());
    port.arrive({0xAA});
    run(); // the first taken, the second in flight
    undo();
    acknowledgeAll();
    EXPECT_EQ(shown(), start);
    // Whatever went out last for each setting is what the panel shows.
    std::map<int, int> last;
    for (const Bytes &f : frames())
        last[f[1]] = f[2];
    for (const auto &[id, v] : last)
        EXPECT_EQ(v, start.values[static_cast<std::size_t>(id)]) << id;
}

// The reset's undo lights Mute again when it was lit, with one toggle, whether or not the reset
// itself toggled it; redo leaves it as the undo found it.
TEST_F(UndoTest, TakingTheResetBackRestoresMuteAsItWas)
{
    goOnline();
    open(farPreset());
    acknowledgeAll();
    click(QStringLiteral("Mute"));
    acknowledge();
    ASSERT_TRUE(muteLit());

    reset();
    acknowledgeAll();
    ASSERT_EQ(shown(), offlinePreset());
    undo();
    acknowledgeAll();
    EXPECT_EQ(shown(), farPreset());
    EXPECT_TRUE(muteLit());
    // The processor is muted exactly when the toggles it received are odd.
    EXPECT_EQ(toggles(frames()) % 2, 1);
    redo();
    acknowledgeAll();
    EXPECT_EQ(shown(), offlinePreset());
    EXPECT_EQ(toggles(frames()) % 2, muteLit() ? 1 : 0);
}

// The same for a reset that leaves Mute plain (it toggles the processor's mute off).
TEST_F(UndoTest, AResetThatLeftMutePlainLightsItAgainWithOneToggle)
{
    goOnline();
    click(QStringLiteral("Mute"));
    acknowledge();
    applyPreset(panel(), farPreset());
    const Preset before = shown();
    reset(); // the defaults, and one mute command that ends the mute
    EXPECT_EQ(toggles(acknowledgeAll()), 1);
    ASSERT_FALSE(muteLit());
    port.writes.clear();

    undo();
    const std::vector<Bytes> sent = acknowledgeAll();
    EXPECT_TRUE(muteLit());
    EXPECT_EQ(toggles(sent), 1);
    EXPECT_EQ(sent.back(), frameFor(wire::kStatus, wire::kMuteValue)); // after the settings
    EXPECT_EQ(shown(), before);
    port.writes.clear();
    redo();
    EXPECT_FALSE(muteLit());
    EXPECT_EQ(toggles(acknowledgeAll()), 1);

    // Taken back and made again before the toggle went out: it is owed no more.
    port.writes.clear();
    undo();
    ASSERT_TRUE(muteLit());
    redo();
    EXPECT_FALSE(muteLit());
    acknowledgeAll();
    EXPECT_EQ(toggles(frames()), 0);
    EXPECT_EQ(shown(), offlinePreset());
}

// Offline the reset's undo changes the panel only; Mute is never lit offline.
TEST_F(UndoTest, OfflineTheResetComesBackOnThePanelAlone)
{
    applyPreset(panel(), farPreset());
    reset();
    ASSERT_EQ(shown(), offlinePreset());
    undo();
    EXPECT_EQ(shown(), farPreset());
    EXPECT_FALSE(muteLit());
    EXPECT_TRUE(port.writes.empty());
}

// The connection's reports replace the panel: what was done before cannot be taken back.
TEST_F(UndoTest, ConnectingClearsTheHistory)
{
    click(QStringLiteral("EchoMode_3"));
    click(QStringLiteral("KaraokeMode_2"));
    ASSERT_TRUE(form->menuActions().undo().history().canUndo());
    goOnline();
    EXPECT_FALSE(form->menuActions().undo().history().canUndo());
    undo();
    EXPECT_EQ(value(12), 3);
    EXPECT_TRUE(port.writes.empty());
}

// The keys are no menu entry: the bar keeps its nine.
TEST_F(UndoTest, NoMenuEntryIsAdded)
{
    EXPECT_EQ(form->menuBar()->actions().size(), 9);
    const auto *undoKey = form->findChild<QAction *>(QStringLiteral("UndoKey"));
    ASSERT_NE(undoKey, nullptr);
    EXPECT_EQ(undoKey->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
}

} // namespace
} // namespace qj
