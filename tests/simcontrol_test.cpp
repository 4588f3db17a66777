#include "simbench.h"
#include "tools/commandreader.h"
#include "tools/controlchannel.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qj {
namespace {

using sim::CommandReader;
using sim::ControlChannel;
using sim::Fault;
using test::SimBench;
using namespace std::chrono_literals;
using Action = ControlChannel::Action;

// Pieces as text, so a table can state them: "F:AA1F2D09", "G:AA0164F1", "S:55".
std::string pieceText(const CommandReader::Piece &p)
{
    static const char *kKinds[] = {"F:", "G:", "S:"};
    std::ostringstream s;
    s << kKinds[int(p.kind)];
    const int n = p.kind == CommandReader::Kind::Single ? 1 : 4;
    for (int i = 0; i < n; ++i)
        s << std::uppercase << std::hex << (p.bytes[i] >> 4) << (p.bytes[i] & 0xF);
    return s.str();
}

TEST(SimCommandReader, CutsTheStreamIntoFramesAndSingleBytes)
{
    struct Timed
    {
        int us;
        std::uint8_t byte;
    };
    struct Case
    {
        const char *name;
        std::vector<Timed> in;
        int expireAtUs; // then give up what is left
        std::vector<std::string> pieces;
    } cases[] = {
        {"a command", {{0, 0xAA}, {347, 0x1F}, {694, 0x2D}, {1041, 0x09}}, 5000, {"F:AA1F2D09"}},
        {"a bad check byte", {{0, 0xAA}, {0, 0x01}, {0, 0x64}, {0, 0xF1}}, 5000, {"G:AA0164F1"}},
        {"a lone reply, the line quiet for less than a byte time", {{0, 0xAA}}, 346, {}},
        {"a lone reply, the line quiet for a byte time", {{0, 0xAA}}, 347, {"S:AA"}},
        {"a pause inside a frame",
         {{0, 0xAA}, {347, 0x1F}, {1100, 0x2D}, {1447, 0x09}},
         5000,
         {"S:AA", "S:1F", "S:2D", "S:09"}},
        {"a reject reply", {{0, 0x55}}, 0, {"S:55"}},
        {"a reply followed by a command",
         {{0, 0xAA}, {300, 0xAA}, {300, 0x1F}, {300, 0x2D}, {300, 0x09}},
         5000,
         {"S:AA", "F:AA1F2D09"}},
        {"noise before a command",
         {{0, 0x12}, {0, 0x34}, {0, 0xAA}, {0, 0x1F}, {0, 0x2D}, {0, 0x09}},
         5000,
         {"S:12", "S:34", "F:AA1F2D09"}},
        {"a start byte too late to belong",
         {{0, 0xAA}, {0, 0x1F}, {2500, 0xAA}, {2500, 0x1F}, {2500, 0x2D}, {2500, 0x09}},
         9000,
         {"S:AA", "S:1F", "F:AA1F2D09"}},
        {"a garbled frame holding a start byte",
         {{0, 0xAA}, {0, 0x05}, {0, 0xAA}, {0, 0x00}},
         9000,
         {"S:AA", "S:05", "S:AA", "S:00"}},
    };
    for (const Case &c : cases) {
        CommandReader r;
        std::vector<CommandReader::Piece> out;
        for (const Timed &t : c.in)
            r.push(t.byte, sim::Micros{t.us}, out);
        r.expire(sim::Micros{c.expireAtUs}, out);
        std::vector<std::string> got;
        for (const auto &p : out)
            got.push_back(pieceText(p));
        EXPECT_EQ(got, c.pieces) << c.name;
    }
}

TEST(SimCommandReader, UnpacedBytesMayComeApartByTheUnpacedGap)
{
    auto read = [](std::vector<std::pair<int, std::uint8_t>> in, int expireAtUs) {
        CommandReader r(CommandReader::kUnpacedQuietGap);
        std::vector<CommandReader::Piece> out;
        for (const auto &[us, byte] : in)
            r.push(byte, sim::Micros{us}, out);
        r.expire(sim::Micros{expireAtUs}, out);
        std::vector<std::string> got;
        for (const auto &p : out)
            got.push_back(pieceText(p));
        return got;
    };
    EXPECT_EQ(read({{0, 0xAA}, {500, 0x1F}, {1000, 0x2D}, {1500, 0x09}}, 9000),
              std::vector<std::string>{"F:AA1F2D09"});
    EXPECT_EQ(read({{0, 0xAA}, {500, 0x1F}}, 2499), std::vector<std::string>{});
    EXPECT_EQ(read({{0, 0xAA}, {500, 0x1F}}, 2500), (std::vector<std::string>{"S:AA", "S:1F"}));
}

TEST(SimFaults, ParseNamesAndNumbers)
{
    struct Case
    {
        const char *text;
        bool ok;
        Fault fault;
        int arg;
    } cases[] = {
        {"noack", true, Fault::NoAck, 0},
        {"nak", true, Fault::Nak, 0},
        {"ack-after=10", true, Fault::AckAfter, 10},
        {"ack-after 4", true, Fault::AckAfter, 4},
        {"noise", true, Fault::Noise, 0},
        {"corrupt", true, Fault::Corrupt, 3},
        {"corrupt=5", true, Fault::Corrupt, 5},
        {"double", true, Fault::Double, 0},
        {"unplug", true, Fault::Unplug, 0},
        {"unplug=2000", true, Fault::Unplug, 2000},
        {"ack-after", false, {}, 0},
        {"ack-after=x", false, {}, 0},
        {"ack-after=-1", false, {}, 0},
        {"corrupt=0", false, {}, 0},
        {"noise=3", false, {}, 0},
        {"bogus", false, {}, 0},
    };
    for (const Case &c : cases) {
        std::string why;
        const auto f = sim::parseFault(c.text, why);
        ASSERT_EQ(f.has_value(), c.ok) << c.text << ": " << why;
        if (c.ok) {
            EXPECT_EQ(f->fault, c.fault) << c.text;
            EXPECT_EQ(f->arg, c.arg) << c.text;
        } else {
            EXPECT_FALSE(why.empty()) << c.text;
        }
    }
}

TEST(SimControl, EveryCommandAnswersOneLine)
{
    struct Case
    {
        const char *line;
        const char *answer; // the whole answer, or its start when it ends in "*"
        Action action;
    } cases[] = {
        {"help", "OK commands: *", Action::None},
        {"faults", "FAULTS none", Action::None},
        {"line", "OK 0", Action::None},
        {"fault ack-after 10", "OK", Action::None},
        {"fault corrupt", "OK", Action::None},
        {"fault noise", "OK", Action::None},
        {"faults", "FAULTS ack-after=10 noise corrupt=3", Action::None},
        {"fault noise off", "OK", Action::None},
        {"fault nak", "OK", Action::None},
        {"faults", "FAULTS nak corrupt=3", Action::None},
        {"fault none", "OK", Action::None},
        {"faults", "FAULTS none", Action::None},
        {"fault bogus", "ERROR unknown fault 'bogus'", Action::None},
        {"fault bogus off", "ERROR unknown fault 'bogus'", Action::None},
        {"fault ack-after", "ERROR fault 'ack-after' needs a number", Action::None},
        {"fault", "ERROR usage: *", Action::None},
        {"report 5", "OK", Action::None},
        {"report 38", "ERROR no wire id '38' (0 to 37)", Action::None},
        {"report x", "ERROR *", Action::None},
        {"set 31 50", "OK", Action::None},
        {"set 31 63", "ERROR wire id 31 does not take 63", Action::None},
        {"set 29 30", "OK", Action::None},
        {"pacing off", "OK", Action::None},
        {"pacing maybe", "ERROR usage: pacing on|off", Action::None},
        {"trace on", "OK", Action::TraceOn},
        {"trace off", "OK", Action::TraceOff},
        {"plug", "ERROR still plugged in", Action::None},
        {"unplug x", "ERROR usage: unplug [MS]", Action::None},
        {"unplug", "OK", Action::None},
        {"unplug", "ERROR already unplugged", Action::None},
        {"plug", "OK", Action::Plug},
        {"  quit  ", "OK bye", Action::Quit},
        {"", "ERROR empty command", Action::None},
        {"dance", "ERROR unknown command 'dance', try help", Action::None},
    };
    SimBench b({true, 1});
    ControlChannel control(b.device);
    for (const Case &c : cases) {
        const ControlChannel::Reply r = control.execute(c.line, b.now);
        const std::string want = c.answer;
        if (want.back() == '*')
            EXPECT_EQ(r.text.substr(0, want.size() - 1), want.substr(0, want.size() - 1)) << c.line;
        else
            EXPECT_EQ(r.text, want) << c.line;
        EXPECT_EQ(r.action, c.action) << c.line;
        EXPECT_EQ(r.text.find('\n'), std::string::npos) << c.line;
    }
    EXPECT_EQ(b.device.value(31), 50);
    EXPECT_EQ(b.device.value(29), 30);
    EXPECT_FALSE(b.device.pacing());
    EXPECT_TRUE(b.device.unplugged());
}

TEST(SimControl, StateListsTheValuesInWireIdOrder)
{
    SimBench b;
    ControlChannel control(b.device);
    b.device.set(31, 50, b.now);
    b.device.set(0, 10, b.now);
    std::istringstream words(control.execute("state", b.now).text);
    std::string head;
    words >> head;
    EXPECT_EQ(head, "STATE");
    std::vector<int> values;
    for (int v; words >> v;)
        values.push_back(v);
    ASSERT_EQ(values.size(), 38u);
    for (int id = 0; id < 38; ++id)
        EXPECT_EQ(values[id], b.device.value(id)) << id;
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[31], 50);
}

