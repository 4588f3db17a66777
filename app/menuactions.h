#pragma once

#include "app/menudialogs.h"
#include "app/offlinework.h"
#include "app/panelundo.h"
#include "app/presetmenu.h"
#include "link/link.h"
#include "link/portlist.h"
#include "panel/translation.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QSettings;
class QWidget;

namespace qj {

class GestureWatch;
class HelpWindow;
class PanelMenu;
class PanelView;
class WidgetPanel;

// The menu entries other than connecting: preset files, the port choice, disconnecting, the
// reset, the language, the help and leaving. The window owns one and calls afterTick() after
// each tick of the link.
class MenuActions
{
public:
    using PortScanner = std::function<std::vector<FoundPort>()>;

    struct Parts
    {
        QWidget &window;
        PanelView &view;
        PanelMenu &menu;
        WidgetPanel &panel;
        Link &link;
        LinkHost &host; // shows the messages the link's own procedures show
        PortBindings &bindings;
    };

    explicit MenuActions(const Parts &parts);
    ~MenuActions();

    void setDialogs(std::unique_ptr<MenuDialogs> dialogs);
    // Where the person's input enters the controls (the question waits for the hands).
    void setGestures(const GestureWatch *gestures) { m_gestures = gestures; }
    void setPortScanner(PortScanner scanner);

    // Restores the remembered language and port bindings from `settings` and remembers
    // changes there from now on; the settings must outlive this or be taken back with
    // useSettings(nullptr). Without settings nothing is read or written.
    void useSettings(QSettings *settings);
    // With no language remembered the captions follow the desktop's first UI language:
    // English when it is English, Chinese otherwise.
    void followDesktopLanguage();

    void afterTick()
    {
        m_presets.afterTick();
        m_offlineWork.afterTick();
    }
    // The window is closing: so does the help, and a running push ends without a message.
    void closing();

    // Switches every caption, and the link's language with them; false (and a message) when
    // English is not available.
    bool switchLanguage(bool english);

    PresetMenu &presets() { return m_presets; }
    PanelUndo &undo() { return m_undo; }
    OfflineWork &offlineWork() { return m_offlineWork; }
    Translation &translation() { return m_translation; }
    HelpWindow *helpWindow() const; // null until the help is first asked for

    void MenuOpenFile_Click();
    void MenuSaveFile_Click();
    void MenuSelectCom_Click();
    void MenuOffline_Click();
    void MenuReset_Click();
    void MenuChineseEnglish_Click();
    void MenuHelpFile_Click();
    void MenuExit_Click();

private:
    void wire();
    void rememberFolder(const QString &file);

    Parts m_parts;
    PresetMenu m_presets;
    PanelUndo m_undo;
    Translation m_translation;
    std::unique_ptr<MenuDialogs> m_dialogs;
    OfflineWork m_offlineWork;
    PortScanner m_scan;
    QSettings *m_settings = nullptr;
    const GestureWatch *m_gestures = nullptr;
    QPointer<HelpWindow> m_help;
    QString m_folder; // where the last preset was opened or saved
};

} // namespace qj
