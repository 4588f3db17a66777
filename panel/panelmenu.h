#pragma once

#include "panel/controltable.h"
#include "params/texts.h"

#include <array>

class QAction;
class QMenuBar;

namespace qj {

// The nine menu entries, placed directly in the menu bar as actions without sub-menus.
class PanelMenu
{
public:
    explicit PanelMenu(QMenuBar &bar);

    QAction *action(MenuEntry entry) const { return m_actions[static_cast<std::size_t>(entry)]; }

    // The captions again, in the language now installed.
    void retranslate();

    // The language of the status and message texts that goes with the captions: Chinese
    // exactly while the open-file entry reads "打开文件".
    Language textLanguage() const;

private:
    std::array<QAction *, kMenuCount> m_actions{};
};

} // namespace qj
