#include "params/panelmodel.h"

#include <algorithm>

namespace qj {

namespace {

std::size_t at(Control control)
{
    return static_cast<std::size_t>(control);
}

// The limit spinners' parameters.
int spinnerWireId(Control spinner)
{
    return spinner == Control::MaxMusicVolume ? wire::kMaxMusicVolume : wire::kMaxMicVolume;
}

} // namespace

PanelModel::PanelModel()
{
    for (const Parameter &p : parameters())
        if (p.kind == ControlKind::Slider)
            m_sliders[p.wireId] = {p.min, p.max, p.min, {}};
    m_enabled.fill(true);
    for (Control spinner : {Control::MaxMusicVolume, Control::MaxMicVolume})
        m_values[at(spinner)] = parameter(spinnerWireId(spinner)).min;
}

PanelModel::Slider &PanelModel::slider(int wireId)
{
    Slider &s = m_sliders.at(static_cast<std::size_t>(wireId));
    Q_ASSERT_X(parameter(wireId).kind == ControlKind::Slider, "PanelModel", "not a slider");
    return s;
}

const PanelModel::Slider &PanelModel::slider(int wireId) const
{
    return const_cast<PanelModel *>(this)->slider(wireId);
}

int PanelModel::shown(int wireId) const
{
    const Slider &s = slider(wireId);
    return s.min + s.max - s.value;
}

int PanelModel::sliderMin(int wireId) const
{
    return slider(wireId).min;
}

int PanelModel::sliderMax(int wireId) const
{
    return slider(wireId).max;
}

int PanelModel::sliderValue(int wireId) const
{
    return slider(wireId).value;
}

void PanelModel::setSliderMax(int wireId, int max)
{
    Slider &s = slider(wireId);
    s.max = max;
    s.value = std::clamp(s.value, s.min, s.max);
}

void PanelModel::setSliderValue(int wireId, int value)
{
    Slider &s = slider(wireId);
    s.value = std::clamp(value, s.min, s.max);
}

QString PanelModel::sliderTip(int wireId) const
{
    return slider(wireId).tip;
}

void PanelModel::setSliderTip(int wireId, const QString &text)
{
    slider(wireId).tip = text;
}

QString PanelModel::displayCaption(int wireId) const
{
    return m_captions.at(static_cast<std::size_t>(wireId));
}

void PanelModel::setDisplayCaption(int wireId, const QString &text)
{
    m_captions.at(static_cast<std::size_t>(wireId)) = text;
}

ButtonColour PanelModel::buttonColour(Group group, int index) const
{
    if (index < 0 || index >= buttonGroup(group).count)
        return ButtonColour::Face;
    return m_colours[static_cast<std::size_t>(group)][static_cast<std::size_t>(index)];
}

void PanelModel::setButtonColour(Group group, int index, ButtonColour colour)
{
    if (index < 0 || index >= buttonGroup(group).count)
        return; // no such button, as on the window
    m_colours[static_cast<std::size_t>(group)][static_cast<std::size_t>(index)] = colour;
}

bool PanelModel::isEnabled(Control control) const
{
    return m_enabled[at(control)];
}

void PanelModel::setEnabled(Control control, bool enabled)
{
    m_enabled[at(control)] = enabled;
}

int PanelModel::value(Control control) const
{
    return m_values[at(control)];
}

void PanelModel::setValue(Control control, int value)
{
    switch (control) {
    case Control::MaxMusicVolume:
    case Control::MaxMicVolume: {
        const Parameter &p = parameter(spinnerWireId(control));
        value = std::clamp(value, p.min, p.max);
        break;
    }
    case Control::SurroundMode1:
    case Control::SurroundMode2: {
        if (value == 0 || m_values[at(control)] != 0)
            return; // an option is only ever selected, and selecting it again changes nothing
        const Control partner =
            control == Control::SurroundMode1 ? Control::SurroundMode2 : Control::SurroundMode1;
        m_values[at(partner)] = 0;
        value = 1;
        break;
    }
    case Control::SuperBass:
    case Control::SubwoofPhase:
        value = value != 0 ? 1 : 0;
        break;
    }
    if (m_values[at(control)] == value)
        return;
    m_values[at(control)] = value;
    if (m_onChange)
        m_onChange(control);
}

} // namespace qj
