#pragma once

#include "panel/controltable.h"

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

    // The captions again, in the language now installed. The open-file caption is the
    // language marker of the status and message texts, so this switches them too.
    void retranslate();

private:
    std::array<QAction *, kMenuCount> m_actions{};
};

} // namespace qj
