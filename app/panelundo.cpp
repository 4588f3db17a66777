#include "app/panelundo.h"

#include "app/presetmenu.h"
#include "link/link.h"

namespace qj {

PanelUndo::PanelUndo(Link &link, PanelAccess &panel, PresetMenu &presets)
    : m_link(link), m_panel(panel), m_presets(presets)
{}

bool PanelUndo::muteLit() const
{
    return m_panel.muteColour() == ButtonColour::Red;
}

void PanelUndo::recordSince(const Preset &before, std::optional<bool> muteBefore)
{
    finishHeld();
    UndoStep step = stepBetween(before, capturePreset(m_panel));
    if (muteBefore) {
        step.muteBefore = muteBefore;
        step.muteAfter = muteLit();
    }
    m_history.record(std::move(step));
}

void PanelUndo::recordSetting(int wireId, int before, int after)
{
    finishHeld();
    if (before != after)
        m_history.record({{{wireId, before, after}}, std::nullopt, std::nullopt});
}

void PanelUndo::sliderMoved(int wireId, int before, int after, bool held)
{
    if (!held) {
        recordSetting(wireId, before, after);
        return;
    }
    if (m_held && m_held->wireId == wireId)
        return; // the same movement goes on
    finishHeld();
    m_held = Held{wireId, before};
}

void PanelUndo::sliderLetGo(int wireId)
{
    if (m_held && m_held->wireId == wireId)
        finishHeld();
}

void PanelUndo::finishHeld()
{
    if (!m_held)
        return;
    const Held held = *m_held;
    m_held.reset();
    const int after = capturePreset(m_panel).values[static_cast<std::size_t>(held.wireId)];
    recordSetting(held.wireId, held.before, after);
}

bool PanelUndo::undo()
{
    finishHeld();
    UndoStep *step = m_history.undo();
    if (!step)
        return false;
    take(*step, UndoDirection::Back);
    return true;
}

bool PanelUndo::redo()
{
    finishHeld();
    UndoStep *step = m_history.redo();
    if (!step)
        return false;
    take(*step, UndoDirection::Forward);
    return true;
}

void PanelUndo::clear()
{
    m_held.reset();
    m_history.clear();
}

void PanelUndo::take(UndoStep &step, UndoDirection direction)
{
    // Mute as the step found it (back) or as it stood when the step was taken back (forward).
    // Offline it is never lit, and nothing toggles it.
    bool toggleMute = false;
    if (step.muteBefore && m_link.online()) {
        const bool lit = muteLit();
        if (direction == UndoDirection::Back) {
            step.muteAfter = lit;
            toggleMute = lit != *step.muteBefore;
        } else {
            toggleMute = lit != step.muteAfter.value_or(lit);
        }
    }
    m_presets.bring(undoTarget(capturePreset(m_panel), step, direction), toggleMute);
}

} // namespace qj
