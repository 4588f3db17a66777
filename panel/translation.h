#pragma once

#include <QStringList>
#include <QTranslator>

namespace qj {

// The window's captions are written in Simplified Chinese; English comes from a translation
// file installed on the application. Removing it brings the Chinese captions back. Qt's own
// texts (the file dialogs, the standard buttons) follow the same switch, from Qt's
// translations (Debian: qt6-translations-l10n); without them they stay English.
class Translation
{
public:
    static constexpr char kEnglishFile[] = "qj-panel_en"; // .qm beside the program
    static constexpr char kQtFile[] = "qtbase";           // qtbase_<language>.qm of Qt's own
    static constexpr char kQtEnglish[] = "en";
    static constexpr char kQtChinese[] = "zh_CN";

    // Where the translation file is looked for, in order.
    static QStringList searchDirectories();
    // Where Qt's own translations are installed.
    static QString qtDirectory();
    // Whether a desktop whose UI languages are these, most wanted first, speaks English: only
    // when the first is English. Anything else (the neutral "C" included) gets the Chinese.
    static bool desktopIsEnglish(const QStringList &uiLanguages);

    // Qt's own texts in Chinese from the start, as the captions are.
    explicit Translation(QStringList directories = searchDirectories(),
                         QString qtDirectory = Translation::qtDirectory());

    bool english() const { return m_installed; }
    // Whether Qt's own texts come from a translation file now (false: Qt's built-in English).
    bool qtTranslated() const { return m_qtInstalled; }
    // Where to look for the translation file the next time English is asked for.
    void setDirectories(QStringList directories) { m_directories = std::move(directories); }

    // Installs or removes the English captions, and Qt's own texts in the same language;
    // widgets hear of it by a language-change event. False, with nothing changed, when the
    // translation file cannot be found.
    bool setEnglish(bool english);

private:
    void installQt(bool english);

    QStringList m_directories;
    QString m_qtDirectory;
    QTranslator m_translator; // removes itself from the application when destroyed
    QTranslator m_qtTranslator;
    bool m_installed = false;
    bool m_qtInstalled = false;
};

} // namespace qj
