#include "app/offlinework.h"

#include "app/presetmenu.h"
#include "link/link.h"
#include "params/parametermap.h"

namespace qj {

OfflineWork::OfflineWork(Link &link, PanelAccess &panel, PresetMenu &presets,
                         std::function<bool()> askSend)
    : m_link(link), m_panel(panel), m_presets(presets), m_askSend(std::move(askSend))
{
    m_reportsOver.setSingleShot(true);
    m_reportsOver.setInterval(kReportsOver);
    QObject::connect(&m_reportsOver, &QTimer::timeout, [this] { reportsQuiet(); });
    m_link.decoder().setReportHook([this](std::uint8_t wireId, std::uint8_t) {
        if (wireId == wire::kRunMode)
            m_lastReportIn = true;
    });
}

void OfflineWork::userChanged()
{
    if (!m_link.online())
        m_changed = true;
}

void OfflineWork::connecting()
{
    // Taken afresh at every start: what the panel shows now is what the user left there.
    if (m_changed)
        m_kept = capturePreset(m_panel);
    m_lastReportIn = false;
}

void OfflineWork::linkStateChanged(LinkState state)
{
    switch (state) {
    case LinkState::Connecting:
        connecting();
        return;
    case LinkState::Online:
        m_changed = false; // online from here: changes are sent as they are made
        m_quietRounds = 0;
        if (m_kept)
            m_reportsOver.start();
        return;
    case LinkState::Closed:
    case LinkState::Offline:
        m_reportsOver.stop();
        return;
    }
}

void OfflineWork::panelReset()
{
    m_changed = false;
    m_kept.reset();
    m_reportsOver.stop();
}

void OfflineWork::afterTick()
{
    if (m_reportsOver.isActive())
        m_reportsOver.start();
}

void OfflineWork::reportsQuiet()
{
    if (!m_lastReportIn && ++m_quietRounds < kQuietRoundsWithoutLast) {
        m_reportsOver.start();
        return;
    }
    ask();
}

void OfflineWork::ask()
{
    if (!m_kept || !m_link.online())
        return;
    const Preset kept = *m_kept;
    m_kept.reset(); // asked once
    if (!m_askSend())
        return;
    // Sent while online; if the link was lost while the question was open, the settings stay on
    // the panel as the user's work, to be offered at the next connection.
    m_presets.send(kept);
    if (!m_link.online())
        m_changed = true;
}

} // namespace qj
