#include "link/presetpush.h"
#include "linkrig.h"
#include "params/offlinedefaults.h"
#include "params/preset.h"
#include "params/texts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace qj {
namespace {

using test::LinkRig;
using Bytes = std::vector<std::uint8_t>;

// A panel moved well away from its defaults, the way a session leaves it.
void changeEverything(LinkRig &rig)
{
    rig.panel.setValue(Control::MaxMusicVolume, 50);
    rig.panel.setValue(Control::MaxMicVolume, 33);
    for (const Parameter &p : parameters()) {
        if (p.kind != ControlKind::Slider)
            continue;
        rig.panel.setSliderValue(p.wireId, rig.panel.sliderMin(p.wireId) + 3);
        rig.sliders.Scroll(p.wireId);
    }
    rig.buttons.GroupClick(Group::MusicSelect, 2);
    rig.buttons.GroupClick(Group::MusicPitch, 9);
    rig.buttons.GroupClick(Group::EchoMode, 1);
    rig.buttons.GroupClick(Group::FeedbackClass, 3);
    rig.buttons.GroupClick(Group::KaraokeMode, 4);
    rig.buttons.GroupClick(Group::MusicVocal, 2);
    rig.panel.setValue(Control::SuperBass, 1);
    rig.panel.setValue(Control::SubwoofPhase, 1);
    rig.panel.setValue(Control::SurroundMode2, 1);
}

TEST(Preset, SaveChangeOpenGivesBackTheSamePanel)
{
    LinkRig rig;
    changeEverything(rig);
    const Preset saved = capturePreset(rig.panel);
    const QByteArray file = writePreset(saved);

    LinkRig other;
    PresetProblem problem{};
    const auto read = readPreset(file, &problem);
    ASSERT_TRUE(read.has_value()) << presetProblemText(problem, Language::English).toStdString();
    EXPECT_EQ(*read, saved);
    applyPreset(other.panel, *read);
    EXPECT_EQ(capturePreset(other.panel), saved);
    for (int id : presetIds())
        EXPECT_EQ(other.panel.displayCaption(id), rig.panel.displayCaption(id)) << id;
    for (const ButtonGroup &g : buttonGroups())
        for (int i = 0; g.wireId >= 0 && g.group != Group::RunMode && i < g.count; ++i)
            EXPECT_EQ(other.panel.buttonColour(g.group, i), rig.panel.buttonColour(g.group, i));
    EXPECT_EQ(other.panel.sliderMax(31), 50);
    EXPECT_EQ(other.panel.sliderMax(32), 33);
    EXPECT_TRUE(other.port.writes.empty()); // applying sends nothing
}

// The processor lowered its limits on its own front panel: the reports move the spinners but
// not the levels' tracks, so the panel shows each level above its limit. What it saves opens,
// with the level at the limit the panel's spinner would put it at.
TEST(Preset, ALevelAboveALimitTheProcessorLoweredIsSavedAtTheLimit)
{
    LinkRig rig;
    rig.port.open = true;
    for (const auto &[id, value] :
         {std::pair{31, 50}, std::pair{32, 30}, std::pair{29, 40}, std::pair{30, 12}}) {
        const frame::Frame f = frame::make(std::uint8_t(id), std::uint8_t(value));
        rig.port.received.insert(rig.port.received.end(), f.begin(), f.end());
        rig.tick(2);
    }
    const Preset shown = capturePreset(rig.panel);
    ASSERT_EQ(shown.values[31], 50); // the reports were taken as the panel takes them
    ASSERT_EQ(shown.values[29], 40);

    PresetProblem problem{};
    const auto read = readPreset(writePreset(shown), &problem);
    ASSERT_TRUE(read.has_value()) << presetProblemText(problem, Language::English).toStdString();
    EXPECT_EQ(read->values[31], 40);
    EXPECT_EQ(read->values[32], 12);
    EXPECT_EQ(read->values[29], 40);
    EXPECT_EQ(read->values[30], 12);
    Preset rest = shown;
    rest.values[31] = 40;
    rest.values[32] = 12;
    EXPECT_EQ(*read, rest); // nothing else changes
}

TEST(Preset, TheFileIsReadableAndOrderedByWireId)
{
    const QByteArray file = writePreset(offlinePreset());
    EXPECT_TRUE(file.contains("\"format\": \"qj-karaoke-preset\""));
    EXPECT_TRUE(file.contains("\"name\": \"EchoDelay\""));
    EXPECT_LT(file.indexOf("\"EchoDelay\""), file.indexOf("\"BgmVolume\""));
    EXPECT_FALSE(file.contains("\"RunMode\""));
    EXPECT_FALSE(file.contains("\"Mute\""));
}

QByteArray edited(const QByteArray &from, const char *before, const char *after)
{
    QByteArray out = from;
    out.replace(before, after);
    return out;
}

TEST(Preset, MalformedFilesAreRefusedWithTheReason)
{
    const QByteArray good = writePreset(offlinePreset());
    struct Case
    {
        const char *what;
        QByteArray text;
        PresetProblem::Kind kind;
        const char *mentions;
    } cases[] = {
        {"empty", QByteArray(), PresetProblem::Empty, ""},
        {"truncated", good.left(good.size() / 2), PresetProblem::NotJson, ""},
        {"not json", "EchoDelay=180", PresetProblem::NotJson, ""},
        {"an array", "[1,2]", PresetProblem::NotAPreset, ""},
        {"another format", edited(good, "qj-karaoke-preset", "other"), PresetProblem::NotAPreset,
         ""},
        {"version 2", edited(good, "\"version\": 1", "\"version\": 2"),
         PresetProblem::UnknownVersion, "2"},
        {"version text", edited(good, "\"version\": 1", "\"version\": \"1\""),
         PresetProblem::UnknownVersion, "\"1\""},
        {"value as text", edited(good, "\"value\": 180", "\"value\": \"180\""),
         PresetProblem::BadEntry, "EchoDelay"},
        {"fractional value", edited(good, "\"value\": 180", "\"value\": 180.5"),
         PresetProblem::BadEntry, "EchoDelay"},
        {"out of range", edited(good, "\"value\": 180", "\"value\": 251"),
         PresetProblem::OutOfRange, "EchoDelay"},
        {"negative", edited(good, "\"value\": 180", "\"value\": -1"), PresetProblem::OutOfRange,
         "EchoDelay"},
        {"huge number", edited(good, "\"value\": 180", "\"value\": 1e300"), PresetProblem::BadEntry,
         "EchoDelay"},
        {"wrong name", edited(good, "\"EchoDelay\"", "\"EchoDelai\""), PresetProblem::NameMismatch,
         "EchoDelai"},
        {"unknown id", edited(good, "\"wireId\": 1\n", "\"wireId\": 37\n"),
         PresetProblem::UnknownParameter, "EchoDelay"},
        {"name of another", edited(good, "\"EchoRepat\"", "\"EchoDelay\""),
         PresetProblem::NameMismatch, "EchoDelay"},
        {"too large", QByteArray(Preset::kMaxFileSize + 1, ' '), PresetProblem::TooLarge, ""},
        {"deeply nested", QByteArray(5000, '[') + QByteArray(5000, ']'), PresetProblem::NotJson,
         ""},
        {"level above limit", edited(good, "\"value\": 62", "\"value\": 20"),
         PresetProblem::LevelAboveLimit, "MusicVolume"},
    };
    for (const Case &c : cases) {
        PresetProblem problem{};
        EXPECT_FALSE(readPreset(c.text, &problem).has_value()) << c.what;
        EXPECT_EQ(problem.kind, c.kind) << c.what;
        EXPECT_TRUE(
            presetProblemText(problem, Language::Chinese).contains(QString::fromLatin1(c.mentions)))
            << c.what;
        EXPECT_TRUE(
            presetProblemText(problem, Language::English).contains(QString::fromLatin1(c.mentions)))
            << c.what;
        EXPECT_FALSE(presetProblemText(problem, Language::English).isEmpty()) << c.what;
    }
}

// A file with the level's entry set to `value`, whatever the writer would make of it.
QByteArray withEntry(const Preset &p, int wireId, int value)
{
    QJsonObject root = QJsonDocument::fromJson(writePreset(p)).object();
    QJsonArray list = root.value(QStringLiteral("parameters")).toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        QJsonObject entry = list.at(i).toObject();
        if (entry.value(QStringLiteral("wireId")).toInt() == wireId) {
            entry.insert(QStringLiteral("value"), value);
            list.replace(i, entry);
        }
    }
    root.insert(QStringLiteral("parameters"), list);
    return QJsonDocument(root).toJson();
}

