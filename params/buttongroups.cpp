#include "params/buttongroups.h"

namespace qj {

namespace {

using G = Group;

// Ordered as the groups appear from the top of the window down.
constexpr std::array<ButtonGroup, kGroupCount> kGroups{{
    {G::MusicSelect, "MusicSelect", 26, 6, {"BGM", "CD", "VCR", "DVD", "SD\\USB", "Auto"}, 5},
    {G::MusicVocal, "MusicVocal", 19, 4, {"L+R", "L+L", "R+R", "L-R"}, 0},
    {G::MusicPitch,
     "MusicPitch",
     18,
     11,
     {"b5", "b4", "b3", "b2", "b1", "#b", "#1", "#2", "#3", "#4", "#5"},
     5},
    {G::FeedbackClass, "FeedbackClass", 13, 4, {"OFF", "Class1", "Class2", "Class3"}, 0},
    {G::KaraokeMode,
     "KaraokeMode",
     27,
     6,
     {"L-C-R-AUTO", "L-R", "C", "L-C-R", "SL-C-SR", "L-SL-C-SR-R"},
     0},
    {G::EchoMode, "EchoMode", 12, 4, {"Single", "Single+", "Stereo", "Stereo+"}, 0},
    {G::RunMode, "RunMode", 37, 5, {"User1", "User2", "User3", "User4", "User5"}, -1},
    {G::SaveMode, "SaveMode", -1, 5, {"User1", "User2", "User3", "User4", "User5"}, -1},
}};

constexpr bool groupsInEnumOrder()
{
    for (int i = 0; i < kGroupCount; ++i)
        if (static_cast<int>(kGroups[i].group) != i)
            return false;
    return true;
}
static_assert(groupsInEnumOrder(), "the group table is indexed by Group");

} // namespace

const std::array<ButtonGroup, kGroupCount> &buttonGroups()
{
    return kGroups;
}

const ButtonGroup &buttonGroup(Group g)
{
    return kGroups[static_cast<std::size_t>(g)];
}

std::uint8_t groupValue(Group g, int index)
{
    if (g == Group::MusicSelect && index == kSelectAutoIndex)
        return kSelectAutoValue;
    return static_cast<std::uint8_t>(index);
}

} // namespace qj
