#pragma once

#include "app/windowtimer.h"
#include "link/linkstate.h"
#include "params/preset.h"

#include <array>
#include <bitset>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace qj {

class Link;
class PanelAccess;
class PresetMenu;

// Work done on the panel while it was offline: the settings the processor receives whose values
// differ from those the panel shows after going offline (or at start-up). What was clicked does
// not matter, only what differs.
//
// When a connection starts, the panel's settings are copied once, if any differ; a change the
// person makes while connecting is added to the copy. The processor's reports then set the panel
// as always; once they are over, and the person's hands are off the controls, the person is
// asked once whether the copy goes to the processor - only when at least one of its settings
// differs from what the processor reported (one it did not report counts as differing). "Send"
// sends exactly those settings, leaving out any the person has changed online since; every other
// setting keeps the processor's value. A connection that ends before the question keeps the
// work: it goes back on the panel after the offline procedure, to be offered next time.
class OfflineWork
{
public:
    // The processor reports every setting in wire-id order, the run mode last. The question
    // comes once that report is in and the line has then been quiet a moment; without it (a
    // report refused), after a longer quiet. A busy machine may keep the panel off the CPU
    // while reports wait, so quiet alone is not enough.
    static constexpr std::chrono::milliseconds kReportsOver{300};
    static constexpr int kQuietRoundsWithoutLast = 7; // 2.1 s

    // askSend: the question; true to send the panel's settings, false to keep the processor's.
    // handsBusy: whether a mouse button is down on a control or a key repeats on one.
    OfflineWork(Link &link, PanelAccess &panel, PresetMenu &presets, std::function<bool()> askSend,
                std::function<bool()> handsBusy);

    // A person's gesture has just changed the panel: one setting, or whatever differs from
    // `before` (a group, a preset opened, the reset, undo and redo).
    void gesture(int wireId);
    void gesture(const Preset &before);

    void linkStateChanged(LinkState state);
    // The offline procedure ran.
    void panelReset();
    // After every tick that ran: the line is not quiet yet.
    void afterTick();
    // A message box opened (true) or closed.
    void hold(bool held) { m_reportsOver.hold(held); }
    // The person's hands came off the controls.
    void handsFree();

    // Whether the panel holds offline work now.
    bool changed() const { return !offlineChanges().empty(); }
    // The copy taken for the connection (the whole panel; keptIds() says which settings count).
    const std::optional<Preset> &kept() const { return m_kept; }
    const std::vector<int> &keptIds() const { return m_keptIds; }
    // Waiting for the reports to be over before asking.
    bool waiting() const { return m_reportsOver.isActive(); }

private:
    std::vector<int> offlineChanges() const;
    void takeCopy();
    void addToCopy(const std::vector<int> &wireIds);
    void putBack();
    void reportsQuiet();
    void ask();

    Link &m_link;
    PanelAccess &m_panel;
    PresetMenu &m_presets;
    std::function<bool()> m_askSend;
    std::function<bool()> m_handsBusy;
    WindowTimer m_reportsOver;
    bool m_lastReportIn = false;
    int m_quietRounds = 0;
    LinkState m_state = LinkState::Closed;
    std::optional<Preset> m_kept;
    std::vector<int> m_keptIds;                         // ascending
    std::bitset<kParameterCount> m_reported;            // since the connection started
    std::array<int, kParameterCount> m_reportedValue{}; // as the report showed it
    std::bitset<kParameterCount> m_changedOnline; // by the person, since the connection completed
};

} // namespace qj