// A level may stand at its limit, never above it: each level against its own limit. The files
// are made by hand, since the writer itself never writes a level above its limit.
TEST(Preset, ALevelMayStandAtItsLimitButNotAbove)
{
    struct Case
    {
        const char *what;
        int level;
        int limit;
        int limitValue;
        int levelValue;
        bool accepted;
    } cases[] = {
        {"music at its limit", wire::kMusicVolume, wire::kMaxMusicVolume, 40, 40, true},
        {"music one above", wire::kMusicVolume, wire::kMaxMusicVolume, 40, 41, false},
        {"music at the top", wire::kMusicVolume, wire::kMaxMusicVolume, 62, 62, true},
        {"microphone at its limit", wire::kMicVolume, wire::kMaxMicVolume, 1, 1, true},
        {"microphone one above", wire::kMicVolume, wire::kMaxMicVolume, 1, 2, false},
        {"microphone at the top", wire::kMicVolume, wire::kMaxMicVolume, 42, 42, true},
    };
    for (const Case &c : cases) {
        Preset p = offlinePreset();
        p.values[std::size_t(c.limit)] = c.limitValue;
        p.values[std::size_t(c.level)] = c.levelValue;
        PresetProblem problem{};
        const std::optional<Preset> read =
            readPreset(withEntry(p, c.level, c.levelValue), &problem);
        EXPECT_EQ(read.has_value(), c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(*read, p) << c.what;
        } else {
            EXPECT_EQ(problem.kind, PresetProblem::LevelAboveLimit) << c.what;
        }
    }
}

