#pragma once

#include <QString>

#include <array>
#include <string_view>

namespace qj {

// What the window holds when it is created, as tables: the sliders with their value and name
// labels, the heading labels, the menu entries and the keyboard focus order. Positions are in
// geometry.h.
//
// Object names: every widget is named after its control ("MusicVolume", "Label5", "Mute");
// an element of a control array is the array's name, an underscore and its index
// ("MusicPitch_5" is the sixth key-shift button). Menu entries are actions named the same way
// ("MenuConnect").

// Captions are marked for translation in this context and translated when the window is built.
inline constexpr char kCaptionContext[] = "qj::Panel";
QString caption(const char *source);

QString elementName(std::string_view array, int index);

// A value label's text colour on its background.
enum class DisplayColours { GreenOnMenuText, WhiteOnMenuText, WhiteOnBlue };

struct SliderRow
{
    std::string_view name;     // the slider; the parameter map gives its wire id and range
    int designValue;           // Value when created
    DisplayColours colours;    // of the value label, named after the slider + "Display"
    const char *designCaption; // the value label's text when created
    std::string_view nameLabel;
    const char *nameCaption;
};

inline constexpr int kSliderCount = 25;
const std::array<SliderRow, kSliderCount> &sliderRows();

// Labels that head a group of controls, and the spinners' name labels.
struct LabelRow
{
    std::string_view name;
    const char *caption;
};

inline constexpr int kHeadingCount = 18;
const std::array<LabelRow, kHeadingCount> &headingRows();

// Controls a caption names that is not their own, for a screen reader that cannot see where it
// stands: a group's heading names each of its buttons ("音乐输入：DVD"), the surround heading
// both options, a limit spinner's name label the spinner. A slider's name label is in its row.
struct NamedByRow
{
    std::string_view control; // a button group stands for all its buttons
    std::string_view label;   // one of headingRows()
};

inline constexpr int kNamedByCount = 12;
const std::array<NamedByRow, kNamedByCount> &namedByRows();

// Names of the controls that have no caption at all.
inline constexpr char kPortNumberName[] = QT_TRANSLATE_NOOP("qj::Panel", "端口号");
inline constexpr char kArrowUpName[] = QT_TRANSLATE_NOOP("qj::Panel", "增大");
inline constexpr char kArrowDownName[] = QT_TRANSLATE_NOOP("qj::Panel", "减小");

// The menu bar: nine entries side by side, none with sub-entries.
enum class MenuEntry {
    OpenFile,
    SaveFile,
    SelectCom,
    Connect,
    Offline,
    Reset,
    ChineseEnglish,
    HelpFile,
    Exit
};

struct MenuRow
{
    MenuEntry entry;
    std::string_view name;
    const char *caption;
};

inline constexpr int kMenuCount = 9;
const std::array<MenuRow, kMenuCount> &menuRows();

// The order in which Tab moves the keyboard focus. A button group's name stands for all its
// buttons, index 0 first.
inline constexpr int kFocusItems = 41;
const std::array<std::string_view, kFocusItems> &focusOrder();

} // namespace qj
