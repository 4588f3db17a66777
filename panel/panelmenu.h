#pragma once

#include "panel/controltable.h"
#include "params/texts.h"

#include <array>

class QAction;
class QKeySequence;
class QMenuBar;

namespace qj {

// The nine menu entries, placed directly in the menu bar as actions without sub-menus. Resting
// the pointer on an entry shows its tip, with its key where it has one.
class PanelMenu
{
public:
    explicit PanelMenu(QMenuBar &bar);

    QAction *action(MenuEntry entry) const { return m_actions[static_cast<std::size_t>(entry)]; }

    // Gives the entry a key; its tip names it.
    void setKey(MenuEntry entry, const QKeySequence &key);

    // The captions and tips again, in the language now installed.
    void retranslate();

    // The language of the status and message texts that goes with the captions: Chinese
    // exactly while the open-file entry reads "打开文件".
    Language textLanguage() const;

private:
    void describe(const MenuRow &row);

    std::array<QAction *, kMenuCount> m_actions{};
};

} // namespace qj
