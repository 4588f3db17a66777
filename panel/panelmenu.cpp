#include "panel/panelmenu.h"

#include <QAction>
#include <QMenuBar>

namespace qj {

PanelMenu::PanelMenu(QMenuBar &bar)
{
    for (const MenuRow &row : menuRows()) {
        QAction *action = bar.addAction(QString());
        action->setObjectName(
            QString::fromLatin1(row.name.data(), static_cast<qsizetype>(row.name.size())));
        m_actions[static_cast<std::size_t>(row.entry)] = action;
    }
    retranslate();
}

void PanelMenu::retranslate()
{
    for (const MenuRow &row : menuRows())
        action(row.entry)->setText(caption(row.caption));
}

Language PanelMenu::textLanguage() const
{
    return action(MenuEntry::OpenFile)->text() == QStringLiteral("打开文件") ? Language::Chinese
                                                                             : Language::English;
}

} // namespace qj
