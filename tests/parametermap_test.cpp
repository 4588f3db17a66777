#include "params/buttongroups.h"
#include "params/parametermap.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

TEST(ParameterMap, TwentyFiveSlidersWithTheirRangesAndStyles)
{
    int sliders = 0;
    for (const Parameter &p : parameters()) {
        if (p.kind != ControlKind::Slider)
            continue;
        ++sliders;
        EXPECT_NE(p.style, LabelStyle::None) << p.control;
        EXPECT_LE(p.max, 250) << p.control; // every value fits the byte
    }
    EXPECT_EQ(sliders, 25);
    EXPECT_EQ(parameter(14).min, 80);
    EXPECT_EQ(parameter(20).min, 40);
    EXPECT_EQ(parameter(21).style, LabelStyle::Balance);
}

TEST(ParameterMap, TheLimitsAreNeverSendable)
{
    for (int v = 0; v < 256; ++v) {
        EXPECT_FALSE(isSendable(wire::kMaxMusicVolume, v));
        EXPECT_FALSE(isSendable(wire::kMaxMicVolume, v));
    }
    EXPECT_TRUE(isSendable(0, 1));
    EXPECT_TRUE(isSendable(0, 10));
    EXPECT_FALSE(isSendable(0, 2));
    EXPECT_TRUE(isSendable(wire::kMusicSelect, 8));
    EXPECT_FALSE(isSendable(wire::kMusicSelect, 5));
    EXPECT_FALSE(isSendable(14, 79));
    EXPECT_TRUE(isSendable(14, 120));
    EXPECT_FALSE(isSendable(38, 0));
}

TEST(ParameterMap, GroupsAgreeWithTheParameters)
{
    for (const ButtonGroup &g : buttonGroups()) {
        if (g.wireId < 0)
            continue;
        const Parameter &p = parameter(g.wireId);
        EXPECT_EQ(p.kind, ControlKind::Group) << g.name;
        EXPECT_EQ(p.control, g.name);
        for (int i = 0; i < g.count; ++i) {
            if (!(g.group == Group::MusicSelect && i == kSelectHiddenIndex)) {
                EXPECT_TRUE(isSendable(g.wireId, groupValue(g.group, i))) << g.name << i;
            }
        }
    }
    EXPECT_EQ(groupValue(Group::MusicSelect, 5), 8);
    EXPECT_EQ(wireIdOf("MusicVolume"), 31);
    EXPECT_EQ(wireIdOf("Nothing"), std::nullopt);
}

} // namespace
} // namespace qj
