#pragma once

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qj {

// How a parameter is set on the panel.
enum class ControlKind {
    Status,   // Mute button and the connect menu entry share wire id 0
    Slider,   // slider with a value label
    Group,    // command-button group, one of n
    CheckBox, // 0 or 1
    Options,  // the two surround option buttons, 0 or 1
    Spinner,  // limit spinner: reported by the processor, never sent
};

// How a slider's parameter value reads on its value label.
enum class LabelStyle { None, Number, Gain, Balance, Hertz, Milliseconds };

// One of the processor's 38 one-byte parameters. Rows are ordered by wire id, which is
// also the report id; the command id (CmdId) is the wire id + 1.
struct Parameter
{
    std::uint8_t wireId;
    std::string_view control; // name of the control that sets it
    ControlKind kind;
    int min; // value bytes the parameter takes; a slider's or spinner's range on the panel
    int max;
    LabelStyle style;
    int offline; // the value byte the offline panel shows; -1: none (the status, the run mode)
    std::string_view meaning;
    const char *title; // what it sets, in the panel's words; translated in context qj::Parameter

    constexpr std::uint8_t cmdId() const { return static_cast<std::uint8_t>(wireId + 1); }
};

inline constexpr int kParameterCount = 38;

// The one table of the parameters. The report table's limits, the button groups' wire ids,
// the sliders' and spinners' ranges on the window and the offline panel's values are all read
// from it, so each of those facts is written once. The offline panel puts BgmVolume's slider
// and label both at 30. The last column, the title, is what people are shown (tips, accessible
// descriptions): written in Chinese like every caption, and translated in the context
// qj::Parameter.
namespace parameter_table {
using K = ControlKind;
using S = LabelStyle;
inline constexpr std::array<Parameter, kParameterCount> kRows{{
    {0, "Mute", K::Status, 1, 10, S::None, -1, "status: 1 connect, 10 mute",
     QT_TRANSLATE_NOOP("qj::Parameter", "静音")},
    {1, "EchoDelay", K::Slider, 0, 250, S::Number, 180, "echo delay level",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声延时")},
    {2, "EchoRepat", K::Slider, 0, 40, S::Number, 20, "echo repeat level",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声次数")},
    {3, "ReverbTime", K::Slider, 0, 40, S::Number, 20, "reverb time level",
     QT_TRANSLATE_NOOP("qj::Parameter", "残响延时")},
    {4, "ReverbVolume", K::Slider, 0, 40, S::Number, 20, "reverb level",
     QT_TRANSLATE_NOOP("qj::Parameter", "残响电平")},
    {5, "EffectVolume", K::Slider, 0, 40, S::Number, 20, "effect level",
     QT_TRANSLATE_NOOP("qj::Parameter", "效果电平")},
    {6, "MicEQ100Hz", K::Slider, 0, 20, S::Gain, 10, "mic EQ 100 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 100Hz")},
    {7, "MicEQ300Hz", K::Slider, 0, 20, S::Gain, 10, "mic EQ 300 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 300Hz")},
    {8, "MicEQ900Hz", K::Slider, 0, 20, S::Gain, 10, "mic EQ 900 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 900Hz")},
    {9, "MicEQ2k7Hz", K::Slider, 0, 20, S::Gain, 10, "mic EQ 2.7 kHz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 2.7kHz")},
    {10, "MicEQ8kHz", K::Slider, 0, 20, S::Gain, 10, "mic EQ 8 kHz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 8kHz")},
    {11, "MicExciter", K::Slider, 0, 40, S::Number, 0, "microphone exciter level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒激励")},
    {12, "EchoMode", K::Group, 0, 3, S::None, 0, "echo mode Single..Stereo+",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声模式")},
    {13, "FeedbackClass", K::Group, 0, 3, S::None, 0, "feedback class OFF, Class1..3",
     QT_TRANSLATE_NOOP("qj::Parameter", "反馈抑制")},
    {14, "FeedbackTime", K::Slider, 80, 120, S::Milliseconds, 100, "feedback time in ms",
     QT_TRANSLATE_NOOP("qj::Parameter", "反馈抑制时间")},
    {15, "MusicTreble", K::Slider, 0, 20, S::Gain, 10, "music treble, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐高音")},
    {16, "MusicMid", K::Slider, 0, 20, S::Gain, 10, "music middle, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐中音")},
    {17, "MusicBass", K::Slider, 0, 20, S::Gain, 10, "music bass, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐低音")},
    {18, "MusicPitch", K::Group, 0, 10, S::None, 5, "music key shift b5..#5, 5 is no shift",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐变调")},
    {19, "MusicVocal", K::Group, 0, 3, S::None, 0, "vocal channel mode: L+R, L+L, R+R, L-R",
     QT_TRANSLATE_NOOP("qj::Parameter", "消歌声模式")},
    {20, "SubwoofLpf", K::Slider, 40, 160, S::Hertz, 100, "subwoofer low-pass cut-off in Hz",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音选频")},
    {21, "MusicBalance", K::Slider, 0, 20, S::Balance, 10, "music balance, centre 10",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐平衡")},
    {22, "SuperBass", K::CheckBox, 0, 1, S::None, 0, "super bass off/on",
     QT_TRANSLATE_NOOP("qj::Parameter", "超重低音")},
    {23, "MicNoiseGate", K::Slider, 0, 40, S::Number, 20, "microphone noise gate level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒噪声门")},
    {24, "SurroundMode1", K::Options, 0, 1, S::None, 0, "surround mode: 0 L/R, 1 L-R",
     QT_TRANSLATE_NOOP("qj::Parameter", "环绕模式")},
    {25, "SingSubwoofVolume", K::Slider, 0, 20, S::Number, 0, "subwoofer level of the singing",
     QT_TRANSLATE_NOOP("qj::Parameter", "演唱超低音量")},
    {26, "MusicSelect", K::Group, 0, 8, S::None, 8, "music source BGM..SD\\USB 0..4, Auto 8",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐输入")},
    {27, "KaraokeMode", K::Group, 0, 5, S::None, 0, "karaoke channel layout",
     QT_TRANSLATE_NOOP("qj::Parameter", "Karaoke模式")},
    {28, "SubwoofPhase", K::CheckBox, 0, 1, S::None, 0, "subwoofer phase inversion off/on",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音反相")},
    {29, "MaxMusicVolume", K::Spinner, 1, 62, S::None, 62, "upper limit of the music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐音量上限")},
    {30, "MaxMicVolume", K::Spinner, 1, 42, S::None, 42, "upper limit of the microphone level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒音量上限")},
    {31, "MusicVolume", K::Slider, 0, 62, S::Number, 30, "music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐音量")},
    {32, "MicVolume", K::Slider, 0, 42, S::Number, 30, "microphone level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒音量")},
    {33, "SurroundVolume", K::Slider, 0, 20, S::Number, 20, "surround level",
     QT_TRANSLATE_NOOP("qj::Parameter", "环绕音量")},
    {34, "CenterVolume", K::Slider, 0, 20, S::Number, 20, "centre level",
     QT_TRANSLATE_NOOP("qj::Parameter", "中置音量")},
    {35, "SubwoofVolume", K::Slider, 0, 20, S::Number, 20, "subwoofer level",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音量")},
    {36, "BgmVolume", K::Slider, 0, 62, S::Number, 30, "background music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "背景音乐音量")},
    {37, "RunMode", K::Group, 0, 4, S::None, -1, "user mode User1..User5",
     QT_TRANSLATE_NOOP("qj::Parameter", "运行模式")},
}};
} // namespace parameter_table
inline constexpr const std::array<Parameter, kParameterCount> &kParameters = parameter_table::kRows;

