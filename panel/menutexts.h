#pragma once

#include "link/panelaccess.h"
#include "panel/fileproblem.h"
#include "params/preset.h"

namespace qj {

// The status and message texts of the menu entries, each in the language the panel speaks at
// that moment (the same test as the link's own texts).
class MenuTexts
{
public:
    explicit MenuTexts(PanelAccess &panel);

    // The status lamp while a preset goes out; short, the lamp is narrow.
    QString sendingStatus(int current, int total) const; // "发送 3/12" / "Sending 3/12"

    void ShowPushStopped(int sent, int total);
    void ShowOpenFailed(const QString &file, const FileProblem &problem);
    void ShowPresetRejected(const QString &file, const PresetProblem &problem);
    void ShowSaveFailed(const QString &file, const FileProblem &problem);
    void ShowNoEnglish();

private:
    bool chinese() const;

    PanelAccess &m_panel;
};

} // namespace qj
