#include "params/sliderhandler.h"

#include "params/labeltext.h"
#include "params/parametermap.h"

namespace qj {

SliderHandler::SliderHandler(PanelAccess &panel, CommandSender &sender)
    : m_panel(panel), m_sender(sender)
{}

void SliderHandler::Scroll(int wireId)
{
    const Parameter &param = parameter(wireId);
    if (param.kind != ControlKind::Slider)
        return;
    // The top of the track is Min and stands for the largest value.
    const int p =
        m_panel.sliderMin(wireId) + m_panel.sliderMax(wireId) - m_panel.sliderValue(wireId);
    const QString caption = labelText(param.style, p);
    m_panel.setDisplayCaption(wireId, caption);
    m_panel.setSliderTip(wireId, caption.trimmed());

    if (!m_sender.online())
        return; // offline: only the panel moves
    m_sender.issue(param.cmdId(), static_cast<std::uint8_t>(p));
}

} // namespace qj