// The sentence the person reads, exactly, in both languages: where the text stops being JSON as
// an editor counts lines and columns, the real size against the limit, and no English from the
// JSON reader inside the Chinese.
TEST(Preset, EveryReasonIsToldInBothLanguages)
{
    const QByteArray good = writePreset(offlinePreset());
    const struct
    {
        const char *what;
        QByteArray text;
        const char *chinese;
        const char *english;
    } cases[] = {
        {"empty", "", "文件是空的。", "The file is empty."},
        {"blank", " \r\n\n\t", "文件是空的。", "The file is empty."},
        {"too large", QByteArray(70000, ' '), "文件有 70000 字节，超过预设文件的上限 65536 字节。",
         "The file has 70000 bytes, more than the 65536 bytes a preset may have."},
        {"no colon", "{\n  \"format\" \"x\"\n}",
         "文件格式错误（第 2 行第 12 列：名称后面缺少冒号）。",
         "The file is malformed (line 2, column 12: a colon is missing after a name)."},
        {"columns count characters", "{\"名\" 1}", "（第 1 行第 6 列：名称后面缺少冒号）",
         "(line 1, column 6: a colon is missing after a name)"},
        {"no comma", "{\n  \"a\": 1\n  \"b\": 2\n}",
         "文件格式错误（第 3 行第 3 列：对象没有以 } 结束）。",
         "The file is malformed (line 3, column 3: an object is not closed by })."},
        {"open list", "[1, 2 ", "文件格式错误（第 1 行第 6 列：列表没有以 ] 结束）。",
         "The file is malformed (line 1, column 6: a list is not closed by ])."},
        {"cut number", "[1, 2", "文件格式错误（第 1 行第 5 列：文件在一个数字中间结束）。",
         "The file is malformed (line 1, column 5: the file ends inside a number)."},
        {"two items", "[1 2]", "文件格式错误（第 1 行第 4 列：两项之间缺少逗号）。",
         "The file is malformed (line 1, column 4: a comma is missing between two items)."},
        {"bad word", "{\"a\": tru}", "文件格式错误（第 1 行第 7 列：这里不是有效的值）。",
         "The file is malformed (line 1, column 7: this is not a valid value)."},
        {"open text", "{\"a\": \"x}", "文件格式错误（第 1 行第 10 列：文字缺少结尾的引号）。",
         "The file is malformed (line 1, column 10: a text has no closing quote)."},
        {"more after", "{}\nx", "文件格式错误（第 2 行第 1 列：结尾后面还有多余的内容）。",
         "The file is malformed (line 2, column 1: there is more after the end)."},
        {"nested", QByteArray(5000, '['), "嵌套层次太深", "it is nested too deeply"},
        {"no version", edited(good, "\"version\": 1", "\"versio\": 1"), "预设文件没有版本号。",
         "The preset file names no version."},
        {"version text", edited(good, "\"version\": 1", "\"version\": \"1\""),
         "不支持的预设文件版本：\"1\"。", "Unknown preset file version: \"1\"."},
        {"no list", R"({"format": "qj-karaoke-preset", "version": 1, "parameters": 3})",
         "预设文件中没有参数列表。", "The preset file has no list of parameters."},
        {"nameless entry",
         R"({"format": "qj-karaoke-preset", "version": 1, "parameters": [{"wireId": 1}]})",
         "预设文件的第 1 项格式错误。", "Entry 1 of the preset is malformed."},
    };
    for (const auto &c : cases) {
        PresetProblem problem{};
        ASSERT_FALSE(readPreset(c.text, &problem).has_value()) << c.what;
        EXPECT_TRUE(
            presetProblemText(problem, Language::Chinese).contains(QString::fromUtf8(c.chinese)))
            << c.what << ": " << presetProblemText(problem, Language::Chinese).toStdString();
        EXPECT_TRUE(
            presetProblemText(problem, Language::English).contains(QString::fromUtf8(c.english)))
            << c.what << ": " << presetProblemText(problem, Language::English).toStdString();
        QJsonParseError parse{};
        QJsonDocument::fromJson(c.text, &parse);
        if (parse.error != QJsonParseError::NoError) {
            EXPECT_FALSE(
                presetProblemText(problem, Language::Chinese).contains(parse.errorString()))
                << c.what;
            EXPECT_FALSE(
                presetProblemText(problem, Language::English).contains(parse.errorString()))
                << c.what;
        }
    }
}

