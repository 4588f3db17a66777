#pragma once

#include "panel/controltable.h"

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

    // The captions and tips again, in the language now installed. The open-file caption is the
    // language marker of the status and message texts, so this switches them too.
    void retranslate();

private:
    void describe(const MenuRow &row);

    std::array<QAction *, kMenuCount> m_actions{};
};

} // namespace qj
