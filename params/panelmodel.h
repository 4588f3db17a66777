#pragma once

#include "params/panelaccess.h"
#include "params/parametermap.h"

#include <array>
#include <functional>

namespace qj {

// The panel's controls as plain values, for a program without a window and for the engine's
// tests. It behaves as the widgets do: a slider keeps its value within its range, a spinner
// within its parameter's range, an option is only ever selected (which clears its partner), and
// a change of a check box's, an option's or a spinner's value runs the change handler at once,
// before setValue returns; setting the value a control already holds runs nothing. Created as
// the window is: sliders at Min, spinners at their lowest, boxes clear, no option selected,
// buttons in button face, every control enabled, value labels empty.
class PanelModel : public PanelAccess
{
public:
    using ChangeHandler = std::function<void(Control)>;

    PanelModel();

    // Runs for each change of a check box's, an option's or a spinner's value (for the options,
    // with the one that became selected): the link's controlChanged.
    void setChangeHandler(ChangeHandler handler) { m_onChange = std::move(handler); }

    bool windowEnabled() const { return m_windowEnabled; }
    // The parameter value a slider shows by its position: Min + Max - Value.
    int shown(int wireId) const;

    int sliderMin(int wireId) const override;
    int sliderMax(int wireId) const override;
    int sliderValue(int wireId) const override;
    void setSliderMax(int wireId, int max) override;
    void setSliderValue(int wireId, int value) override;
    QString sliderTip(int wireId) const override;
    void setSliderTip(int wireId, const QString &text) override;

    QString displayCaption(int wireId) const override;
    void setDisplayCaption(int wireId, const QString &text) override;

    ButtonColour buttonColour(Group group, int index) const override;
    void setButtonColour(Group group, int index, ButtonColour colour) override;
    ButtonColour muteColour() const override { return m_mute; }
    void setMuteColour(ButtonColour colour) override { m_mute = colour; }

    bool isEnabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;

    int value(Control control) const override;
    void setValue(Control control, int value) override;

    void setWindowEnabled(bool enabled) override { m_windowEnabled = enabled; }

private:
    static constexpr std::size_t kControls = static_cast<std::size_t>(Control::MaxMicVolume) + 1;

    struct Slider
    {
        int min = 0;
        int max = 0;
        int value = 0;
        QString tip;
    };

    Slider &slider(int wireId);
    const Slider &slider(int wireId) const;

    std::array<Slider, kParameterCount> m_sliders{}; // by wire id; only the sliders' are used
    std::array<QString, kParameterCount> m_captions{};
    std::array<std::array<ButtonColour, kMaxGroupButtons>, kGroupCount> m_colours{};
    std::array<bool, kControls> m_enabled{};
    std::array<int, kControls> m_values{};
    ButtonColour m_mute = ButtonColour::Face;
    bool m_windowEnabled = true;
    ChangeHandler m_onChange;
};

} // namespace qj
