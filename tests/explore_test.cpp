// The panel explored as a person and a processor use it together: random sequences of gestures,
// the processor's events and open message boxes (RapidCheck's stateful commands), and named
// sequences for the combinations that once went wrong. Every step is checked by the invariants
// in explorer.cpp.
#include "explorer.h"

#include <rapidcheck.h>
#include <rapidcheck/state.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>

namespace qj {
namespace {

using test::Action;
using test::Explorer;
using K = Action::Kind;

// The CI run: a fixed seed and count. QJ_EXPLORE_SEED=random (scripts/qj repeat) or a number
// picks another seed, QJ_EXPLORE_RUNS another count.
constexpr std::uint64_t kSeed = 2027;
constexpr int kRuns = 200;
constexpr int kMaxSteps = 40;

rc::Gen<Action> anAction()
{
    namespace g = rc::gen;
    const auto with = [](K kind, rc::Gen<int> a, rc::Gen<int> b) {
        return g::map(g::pair(std::move(a), std::move(b)), [kind](const std::pair<int, int> &p) {
            return Action{kind, p.first, p.second};
        });
    };
    const auto just = [](K kind, int a = 0) { return g::just(Action{kind, a, 0}); };
    // Reported settings the processor's panel may change: all but the limits.
    const auto settable = g::element(1, 2, 6, 14, 20, 22, 24, 26, 28, 31, 32, 36, 37);
    return g::weightedOneOf<Action>({
        {6, with(K::Key, g::inRange(0, 30), g::inRange(0, 5))},
        {2, with(K::Press, g::inRange(0, 30), g::just(0))},
        {3, with(K::Drag, g::just(0), g::inRange(-6, 7))},
        {2, just(K::Release)},
        {4, with(K::Group, g::inRange(0, kGroupCount), g::inRange(0, 11))},
        {2, with(K::Box, g::inRange(0, 2), g::just(0))},
        {2, with(K::Option, g::inRange(0, 2), g::just(0))},
        {1, just(K::Mute)},
        {2, just(K::Undo)},
        {2, just(K::Redo)},
        {2, with(K::Type, g::inRange(1, 3), g::just(0))},
        {5, just(K::Connect)},
        {1, just(K::Disconnect)},
        {1, just(K::Reset)},
        {4, with(K::Answer, g::inRange(0, 2), g::just(0))},
        {1, just(K::OpenMissing)},
        {10, with(K::Pass, g::element(1, 5, 30, 120, 400, 1000, 2500), g::just(0))},
        {3, g::map(g::pair(settable, g::oneOf(g::inRange(0, 2), g::inRange(0, 12))),
                   [](const std::pair<int, int> &p) {
                       return Action{K::FrontPanel, p.first, p.second};
                   })},
        {2, with(K::FrontPanel, g::just(int(wire::kSurround)), g::inRange(0, 2))},
        {1, with(K::Report, g::element(1, 24, 31, 37), g::just(0))},
        {1, with(K::Corrupt, g::element(0, 0, 5, 38), g::just(0))},
        {1, with(K::Silence, g::inRange(0, 2), g::just(0))},
        {1, with(K::Noise, g::element(0, 0, 1), g::just(0))},
        {1, with(K::Refuse, g::inRange(0, 2), g::just(0))},
        {2, just(K::Lose)},
        {2, just(K::Return)},
        {2, with(K::WhileBox, g::element(0, 5, 150, 400), g::inRange(0, 2))},
    });
}

struct Model
{
};

struct Step : rc::state::Command<Model, Explorer>
{
    Action action = *anAction();
    void run(const Model &, Explorer &explorer) const override
    {
        explorer.apply(action);
        if (!explorer.violations.empty())
            RC_FAIL(explorer.violations.front());
    }
    void show(std::ostream &os) const override { os << action; }
};

rc::detail::TestParams params()
{
    rc::detail::TestParams p;
    p.seed = kSeed;
    p.maxSuccess = kRuns;
    p.maxSize = kMaxSteps;
    if (const char *seed = std::getenv("QJ_EXPLORE_SEED"))
        p.seed = std::string(seed) == "random" ? std::random_device{}()
                                               : std::strtoull(seed, nullptr, 10);
    if (const char *runs = std::getenv("QJ_EXPLORE_RUNS"))
        p.maxSuccess = std::atoi(runs);
    return p;
}

TEST(Explorer, RandomSequencesKeepEveryInvariant)
{
    const rc::detail::TestParams p = params();
    std::cout << "explorer: seed " << p.seed << ", " << p.maxSuccess << " sequences of at most "
              << p.maxSize << " steps (QJ_EXPLORE_SEED=" << p.seed << " repeats it)" << std::endl;
    const auto started = std::chrono::steady_clock::now();
    rc::detail::TestMetadata meta;
    meta.id = "Explorer/RandomSequencesKeepEveryInvariant";
    const rc::detail::TestResult result = rc::detail::checkTestable(
        [] {
            Explorer explorer;
            rc::state::check(Model{}, explorer, rc::state::gen::execOneOfWithArgs<Step>());
            if (!explorer.violations.empty())
                RC_FAIL(explorer.violations.front());
        },
        meta, p);
    std::ostringstream report;
    rc::detail::printResultMessage(result, report);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "explorer: " << ms.count() << " ms" << std::endl;
    EXPECT_TRUE(result.template is<rc::detail::SuccessResult>())
        << "seed " << p.seed << ": " << report.str();
}

// Named sequences: each holds one combination that once broke; the invariants do the checking,
// `expect` adds what is particular to it.
struct Named
{
    const char *name;
    std::vector<Action> actions;
    std::function<void(Explorer &)> expect;
};

void PrintTo(const Named &named, std::ostream *os)
{
    *os << named.name;
}

const Action kChange{K::Key, 1, 1}; // a slider one step down: offline work
const Action kOnline[] = {{K::Connect}, {K::Pass, 800}};

std::vector<Action> join(std::initializer_list<std::vector<Action>> parts)
{
    std::vector<Action> all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
const std::vector<Action> online(std::begin(kOnline), std::end(kOnline));

class NamedSequence : public ::testing::TestWithParam<Named>
{
};

TEST_P(NamedSequence, KeepsEveryInvariant)
{
    Explorer explorer;
    explorer.run(GetParam().actions);
    for (const std::string &v : explorer.violations)
        ADD_FAILURE() << v;
    if (GetParam().expect)
        GetParam().expect(explorer);
}

const QString kSendFailed = QStringLiteral("数据发送失败！！！");
const QString kOffline = QStringLiteral("设备已脱机！！！");

INSTANTIATE_TEST_SUITE_P(
    Explorer, NamedSequence,
    ::
        testing::
            Values(
                // A click that changes nothing, and a slider moved and moved back, are no work.
                Named{"ClicksThatChangeNothing",
                      join({{{K::Group, 6, 0},
                             {K::Group, 7, 0},
                             {K::Key, 3, 0},
                             {K::Key, 3, 1},
                             {K::Option, 0},
                             {K::Answer, 1}},
                            online}),
                      [](Explorer &e) { EXPECT_EQ(e.questions(), 0); }},
                // "Send" sends the changed setting alone: the processor keeps its own values else.
                Named{"SendSendsOnlyWhatDiffers", join({{kChange, {K::Answer, 1}}, online}),
                      [](Explorer &e) {
                          EXPECT_EQ(e.questions(), 1);
                          EXPECT_EQ(e.commandsWritten().size(), 2u); // the connect and the change
                      }},
                // The connect entry again while the reports come: the first copy stands.
                Named{"ConnectChosenAgainWhileConnecting",
                      join({{kChange, {K::Answer, 1}, {K::Connect}, {K::Pass, 60}, {K::Connect}},
                            {{K::Pass, 1500}}}),
                      [](Explorer &e) { EXPECT_EQ(e.questions(), 1); }},
                // The device goes while the question is open: told after it, nothing sent, the work
                // back on the panel and offered again when the device is back.
                Named{"TheDeviceLostWhileAsked",
                      join({{kChange, {K::Answer, 1}, {K::WhileBox, 100, 1}},
                            online,
                            {{K::Return}, {K::Pass, 1500}}}),
                      [](Explorer &e) {
                          EXPECT_EQ(e.messages(), QStringList{kOffline});
                          EXPECT_EQ(e.questions(), 2);
                      }},
                // A box open when the question would come: it waits for the box, then its full
                // quiet.
                Named{"TheQuestionWaitsForAnOpenBox",
                      join({{kChange,
                             {K::Connect},
                             {K::Pass, 250},
                             {K::WhileBox, 600},
                             {K::OpenMissing},
                             {K::Pass, 1000}}}),
                      [](Explorer &e) { EXPECT_EQ(e.questions(), 1); }},
                // The connect command given up on: the work is not lost but offered next time.
                Named{"AGiveUpBeforeTheQuestionKeepsTheWork",
                      join({{kChange,
                             {K::Silence, 1},
                             {K::Connect},
                             {K::Pass, 2500},
                             {K::Silence, 0},
                             {K::Disconnect}},
                            online}),
                      [](Explorer &e) {
                          EXPECT_EQ(e.messages(), QStringList{kSendFailed});
                          EXPECT_EQ(e.questions(), 1);
                      }},
                // A drag under way when the reports end: no question until it is let go, and the
                // push leaves the dragged setting as the person left it.
                Named{"TheQuestionWaitsForTheHands",
                      join({{kChange,
                             {K::Answer, 1},
                             {K::Connect},
                             {K::Pass, 150},
                             {K::Press, 0},
                             {K::Drag, 0, -3},
                             {K::Pass, 1200},
                             {K::Drag, 0, 2},
                             {K::Release},
                             {K::Pass, 600}}}),
                      [](Explorer &e) { EXPECT_EQ(e.questions(), 1); }},
                // A key repeating as the reports end: the same.
                Named{"TheQuestionWaitsForARepeatingKey",
                      join({{kChange,
                             {K::Answer, 1},
                             {K::Connect},
                             {K::Pass, 150},
                             {K::Key, 2, 4},
                             {K::Pass, 600}}}),
                      [](Explorer &e) { EXPECT_EQ(e.questions(), 1); }},
                // Another number typed after a loss: the old device back is not connected, not even
                // when the old number is typed again.
                Named{"TheWatchFollowsTheBox",
                      join({online, {{K::Lose}, {K::Type, 2}, {K::Return}}}),
                      [](Explorer &e) { EXPECT_EQ(e.form().link().state(), LinkState::Closed); }},
                Named{"TheWatchDoesNotResume",
                      join({online, {{K::Lose}, {K::Type, 2}, {K::Type, 1}, {K::Return}}}),
                      [](Explorer &e) {
                          EXPECT_FALSE(e.form().link().watching());
                          EXPECT_EQ(e.form().link().state(), LinkState::Closed);
                      }},
                // A surround report is no step and leaves the redo list alone.
                Named{"ASurroundReportIsNoStep",
                      join({online,
                            {{K::Key, 3, 0},
                             {K::Pass, 50},
                             {K::Undo},
                             {K::Pass, 50},
                             {K::FrontPanel, wire::kSurround, 1},
                             {K::Pass, 100},
                             {K::FrontPanel, wire::kSurround, 0},
                             {K::Pass, 100}}}),
                      [](Explorer &e) {
                          EXPECT_TRUE(e.form().menuActions().undo().history().canRedo());
                      }},
                // A connect frame that cannot be written: one message at once, a gone device
                // watched.
                Named{"AConnectFrameToAGoneDevice",
                      {{K::Refuse, 1}, {K::Connect}, {K::Pass, 2500}},
                      [](Explorer &e) {
                          EXPECT_EQ(e.messages(), QStringList{kOffline});
                          EXPECT_TRUE(e.form().link().watching());
                      }},
                Named{"AConnectFrameRefused",
                      {{K::Refuse, 0}, {K::Connect}, {K::Pass, 2500}},
                      [](Explorer &e) {
                          EXPECT_EQ(e.messages(), QStringList{kSendFailed});
                          EXPECT_EQ(e.form().link().state(), LinkState::Closed);
                      }},
                // The run mode's report refused: the question after 2.1 s of quiet instead of 0.3
                // s.
                Named{"TheQuestionWithoutTheRunModeReport",
                      join({{kChange,
                             {K::Corrupt, 38},
                             {K::Connect},
                             {K::Pass, 300},
                             {K::Corrupt, 0},
                             {K::Pass, 2500}}}),
                      [](Explorer &e) {
                          ASSERT_EQ(e.questions(), 1);
                          EXPECT_GE(e.questionAt() - e.lastByteAt(), 2100);
                          EXPECT_LT(e.questionAt() - e.lastByteAt(), 2110);
                      }},
                Named{"TheQuestionAfterTheRunModeReport", join({{kChange}, online}),
                      [](Explorer &e) {
                          ASSERT_EQ(e.questions(), 1);
                          EXPECT_GE(e.questionAt() - e.lastByteAt(), 300);
                          EXPECT_LT(e.questionAt() - e.lastByteAt(), 310);
                      }},
                // Redo after undoing a muted reset, with Mute pressed between the reset and the
                // undo:
                // Mute stays as it stood when the reset was taken back, no extra toggle.
                Named{"RedoAfterAMutedResetWithMuteBetween",
                      join({online,
                            {{K::Mute},
                             {K::Pass, 50},
                             {K::Reset},
                             {K::Pass, 400},
                             {K::Mute},
                             {K::Pass, 50},
                             {K::Undo},
                             {K::Pass, 400},
                             {K::Redo},
                             {K::Pass, 400}}}),
                      [](Explorer &e) {
                          EXPECT_TRUE(e.device().muted());
                          EXPECT_EQ(e.form().view().mute()->backColour(), ButtonColour::Red);
                      }}),
    [](const ::testing::TestParamInfo<Named> &p) { return std::string(p.param.name); });

} // namespace
} // namespace qj
