#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qj {

// The eight command-button groups. Each holds its choice only in its buttons' colours.
enum class Group {
    MusicSelect,
    MusicVocal,
    MusicPitch,
    FeedbackClass,
    KaraokeMode,
    EchoMode,
    RunMode,
    SaveMode
};

inline constexpr int kGroupCount = 8;
inline constexpr int kMaxGroupButtons = 11;

// A group's captions and size are its own; its wire id and the button lit on the offline panel
// are read from the parameter table.
struct ButtonGroup
{
    Group group;
    std::string_view name;
    int wireId; // the parameter of the same name; -1: SaveMode sends nothing
    int count;  // buttons, indices 0..count-1
    std::array<std::string_view, kMaxGroupButtons> captions;
    int offlineChoice; // the button whose value the offline panel shows; -1 none

    constexpr std::uint8_t cmdId() const { return static_cast<std::uint8_t>(wireId + 1); }
};

// The key-shift button that means "no shift" is lit green instead of red.
inline constexpr int kPitchNeutralIndex = 5;
// The source group's "Auto" button sends 8; a report lights it for bit 3.
inline constexpr int kSelectAutoIndex = 5;
inline constexpr std::uint8_t kSelectAutoValue = 8;
// The "SD\USB" source button exists but is never shown.
inline constexpr int kSelectHiddenIndex = 4;

const std::array<ButtonGroup, kGroupCount> &buttonGroups();
const ButtonGroup &buttonGroup(Group g);

// The value byte a click on button `index` sends.
constexpr std::uint8_t groupValue(Group g, int index)
{
    if (g == Group::MusicSelect && index == kSelectAutoIndex)
        return kSelectAutoValue;
    return static_cast<std::uint8_t>(index);
}

} // namespace qj