constexpr bool wireIdsInOrder()
{
    for (int i = 0; i < kParameterCount; ++i)
        if (kParameters[static_cast<std::size_t>(i)].wireId != i)
            return false;
    return true;
}
static_assert(wireIdsInOrder(), "the parameter table is indexed by wire id");

// Wire ids with a fixed meaning elsewhere in the program.
namespace wire {
inline constexpr std::uint8_t kStatus = 0;       // connect (1) and mute (10) requests
inline constexpr std::uint8_t kMuteValue = 10;   // value of the mute request and report
inline constexpr std::uint8_t kConnectValue = 1; // value of the connect request
inline constexpr std::uint8_t kFeedbackTime = 14;
inline constexpr std::uint8_t kSubwoofLpf = 20;
inline constexpr std::uint8_t kSuperBass = 22;
inline constexpr std::uint8_t kSurround = 24;
inline constexpr std::uint8_t kMusicSelect = 26;
inline constexpr std::uint8_t kSubwoofPhase = 28;
inline constexpr std::uint8_t kMaxMusicVolume = 29; // reported only
inline constexpr std::uint8_t kMaxMicVolume = 30;   // reported only
inline constexpr std::uint8_t kMusicVolume = 31;
inline constexpr std::uint8_t kMicVolume = 32;
inline constexpr std::uint8_t kBgmVolume = 36;
inline constexpr std::uint8_t kRunMode = 37;
} // namespace wire

// The limit spinners set the Max of the two master levels, up to the levels' full range.
static_assert(kParameters[wire::kMaxMusicVolume].max == kParameters[wire::kMusicVolume].max);
static_assert(kParameters[wire::kMaxMicVolume].max == kParameters[wire::kMicVolume].max);

constexpr bool offlineValuesInRange()
{
    for (const Parameter &p : kParameters)
        if (p.offline != -1 && (p.offline < p.min || p.offline > p.max))
            return false;
    return true;
}
static_assert(offlineValuesInRange(), "the offline panel shows values the parameters take");

constexpr bool everyParameterHasATitle()
{
    for (const Parameter &p : kParameters)
        if (p.title == nullptr || p.title[0] == '\0')
            return false;
    return true;
}
static_assert(everyParameterHasATitle(), "tips and screen readers name every parameter");

constexpr const std::array<Parameter, kParameterCount> &parameters()
{
    return kParameters;
}
constexpr const Parameter &parameter(int wireId) // wireId 0..37
{
    return kParameters.at(static_cast<std::size_t>(wireId));
}
constexpr std::optional<int> wireIdOf(std::string_view control)
{
    for (const Parameter &p : kParameters)
        if (p.control == control)
            return p.wireId;
    return std::nullopt;
}

// Whether the panel may send `value` under `wireId`: never for the two limits the processor
// reports, and only values the parameter takes.
bool isSendable(int wireId, int value);

} // namespace qj
