#include "app/presetmenu.h"

#include "panel/offlinestatus.h"
#include "params/parametermap.h"

#include <QFile>
#include <QSaveFile>

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
    // Written beside the old file and renamed over it: a failure leaves the old one whole.
    QSaveFile file(path);
    const QByteArray text = writePreset(capturePreset(m_panel));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_menuTexts.ShowSaveFailed(path, file.errorString());
        return false;
    }
    return true;
}

bool PresetMenu::openFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_menuTexts.ShowOpenFailed(path, file.errorString());
        return false;
    }
    // One byte more than a preset may have, so an oversized file is told apart without
    // reading all of it.
    const QByteArray text = file.read(Preset::kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        m_menuTexts.ShowOpenFailed(path, file.errorString());
        return false;
    }
    PresetProblem problem{};
    const std::optional<Preset> preset = readPreset(text, &problem);
    if (!preset) {
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
