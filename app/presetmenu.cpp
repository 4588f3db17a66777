#include "app/presetmenu.h"

#include "app/presetfile.h"
#include "panel/offlinestatus.h"
#include "params/parametermap.h"

#include <algorithm>
#include <set>

namespace qj {

PresetMenu::PresetMenu(PanelAccess &panel, Transmitter &transmitter, Texts &texts,
                       MenuTexts &menuTexts)
    : m_panel(panel), m_transmitter(transmitter), m_texts(texts), m_menuTexts(menuTexts),
      m_push(panel, transmitter)
{}

bool PresetMenu::saveFile(const QString &path)
{
    if (const FileProblem problem = PresetFile::write(path, writePreset(capturePreset(m_panel)))) {
        m_menuTexts.ShowSaveFailed(path, problem);
        return false;
    }
    return true;
}

bool PresetMenu::openFile(const QString &path)
{
    const PresetFile::Contents file = PresetFile::read(path, Preset::kMaxFileSize);
    if (file.problem) {
        m_menuTexts.ShowOpenFailed(path, file.problem);
        return false;
    }
    PresetProblem problem{};
    const std::optional<Preset> preset = readPreset(file.bytes, &problem);
    if (!preset) {
        // Only the start of an oversized file was read: its size is the file system's to tell.
        if (problem.kind == PresetProblem::TooLarge)
            problem.value = file.size;
        m_menuTexts.ShowPresetRejected(path, problem);
        return false;
    }
    bring(*preset);
    return true;
}

void PresetMenu::restoreDefaults()
{
    bring(offlinePreset());
}

void PresetMenu::bring(const Preset &wanted)
{
    std::vector<std::pair<int, int>> changes = presetChanges(capturePreset(m_panel), wanted);

    // Settings the processor may not hold although the panel shows them: those a running
    // push has not had acknowledged, and a user's command that the first send replaces.
    std::set<int> unsure;
    for (const auto &[wireId, value] : m_push.unacknowledged())
        unsure.insert(wireId);
    if (m_transmitter.state().CmdId != 0)
        unsure.insert(m_transmitter.state().CmdId - 1);
    for (const int wireId : unsure) {
        const bool listed = std::any_of(changes.begin(), changes.end(),
                                        [wireId](const auto &c) { return c.first == wireId; });
        if (!listed && inPreset(wireId) && parameter(wireId).kind != ControlKind::Spinner)
            changes.emplace_back(wireId, wanted.values[static_cast<std::size_t>(wireId)]);
    }
    std::sort(changes.begin(), changes.end());

    applyPreset(m_panel, wanted);
    if (!online())
        return; // offline the panel alone changes
    m_shownProgress = -1;
    handle(m_push.start(std::move(changes)));
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
        // The panel is offline already and has said why (the give-up or the lost device).
        m_shownProgress = -1;
        m_menuTexts.ShowPushStopped(m_push.acknowledged(), m_push.total());
        return;
    case PresetPush::State::Idle:
        return;
    }
}

void PresetMenu::showProgress()
{
    m_shownProgress = m_push.acknowledged();
    m_panel.setStatusCaption(m_menuTexts.sendingStatus(m_push.acknowledged() + 1, m_push.total()));
}

void PresetMenu::showStatus()
{
    if (m_push.running())
        showProgress();
    else if (online())
        m_texts.ShowConnect();
    else
        m_panel.setStatusCaption(m_texts.offlineStatus());
}

} // namespace qj