TEST(Preset, AMissingParameterIsNamed)
{
    QJsonDocument doc = QJsonDocument::fromJson(writePreset(offlinePreset()));
    QJsonObject root = doc.object();
    QJsonArray list = root.value(QStringLiteral("parameters")).toArray();
    list.removeAt(3);
    root.insert(QStringLiteral("parameters"), list);
    PresetProblem problem{};
    EXPECT_FALSE(readPreset(QJsonDocument(root).toJson(), &problem).has_value());
    EXPECT_EQ(problem.kind, PresetProblem::Missing);
    EXPECT_EQ(problem.name, QStringLiteral("ReverbVolume"));

    list.append(list.at(0));
    list.insert(3, QJsonObject{{QStringLiteral("name"), QStringLiteral("ReverbVolume")},
                               {QStringLiteral("wireId"), 4},
                               {QStringLiteral("value"), 20}});
    root.insert(QStringLiteral("parameters"), list);
    EXPECT_FALSE(readPreset(QJsonDocument(root).toJson(), &problem).has_value());
    EXPECT_EQ(problem.kind, PresetProblem::Duplicate);
}

TEST(Preset, ChangesLeaveOutTheLimitsAndWhatAlreadyAgrees)
{
    Preset shown = offlinePreset();
    Preset wanted = shown;
    wanted.values[1] = 100;
    wanted.values[26] = 8;
    wanted.values[26] = 2;
    wanted.values[29] = 20;
    wanted.values[31] = 20;
    const std::vector<std::pair<int, int>> expected{{1, 100}, {26, 2}, {31, 20}};
    EXPECT_EQ(presetChanges(shown, wanted), expected);
    EXPECT_TRUE(presetChanges(shown, shown).empty());
}

struct PushTest : ::testing::Test
{
    LinkRig rig;
    PresetPush push{rig.link};
    void SetUp() override { rig.goOnline(); }

