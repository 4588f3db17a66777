#include "app/presetmenu.h"

#include "panel/widgetpanel.h"
#include "params/offlinedefaults.h"
#include "params/parametermap.h"
#include "params/presetfile.h"

#include <algorithm>
#include <set>

namespace qj {

PresetMenu::PresetMenu(Link &link, WidgetPanel &panel) : m_link(link), m_panel(panel), m_push(link)
{}

bool PresetMenu::saveFile(const QString &path)
{
    if (const FileProblem problem = PresetFile::write(path, writePreset(capturePreset(m_panel)))) {
        m_panel.showMessage(saveFailedText(path, problem, m_link.language()));
        return false;
    }
    return true;
}

bool PresetMenu::openFile(const QString &path)
{
    const PresetFile::Contents file = PresetFile::read(path, Preset::kMaxFileSize);
    if (file.problem) {
        m_panel.showMessage(openFailedText(path, file.problem, m_link.language()));
        return false;
    }
    PresetProblem problem{};
    const std::optional<Preset> preset = readPreset(file.bytes, &problem);
    if (!preset) {
        // Only the start of an oversized file was read: its size is the file system's to tell.
        if (problem.kind == PresetProblem::TooLarge)
            problem.value = file.size;
        m_panel.showMessage(presetRejectedText(path, problem, m_link.language()));
        return false;
    }
    bring(*preset);
    return true;
}

void PresetMenu::restoreDefaults()
{
    bring(offlinePreset(), m_panel.muteColour() == ButtonColour::Red);
}

void PresetMenu::bring(const Preset &wanted, bool toggleMute, const std::vector<int> &unsent)
{
    std::vector<std::pair<int, int>> changes = presetChanges(capturePreset(m_panel), wanted);
    // A mute toggle is no setting that may go out twice: one the running push has written counts
    // as taken, one it has not written yet is still owed (Mute shows it already), and a second
    // toggle now cancels it.
    const std::vector<std::pair<int, int>> owed = m_push.unsent();
    const bool toggleOwed = std::any_of(owed.begin(), owed.end(),
                                        [](const auto &c) { return c.first == wire::kStatus; });

    // Settings the processor may not hold although the panel shows them: those a running
    // push has not had acknowledged, and a user's command that the first send replaces.
    std::set<int> unsure(unsent.begin(), unsent.end());
    for (const auto &[wireId, value] : m_push.unacknowledged())
        unsure.insert(wireId);
    if (m_link.commandPending())
        unsure.insert(m_link.command().CmdId - 1);
    for (const int wireId : unsure) {
        const bool listed = std::any_of(changes.begin(), changes.end(),
                                        [wireId](const auto &c) { return c.first == wireId; });
        if (!listed && inPreset(wireId) && parameter(wireId).kind != ControlKind::Spinner)
            changes.emplace_back(wireId, wanted.values[static_cast<std::size_t>(wireId)]);
    }
    std::sort(changes.begin(), changes.end());

    applyPreset(m_panel, wanted);
    if (!m_link.online())
        return; // offline the panel alone changes (and Mute is never lit)
    if (toggleMute) {
        const bool muted = m_panel.muteColour() == ButtonColour::Red;
        m_panel.setMuteColour(muted ? ButtonColour::Face : ButtonColour::Red);
    }
    if (toggleMute != toggleOwed)
        changes.emplace_back(wire::kStatus, wire::kMuteValue); // last, after the settings
    m_shownProgress = -1;
    handle(m_push.start(std::move(changes)));
}

QString PresetMenu::stopForFailure()
{
    if (!m_push.running())
        return {};
    const QString progress =
        pushStoppedText(m_push.acknowledged(), m_push.total(), m_link.language());
    m_push.abandon();
    m_shownProgress = -1;
    return progress;
}

void PresetMenu::leaveOut(const std::vector<int> &wireIds)
{
    for (const int id : wireIds)
        m_push.leaveOut(id);
}

void PresetMenu::afterTick()
{
    handle(m_push.poll());
}

void PresetMenu::handle(PresetPush::State state)
{
    switch (state) {
    case PresetPush::State::Running:
        if (m_push.acknowledged() != m_shownProgress)
            showProgress();
        return;
    case PresetPush::State::Done:
        m_shownProgress = -1;
        showStatus();
        return;
    case PresetPush::State::Stopped:
        // The panel went offline without a failure (disconnected): a failure ends the push
        // itself and says how far it got in its own message.
        m_shownProgress = -1;
        m_panel.showMessage(
            pushStoppedText(m_push.acknowledged(), m_push.total(), m_link.language()));
        return;
    case PresetPush::State::Idle:
        return;
    }
}

void PresetMenu::showProgress()
{
    m_shownProgress = m_push.acknowledged();
    m_panel.setStatusCaption(
        sendingText(m_push.acknowledged() + 1, m_push.total(), m_link.language()));
}

void PresetMenu::showStatus()
{
    if (m_push.running())
        showProgress();
    else
        m_panel.setStatusCaption(
            statusText(m_link.online() ? Status::Connected : Status::Offline, m_link.language()));
}

} // namespace qj
