#include "link/presetpush.h"

#include "params/parametermap.h"
#include "params/preset.h"

#include <algorithm>

namespace qj {

PresetPush::PresetPush(Link &link) : m_link(link) {}

PresetPush::State PresetPush::start(std::vector<std::pair<int, int>> changes)
{
    m_changes = std::move(changes);
    m_next = 0;
    m_acknowledged = 0;
    m_state = State::Running;
    if (!m_link.online())
        return finish(State::Stopped);
    return sendNext();
}

PresetPush::State PresetPush::poll()
{
    if (m_state != State::Running)
        return State::Idle;
    if (!m_link.online())
        return finish(State::Stopped);
    if (m_link.commandPending())
        return State::Running; // still waiting: the tick resends or gives up
    if (m_link.transmitter().commands() != m_issuedAs) {
        const auto [wireId, value] = m_changes[m_next - 1];
        if (capturePreset(m_link.panel()).values[static_cast<std::size_t>(wireId)] == value) {
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

std::vector<std::pair<int, int>> PresetPush::unsent() const
{
    if (m_state != State::Running)
        return {};
    return {m_changes.begin() + static_cast<std::ptrdiff_t>(m_next), m_changes.end()};
}

void PresetPush::leaveOut(int wireId)
{
    if (m_state != State::Running)
        return;
    const auto first = m_changes.begin() + static_cast<std::ptrdiff_t>(m_next);
    m_changes.erase(std::remove_if(first, m_changes.end(),
                                   [wireId](const auto &c) { return c.first == wireId; }),
                    m_changes.end());
}

PresetPush::State PresetPush::sendNext()
{
    if (m_next >= m_changes.size())
        return finish(State::Done);
    const auto [wireId, value] = m_changes[m_next++];
    m_link.issue(parameter(wireId).cmdId(), static_cast<std::uint8_t>(value));
    m_issuedAs = m_link.transmitter().commands();
    // A failure while it went out (a write refused, the device lost) has ended the push
    // already, together with its message.
    if (m_state != State::Running)
        return State::Idle;
    // A write that failed has taken the panel offline already.
    if (!m_link.online())
        return finish(State::Stopped);
    return State::Running;
}

PresetPush::State PresetPush::finish(State outcome)
{
    m_state = State::Idle;
    return outcome;
}

} // namespace qj
