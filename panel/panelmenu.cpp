#include "panel/panelmenu.h"

#include "panel/controlhelp.h"

#include <QAction>
#include <QHelpEvent>
#include <QMenuBar>
#include <QToolTip>

namespace qj {

namespace {

// A menu bar shows no tips of its own entries; this shows the tip of the entry under the
// pointer, as a tool bar would.
class EntryTips : public QObject
{
public:
    explicit EntryTips(QMenuBar &bar) : QObject(&bar), m_bar(bar) { bar.installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &m_bar || event->type() != QEvent::ToolTip)
            return false;
        const auto *help = static_cast<QHelpEvent *>(event);
        QAction *entry = m_bar.actionAt(help->pos());
        if (!entry || entry->toolTip().isEmpty()) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(help->globalPos(), entry->toolTip(), &m_bar,
                           m_bar.actionGeometry(entry));
        return true;
    }

private:
    QMenuBar &m_bar;
};

} // namespace

PanelMenu::PanelMenu(QMenuBar &bar)
{
    for (const MenuRow &row : menuRows()) {
        QAction *action = bar.addAction(QString());
        action->setObjectName(
            QString::fromLatin1(row.name.data(), static_cast<qsizetype>(row.name.size())));
        m_actions[static_cast<std::size_t>(row.entry)] = action;
    }
    new EntryTips(bar);
    retranslate();
}

void PanelMenu::setKey(MenuEntry entry, const QKeySequence &key)
{
    action(entry)->setShortcut(key);
    for (const MenuRow &row : menuRows())
        if (row.entry == entry)
            describe(row);
}

void PanelMenu::retranslate()
{
    for (const MenuRow &row : menuRows()) {
        action(row.entry)->setText(caption(row.caption));
        describe(row);
    }
}

void PanelMenu::describe(const MenuRow &row)
{
    QAction *entry = action(row.entry);
    entry->setToolTip(ControlHelp::menuTip(entry->text(), entry->shortcut()));
}

Language PanelMenu::textLanguage() const
{
    return action(MenuEntry::OpenFile)->text() == QStringLiteral("打开文件") ? Language::Chinese
                                                                             : Language::English;
}

} // namespace qj
