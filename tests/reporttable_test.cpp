#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;
using Bytes = std::vector<std::uint8_t>;
using C = ButtonColour;

// Sends one report through the port and the tick; returns the reply byte (0 if none).
std::uint8_t report(LinkRig &rig, std::uint8_t id, std::uint8_t value)
{
    rig.port.open = true;
    const frame::Frame f = frame::make(id, value);
    rig.port.received.insert(rig.port.received.end(), f.begin(), f.end());
    const std::size_t before = rig.port.writes.size();
    rig.tick(2);
    for (std::size_t i = before; i < rig.port.writes.size(); ++i)
        if (rig.port.writes[i].size() == 1)
            return rig.port.writes[i][0];
    return 0;
}

std::vector<C> coloursOf(const PanelAccess &p, Group g)
{
    std::vector<C> out;
    for (int i = 0; i < buttonGroup(g).count; ++i)
        out.push_back(p.buttonColour(g, i));
    return out;
}

std::vector<C> lit(Group g, std::initializer_list<std::pair<int, C>> on)
{
    std::vector<C> out(static_cast<std::size_t>(buttonGroup(g).count), C::Face);
    for (const auto &[i, c] : on)
        out[static_cast<std::size_t>(i)] = c;
    return out;
}

struct SliderCase
{
    std::uint8_t id, value, reply;
    const char *caption; // expected label; nullptr: unchanged
    int sliderValue;     // expected position; -1: unchanged
};

TEST(ReportRows, SlidersShowTheReportedValueInTheirStyle)
{
    const SliderCase cases[] = {
        {31, 62, 0xAA, "62", 0},
        {31, 63, 0x55, nullptr, -1},
        {31, 40, 0xAA, "40", 22},
        {1, 100, 0xAA, "100", 150},
        {1, 250, 0xAA, "250", 0},
        {1, 251, 0x55, nullptr, -1},
        {6, 10, 0xAA, "0dB", 10},
        {6, 20, 0xAA, "+10dB", 0},
        {6, 0, 0xAA, "-10dB", 20},
        {6, 21, 0x55, nullptr, -1},
        {17, 13, 0xAA, "+3dB", 7},
        {21, 4, 0xAA, "+6dB", 16},
        {21, 16, 0xAA, "+6dB", 4},
        {21, 10, 0xAA, "0dB", 10},
        {20, 20, 0xAA, "40Hz", 160},
        {20, 100, 0xAA, "100Hz", 100},
        {20, 161, 0x55, nullptr, -1},
        {14, 90, 0xAA, "90ms", 110},
        {14, 120, 0xAA, "120ms", 80},
        {14, 121, 0x55, nullptr, -1},
        // Below the range's floor: raised to 40; the feedback time's thumb stops at its end.
        {14, 0, 0xAA, "40ms", 120},
        {14, 79, 0xAA, "79ms", 120},
        {23, 40, 0xAA, "40", 0},
        {25, 21, 0x55, nullptr, -1},
        {36, 62, 0xAA, "62", 0},
        {32, 42, 0xAA, "42", 0},
    };
    for (const SliderCase &c : cases) {
        LinkRig rig;
        const QString before = rig.panel.displayCaption(c.id);
        const int beforeValue = rig.panel.sliderValue(c.id);
        EXPECT_EQ(report(rig, c.id, c.value), c.reply) << int(c.id) << "/" << int(c.value);
        EXPECT_EQ(rig.panel.displayCaption(c.id),
                  c.caption ? QString::fromLatin1(c.caption) : before)
            << int(c.id) << "/" << int(c.value);
        EXPECT_EQ(rig.panel.sliderValue(c.id), c.sliderValue < 0 ? beforeValue : c.sliderValue)
            << int(c.id) << "/" << int(c.value);
        EXPECT_TRUE(rig.panel.sliderTip(c.id).isEmpty()); // a report leaves the tip text alone
        EXPECT_TRUE(rig.frames().empty());
    }
}