    // Ticks, acknowledging every command a few ticks after it went out.
    PresetPush::State run(int ticks, bool acknowledge = true)
    {
        std::size_t answered = rig.port.writes.size() - 1;
        for (int t = 0; t < ticks; ++t) {
            if (acknowledge && rig.port.writes.size() > answered + 1 && t % 3 == 0) {
                answered = rig.port.writes.size() - 1;
                rig.port.arrive({0xAA});
            }
            rig.tick();
            const PresetPush::State s = push.poll();
            if (s != PresetPush::State::Running && s != PresetPush::State::Idle)
                return s;
        }
        return push.running() ? PresetPush::State::Running : PresetPush::State::Idle;
    }
};

TEST_F(PushTest, OneCommandInFlightUntilEveryChangeIsAcknowledged)
{
    const std::vector<std::pair<int, int>> changes{{1, 100}, {12, 3}, {22, 1}, {31, 40}};
    ASSERT_EQ(push.start(changes), PresetPush::State::Running);
    EXPECT_EQ(rig.frames().size(), 1u); // only the first goes out at once
    std::size_t answered = 0;
    PresetPush::State s = PresetPush::State::Running;
    for (int t = 0; t < 200 && s == PresetPush::State::Running; ++t) {
        // Never more frames than acknowledgements + 1: one in flight.
        ASSERT_LE(rig.frames().size(), answered + 1);
        if (t % 5 == 4 && rig.frames().size() == answered + 1) {
            rig.port.arrive({0xAA});
            ++answered;
        }
        rig.tick();
        s = push.poll();
    }
    EXPECT_EQ(s, PresetPush::State::Done);
    EXPECT_EQ(push.acknowledged(), 4);
    const std::vector<Bytes> expected{{0xAA, 0x01, 100, std::uint8_t(0x55 - 1 - 100)},
                                      {0xAA, 0x0C, 0x03, 0x46},
                                      {0xAA, 0x16, 0x01, 0x3E},
                                      {0xAA, 0x1F, 0x28, 0x0E}};
    EXPECT_EQ(rig.frames(), expected);
}

TEST_F(PushTest, ALinkFailureStopsItAndSaysHowFarItGot)
{
    push.start({{1, 100}, {2, 5}, {3, 6}});
    rig.port.arrive({0xAA});
    rig.tick();
    ASSERT_EQ(push.poll(), PresetPush::State::Running);
    EXPECT_EQ(run(3000, false), PresetPush::State::Stopped);
    EXPECT_EQ(push.acknowledged(), 1);
    EXPECT_EQ(push.total(), 3);
    EXPECT_EQ(rig.errors, 1);
    EXPECT_FALSE(push.running());
}

TEST_F(PushTest, AReplacedCommandIsSentAgainUnlessTheUserChangedThatSetting)
{
    rig.panel.setSliderValue(1, 150);
    rig.panel.setDisplayCaption(1, QStringLiteral("100"));
    push.start({{1, 100}, {2, 5}});
    rig.buttons.GroupClick(Group::EchoMode, 2); // replaces the pending echo delay
    rig.port.arrive({0xAA});
    rig.tick();
    push.poll();
    EXPECT_EQ(rig.frames().back(), (Bytes{0xAA, 0x01, 100, std::uint8_t(0x55 - 1 - 100)})); // again
    rig.port.arrive({0xAA});
    rig.tick();
    push.poll();
    EXPECT_EQ(rig.frames().back()[1], 2); // then the next one

    rig.panel.setSliderValue(2, 10); // the user moves that very slider: theirs stands
    rig.sliders.Scroll(2);
    rig.port.arrive({0xAA});
    rig.tick();
    EXPECT_EQ(push.poll(), PresetPush::State::Done);
    EXPECT_EQ(rig.frames().back(), (Bytes{0xAA, 0x02, 30, std::uint8_t(0x55 - 2 - 30)}));
}

TEST_F(PushTest, NothingToSendIsDoneAndOfflineIsStopped)
{
    EXPECT_EQ(push.start({}), PresetPush::State::Done);
    rig.OffLineStatus(); // online no more
    EXPECT_EQ(push.start({{1, 3}}), PresetPush::State::Stopped);
    EXPECT_TRUE(rig.frames().empty());
}

} // namespace
} // namespace qj
