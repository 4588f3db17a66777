#include "panel/translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

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

QString Translation::qtDirectory()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool Translation::desktopIsEnglish(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return false;
    const QString first = uiLanguages.first();
    // "en", "en-US", "en_GB": the language before any region or script.
    return first.section(u'-', 0, 0)
               .section(u'_', 0, 0)
               .compare(QLatin1String("en"), Qt::CaseInsensitive) == 0;
}

Translation::Translation(QStringList directories, QString qtDirectory)
    : m_directories(std::move(directories)), m_qtDirectory(std::move(qtDirectory))
{
    installQt(false);
}

bool Translation::setEnglish(bool english)
{
    if (english == m_installed)
        return true;
    if (!english) {
        QCoreApplication::removeTranslator(&m_translator);
        m_installed = false;
        installQt(false);
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
    if (m_installed)
        installQt(true);
    return m_installed;
}

void Translation::installQt(bool english)
{
    if (m_qtInstalled)
        QCoreApplication::removeTranslator(&m_qtTranslator);
    const QString file =
        QLatin1String(kQtFile) + u'_' + QLatin1String(english ? kQtEnglish : kQtChinese);
    m_qtInstalled = m_qtTranslator.load(file, m_qtDirectory) &&
                    QCoreApplication::installTranslator(&m_qtTranslator);
}

} // namespace qj
