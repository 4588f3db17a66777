#pragma once

#include "link/link.h"
#include "link/presetpush.h"
#include "params/preset.h"

namespace qj {

class WidgetPanel;

// Preset files and the reset: the panel takes the wanted settings at once and, while online,
// the processor receives every one that differs, one command at a time, with the progress on
// the status lamp.
class PresetMenu
{
public:
    PresetMenu(Link &link, WidgetPanel &panel);

    // Every setting the panel shows, into a file; false (and a message) when it cannot be.
    bool saveFile(const QString &path);
    // Validates the whole file first: a bad one is refused with the reason and changes nothing.
    bool openFile(const QString &path);
    // The offline defaults on the panel, and to the processor while online, where a lit Mute
    // is toggled back to plain by one more mute command.
    void restoreDefaults();
    // `wanted` on the panel at once and, while online, every setting that differs to the
    // processor; with `toggleMute`, Mute changes colour and its toggle goes out last. The
    // settings `unsent` go out even where the panel shows them already.
    void bring(const Preset &wanted, bool toggleMute = false, const std::vector<int> &unsent = {});
    // `settings` on the panel, and to the processor while online (the settings kept from
    // offline work).
    void send(const Preset &settings) { bring(settings); }

    // The person changed these settings online: a running push leaves them out.
    void leaveOut(const std::vector<int> &wireIds);
    // After every tick: the next setting once the last was acknowledged.
    void afterTick();
    // The status lamp as things stand: the progress, connected or offline.
    void showStatus();
    // The window is closing: a running push ends here, silently.
    void abandon() { m_push.abandon(); }
    // A link failure: a running push ends here, and the failure's own message tells how far
    // it got (the text returned; empty when no push was running).
    QString stopForFailure();

    bool pushing() const { return m_push.running(); }
    const PresetPush &push() const { return m_push; }

private:
    void handle(PresetPush::State state);
    void showProgress();

    Link &m_link;
    WidgetPanel &m_panel;
    PresetPush m_push;
    int m_shownProgress = -1; // acknowledgements the lamp shows, -1: it shows something else
};

} // namespace qj
