#include "params/undohistory.h"

#include "params/parametermap.h"

#include <algorithm>

namespace qj {

bool UndoStep::empty() const
{
    return settings.empty() && muteBefore == muteAfter;
}

UndoStep stepBetween(const Preset &before, const Preset &after)
{
    UndoStep step;
    for (int id = 0; id < kParameterCount; ++id) {
        const auto i = static_cast<std::size_t>(id);
        if (inPreset(id) && before.values[i] != after.values[i])
            step.settings.push_back({id, before.values[i], after.values[i]});
    }
    return step;
}

Preset undoTarget(const Preset &shown, const UndoStep &step, UndoDirection direction)
{
    Preset target = shown;
    for (const UndoStep::Setting &s : step.settings)
        target.values[static_cast<std::size_t>(s.wireId)] =
            direction == UndoDirection::Back ? s.before : s.after;
    // A limit lowered since the step leaves no room on the track above it.
    for (const auto &[level, limit] : {std::pair{wire::kMusicVolume, wire::kMaxMusicVolume},
                                       std::pair{wire::kMicVolume, wire::kMaxMicVolume}})
        target.values[level] = std::min(target.values[level], target.values[limit]);
    return target;
}

void UndoHistory::record(UndoStep step)
{
    if (step.empty())
        return;
    m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(m_done), m_steps.end());
    m_steps.push_back(std::move(step));
    if (m_steps.size() > kMaxSteps)
        m_steps.pop_front();
    m_done = m_steps.size();
}

UndoStep *UndoHistory::undo()
{
    if (!canUndo())
        return nullptr;
    return &m_steps[--m_done];
}

UndoStep *UndoHistory::redo()
{
    if (!canRedo())
        return nullptr;
    return &m_steps[m_done++];
}

void UndoHistory::clear()
{
    m_steps.clear();
    m_done = 0;
}

} // namespace qj
