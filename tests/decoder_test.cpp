#include "linkrig.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;
using Bytes = std::vector<std::uint8_t>;

Bytes frameOf(std::uint8_t id, std::uint8_t value)
{
    const frame::Frame f = frame::make(id, value);
    return {f.begin(), f.end()};
}

// Delivers a burst and lets the tick decode it; returns what was written back.
Bytes deliverTo(LinkRig &rig, const Bytes &burst)
{
    rig.port.received.insert(rig.port.received.end(), burst.begin(), burst.end());
    rig.port.writes.clear();
    rig.port.log.clear();
    rig.tick(2);
    return rig.port.allWritten();
}

struct DecoderTest : ::testing::Test
{
    LinkRig rig;
    void SetUp() override { rig.port.open = true; }
    Bytes deliver(const Bytes &burst) { return deliverTo(rig, burst); }
};

TEST_F(DecoderTest, EachBurstGetsOneReplyByte)
{
    struct Case
    {
        const char *what;
        Bytes burst;
        std::uint8_t reply;
        bool echoDelayApplied;
    } cases[] = {
        {"valid echo delay 100", {0xAA, 0x01, 0x64, 0xF0}, 0xAA, true},
        {"two frames in one burst", {0xAA, 0x01, 0x64, 0xF0, 0xAA, 0x01, 0x00, 0x54}, 0xAA, true},
        {"three bytes", {0xAA, 0x01, 0x64}, 0x55, false},
        {"a lone acknowledgement", {0xAA}, 0x55, false},
        {"stray leading byte", {0x00, 0xAA, 0x01, 0x64, 0xF0}, 0x55, false},
        {"bad check byte", {0xAA, 0x01, 0x64, 0xF1}, 0x55, false},
        {"wrong start byte, good sum", {0xAB, 0x01, 0x64, 0xEF}, 0x55, false},
        {"start byte 0x00, good sum", {0x00, 0x01, 0x64, 0x9A}, 0x55, false},
        {"id without a row", frameOf(40, 7), 0xAA, false},
        {"over the limit", frameOf(1, 251), 0x55, false},
    };
    for (const Case &c : cases) {
        LinkRig fresh; // a panel in its offline state
        fresh.port.open = true;
        const Bytes written = deliverTo(fresh, c.burst);
        EXPECT_EQ(written, Bytes{c.reply}) << c.what;
        EXPECT_EQ(fresh.panel.displayCaption(1),
                  QString::fromLatin1(c.echoDelayApplied ? "100" : "180"))
            << c.what;
        EXPECT_EQ(fresh.panel.sliderValue(1), c.echoDelayApplied ? 150 : 70) << c.what;
        // Closing steps, in order, on every path.
        ASSERT_GE(fresh.port.log.size(), 3u) << c.what;
        const auto n = fresh.port.log.size();
        EXPECT_EQ(fresh.port.log[n - 3], "discardOut") << c.what;
        EXPECT_EQ(fresh.port.log[n - 2], "discardIn") << c.what;
        EXPECT_EQ(fresh.port.log[n - 1], "out") << c.what;
        EXPECT_TRUE(fresh.port.received.empty()) << c.what;
        EXPECT_EQ(fresh.rx.RxCount, 0) << c.what;
        EXPECT_EQ(fresh.rx.QuietTicks, 0) << c.what;
    }
}

TEST_F(DecoderTest, ARejectedFrameKeepsTheLastIdAndValueUnlessTheRowRefusedIt)
{
    deliver(frameOf(2, 5));
    deliver({0xAA, 0x01, 0x64, 0xF1}); // bad sum: RxId and RxValue untouched
    EXPECT_EQ(rig.rx.RxId, 2);
    EXPECT_EQ(rig.rx.RxValue, 5);
    deliver(frameOf(1, 251)); // refused by its row: they hold it
    EXPECT_EQ(rig.rx.RxId, 1);
    EXPECT_EQ(rig.rx.RxValue, 251);
}

TEST_F(DecoderTest, BytesThePortDidNotHandOverCountAsAbsent)
{
    rig.port.shortRead = 2;
    EXPECT_EQ(deliver({0xAA, 0x01, 0x64, 0xF0}), Bytes{0x55});
    EXPECT_EQ(rig.panel.displayCaption(1), QStringLiteral("180"));
}

// The closing discard: what the port still holds after the reply (here the second report of a
// burst it handed over only in part) is thrown away, so the next ticks neither decode nor
// answer it.
TEST_F(DecoderTest, WhatIsLeftAfterTheReplyIsDiscarded)
{
    rig.port.shortRead = 4;
    Bytes burst = frameOf(1, 100);
    const Bytes second = frameOf(2, 7);
    burst.insert(burst.end(), second.begin(), second.end());
    EXPECT_EQ(deliver(burst), Bytes{0xAA});
    EXPECT_TRUE(rig.port.received.empty());
    rig.port.writes.clear();
    rig.tick(5);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.panel.displayCaption(1), QStringLiteral("100"));
    EXPECT_EQ(rig.panel.displayCaption(2), QStringLiteral("20")); // the offline default stays
}

// The processor's next report, sent the moment the reply reached it, is kept however long
// the panel takes after writing the reply: on a busy machine that can be milliseconds.
TEST_F(DecoderTest, TheNextReportRightAfterTheReplyIsKept)
{
    rig.port.answer = frameOf(2, 7);
    EXPECT_EQ(deliver(frameOf(1, 100)), Bytes{0xAA});
    EXPECT_EQ(deliver({}), Bytes{0xAA}) << "the second report is answered in its turn";
    EXPECT_EQ(rig.panel.displayCaption(1), QStringLiteral("100"));
    EXPECT_EQ(rig.panel.displayCaption(2), QStringLiteral("7"));
}

TEST_F(DecoderTest, TheReportHookHearsEveryAcceptedReportAsItCame)
{
    std::vector<std::pair<int, int>> heard;
    rig.link.decoder().setReportHook([&](std::uint8_t id, std::uint8_t value) {
        // The panel has applied and answered it already.
        EXPECT_EQ(rig.port.writes.back().size(), 1u);
        heard.emplace_back(id, value);
    });
    const Bytes bursts[] = {
        frameOf(26, 0x1A),              // the source: the row masks it, the hook does not
        frameOf(20, 20),                // raised to 40 on the panel, 20 as reported
        frameOf(1, 251),                // over the limit: refused
        {0xAA, 0x01, 0x64, 0xF1},       // a spoilt check byte
        frameOf(40, 3),                 // no row: accepted
        {0xAA, 0x1F, 0x28, 0x0E, 0x00}, // MusicVolume 40, a byte after it
    };
    for (const Bytes &b : bursts)
        deliver(b);
    EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{26, 0x1A}, {20, 20}, {40, 3}, {31, 40}}));
    EXPECT_EQ(rig.panel.displayCaption(20), QStringLiteral("40Hz"));
}

TEST_F(DecoderTest, AFailedReplyIsHandedOn)
{
    rig.port.writeError = PortError::DeviceLost;
    deliver({0xAA, 0x01, 0x64, 0xF0});
    // The link's failure path took it: one message, connecting offered again.
    EXPECT_EQ(rig.messages, QStringList{QStringLiteral("数据发送失败！！！")});
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
}

} // namespace
} // namespace qj
