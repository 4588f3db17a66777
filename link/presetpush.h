#pragma once

#include "link/link.h"

#include <vector>

namespace qj {

// Sends a list of settings to the processor one command at a time, each only after the one
// before it was acknowledged: the link still has one command in flight. Driven by the tick.
// A user's change made meanwhile replaces the pending command (and the acknowledgement names
// none), so a setting whose command was replaced is sent again, unless the user changed that
// very setting.
class PresetPush
{
public:
    enum class State { Idle, Running, Done, Stopped };

    explicit PresetPush(Link &link);

    // Sends the first change at once (nothing to send: Done at once).
    State start(std::vector<std::pair<int, int>> changes);
    // After every tick: the next change once the pending one is acknowledged; Stopped as soon
    // as the panel is offline (a give-up or a lost device). Done and Stopped are reported once,
    // then the push is Idle again.
    State poll();

    bool running() const { return m_state == State::Running; }
    int acknowledged() const { return m_acknowledged; }
    int total() const { return static_cast<int>(m_changes.size()); }
    // Ends a running push without a word: the window is going away, or a link failure tells
    // in its own message how far the push got. Nothing more is sent.
    void abandon() { m_state = State::Idle; }

    // While running: the changes the processor has not acknowledged yet, in flight first.
    std::vector<std::pair<int, int>> unacknowledged() const;
    // While running: the changes not written yet.
    std::vector<std::pair<int, int>> unsent() const;
    // The person has just changed `wireId` (and its command went out with the change): a change
    // of it not written yet is dropped, so the newest choice wins.
    void leaveOut(int wireId);

private:
    State sendNext();
    State finish(State outcome);

    Link &m_link;
    std::vector<std::pair<int, int>> m_changes;
    std::size_t m_next = 0;
    std::uint32_t m_issuedAs = 0; // the transmitter's command count just after our send
    int m_acknowledged = 0;
    State m_state = State::Idle;
};

} // namespace qj
