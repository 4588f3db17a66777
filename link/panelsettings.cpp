#include "link/panelsettings.h"

#include <QSettings>

namespace qj {

PanelSettings::PanelSettings(QSettings &settings) : m_settings(settings) {}

bool PanelSettings::english() const
{
    return m_settings.value(QLatin1String(kLanguageKey)).toString() == QLatin1String(kEnglish);
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

} // namespace qj
