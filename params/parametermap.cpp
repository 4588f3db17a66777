#include "params/parametermap.h"

#include <QtGlobal>

namespace qj {

namespace {

using K = ControlKind;
using S = LabelStyle;

// The last column, the title, is what people are shown (tips, accessible descriptions): written
// in Chinese like every caption, and translated in the context qj::Parameter.
constexpr std::array<Parameter, kParameterCount> kParameters{{
    {0, "Mute", K::Status, 1, 10, S::None, "device status: 1 connect request, 10 mute request",
     QT_TRANSLATE_NOOP("qj::Parameter", "静音")},
    {1, "EchoDelay", K::Slider, 0, 250, S::Number, "echo delay level",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声延时")},
    {2, "EchoRepat", K::Slider, 0, 40, S::Number, "echo repeat level",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声次数")},
    {3, "ReverbTime", K::Slider, 0, 40, S::Number, "reverb time level",
     QT_TRANSLATE_NOOP("qj::Parameter", "残响延时")},
    {4, "ReverbVolume", K::Slider, 0, 40, S::Number, "reverb level",
     QT_TRANSLATE_NOOP("qj::Parameter", "残响电平")},
    {5, "EffectVolume", K::Slider, 0, 40, S::Number, "effect level",
     QT_TRANSLATE_NOOP("qj::Parameter", "效果电平")},
    {6, "MicEQ100Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 100 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 100Hz")},
    {7, "MicEQ300Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 300 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 300Hz")},
    {8, "MicEQ900Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 900 Hz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 900Hz")},
    {9, "MicEQ2k7Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 2.7 kHz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 2.7kHz")},
    {10, "MicEQ8kHz", K::Slider, 0, 20, S::Gain, "microphone equaliser 8 kHz, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒均衡 8kHz")},
    {11, "MicExciter", K::Slider, 0, 40, S::Number, "microphone exciter level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒激励")},
    {12, "EchoMode", K::Group, 0, 3, S::None, "echo mode: Single, Single+, Stereo, Stereo+",
     QT_TRANSLATE_NOOP("qj::Parameter", "回声模式")},
    {13, "FeedbackClass", K::Group, 0, 3, S::None, "feedback suppression: OFF, Class1..Class3",
     QT_TRANSLATE_NOOP("qj::Parameter", "反馈抑制")},
    {14, "FeedbackTime", K::Slider, 80, 120, S::Milliseconds, "feedback time in ms",
     QT_TRANSLATE_NOOP("qj::Parameter", "反馈抑制时间")},
    {15, "MusicTreble", K::Slider, 0, 20, S::Gain, "music treble, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐高音")},
    {16, "MusicMid", K::Slider, 0, 20, S::Gain, "music middle, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐中音")},
    {17, "MusicBass", K::Slider, 0, 20, S::Gain, "music bass, value - 10 dB",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐低音")},
    {18, "MusicPitch", K::Group, 0, 10, S::None, "music key shift b5..#5, 5 is no shift",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐变调")},
    {19, "MusicVocal", K::Group, 0, 3, S::None, "vocal channel mode: L+R, L+L, R+R, L-R",
     QT_TRANSLATE_NOOP("qj::Parameter", "消歌声模式")},
    {20, "SubwoofLpf", K::Slider, 40, 160, S::Hertz, "subwoofer low-pass cut-off in Hz",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音选频")},
    {21, "MusicBalance", K::Slider, 0, 20, S::Balance, "music balance, centre 10",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐平衡")},
    {22, "SuperBass", K::CheckBox, 0, 1, S::None, "super bass off/on",
     QT_TRANSLATE_NOOP("qj::Parameter", "超重低音")},
    {23, "MicNoiseGate", K::Slider, 0, 40, S::Number, "microphone noise gate level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒噪声门")},
    {24, "SurroundMode1", K::Options, 0, 1, S::None, "surround mode: 0 L/R, 1 L-R",
     QT_TRANSLATE_NOOP("qj::Parameter", "环绕模式")},
    {25, "SingSubwoofVolume", K::Slider, 0, 20, S::Number, "subwoofer level of the singing",
     QT_TRANSLATE_NOOP("qj::Parameter", "演唱超低音量")},
    {26, "MusicSelect", K::Group, 0, 8, S::None, "music source BGM..SD\\USB 0..4, Auto 8",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐输入")},
    {27, "KaraokeMode", K::Group, 0, 5, S::None, "karaoke channel layout",
     QT_TRANSLATE_NOOP("qj::Parameter", "Karaoke模式")},
    {28, "SubwoofPhase", K::CheckBox, 0, 1, S::None, "subwoofer phase inversion off/on",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音反相")},
    {29, "MaxMusicVolume", K::Spinner, 1, 62, S::None, "upper limit of the music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐音量上限")},
    {30, "MaxMicVolume", K::Spinner, 1, 42, S::None, "upper limit of the microphone level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒音量上限")},
    {31, "MusicVolume", K::Slider, 0, 62, S::Number, "music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "音乐音量")},
    {32, "MicVolume", K::Slider, 0, 42, S::Number, "microphone level",
     QT_TRANSLATE_NOOP("qj::Parameter", "话筒音量")},
    {33, "SurroundVolume", K::Slider, 0, 20, S::Number, "surround level",
     QT_TRANSLATE_NOOP("qj::Parameter", "环绕音量")},
    {34, "CenterVolume", K::Slider, 0, 20, S::Number, "centre level",
     QT_TRANSLATE_NOOP("qj::Parameter", "中置音量")},
    {35, "SubwoofVolume", K::Slider, 0, 20, S::Number, "subwoofer level",
     QT_TRANSLATE_NOOP("qj::Parameter", "超低音量")},
    {36, "BgmVolume", K::Slider, 0, 62, S::Number, "background music level",
     QT_TRANSLATE_NOOP("qj::Parameter", "背景音乐音量")},
    {37, "RunMode", K::Group, 0, 4, S::None, "user mode User1..User5",
     QT_TRANSLATE_NOOP("qj::Parameter", "运行模式")},
}};

constexpr bool wireIdsInOrder()
{
    for (int i = 0; i < kParameterCount; ++i)
        if (kParameters[i].wireId != i)
            return false;
    return true;
}
static_assert(wireIdsInOrder(), "the parameter table is indexed by wire id");

} // namespace

const std::array<Parameter, kParameterCount> &parameters()
{
    return kParameters;
}

const Parameter &parameter(int wireId)
{
    return kParameters.at(static_cast<std::size_t>(wireId));
}

std::optional<int> wireIdOf(std::string_view control)
{
    for (const Parameter &p : kParameters)
        if (p.control == control)
            return p.wireId;
    return std::nullopt;
}

bool isSendable(int wireId, int value)
{
    if (wireId < 0 || wireId >= kParameterCount)
        return false;
    const Parameter &p = kParameters[static_cast<std::size_t>(wireId)];
    switch (p.kind) {
    case ControlKind::Spinner:
        return false;
    case ControlKind::Status:
        return value == wire::kConnectValue || value == wire::kMuteValue;
    case ControlKind::Group:
        // The source group's "Auto" button sends 8; 5 to 7 name no source.
        if (wireId == wire::kMusicSelect)
            return (value >= 0 && value <= 4) || value == 8;
        return value >= p.min && value <= p.max;
    default:
        return value >= p.min && value <= p.max;
    }
}

} // namespace qj
