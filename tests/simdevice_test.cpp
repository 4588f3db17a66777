#include "params/parametermap.h"
#include "simbench.h"
#include "tools/factorysettings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qj {
namespace {

using sim::Device;
using sim::Fault;
using sim::Micros;
using test::bytesOf;
using test::SimBench;
using test::operator+;
using Bytes = std::vector<std::uint8_t>;
using Kind = sim::DeviceEvent::Kind;
using namespace std::chrono_literals;

constexpr sim::DeviceConfig kUnpaced{false, 1};
constexpr std::uint8_t kAck = 0xAA;
constexpr std::uint8_t kNak = 0x55;
// The panel reads an acknowledgement on its next tick, a late one 2.7 ms after it arrived; a
// report must not start before then.
constexpr Micros kPanelReadsAck = 3ms;

Bytes cmd(int wireId, int value)
{
    return bytesOf(frame::make(std::uint8_t(wireId), std::uint8_t(value)));
}

// Plays the panel through a whole report sequence: answers every report with `reply` two
// milliseconds after its last byte (the panel decodes on its second tick), or not at all when
// `reply` is 0. Returns the frames in the order they came.
std::vector<Bytes> answerReports(SimBench &b, std::uint8_t reply, Micros limit = 100ms)
{
    std::vector<Bytes> frames;
    for (;;) {
        Bytes f = b.take(4, limit);
        if (f.size() < 4)
            break;
        frames.push_back(f);
        b.run(2ms);
        if (reply)
            b.feed({reply});
    }
    return frames;
}

TEST(SimDevice, EveryCommandKindGetsItsAnswer)
{
    struct Case
    {
        const char *name;
        Bytes in;
        Bytes answer;
        int wireId;
        int valueAfter; // factory: echo delay 120, effect 24, feedback time 100, source 1, music 40
    } cases[] = {
        {"level in range", cmd(31, 45), {kAck}, 31, 45},
        {"level above its range", cmd(31, 63), {kNak}, 31, 40},
        {"range below its minimum", cmd(14, 79), {kNak}, 14, 100},
        {"range at its minimum", cmd(14, 80), {kAck}, 14, 80},
        {"bad check byte", {0xAA, 0x01, 0x64, 0xF1}, {kNak}, 1, 120},
        {"music limit is reported only", cmd(29, 30), {kNak}, 29, 62},
        {"microphone limit is reported only", cmd(30, 20), {kNak}, 30, 42},
        {"unknown wire id", cmd(38, 0), {kNak}, 31, 40},
        {"status takes only connect and mute", cmd(0, 2), {kNak}, 0, 0},
        {"source Auto", cmd(26, 8), {kAck}, 26, 8},
        {"source between SD/USB and Auto", cmd(26, 5), {kNak}, 26, 1},
        {"stray bytes before a frame", Bytes{0x12, 0x34} + cmd(31, 45), {kAck}, 31, 45},
        {"stray start byte before a frame", Bytes{0xAA} + cmd(31, 45), {kAck}, 31, 45},
        {"a lone start byte", {0xAA}, {}, 31, 40},
        {"a frame cut short", {0xAA, 0x1F, 0x2D}, {}, 31, 40},
        {"garbled frame holding a start byte", {0xAA, 0x05, 0xAA, 0x00}, {}, 5, 24},
        {"two frames in one write", cmd(31, 45) + cmd(32, 20), {kAck, kAck}, 32, 20},
    };
    for (const Case &c : cases) {
        SimBench b(kUnpaced);
        b.feed(c.in);
        b.run(20ms);
        EXPECT_EQ(b.takeAll(), c.answer) << c.name;
        EXPECT_EQ(b.device.value(c.wireId), c.valueAfter) << c.name;
    }
}

// The values a command may carry, by wire id, as the protocol lists them: a range, or for the
// device status and the source the few values that name something. The limits (29, 30) are
// never taken.
struct Accepted
{
    int low;
    int high;
    std::vector<int> also; // values outside [low, high] that are taken too
};
const Accepted kAccepted[38] = {
    {1, 1, {10}},                                         // 0: connect 1, mute 10
    {0, 250, {}},                                         // 1: echo delay
    {0, 40, {}},   {0, 40, {}}, {0, 40, {}}, {0, 40, {}}, // 2-5: repeat, reverb, effect
    {0, 20, {}},   {0, 20, {}}, {0, 20, {}}, {0, 20, {}}, {0, 20, {}}, // 6-10: mic EQ
    {0, 40, {}},                                                       // 11: exciter
    {0, 3, {}},    {0, 3, {}},                                         // 12, 13: modes
    {80, 120, {}},                                                     // 14: feedback time
    {0, 20, {}},   {0, 20, {}}, {0, 20, {}},                           // 15-17: tone
    {0, 10, {}},                                                       // 18: key shift
    {0, 3, {}},                                                        // 19: vocal
    {40, 160, {}},                                                     // 20: low-pass
    {0, 20, {}},                                                       // 21: balance
    {0, 1, {}},                                                        // 22: super bass
    {0, 40, {}},                                                       // 23: noise gate
    {0, 1, {}},                                                        // 24: surround
    {0, 20, {}},                                                       // 25: sing subwoofer
    {0, 4, {8}},                                                       // 26: source, Auto 8
    {0, 5, {}},                                                        // 27: karaoke mode
    {0, 1, {}},                                                        // 28: subwoofer phase
    {1, 0, {}},    {1, 0, {}},                                         // 29, 30: the limits
    {0, 62, {}},   {0, 42, {}},                                        // 31, 32: levels
    {0, 20, {}},   {0, 20, {}}, {0, 20, {}},                           // 33-35
    {0, 62, {}},                                                       // 36: background
    {0, 4, {}},                                                        // 37: user mode
};

bool accepted(int id, int value)
{
    const Accepted &a = kAccepted[id];
    return (value >= a.low && value <= a.high) ||
           std::find(a.also.begin(), a.also.end(), value) != a.also.end();
}

TEST(SimDevice, AcknowledgesExactlyWhatThePanelMaySend)
{
    int taken = 0;
    for (int id = 0; id < kParameterCount; ++id) {
        for (int value = 0; value < 256; ++value) {
            SimBench b(kUnpaced);
            b.feed(cmd(id, value));
            b.run(1ms);
            const Bytes answer = b.take(1);
            ASSERT_EQ(answer, Bytes{accepted(id, value) ? kAck : kNak}) << id << "=" << value;
            taken += answer == Bytes{kAck};
        }
    }
    // The sizes of the ranges above, added up: 2 + 251 + 4 * 41 + 5 * 21 + 41 + 2 * 4 + 41 +
    // 3 * 21 + 11 + 4 + 121 + 21 + 2 + 41 + 2 + 21 + 6 + 6 + 2 + 63 + 43 + 3 * 21 + 63 + 5.
    EXPECT_EQ(taken, 1149);
}

TEST(SimDevice, AFrameMustArriveWithinItsWindow)
{
    struct Piece
    {
        Micros after; // since the previous piece
        Bytes bytes;
    };
    struct Case
    {
        const char *name;
        std::vector<Piece> pieces;
        Bytes answer;
    } cases[] = {
        {"bytes half a millisecond apart",
         {{0us, {0xAA}}, {500us, {0x1F}}, {500us, {0x2D}}, {500us, {0x09}}},
         {kAck}},
        {"last byte after the window", {{0us, {0xAA, 0x1F, 0x2D}}, {2500us, {0x09}}}, {}},
        {"a reply, then a command a millisecond later",
         {{0us, {0xAA}}, {1ms, cmd(31, 45)}},
         {kAck}},
        {"a reply, then a command much later", {{0us, {0xAA}}, {50ms, cmd(31, 45)}}, {kAck}},
    };
    for (const Case &c : cases) {
        SimBench b(kUnpaced);
        for (const Piece &p : c.pieces) {
            b.run(p.after);
            b.feed(p.bytes);
        }
        b.run(20ms);
        EXPECT_EQ(b.takeAll(), c.answer) << c.name;
    }
}

TEST(SimDevice, PacingPutsEveryByteAtLineRate)
{
    constexpr Micros kByte = sim::Line::kByteTime;
    {
        SimBench b; // paced: four bytes in, then the answer, each a byte time
        b.feed(cmd(31, 45));
        EXPECT_EQ(b.take(1), Bytes{kAck});
        EXPECT_EQ(b.lastTaken, 5 * kByte);
    }
    {
        SimBench b(kUnpaced);
        b.feed(cmd(31, 45));
        EXPECT_EQ(b.take(1), Bytes{kAck});
        EXPECT_EQ(b.lastTaken, 0us);
    }
    {
        SimBench b;
        ASSERT_TRUE(b.device.report(5, b.now));
        b.run(10ms);
        ASSERT_EQ(b.sent.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) // whole, once its last byte has crossed the line
            EXPECT_EQ(b.sent[i].first, 4 * kByte) << i;
    }
}

TEST(SimDevice, ConnectReportsEverySettingOneAtATime)
{
    struct Case
    {
        const char *name;
        std::uint8_t reply; // 0: the panel never answers
        Kind outcome;
        Micros minGap; // from a report's last byte to the next one's first
    } cases[] = {
        {"accepted", kAck, Kind::ReplyAccepted, 2ms},
        {"rejected", kNak, Kind::ReplyRejected, 2ms},
        {"unanswered", 0, Kind::ReplyTimedOut, Device::kReplyTimeout},
    };
    sim::Settings expected = sim::factorySettings(0);
    for (const Case &c : cases) {
        SimBench b;
        b.feed(cmd(0, 1));
        ASSERT_EQ(b.take(1), Bytes{kAck}) << c.name;
        const Micros ackAt = b.lastTaken;
        Micros lastEnd = ackAt;
        for (int id = 0; id < kParameterCount; ++id) {
            const Bytes f = b.take(4, 100ms);
            ASSERT_EQ(f, cmd(id, expected[id])) << c.name << " report " << id;
            if (id == 0)
                EXPECT_GE(b.firstTaken - ackAt, kPanelReadsAck) << c.name;
            else
                EXPECT_GE(b.firstTaken - lastEnd, c.minGap) << c.name << " report " << id;
            lastEnd = b.lastTaken;
            b.run(2ms);
            ASSERT_TRUE(b.sent.empty()) << c.name << ": report " << id << " not waited for";
            if (c.reply)
                b.feed({c.reply});
        }
        b.run(200ms);
        EXPECT_TRUE(b.sent.empty()) << c.name;
        EXPECT_EQ(b.count(c.outcome), 38u) << c.name;
        EXPECT_EQ(b.count(Kind::ReportSent), 38u) << c.name;
    }
}

TEST(SimDevice, AfterAReplyTheNextReportWaitsForThePanelToEmptyItsInput)
{
    constexpr Micros kByte = sim::Line::kByteTime;
    for (const std::uint8_t reply : {kAck, kNak}) {
        SimBench b;
        b.feed(cmd(0, 1));
        ASSERT_EQ(b.take(1), Bytes{kAck});
        ASSERT_EQ(b.take(4).size(), 4u);
        b.run(2ms);
        const Micros written = b.now;
        b.feed({reply}); // it arrives a byte time later
        ASSERT_EQ(b.take(4).size(), 4u) << int(reply);
        // The next report leaves whole four byte times after it starts.
        const Micros start = b.firstTaken - 4 * kByte;
        EXPECT_GE(start - (written + kByte), Device::kReplySettle) << int(reply);
        // ... and no later than the settle: a reply is known as one after a byte time of
        // quiet line, well within it.
        EXPECT_LE(start - (written + kByte), Device::kReplySettle + 10us) << int(reply);
    }
}

TEST(SimDevice, ACommandCutsIntoTheReportsAndTheyResume)
{
    struct Case
    {
        const char *name;
        Bytes panel; // what the panel sends after report 0
        int nextReport;
        std::size_t interrupted;
    } cases[] = {
        // The panel ate report 0 as the acknowledgement of its command: report 0 goes again.
        {"command instead of a reply", cmd(31, 45), 0, 1},
        // The panel replied and then sent a command at once: report 0 is done.
        {"reply followed by a command", Bytes{kAck} + cmd(31, 45), 1, 0},
    };
    for (const Case &c : cases) {
        SimBench b;
        b.feed(cmd(0, 1));
        ASSERT_EQ(b.take(1), Bytes{kAck});
        ASSERT_EQ(b.take(4), cmd(0, 0));
        b.run(1ms);
        b.feed(c.panel);
        EXPECT_EQ(b.take(1), Bytes{kAck}) << c.name;
        const Micros ackAt = b.lastTaken;
        EXPECT_EQ(b.take(4), cmd(c.nextReport, sim::factorySettings(0)[c.nextReport])) << c.name;
        EXPECT_GE(b.firstTaken - ackAt, kPanelReadsAck) << c.name;
        EXPECT_EQ(b.device.value(31), 45) << c.name;
        EXPECT_EQ(b.count(Kind::ReportInterrupted), c.interrupted) << c.name;
    }
}

TEST(SimDevice, ALateWriteNeverSqueezesTheGaps)
{
    // The caller is late with every write here; the gaps count from when bytes really left.
    Device d;
    Bytes out;
    auto write = [&](Micros now) {
        d.advance(now);
        out.clear();
        d.takeDue(now, out);
        return out.size();
    };
    d.receive(cmd(0, 1), 0us);
    EXPECT_EQ(write(10ms), 1u) << "the acknowledgement, due at 1.7 ms";
    EXPECT_EQ(write(15ms), 0u) << "no report within the settle gap after the late write";
    EXPECT_EQ(write(15ms + 2 * sim::Line::kByteTime), 0u)
        << "report 0 starts at 15 ms and leaves whole, not half of it";
    EXPECT_EQ(write(30ms), 4u) << "report 0 written late";
    EXPECT_EQ(write(30ms + Device::kReplyTimeout - 1ms), 0u)
        << "the reply wait counts from the late write";
    EXPECT_GE(d.nextWake(), 30ms + Device::kReplyTimeout);
    EXPECT_EQ(write(30ms + Device::kReplyTimeout + 4 * sim::Line::kByteTime), 4u)
        << "report 1 after the timeout";
}

TEST(SimDevice, AnotherConnectStartsTheReportsOver)
{
    SimBench b(kUnpaced);
    b.feed(cmd(0, 1));
    b.take(1);
    for (int id = 0; id < 5; ++id) {
        const Bytes report = b.take(4);
        ASSERT_EQ(report.size(), 4u) << "report " << id;
        ASSERT_EQ(report[1], id);
        b.feed({kAck});
    }
    b.take(4);
    b.feed(cmd(0, 1));
    EXPECT_EQ(b.take(1), Bytes{kAck});
    EXPECT_EQ(b.take(4), cmd(0, 0));
}

TEST(SimDevice, MuteTogglesAndReportsOnlyWhenMuted)
{
    struct Step
    {
        bool muted;
        Bytes out;
    } steps[] = {
        {true, Bytes{kAck} + cmd(0, 10)},
        {false, {kAck}},
        {true, Bytes{kAck} + cmd(0, 10)},
    };
    SimBench b(kUnpaced);
    for (const Step &s : steps) {
        b.feed(cmd(0, 10));
        b.run(20ms);
        EXPECT_EQ(b.takeAll(), s.out);
        EXPECT_EQ(b.device.muted(), s.muted);
        EXPECT_EQ(b.device.value(0), s.muted ? 10 : 0);
        b.feed({kAck});
        b.run(20ms);
    }
}

TEST(SimDevice, ChangingUserModeRecallsThatSlot)
{
    auto edited = [](int slot, int music) {
        sim::Settings s = sim::factorySettings(slot);
        s[31] = std::uint8_t(music);
        return s;
    };
    struct Step
    {
        int mode;
        sim::Settings recalled;
        int musicEdit; // made in that slot afterwards
    } steps[] = {
        {3, sim::factorySettings(3), 55},
        {0, edited(0, 45), 47}, // the edit made in User1 before the first switch stayed there
        {3, edited(3, 55), 55},
    };
    SimBench b(kUnpaced);
    b.feed(cmd(31, 45));
    b.run(10ms);
    b.takeAll();
    for (const Step &s : steps) {
        b.feed(cmd(37, s.mode));
        ASSERT_EQ(b.take(1), Bytes{kAck});
        std::vector<Bytes> expected;
        for (int id = 0; id < kParameterCount; ++id)
            if (sim::isSlotParameter(id))
                expected.push_back(cmd(id, s.recalled[id]));
        expected.push_back(cmd(37, s.mode));
        EXPECT_EQ(answerReports(b, kAck), expected) << "User" << s.mode + 1;
        EXPECT_EQ(b.device.userMode(), s.mode);
        EXPECT_EQ(b.device.value(29), 62); // the limits are not part of a slot
        b.feed(cmd(31, s.musicEdit));
        b.run(10ms);
        EXPECT_EQ(b.takeAll(), Bytes{kAck});
    }
}

TEST(SimDevice, FactorySettingsLieInEveryRange)
{
    for (int slot = 0; slot < sim::kUserSlots; ++slot) {
        const sim::Settings s = sim::factorySettings(slot);
        EXPECT_EQ(s[0], 0);
        EXPECT_EQ(s[37], slot);
        for (int id = 1; id < kParameterCount; ++id) {
            const Parameter &p = parameter(id);
            EXPECT_GE(s[id], p.min) << "slot " << slot << " id " << id;
            EXPECT_LE(s[id], p.max) << "slot " << slot << " id " << id;
            if (p.kind != ControlKind::Spinner) {
                EXPECT_TRUE(accepted(id, s[id])) << "slot " << slot << " id " << id;
            }
        }
        for (int other = 0; other < slot; ++other) {
            int differences = 0;
            const sim::Settings o = sim::factorySettings(other);
            for (int id = 1; id < 37; ++id)
                differences += s[id] != o[id];
            EXPECT_GT(differences, 2) << "slots " << other << " and " << slot;
        }
    }
}

TEST(SimDevice, AnswerFaultsHoldBackOrRefuseCommands)
{
    struct Case
    {
        const char *name;
        Fault fault;
        int arg;
        std::vector<Bytes> sends; // 200 ms apart, as the panel resends
        std::vector<Bytes> answers;
        int valueAfter;
    } cases[] = {
        {"noack", Fault::NoAck, 0, {cmd(31, 45)}, {{}}, 40},
        {"noack, connect", Fault::NoAck, 0, {cmd(0, 1)}, {{}}, 40},
        {"nak", Fault::Nak, 0, {cmd(31, 45)}, {{kNak}}, 40},
        {"nak, connect", Fault::Nak, 0, {cmd(0, 1)}, {{kNak}}, 40},
        {"ack-after 0", Fault::AckAfter, 0, {cmd(31, 45)}, {{kAck}}, 45},
        {"ack-after 2",
         Fault::AckAfter,
         2,
         {cmd(31, 45), cmd(31, 45), cmd(31, 45)},
         {{}, {}, {kAck}},
         45},
        {"ack-after 2, a new command counts from zero",
         Fault::AckAfter,
         2,
         {cmd(31, 45), cmd(31, 46), cmd(31, 46), cmd(31, 46)},
         {{}, {}, {}, {kAck}},
         46},
    };
    for (const Case &c : cases) {
        SimBench b(kUnpaced);
        b.device.setFault(c.fault, c.arg, b.now);
        for (std::size_t i = 0; i < c.sends.size(); ++i) {
            b.feed(c.sends[i]);
            b.run(200ms);
            EXPECT_EQ(b.takeAll(), c.answers[i]) << c.name << " transmission " << i + 1;
        }
        EXPECT_EQ(b.device.value(31), c.valueAfter) << c.name;
        b.device.clearFaults();
        b.feed(cmd(32, 20));
        b.run(10ms);
        EXPECT_EQ(b.takeAll(), Bytes{kAck}) << c.name << ", cleared";
    }
}

TEST(SimDevice, CorruptSpoilsTheCheckByteOfEveryNthReport)
{
    for (int every : {1, 3, 5}) {
        SimBench b(kUnpaced);
        b.device.setFault(Fault::Corrupt, every, b.now);
        b.feed(cmd(0, 1));
        b.take(1);
        const std::vector<Bytes> frames = answerReports(b, kAck);
        ASSERT_EQ(frames.size(), 38u);
        for (int i = 0; i < 38; ++i) {
            const Bytes good = cmd(i, b.device.value(i));
            const bool spoilt = (i + 1) % every == 0;
            EXPECT_EQ(frame::sum(frames[i].data()) != frame::kSum, spoilt) << every << "/" << i;
            EXPECT_TRUE(std::equal(good.begin(), good.begin() + 3, frames[i].begin()));
        }
        EXPECT_EQ(b.count(Kind::ReportCorrupted), std::size_t(38 / every));
    }
}

TEST(SimDevice, DoubleSendsTwoReportsInOneBurst)
{
    SimBench b;
    b.device.setFault(Fault::Double, 0, b.now);
    b.feed(cmd(0, 1));
    b.take(1);
    for (int id = 0; id < 38; id += 2) {
        const Bytes burst = b.take(8);
        ASSERT_EQ(burst, cmd(id, b.device.value(id)) + cmd(id + 1, b.device.value(id + 1)));
        // Each frame whole once it has crossed the line, the second right behind the first.
        EXPECT_EQ(b.lastTaken - b.firstTaken, 4 * sim::Line::kByteTime) << "back to back";
        b.run(2ms);
        b.feed({kAck}); // the panel decodes the first and answers once
    }
    b.run(100ms);
    EXPECT_TRUE(b.sent.empty());

    b.feed(cmd(0, 10)); // a single report goes twice
    EXPECT_EQ(b.take(9), Bytes{kAck} + cmd(0, 10) + cmd(0, 10));
}

TEST(SimDevice, NoiseComesInRandomBurstsThatRepeatWithTheSeed)
{
    auto noise = [](std::uint32_t seed) {
        SimBench b({false, seed});
        b.device.setFault(Fault::Noise, 0, b.now);
        b.run(10s);
        return b;
    };
    const SimBench a = noise(7);
    std::size_t bytes = 0;
    Micros last{0};
    for (const sim::DeviceEvent &e : a.events) {
        ASSERT_EQ(e.kind, Kind::Noise);
        EXPECT_GE(e.value, 1);
        EXPECT_LE(e.value, Device::kNoiseMaxBytes);
        EXPECT_GE(e.at - last, Device::kNoiseGapMin);
        EXPECT_LE(e.at - last, Device::kNoiseGapMax);
        bytes += e.value;
        last = e.at;
    }
    EXPECT_GE(a.events.size(), 14u); // 10 s at most 0.7 s apart
    EXPECT_EQ(a.sent.size(), bytes);
    EXPECT_EQ(noise(7).sent, a.sent);
    EXPECT_NE(noise(8).sent, a.sent);
}

TEST(SimDevice, UnplugGoesSilentUntilPluggedAgain)
{
    SimBench b;
    b.device.setFault(Fault::Unplug, 100, b.now);
    b.run(99ms);
    EXPECT_FALSE(b.device.unplugged());
    b.run(900us);
    ASSERT_TRUE(b.device.report(5, b.now)); // its first byte would be due after the unplug
    b.run(2ms);
    EXPECT_TRUE(b.device.unplugged());
    EXPECT_TRUE(b.sent.empty());
    EXPECT_FALSE(b.device.nextWake());
    b.feed(cmd(31, 45));
    b.run(10ms);
    EXPECT_TRUE(b.sent.empty());

    b.device.plug(b.now);
    b.feed(cmd(31, 45));
    EXPECT_EQ(b.take(1), Bytes{kAck});
    EXPECT_EQ(b.count(Kind::Unplugged), 1u);
    EXPECT_EQ(b.count(Kind::Plugged), 1u);
}

TEST(SimDevice, TheFrontPanelChangesAndReports)
{
    struct Case
    {
        const char *name;
        int wireId;
        int value;
        bool taken;
        Bytes report;
    } cases[] = {
        {"music level", 31, 50, true, cmd(31, 50)}, {"music level out of range", 31, 63, false, {}},
        {"music limit", 29, 30, true, cmd(29, 30)}, {"music limit zero", 29, 0, false, {}},
        {"mute", 0, 10, true, cmd(0, 10)},          {"connect is no setting", 0, 1, false, {}},
        {"no such id", 38, 0, false, {}},
    };
    for (const Case &c : cases) {
        SimBench b(kUnpaced);
        EXPECT_EQ(b.device.set(c.wireId, c.value, b.now), c.taken) << c.name;
        b.run(10ms);
        EXPECT_EQ(b.takeAll(), c.report) << c.name;
        if (c.taken) {
            EXPECT_EQ(b.device.value(c.wireId), c.value) << c.name;
        }
    }
    SimBench b(kUnpaced);
    EXPECT_TRUE(b.device.report(36, b.now));
    EXPECT_FALSE(b.device.report(38, b.now));
    EXPECT_EQ(b.take(4), cmd(36, 30));
}

} // namespace
} // namespace qj
