#pragma once

#include "params/undohistory.h"

#include <optional>

namespace qj {

class Link;
class PanelAccess;
class PresetMenu;

// Ctrl+Z and Ctrl+Shift+Z on the panel. The window tells it of every change a person makes that
// counts as a step; taking a step back or making it again changes the panel at once and, while
// online, sends what differs one command at a time (through the preset push).
class PanelUndo
{
public:
    PanelUndo(Link &link, PanelAccess &panel, PresetMenu &presets);

    // A change of the panel between `before` and now: a group click, a preset opened. With
    // `muteBefore` (the reset) Mute's state before and now belongs to the step.
    void recordSince(const Preset &before, std::optional<bool> muteBefore = std::nullopt);
    // One setting changed from `before` to `after` (a key step, a check box, an option).
    void recordSetting(int wireId, int before, int after);

    // A slider moved from `before` to `after`. While the mouse holds it the movement goes on,
    // and becomes one step from its first value when the slider is let go.
    void sliderMoved(int wireId, int before, int after, bool held);
    void sliderLetGo(int wireId);

    // False when there was nothing to take back or make again.
    bool undo();
    bool redo();
    // The connection's reports replaced the panel's state: no step applies any more.
    void clear();

    bool muteLit() const;
    const UndoHistory &history() const { return m_history; }

private:
    void finishHeld();
    void take(UndoStep &step, UndoDirection direction);

    Link &m_link;
    PanelAccess &m_panel;
    PresetMenu &m_presets;
    UndoHistory m_history;
    struct Held
    {
        int wireId;
        int before;
    };
    std::optional<Held> m_held; // a slider movement the mouse still holds
};

} // namespace qj