TEST(ReportRows, GroupsLightTheReportedButton)
{
    struct Case
    {
        std::uint8_t id, value, reply;
        Group group;
        std::vector<C> colours;
    } cases[] = {
        {18, 5, 0xAA, Group::MusicPitch, lit(Group::MusicPitch, {{5, C::Green}})},
        {18, 6, 0xAA, Group::MusicPitch, lit(Group::MusicPitch, {{6, C::Red}})},
        {18, 11, 0x55, Group::MusicPitch, lit(Group::MusicPitch, {{5, C::Green}})},
        {12, 3, 0xAA, Group::EchoMode, lit(Group::EchoMode, {{3, C::Red}})},
        {13, 4, 0x55, Group::FeedbackClass, lit(Group::FeedbackClass, {{0, C::Red}})},
        {19, 3, 0xAA, Group::MusicVocal, lit(Group::MusicVocal, {{3, C::Red}})},
        {27, 5, 0xAA, Group::KaraokeMode, lit(Group::KaraokeMode, {{5, C::Red}})},
        {37, 4, 0xAA, Group::RunMode, lit(Group::RunMode, {{4, C::Red}})},
        {37, 5, 0x55, Group::RunMode, lit(Group::RunMode, {})},
        // The source is a bit field: bit 3 lights "Auto", bits 0..2 the source; nothing refused.
        {26, 0x1A, 0xAA, Group::MusicSelect, lit(Group::MusicSelect, {{5, C::Red}, {2, C::Red}})},
        {26, 2, 0xAA, Group::MusicSelect, lit(Group::MusicSelect, {{2, C::Red}})},
        {26, 8, 0xAA, Group::MusicSelect, lit(Group::MusicSelect, {{5, C::Red}, {0, C::Red}})},
        {26, 0xFE, 0xAA, Group::MusicSelect, lit(Group::MusicSelect, {{5, C::Red}})},
        {26, 7, 0xAA, Group::MusicSelect, lit(Group::MusicSelect, {})},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        EXPECT_EQ(report(rig, c.id, c.value), c.reply) << int(c.id) << "/" << int(c.value);
        EXPECT_EQ(coloursOf(rig.panel, c.group), c.colours) << int(c.id) << "/" << int(c.value);
        EXPECT_TRUE(rig.frames().empty());
    }
}

TEST(ReportRows, StatusPaintsMuteRedOnlyForTen)
{
    LinkRig rig;
    EXPECT_EQ(report(rig, 0, 2), 0xAA);
    EXPECT_EQ(rig.panel.muteColour(), C::Face);
    EXPECT_EQ(report(rig, 0, 10), 0xAA);
    EXPECT_EQ(rig.panel.muteColour(), C::Red);
    EXPECT_EQ(report(rig, 0, 255), 0xAA);
    EXPECT_EQ(rig.panel.muteColour(), C::Red);
}

TEST(ReportRows, CheckBoxesFollowReportsWithoutSending)
{
    LinkRig rig;
    rig.goOnline();
    EXPECT_EQ(report(rig, 22, 1), 0xAA);
    EXPECT_EQ(rig.panel.value(Control::SuperBass), 1);
    EXPECT_TRUE(rig.panel.isEnabled(Control::SuperBass));
    EXPECT_EQ(report(rig, 28, 1), 0xAA);
    EXPECT_EQ(rig.panel.value(Control::SubwoofPhase), 1);
    EXPECT_EQ(report(rig, 22, 2), 0x55);
    EXPECT_EQ(rig.panel.value(Control::SuperBass), 1);
    EXPECT_TRUE(rig.frames().empty());
    EXPECT_EQ(rig.cmd.CmdId, 0);
}

TEST(ReportRows, ASurroundReportSelectsAndItsCommandLeavesBeforeTheReply)
{
    LinkRig rig;
    rig.goOnline();
    rig.port.log.clear();
    EXPECT_EQ(report(rig, 24, 1), 0xAA);
    EXPECT_EQ(rig.panel.value(Control::SurroundMode2), 1);
    EXPECT_EQ(rig.panel.value(Control::SurroundMode1), 0);
    ASSERT_EQ(rig.port.writes.size(), 2u);
    EXPECT_EQ(rig.port.writes[0], (Bytes{0xAA, 0x18, 0x01, 0x3C}));
    EXPECT_EQ(rig.port.writes[1], Bytes{0xAA});
    // The frame just written is not thrown away by emptying the transmit buffer.
    const auto frameAt = std::find(rig.port.log.begin(), rig.port.log.end(), "out");
    EXPECT_EQ(std::count(frameAt, rig.port.log.end(), std::string("discardOut")), 0);
    EXPECT_EQ(rig.cmd.CmdId, 25);
    EXPECT_EQ(rig.cmd.CmdValue, 1);
    EXPECT_EQ(rig.cmd.ReplyTicks, 99); // armed at 100, then counted by the same tick
    EXPECT_EQ(rig.cmd.RetryLeft, 10);

    // Offline the same report selects without sending.
    LinkRig offline;
    EXPECT_EQ(report(offline, 24, 1), 0xAA);
    EXPECT_EQ(offline.panel.value(Control::SurroundMode2), 1);
    EXPECT_TRUE(offline.frames().empty());
    EXPECT_EQ(report(offline, 24, 2), 0x55);
}

