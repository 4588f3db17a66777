#pragma once

#include "link/linkstate.h"
#include "params/preset.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace qj {

class Link;
class PanelAccess;
class PresetMenu;

// Work done on the panel while it was offline. When a connection starts (the connect entry, or
// a lost device back), the panel's settings are kept if the user changed any since the panel
// was last online; the processor's reports then set the panel as always, and once they are
// over the user is asked, once, whether the kept settings go to the processor (pushed one
// command at a time, as a preset's) or the processor's stay. The panel's own return to its
// design-time state (the offline procedure) is not the user's work and forgets it.
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
    OfflineWork(Link &link, PanelAccess &panel, PresetMenu &presets, std::function<bool()> askSend);

    // A change by the user: a slider, a button, a check box, an option, a preset opened, the
    // reset. Counts only while the panel is not online.
    void userChanged();
    // The connect entry was chosen, or the link is connecting by itself.
    void connecting();
    void linkStateChanged(LinkState state);
    // The offline procedure ran.
    void panelReset();
    // After every tick that ran: the line is not quiet yet.
    void afterTick();

    bool changed() const { return m_changed; }
    const std::optional<Preset> &kept() const { return m_kept; }
    // Waiting for the reports to be over before asking.
    bool waiting() const { return m_reportsOver.isActive(); }

private:
    void reportsQuiet();
    void ask();

    Link &m_link;
    PanelAccess &m_panel;
    PresetMenu &m_presets;
    std::function<bool()> m_askSend;
    QTimer m_reportsOver;
    bool m_lastReportIn = false;
    int m_quietRounds = 0;
    bool m_changed = false;
    std::optional<Preset> m_kept;
};

} // namespace qj
