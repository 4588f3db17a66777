#include "app/menuactions.h"

#include "app/standarddialogs.h"
#include "link/deviceurl.h"
#include "link/panelsettings.h"
#include "link/portscan.h"
#include "panel/gesturewatch.h"
#include "panel/helpwindow.h"
#include "panel/panelmenu.h"
#include "panel/panelview.h"
#include "panel/portdialog.h"
#include "panel/widgetpanel.h"

#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QWidget>

namespace qj {

MenuActions::MenuActions(const Parts &parts)
    : m_parts(parts), m_presets(parts.link, parts.panel),
      m_undo(parts.link, parts.panel, m_presets), m_dialogs(std::make_unique<StandardDialogs>()),
      m_offlineWork(
          parts.link, parts.panel, m_presets,
          [this] {
              bool send = false;
              m_parts.panel.whileBoxOpen(
                  [&] { send = m_dialogs->sendOfflineSettings(&m_parts.window); });
              return send;
          },
          [this] { return m_gestures && m_gestures->busy(); }),
      m_scan(&scanPorts)
{
    wire();
}

MenuActions::~MenuActions() = default;

void MenuActions::wire()
{
    const struct
    {
        MenuEntry entry;
        void (MenuActions::*handler)();
    } handlers[] = {
        {MenuEntry::OpenFile, &MenuActions::MenuOpenFile_Click},
        {MenuEntry::SaveFile, &MenuActions::MenuSaveFile_Click},
        {MenuEntry::SelectCom, &MenuActions::MenuSelectCom_Click},
        {MenuEntry::Offline, &MenuActions::MenuOffline_Click},
        {MenuEntry::Reset, &MenuActions::MenuReset_Click},
        {MenuEntry::ChineseEnglish, &MenuActions::MenuChineseEnglish_Click},
        {MenuEntry::HelpFile, &MenuActions::MenuHelpFile_Click},
        {MenuEntry::Exit, &MenuActions::MenuExit_Click},
    };
    for (const auto &h : handlers)
        QObject::connect(m_parts.menu.action(h.entry), &QAction::triggered, &m_parts.window,
                         [this, handler = h.handler] { (this->*handler)(); });

    // The keys people reach for in any desktop program.
    const std::pair<MenuEntry, QKeySequence> keys[] = {
        {MenuEntry::OpenFile, QKeySequence::Open},
        {MenuEntry::SaveFile, QKeySequence::Save},
        {MenuEntry::HelpFile, QKeySequence::HelpContents},
        {MenuEntry::Exit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto &[entry, key] : keys)
        m_parts.menu.setKey(entry, key);

    // Undo and redo have keys but no menu entry: the menu bar keeps its nine entries.
    const struct
    {
        const char *name;
        QList<QKeySequence> keys;
        bool (PanelUndo::*step)();
    } undoKeys[] = {
        {"UndoKey", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &PanelUndo::undo},
        {"RedoKey",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
         &PanelUndo::redo},
    };
    for (const auto &u : undoKeys) {
        auto *action = new QAction(&m_parts.window);
        action->setObjectName(QLatin1String(u.name));
        action->setShortcuts(u.keys);
        m_parts.window.addAction(action);
        QObject::connect(action, &QAction::triggered, &m_parts.window, [this, step = u.step] {
            // A step taken back or made again is the person's own change.
            const Preset before = capturePreset(m_parts.panel);
            if ((m_undo.*step)())
                m_offlineWork.gesture(before);
        });
    }
}

void MenuActions::setDialogs(std::unique_ptr<MenuDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void MenuActions::setPortScanner(PortScanner scanner)
{
    m_scan = std::move(scanner);
}

void MenuActions::useSettings(QSettings *settings)
{
    m_settings = settings;
    if (!m_settings)
        return;
    const PanelSettings stored(*m_settings);
    stored.loadBindings(m_parts.bindings);
    if (const std::optional<bool> english = stored.english())
        switchLanguage(*english);
    else
        followDesktopLanguage();
    m_folder = stored.presetFolder();
}

void MenuActions::followDesktopLanguage()
{
    if (Translation::desktopIsEnglish(QLocale::system().uiLanguages()))
        switchLanguage(true);
}

HelpWindow *MenuActions::helpWindow() const
{
    return m_help;
}

void MenuActions::closing()
{
    m_presets.abandon();
    if (m_help)
        m_help->close();
}

bool MenuActions::switchLanguage(bool english)
{
    if (!m_translation.setEnglish(english)) {
        m_parts.panel.showMessage(noEnglishText(QLatin1String(Translation::kEnglishFile)));
        return false;
    }
    // At once, not when the posted language-change events arrive. The texts are English
    // exactly when the open-file entry no longer carries its Chinese caption.
    m_parts.view.retranslate();
    m_parts.menu.retranslate();
    m_parts.link.setLanguage(m_parts.menu.textLanguage());
    m_presets.showStatus();
    return true;
}

void MenuActions::rememberFolder(const QString &file)
{
    m_folder = QFileInfo(file).absolutePath();
    if (m_settings)
        PanelSettings(*m_settings).setPresetFolder(m_folder);
}

void MenuActions::MenuOpenFile_Click()
{
    const QString path = m_dialogs->openPresetFile(&m_parts.window, m_folder);
    if (path.isEmpty())
        return;
    rememberFolder(path);
    const Preset before = capturePreset(m_parts.panel);
    if (m_presets.openFile(path)) {
        m_undo.recordSince(before);
        m_offlineWork.gesture(before);
    }
}

void MenuActions::MenuSaveFile_Click()
{
    const QString path = m_dialogs->savePresetFile(&m_parts.window, m_folder);
    if (path.isEmpty())
        return;
    rememberFolder(path);
    m_presets.saveFile(path);
}

void MenuActions::MenuSelectCom_Click()
{
    const auto rows = [this] {
        return portRows(m_scan(), m_parts.bindings,
                        [](const QString &device) { return QFileInfo::exists(device); });
    };
    PortDialog dialog(
        rows, [this] { m_parts.host.showMessage(Message::SelectPort); }, &m_parts.window,
        [this](const QString &device, UrlProblem problem) {
            m_parts.panel.showMessage(urlProblemText(device, problem, m_parts.link.language()));
        });
    const int number = Connection::portNumberFrom(m_parts.view.text1()->text());
    const QString bound =
        PortBindings::isValidNumber(number) ? m_parts.bindings.deviceFor(number) : QString();
    const bool network = DeviceUrl::looksLikeUrl(bound);
    // Without a serial port the dialog still serves a number bound to a network device.
    if (dialog.rows().empty() && !network) {
        m_parts.host.showMessage(Message::NoPort);
        return;
    }
    dialog.selectNumber(number);
    if (network) {
        dialog.networkDevice()->setText(bound);
        dialog.numberBox()->setValue(number);
    }
    if (!m_dialogs->runPortDialog(dialog) || !dialog.choice())
        return;

    const PortDialog::Choice choice = *dialog.choice();
    if (!bindChosen(m_parts.bindings, choice.number, choice.device))
        return; // the dialog offers only numbers 1..99 and listed devices
    m_parts.view.text1()->setText(QString::number(choice.number));
    if (m_settings)
        PanelSettings(*m_settings).saveBindings(m_parts.bindings);
}

void MenuActions::MenuOffline_Click()
{
    m_parts.link.disconnect();
}

void MenuActions::MenuReset_Click()
{
    if (!m_dialogs->confirmReset(&m_parts.window))
        return;
    const Preset before = capturePreset(m_parts.panel);
    const bool muteBefore = m_undo.muteLit();
    m_presets.restoreDefaults();
    m_undo.recordSince(before, muteBefore);
    m_offlineWork.gesture(before);
}

void MenuActions::MenuChineseEnglish_Click()
{
    const bool english = m_parts.link.language() == Language::Chinese;
    if (switchLanguage(english) && m_settings)
        PanelSettings(*m_settings).setEnglish(english);
}

void MenuActions::MenuHelpFile_Click()
{
    if (!m_help)
        m_help = new HelpWindow(&m_parts.window);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MenuActions::MenuExit_Click()
{
    m_parts.window.close();
}

} // namespace qj