TEST(ReportRows, LimitReportsMoveTheSpinnerButNotTheSlider)
{
    LinkRig rig;
    EXPECT_EQ(report(rig, 29, 30), 0xAA);
    EXPECT_EQ(rig.panel.value(Control::MaxMusicVolume), 30);
    EXPECT_EQ(rig.panel.displayCaption(29), QStringLiteral("30"));
    EXPECT_EQ(rig.panel.sliderMax(31), 62);
    EXPECT_EQ(report(rig, 30, 20), 0xAA);
    EXPECT_EQ(rig.panel.value(Control::MaxMicVolume), 20);
    EXPECT_EQ(rig.panel.sliderMax(32), 42);
    EXPECT_EQ(report(rig, 30, 43), 0x55);
    EXPECT_EQ(rig.panel.value(Control::MaxMicVolume), 20);
    // 0 has no place on the spinner: its label says 0, the spinner stops at 1.
    EXPECT_EQ(report(rig, 29, 0), 0xAA);
    EXPECT_EQ(rig.panel.displayCaption(29), QStringLiteral("0"));
    EXPECT_EQ(rig.panel.value(Control::MaxMusicVolume), 1);
    EXPECT_TRUE(rig.panel.isEnabled(Control::MaxMusicVolume));
}

TEST(ReportRows, ALevelAboveALoweredLimitKeepsItsTextAndTopsTheTrack)
{
    LinkRig rig;
    rig.panel.setValue(Control::MaxMusicVolume, 25);
    ASSERT_EQ(rig.panel.sliderMax(31), 25);
    EXPECT_EQ(report(rig, 31, 40), 0xAA);
    EXPECT_EQ(rig.panel.displayCaption(31), QStringLiteral("40"));
    EXPECT_EQ(rig.panel.sliderValue(31), 0);
}

TEST(ReportRows, TheFirstOfThirtySixOrThirtySevenCompletesTheConnection)
{
    for (std::uint8_t id : {std::uint8_t{36}, std::uint8_t{37}}) {
        LinkRig rig;
        rig.port.open = true;
        EXPECT_EQ(report(rig, id, 3), 0xAA);
        EXPECT_FALSE(rig.connectOffered());
        EXPECT_TRUE(rig.link.online());
        EXPECT_EQ(rig.status, QStringLiteral("当前状态：联机"));
        EXPECT_EQ(rig.connects, 1);
        EXPECT_EQ(report(rig, 36, 5), 0xAA);
        EXPECT_EQ(report(rig, 37, 1), 0xAA);
        EXPECT_EQ(rig.connects, 1);
        EXPECT_EQ(rig.panel.displayCaption(36), QStringLiteral("5"));
    }
    LinkRig refused;
    EXPECT_EQ(report(refused, 37, 5), 0x55);
    EXPECT_TRUE(refused.connectOffered());
    EXPECT_FALSE(refused.link.online());
    EXPECT_EQ(refused.connects, 0);

    LinkRig english;
    english.link.setLanguage(Language::English);
    report(english, 36, 3);
    EXPECT_EQ(english.status, QStringLiteral("State：Connect"));
}

TEST(ReportRows, EveryRowLimitIsTheMaxOfItsControl)
{
    const auto &rows = reportRows();
    for (int id = 0; id < kReportRows; ++id) {
        const ReportRow &row = rows[static_cast<std::size_t>(id)];
        const Parameter &p = parameter(id);
        switch (row.kind) {
        case RowKind::Level:
        case RowKind::Gain:
        case RowKind::Balance:
        case RowKind::Range:
        case RowKind::GuardedSpinner:
        case RowKind::GuardedCheck:
        case RowKind::OptionPair:
            EXPECT_EQ(row.limit, p.max) << id;
            break;
        case RowKind::ButtonGroup:
            EXPECT_EQ(row.limit, buttonGroup(row.group).count - 1) << id;
            EXPECT_EQ(buttonGroup(row.group).wireId, id);
            break;
        case RowKind::Status:
        case RowKind::Source:
            EXPECT_EQ(row.limit, -1) << id;
            break;
        case RowKind::None:
            ADD_FAILURE() << "no row for " << id;
        }
        EXPECT_EQ(row.goesOnline, id == 36 || id == 37) << id;
    }
}

} // namespace
} // namespace qj
