#pragma once

#include "params/panelaccess.h"

namespace qj {

// MaxMusicVolume_Change and MaxMicVolume_Change: a limit spinner sets the Max of its level
// slider and lowers the level shown to fit. Nothing is sent.
class SpinnerHandler
{
public:
    explicit SpinnerHandler(PanelAccess &panel);

    // Runs for every change of the spinner's value, the program's included.
    void Change(Control spinner);

private:
    PanelAccess &m_panel;
};

} // namespace qj
