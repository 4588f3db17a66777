#include "app/offlinework.h"

#include "app/presetmenu.h"
#include "link/link.h"
#include "params/offlinedefaults.h"
#include "params/parametermap.h"

#include <algorithm>

namespace qj {

namespace {

// The settings the processor receives: a preset's, but the two limits.
bool sent(int wireId)
{
    return inPreset(wireId) && parameter(wireId).kind != ControlKind::Spinner;
}

} // namespace

OfflineWork::OfflineWork(Link &link, PanelAccess &panel, PresetMenu &presets,
                         std::function<bool()> askSend, std::function<bool()> handsBusy)
    : m_link(link), m_panel(panel), m_presets(presets), m_askSend(std::move(askSend)),
      m_handsBusy(std::move(handsBusy)), m_reportsOver(kReportsOver, [this] { reportsQuiet(); })
{
    m_link.decoder().setReportHook([this](std::uint8_t wireId, std::uint8_t) {
        // What the report put on the panel (a value the panel cannot show is shown as it can).
        if (wireId < kParameterCount) {
            m_reported.set(wireId);
            m_reportedValue[wireId] = capturePreset(m_panel).values[wireId];
        }
        if (wireId == wire::kRunMode)
            m_lastReportIn = true;
    });
}

std::vector<int> OfflineWork::offlineChanges() const
{
    // The offline procedure (and start-up) leaves the panel at its offline values.
    const Preset now = capturePreset(m_panel);
    const Preset offline = offlinePreset();
    std::vector<int> ids;
    for (const int id : presetIds())
        if (sent(id) && now.values[std::size_t(id)] != offline.values[std::size_t(id)])
            ids.push_back(id);
    return ids;
}

void OfflineWork::gesture(int wireId)
{
    if (m_state == LinkState::Connecting)
        addToCopy({wireId});
    else if (m_state == LinkState::Online && wireId >= 0 && wireId < kParameterCount)
        m_changedOnline.set(std::size_t(wireId));
}

void OfflineWork::gesture(const Preset &before)
{
    const Preset now = capturePreset(m_panel);
    for (const int id : presetIds())
        if (now.values[std::size_t(id)] != before.values[std::size_t(id)])
            gesture(id);
}

void OfflineWork::takeCopy()
{
    m_reported.reset();
    m_changedOnline.reset();
    m_lastReportIn = false;
    m_keptIds = offlineChanges();
    if (m_keptIds.empty())
        m_kept.reset();
    else
        m_kept = capturePreset(m_panel);
}

void OfflineWork::addToCopy(const std::vector<int> &wireIds)
{
    const Preset now = capturePreset(m_panel);
    for (const int id : wireIds) {
        if (!sent(id))
            continue;
        if (!m_kept)
            m_kept = now;
        m_kept->values[std::size_t(id)] = now.values[std::size_t(id)];
        if (!std::binary_search(m_keptIds.begin(), m_keptIds.end(), id))
            m_keptIds.insert(std::upper_bound(m_keptIds.begin(), m_keptIds.end(), id), id);
    }
}

void OfflineWork::putBack()
{
    if (!m_kept)
        return;
    Preset shown = capturePreset(m_panel);
    for (const int id : m_keptIds)
        shown.values[std::size_t(id)] = m_kept->values[std::size_t(id)];
    applyPreset(m_panel, shown);
}

void OfflineWork::linkStateChanged(LinkState state)
{
    const LinkState before = m_state;
    m_state = state;
    switch (state) {
    case LinkState::Connecting:
        // Once per connection: the panel the reports are overwriting is no copy any more.
        if (before != LinkState::Connecting)
            takeCopy();
        return;
    case LinkState::Online:
        m_quietRounds = 0;
        if (m_kept)
            m_reportsOver.start();
        return;
    case LinkState::Closed:
    case LinkState::Offline:
        m_reportsOver.stop();
        putBack(); // not asked yet: the work is the person's still
        return;
    }
}

void OfflineWork::panelReset()
{
    m_reportsOver.stop();
    putBack();
    // A connection still under way (its connect command given up on) keeps its copy.
    if (m_state == LinkState::Connecting)
        return;
    m_kept.reset();
    m_keptIds.clear();
}

void OfflineWork::afterTick()
{
    if (m_reportsOver.isActive())
        m_reportsOver.start();
}

void OfflineWork::handsFree()
{
    if (m_reportsOver.isActive())
        m_reportsOver.start(); // the quiet moment counts from here
}

void OfflineWork::reportsQuiet()
{
    // Not in the middle of a drag or a repeating key: looked at again a moment later, and
    // the hands coming off start the moment afresh.
    if (m_handsBusy()) {
        m_reportsOver.start();
        return;
    }
    if (!m_lastReportIn && ++m_quietRounds < kQuietRoundsWithoutLast) {
        m_reportsOver.start();
        return;
    }
    ask();
}

void OfflineWork::ask()
{
    if (!m_kept || m_state != LinkState::Online)
        return;
    // The settings of the copy that the person has not changed online since, and of those the
    // ones the processor does not hold: asked about only when there is one. The panel may show
    // such a setting already (changed while connecting, after its report), so it is named to
    // the push even so.
    Preset wanted = capturePreset(m_panel);
    std::vector<int> differing;
    for (const int id : m_keptIds) {
        if (m_changedOnline.test(std::size_t(id)))
            continue;
        const int v = m_kept->values[std::size_t(id)];
        wanted.values[std::size_t(id)] = v;
        if (!m_reported.test(std::size_t(id)) || m_reportedValue[std::size_t(id)] != v)
            differing.push_back(id);
    }
    if (differing.empty()) {
        m_kept.reset();
        m_keptIds.clear();
        return;
    }
    const bool send = m_askSend();
    // The connection ended while the question was open: the offline procedure has put the work
    // back on the panel, for the next connection.
    if (!m_kept || m_state != LinkState::Online)
        return;
    m_kept.reset();
    m_keptIds.clear();
    if (send) {
        m_presets.bring(wanted, false, differing);
        return;
    }
    // Kept: the panel shows what the processor reported, also where the person's change while
    // connecting came after the report.
    Preset reported = capturePreset(m_panel);
    for (const int id : differing)
        if (m_reported.test(std::size_t(id)))
            reported.values[std::size_t(id)] = m_reportedValue[std::size_t(id)];
    applyPreset(m_panel, reported);
}

} // namespace qj
