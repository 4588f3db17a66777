#include "params/presetpush.h"

#include "params/parametermap.h"
#include "params/preset.h"

namespace qj {

PresetPush::PresetPush(PanelAccess &panel, Transmitter &transmitter)
    : m_panel(panel), m_transmitter(transmitter)
{}

PresetPush::State PresetPush::start(std::vector<std::pair<int, int>> changes)
{
    m_changes = std::move(changes);
    m_next = 0;
    m_acknowledged = 0;
    m_state = State::Running;
    if (!m_panel.isEnabled(Control::Mute))
        return finish(State::Stopped);
    return sendNext();
}

PresetPush::State PresetPush::poll()
{
    if (m_state != State::Running)
        return State::Idle;
    if (!m_panel.isEnabled(Control::Mute))
        return finish(State::Stopped);
    if (m_transmitter.state().CmdId != 0)
        return State::Running; // still waiting: the tick resends or gives up
    if (m_transmitter.commands() != m_issuedAs) {
        const auto [wireId, value] = m_changes[m_next - 1];
        if (capturePreset(m_panel).values[static_cast<std::size_t>(wireId)] == value) {
            --m_next; // ours was replaced before it was taken: again
            return sendNext();
        }
    }
    ++m_acknowledged;
    return sendNext();
}

std::vector<std::pair<int, int>> PresetPush::unacknowledged() const
{
    if (m_state != State::Running)
        return {};
    return {m_changes.begin() + m_acknowledged, m_changes.end()};
}

PresetPush::State PresetPush::sendNext()
{
    if (m_next >= m_changes.size())
        return finish(State::Done);
    const auto [wireId, value] = m_changes[m_next++];
    m_transmitter.issue(parameter(wireId).cmdId(), static_cast<std::uint8_t>(value));
    m_issuedAs = m_transmitter.commands();
    // A write that failed has taken the panel offline already.
    if (!m_panel.isEnabled(Control::Mute))
        return finish(State::Stopped);
    return State::Running;
}

PresetPush::State PresetPush::finish(State outcome)
{
    m_state = State::Idle;
    return outcome;
}

} // namespace qj
