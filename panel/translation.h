#pragma once

#include <QStringList>
#include <QTranslator>

namespace qj {

// The window's captions are written in Simplified Chinese; English comes from a translation
// file installed on the application. Removing it brings the Chinese captions back.
class Translation
{
public:
    static constexpr char kEnglishFile[] = "qj-panel_en"; // .qm beside the program

    // Where the translation file is looked for, in order.
    static QStringList searchDirectories();

    explicit Translation(QStringList directories = searchDirectories());

    bool english() const { return m_installed; }
    // Where to look for the translation file the next time English is asked for.
    void setDirectories(QStringList directories) { m_directories = std::move(directories); }

    // Installs or removes the English captions; widgets hear of it by a language-change
    // event. False, with nothing changed, when the translation file cannot be found.
    bool setEnglish(bool english);

private:
    QStringList m_directories;
    QTranslator m_translator; // removes itself from the application when destroyed
    bool m_installed = false;
};

} // namespace qj
