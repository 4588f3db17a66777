#pragma once

#include "params/commandsender.h"
#include "params/panelaccess.h"

namespace qj {

// The scroll procedure behind all 25 sliders: parameter value from the thumb's position,
// the value label and tip text in the slider's style, and while online the command.
class SliderHandler
{
public:
    SliderHandler(PanelAccess &panel, CommandSender &sender);

    // A user movement of the slider of `wireId` (MusicVolume_Scroll is Scroll(31)).
    void Scroll(int wireId);

private:
    PanelAccess &m_panel;
    CommandSender &m_sender;
};

} // namespace qj
