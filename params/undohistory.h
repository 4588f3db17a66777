#pragma once

#include "params/preset.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace qj {

// One change a person made that Ctrl+Z takes back: the settings it changed, each with its value
// before and after. Mute is a toggle, not a setting: the reset notes whether it was lit before
// and after, so taking the reset back lights it again.
struct UndoStep
{
    struct Setting
    {
        int wireId;
        int before;
        int after;
        bool operator==(const Setting &) const = default;
    };

    std::vector<Setting> settings; // ascending wire ids
    std::optional<bool> muteBefore;
    std::optional<bool> muteAfter;

    bool empty() const;
};

// The step from `before` to `after`: every setting of a preset that differs. Mute is left to the
// caller.
UndoStep stepBetween(const Preset &before, const Preset &after);

enum class UndoDirection { Back, Forward };

// The panel `shown` with the step taken back (Back: its settings at their values before) or
// made again (Forward: at their values after); every other setting as shown. A level never
// stands above its limit, whichever of the two came from the step.
Preset undoTarget(const Preset &shown, const UndoStep &step, UndoDirection direction);

// The steps a person can take back and make again. Taking a step back moves it to the redo
// side; a new step empties that side.
class UndoHistory
{
public:
    static constexpr std::size_t kMaxSteps = 100; // the oldest gives way beyond this

    // An empty step changed nothing and is not kept.
    void record(UndoStep step);
    // The step to take back, now counted as undone; null when there is none. The pointer stays
    // valid until the history changes again.
    UndoStep *undo();
    // The step to make again, now counted as done; null when there is none.
    UndoStep *redo();
    void clear();

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    std::size_t size() const { return m_steps.size(); } // undone steps included

private:
    std::deque<UndoStep> m_steps;
    std::size_t m_done = 0; // steps [0, m_done) are done, the rest undone
};

} // namespace qj
