#include "params/spinnerhandler.h"

#include "params/labeltext.h"
#include "params/parametermap.h"

namespace qj {

SpinnerHandler::SpinnerHandler(PanelAccess &panel) : m_panel(panel) {}

void SpinnerHandler::Change(Control spinner)
{
    // Reports disable the spinner around their change: then only the spinner moves.
    if (!m_panel.isEnabled(spinner))
        return;
    const bool music = spinner == Control::MaxMusicVolume;
    const int limitId = music ? wire::kMaxMusicVolume : wire::kMaxMicVolume;
    const int levelId = music ? wire::kMusicVolume : wire::kMicVolume;

    m_panel.setDisplayCaption(limitId, QString::number(m_panel.value(spinner)));
    m_panel.setSliderMax(levelId, roundHalfEven(leadingNumber(m_panel.displayCaption(limitId))));

    // The level shown drops to the new limit when it is above it.
    const double level = leadingNumber(m_panel.displayCaption(levelId));
    if (level > leadingNumber(m_panel.displayCaption(limitId)))
        m_panel.setDisplayCaption(levelId, m_panel.displayCaption(limitId));

    const double shown = leadingNumber(m_panel.displayCaption(levelId));
    m_panel.setSliderValue(levelId, roundHalfEven(m_panel.sliderMax(levelId) - shown));
}

} // namespace qj
