#include "params/offlinedefaults.h"
#include "params/parametermap.h"
#include "params/undohistory.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

UndoStep stepOf(int wireId, int before, int after)
{
    return {{{wireId, before, after}}, std::nullopt, std::nullopt};
}

// Steps told apart by their single setting's value after.
int afterOf(const UndoStep *step)
{
    return step ? step->settings.front().after : -1;
}

TEST(UndoStepTest, TheStepBetweenTwoPanelsListsWhatDiffersAscendingLimitsIncluded)
{
    const Preset before = offlinePreset();
    Preset after = before;
    after.values[wire::kMaxMusicVolume] = 40;
    after.values[wire::kMusicVolume] = 12;
    after.values[wire::kSurround] = 1;
    after.values[6] = 15;
    const UndoStep step = stepBetween(before, after);
    const std::vector<UndoStep::Setting> expected = {
        {6, before.values[6], 15},
        {wire::kSurround, before.values[wire::kSurround], 1},
        {wire::kMaxMusicVolume, before.values[wire::kMaxMusicVolume], 40},
        {wire::kMusicVolume, before.values[wire::kMusicVolume], 12},
    };
    EXPECT_EQ(step.settings, expected);
    EXPECT_FALSE(step.empty());
    EXPECT_TRUE(stepBetween(before, before).empty());
}

TEST(UndoStepTest, MuteAloneMakesAStepOnlyWhenItChanged)
{
    UndoStep step;
    step.muteBefore = true;
    step.muteAfter = true;
    EXPECT_TRUE(step.empty());
    step.muteAfter = false;
    EXPECT_FALSE(step.empty());
}

TEST(UndoStepTest, TheTargetTakesTheStepsSettingsBackOrForwardAndLeavesTheRest)
{
    Preset shown = offlinePreset();
    shown.values[6] = 15;
    shown.values[12] = 3;
    const UndoStep step = stepOf(6, 10, 15);
    const Preset back = undoTarget(shown, step, UndoDirection::Back);
    EXPECT_EQ(back.values[6], 10);
    EXPECT_EQ(back.values[12], 3); // not the step's
    EXPECT_EQ(undoTarget(back, step, UndoDirection::Forward), shown);
}

// A level taken back to a value above a limit lowered since stops at the limit; a limit taken
// back lowers the level it bounds.
TEST(UndoStepTest, ALevelNeverStandsAboveItsLimit)
{
    const struct
    {
        int level;
        int limit;
    } pairs[] = {{wire::kMusicVolume, wire::kMaxMusicVolume},
                 {wire::kMicVolume, wire::kMaxMicVolume}};
    for (const auto &[level, limit] : pairs) {
        Preset shown = offlinePreset();
        shown.values[static_cast<std::size_t>(limit)] = 20;
        shown.values[static_cast<std::size_t>(level)] = 5;
        const Preset levelBack = undoTarget(shown, stepOf(level, 35, 5), UndoDirection::Back);
        EXPECT_EQ(levelBack.values[static_cast<std::size_t>(level)], 20) << level;

        shown.values[static_cast<std::size_t>(limit)] = 40;
        shown.values[static_cast<std::size_t>(level)] = 38;
        const Preset limitBack = undoTarget(shown, stepOf(limit, 30, 40), UndoDirection::Back);
        EXPECT_EQ(limitBack.values[static_cast<std::size_t>(level)], 30) << level;
    }
}

TEST(UndoHistoryTest, UndoThenRedoWalksTheStepsInOrder)
{
    UndoHistory history;
    EXPECT_EQ(history.undo(), nullptr);
    EXPECT_EQ(history.redo(), nullptr);
    for (int v = 1; v <= 3; ++v)
        history.record(stepOf(1, v - 1, v));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(afterOf(history.undo()), 3);
    EXPECT_EQ(afterOf(history.undo()), 2);
    EXPECT_TRUE(history.canRedo());
    EXPECT_EQ(afterOf(history.redo()), 2);
    EXPECT_EQ(afterOf(history.undo()), 2);
    EXPECT_EQ(afterOf(history.undo()), 1);
    EXPECT_EQ(history.undo(), nullptr);
    EXPECT_EQ(afterOf(history.redo()), 1);
    EXPECT_EQ(afterOf(history.redo()), 2);
    EXPECT_EQ(afterOf(history.redo()), 3);
    EXPECT_EQ(history.redo(), nullptr);
}

TEST(UndoHistoryTest, ANewStepDropsTheUndoneOnesAndAnEmptyStepIsNone)
{
    UndoHistory history;
    history.record(stepOf(1, 0, 1));
    history.record(stepOf(1, 1, 2));
    history.undo();
    history.record(UndoStep{}); // changed nothing: the redo side stays
    EXPECT_TRUE(history.canRedo());
    history.record(stepOf(1, 1, 7));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ(afterOf(history.undo()), 7);
    EXPECT_EQ(afterOf(history.undo()), 1);
}

TEST(UndoHistoryTest, AHundredStepsAreKeptTheOldestGivesWay)
{
    UndoHistory history;
    for (int v = 1; v <= 130; ++v)
        history.record(stepOf(1, v - 1, v));
    EXPECT_EQ(history.size(), UndoHistory::kMaxSteps);
    int undone = 0;
    int last = -1;
    while (const UndoStep *step = history.undo()) {
        last = step->settings.front().after;
        ++undone;
    }
    EXPECT_EQ(undone, 100);
    EXPECT_EQ(last, 31); // steps 1 to 30 gave way
}

TEST(UndoHistoryTest, ClearForgetsBothSides)
{
    UndoHistory history;
    history.record(stepOf(1, 0, 1));
    history.record(stepOf(1, 1, 2));
    history.undo();
    history.clear();
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.size(), 0u);
}

} // namespace
} // namespace qj
