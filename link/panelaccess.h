#pragma once

#include "params/buttongroups.h"

#include <QString>

namespace qj {

enum class ButtonColour { Face, Red, Green };

// Controls other than the sliders and the button groups.
enum class Control {
    Mute,
    MenuConnect,
    SuperBass,
    SubwoofPhase,
    SurroundMode1,
    SurroundMode2,
    MaxMusicVolume,
    MaxMicVolume,
};

// The window as the link and the control handlers see it. The widgets hold the panel's state;
// this is the narrow way in, so the protocol engine never touches a widget and tests can put
// a model in its place. Sliders and value labels are addressed by the wire id of their
// parameter (the limit spinners' labels by 29 and 30).
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

    // A control's own Enabled (not its window's): Mute's is the online flag.
    virtual bool isEnabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // Check boxes (0 clear, 1 ticked), options (1 selected) and spinners. A change made here
    // runs the control's own handler at once, before this returns, as a user's change does;
    // setting the value it already has runs nothing.
    virtual int value(Control control) const = 0;
    virtual void setValue(Control control, int value) = 0;

    // The window as a whole, the status lamp and the language marker.
    virtual void setWindowEnabled(bool enabled) = 0;
    virtual QString statusCaption() const = 0;
    virtual void setStatusCaption(const QString &text) = 0;
    virtual QString menuOpenFileCaption() const = 0;

    // A modal message box: the text, one OK button, no icon, title "QJ".
    virtual void showMessage(const QString &text) = 0;
};

} // namespace qj

namespace qj {

// The panel speaks Chinese exactly while the open-file menu entry carries its Chinese caption;
// asked afresh for every text.
inline bool speaksChinese(const PanelAccess &panel)
{
    return panel.menuOpenFileCaption() == QStringLiteral("打开文件");
}

} // namespace qj
