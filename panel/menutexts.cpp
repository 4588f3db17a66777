#include "panel/menutexts.h"

#include "panel/language.h"

#include <QDir>

namespace qj {

MenuTexts::MenuTexts(PanelAccess &panel) : m_panel(panel) {}

bool MenuTexts::chinese() const
{
    return speaksChinese(m_panel);
}

QString MenuTexts::sendingStatus(int current, int total) const
{
    return (chinese() ? QStringLiteral("发送 %1/%2") : QStringLiteral("Sending %1/%2"))
        .arg(current)
        .arg(total);
}

void MenuTexts::ShowPushStopped(int sent, int total)
{
    m_panel.showMessage(
        (chinese() ? QStringLiteral("预设发送中断：%2 项设置中已发送 %1 项。")
                   : QStringLiteral("Sending the preset stopped: %1 of %2 settings were sent."))
            .arg(sent)
            .arg(total));
}

void MenuTexts::ShowOpenFailed(const QString &file, const FileProblem &problem)
{
    const QString name = QDir::toNativeSeparators(file);
    const QString reason = problem.text(chinese());
    m_panel.showMessage((chinese() ? QStringLiteral("无法打开预设文件“%1”：%2")
                                   : QStringLiteral("Cannot open the preset file \"%1\": %2"))
                            .arg(name, reason));
}

void MenuTexts::ShowPresetRejected(const QString &file, const PresetProblem &problem)
{
    const QString name = QDir::toNativeSeparators(file);
    m_panel.showMessage((chinese()
                             ? QStringLiteral("预设文件“%1”没有载入，面板未改变。\r\n%2")
                             : QStringLiteral("The preset file \"%1\" was not loaded; the panel is "
                                              "unchanged.\r\n%2"))
                            .arg(name, problem.text(chinese())));
}

void MenuTexts::ShowSaveFailed(const QString &file, const FileProblem &problem)
{
    const QString name = QDir::toNativeSeparators(file);
    const QString reason = problem.text(chinese());
    m_panel.showMessage((chinese() ? QStringLiteral("无法保存预设文件“%1”：%2")
                                   : QStringLiteral("Cannot save the preset file \"%1\": %2"))
                            .arg(name, reason));
}

void MenuTexts::ShowNoEnglish()
{
    // Only ever shown while the panel still speaks Chinese.
    m_panel.showMessage(QStringLiteral("找不到英文界面文件 %1.qm。\r\nEnglish captions not found.")
                            .arg(QLatin1String(Language::kEnglishFile)));
}

} // namespace qj