TEST(SimControl, FaultsTakeEffectOnTheLine)
{
    SimBench b({false, 1});
    ControlChannel control(b.device);
    ASSERT_EQ(control.execute("fault nak", b.now).text, "OK");
    b.feed(test::bytesOf(frame::make(31, 45)));
    b.run(10ms);
    EXPECT_EQ(b.takeAll(), std::vector<std::uint8_t>{0x55});
    ASSERT_EQ(control.execute("unplug 50", b.now).text, "OK");
    b.run(49ms);
    EXPECT_FALSE(b.device.unplugged());
    b.run(2ms);
    EXPECT_TRUE(b.device.unplugged());
}

// Frames written faster than the line carries wait their turn; "line" counts them down to 0.
TEST(SimControl, LineCountsTheBacklogAtLineRate)
{
    SimBench b({true, 1});
    ControlChannel control(b.device);
    EXPECT_EQ(control.execute("line", b.now).text, "OK 0");
    std::vector<std::uint8_t> burst;
    for (std::uint8_t v = 0; v < 10; ++v)
        for (std::uint8_t byte : frame::make(31, v))
            burst.push_back(byte);
    b.feed(burst); // ten frames at once: 40 byte times, 13.9 ms, to take in
    b.run(5ms);
    EXPECT_NE(control.execute("line", b.now).text, "OK 0");
    b.run(30ms);
    EXPECT_EQ(control.execute("line", b.now).text, "OK 0");
    EXPECT_EQ(b.takeAll(), std::vector<std::uint8_t>(10, 0xAA));
    EXPECT_EQ(b.device.value(31), 9);
}

} // namespace
} // namespace qj
