#include "link/panelsettings.h"

#include <QSettings>

namespace qj {

PanelSettings::PanelSettings(QSettings &settings) : m_settings(settings) {}

std::optional<bool> PanelSettings::english() const
{
    const QString language = m_settings.value(QLatin1String(kLanguageKey)).toString();
    if (language == QLatin1String(kEnglish))
        return true;
    if (language == QLatin1String(kChinese))
        return false;
    return std::nullopt; // nothing, or nothing this program wrote
}

void PanelSettings::setEnglish(bool english)
{
    m_settings.setValue(QLatin1String(kLanguageKey), QLatin1String(english ? kEnglish : kChinese));
    m_settings.sync();
}

void PanelSettings::loadBindings(PortBindings &into) const
{
    m_settings.beginGroup(QLatin1String(kPortsGroup));
    for (const QString &key : m_settings.childKeys()) {
        bool ok = false;
        const int number = key.toInt(&ok);
        if (ok)
            into.bind(number, m_settings.value(key).toString()); // refuses what is not valid
    }
    m_settings.endGroup();
}

void PanelSettings::saveBindings(const PortBindings &bindings)
{
    m_settings.remove(QLatin1String(kPortsGroup));
    m_settings.beginGroup(QLatin1String(kPortsGroup));
    for (auto it = bindings.all().constBegin(); it != bindings.all().constEnd(); ++it)
        m_settings.setValue(QString::number(it.key()), *it);
    m_settings.endGroup();
    m_settings.sync();
}

std::optional<QPoint> PanelSettings::windowPosition() const
{
    const QVariant value = m_settings.value(QLatin1String(kPositionKey));
    if (!value.canConvert<QPoint>() || value.typeId() != QMetaType::QPoint)
        return std::nullopt;
    return value.toPoint();
}

void PanelSettings::setWindowPosition(QPoint position)
{
    m_settings.setValue(QLatin1String(kPositionKey), position);
    m_settings.sync();
}

QString PanelSettings::presetFolder() const
{
    return m_settings.value(QLatin1String(kFolderKey)).toString();
}

void PanelSettings::setPresetFolder(const QString &folder)
{
    m_settings.setValue(QLatin1String(kFolderKey), folder);
    m_settings.sync();
}

} // namespace qj
