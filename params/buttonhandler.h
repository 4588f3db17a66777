#pragma once

#include "params/commandsender.h"
#include "params/panelaccess.h"

namespace qj {

// Click handling of the button groups, Mute, the check boxes and the surround options.
class ButtonHandler
{
public:
    ButtonHandler(PanelAccess &panel, CommandSender &sender);

    // EchoMode_Click(Index) and the other groups.
    void GroupClick(Group group, int index);
    void Mute_Click();
    // SuperBass_Click and SubwoofPhase_Click: also run by the program's changes of the box.
    void CheckBoxClick(Control box);
    // SurroundMode1_Click and SurroundMode2_Click: run whenever the option becomes selected.
    void OptionClick(Control option);

private:
    PanelAccess &m_panel;
    CommandSender &m_sender;
};

} // namespace qj
