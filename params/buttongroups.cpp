#include "params/buttongroups.h"

#include "params/parametermap.h"

namespace qj {

namespace {

using G = Group;
using Captions = std::array<std::string_view, kMaxGroupButtons>;

// A group's wire id and the button the offline panel lights come from the parameter table:
// the group sends under the parameter of its own name, and the offline value names a button.
constexpr ButtonGroup row(Group g, std::string_view name, int count, const Captions &captions)
{
    ButtonGroup out{g, name, -1, count, captions, -1};
    if (const std::optional<int> id = wireIdOf(name)) {
        out.wireId = *id;
        const int offline = parameter(*id).offline;
        for (int i = 0; i < count; ++i)
            if (offline >= 0 && groupValue(g, i) == offline)
                out.offlineChoice = i;
    }
    return out;
}

// Ordered as the groups appear from the top of the window down.
constexpr std::array<ButtonGroup, kGroupCount> kGroups{{
    row(G::MusicSelect, "MusicSelect", 6, {"BGM", "CD", "VCR", "DVD", "SD\\USB", "Auto"}),
    row(G::MusicVocal, "MusicVocal", 4, {"L+R", "L+L", "R+R", "L-R"}),
    row(G::MusicPitch, "MusicPitch", 11,
        {"b5", "b4", "b3", "b2", "b1", "#b", "#1", "#2", "#3", "#4", "#5"}),
    row(G::FeedbackClass, "FeedbackClass", 4, {"OFF", "Class1", "Class2", "Class3"}),
    row(G::KaraokeMode, "KaraokeMode", 6,
        {"L-C-R-AUTO", "L-R", "C", "L-C-R", "SL-C-SR", "L-SL-C-SR-R"}),
    row(G::EchoMode, "EchoMode", 4, {"Single", "Single+", "Stereo", "Stereo+"}),
    row(G::RunMode, "RunMode", 5, {"User1", "User2", "User3", "User4", "User5"}),
    row(G::SaveMode, "SaveMode", 5, {"User1", "User2", "User3", "User4", "User5"}),
}};

constexpr bool groupsInEnumOrder()
{
    for (int i = 0; i < kGroupCount; ++i)
        if (static_cast<int>(kGroups[static_cast<std::size_t>(i)].group) != i)
            return false;
    return true;
}
static_assert(groupsInEnumOrder(), "the group table is indexed by Group");

// Every group but the save slots sends a parameter of the group kind, and its last button sends
// the parameter's largest value; only the run mode has no button lit on the offline panel.
constexpr bool groupsMatchTheirParameters()
{
    for (const ButtonGroup &g : kGroups) {
        if (g.group == Group::SaveMode) {
            if (g.wireId != -1)
                return false;
            continue;
        }
        if (g.wireId < 0 || parameter(g.wireId).kind != ControlKind::Group ||
            groupValue(g.group, g.count - 1) != parameter(g.wireId).max)
            return false;
        if ((g.offlineChoice < 0) != (g.group == Group::RunMode))
            return false;
    }
    return true;
}
static_assert(groupsMatchTheirParameters(), "the groups agree with the parameter table");

} // namespace

const std::array<ButtonGroup, kGroupCount> &buttonGroups()
{
    return kGroups;
}

const ButtonGroup &buttonGroup(Group g)
{
    return kGroups[static_cast<std::size_t>(g)];
}

} // namespace qj
