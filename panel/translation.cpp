#include "panel/translation.h"

#include <QCoreApplication>
#include <QDir>

namespace qj {

QStringList Translation::searchDirectories()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return {
        bin + QStringLiteral("/translations"),    // the build folder's top
        bin + QStringLiteral("/../translations"), // programs one folder down: tests, tools
        bin + QStringLiteral("/../share/qj-panel/translations"), // an installation
    };
}

Translation::Translation(QStringList directories) : m_directories(std::move(directories)) {}

bool Translation::setEnglish(bool english)
{
    if (english == m_installed)
        return true;
    if (!english) {
        QCoreApplication::removeTranslator(&m_translator);
        m_installed = false;
        return true;
    }
    if (m_translator.isEmpty()) {
        bool loaded = false;
        for (const QString &dir : m_directories)
            if ((loaded = m_translator.load(QLatin1String(kEnglishFile), QDir::cleanPath(dir))))
                break;
        if (!loaded)
            return false;
    }
    m_installed = QCoreApplication::installTranslator(&m_translator);
    return m_installed;
}

} // namespace qj
