#pragma once

#include "link/panelaccess.h"
#include "link/transmitter.h"

namespace qj {

// Click handling of the button groups, Mute, the check boxes and the surround options.
class ButtonHandler
{
public:
    ButtonHandler(PanelAccess &panel, Transmitter &transmitter);

    // EchoMode_Click(Index) and the other groups.
    void GroupClick(Group group, int index);
    void Mute_Click();
    // SuperBass_Click and SubwoofPhase_Click: also run by the program's changes of the box.
    void CheckBoxClick(Control box);
    // SurroundMode1_Click and SurroundMode2_Click: run whenever the option becomes selected.
    void OptionClick(Control option);

private:
    PanelAccess &m_panel;
    Transmitter &m_transmitter;
};

} // namespace qj
