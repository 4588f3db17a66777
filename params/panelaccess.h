#pragma once

#include "params/buttongroups.h"

#include <QString>

namespace qj {

enum class ButtonColour { Face, Red, Green };

// The controls that are neither sliders nor button groups. Each has its own Enabled flag, which
// the program clears around a change it makes itself, so the control's handler sends nothing.
enum class Control {
    SuperBass,
    SubwoofPhase,
    SurroundMode1,
    SurroundMode2,
    MaxMusicVolume,
    MaxMicVolume,
};

// The panel's controls as the link and the control handlers see them: the widgets, or a model of
// them in a headless client and in the engine's tests. Sliders and value labels are addressed by
// the wire id of their parameter (the limit spinners' labels by 29 and 30). Whether the panel is
// online is the link's own state, not a control's.
class PanelAccess
{
public:
    virtual ~PanelAccess() = default;

    // Sliders. Setting Max or Value from here runs no handler.
    virtual int sliderMin(int wireId) const = 0;
    virtual int sliderMax(int wireId) const = 0;
    virtual int sliderValue(int wireId) const = 0;
    virtual void setSliderMax(int wireId, int max) = 0;
    virtual void setSliderValue(int wireId, int value) = 0;
    virtual QString sliderTip(int wireId) const = 0;
    virtual void setSliderTip(int wireId, const QString &text) = 0;

    // Value labels of the sliders and of the limit spinners.
    virtual QString displayCaption(int wireId) const = 0;
    virtual void setDisplayCaption(int wireId, const QString &text) = 0;

    // Command buttons: the groups, and Mute. Colours run no handler.
    virtual ButtonColour buttonColour(Group group, int index) const = 0;
    virtual void setButtonColour(Group group, int index, ButtonColour colour) = 0;
    virtual ButtonColour muteColour() const = 0;
    virtual void setMuteColour(ButtonColour colour) = 0;

    // A control's own Enabled (not its window's).
    virtual bool isEnabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // Check boxes (0 clear, 1 ticked), options (1 selected) and spinners. A change made here
    // runs the control's own handler at once, before this returns, as a user's change does;
    // setting the value it already has runs nothing.
    virtual int value(Control control) const = 0;
    virtual void setValue(Control control, int value) = 0;

    // The window as a whole: disabled while the offline procedure runs, so no user input comes
    // between its steps.
    virtual void setWindowEnabled(bool enabled) = 0;
};

} // namespace qj
