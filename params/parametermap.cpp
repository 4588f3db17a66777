#include "params/parametermap.h"

namespace qj {

namespace {

using K = ControlKind;
using S = LabelStyle;

constexpr std::array<Parameter, kParameterCount> kParameters{{
    {0, "Mute", K::Status, 1, 10, S::None, "device status: 1 connect request, 10 mute request"},
    {1, "EchoDelay", K::Slider, 0, 250, S::Number, "echo delay level"},
    {2, "EchoRepat", K::Slider, 0, 40, S::Number, "echo repeat level"},
    {3, "ReverbTime", K::Slider, 0, 40, S::Number, "reverb time level"},
    {4, "ReverbVolume", K::Slider, 0, 40, S::Number, "reverb level"},
    {5, "EffectVolume", K::Slider, 0, 40, S::Number, "effect level"},
    {6, "MicEQ100Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 100 Hz, value - 10 dB"},
    {7, "MicEQ300Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 300 Hz, value - 10 dB"},
    {8, "MicEQ900Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 900 Hz, value - 10 dB"},
    {9, "MicEQ2k7Hz", K::Slider, 0, 20, S::Gain, "microphone equaliser 2.7 kHz, value - 10 dB"},
    {10, "MicEQ8kHz", K::Slider, 0, 20, S::Gain, "microphone equaliser 8 kHz, value - 10 dB"},
    {11, "MicExciter", K::Slider, 0, 40, S::Number, "microphone exciter level"},
    {12, "EchoMode", K::Group, 0, 3, S::None, "echo mode: Single, Single+, Stereo, Stereo+"},
    {13, "FeedbackClass", K::Group, 0, 3, S::None, "feedback suppression: OFF, Class1..Class3"},
    {14, "FeedbackTime", K::Slider, 80, 120, S::Milliseconds, "feedback time in ms"},
    {15, "MusicTreble", K::Slider, 0, 20, S::Gain, "music treble, value - 10 dB"},
    {16, "MusicMid", K::Slider, 0, 20, S::Gain, "music middle, value - 10 dB"},
    {17, "MusicBass", K::Slider, 0, 20, S::Gain, "music bass, value - 10 dB"},
    {18, "MusicPitch", K::Group, 0, 10, S::None, "music key shift b5..#5, 5 is no shift"},
    {19, "MusicVocal", K::Group, 0, 3, S::None, "vocal channel mode: L+R, L+L, R+R, L-R"},
    {20, "SubwoofLpf", K::Slider, 40, 160, S::Hertz, "subwoofer low-pass cut-off in Hz"},
    {21, "MusicBalance", K::Slider, 0, 20, S::Balance, "music balance, centre 10"},
    {22, "SuperBass", K::CheckBox, 0, 1, S::None, "super bass off/on"},
    {23, "MicNoiseGate", K::Slider, 0, 40, S::Number, "microphone noise gate level"},
    {24, "SurroundMode1", K::Options, 0, 1, S::None, "surround mode: 0 L/R, 1 L-R"},
    {25, "SingSubwoofVolume", K::Slider, 0, 20, S::Number, "subwoofer level of the singing"},
    {26, "MusicSelect", K::Group, 0, 8, S::None, "music source BGM..SD\\USB 0..4, Auto 8"},
    {27, "KaraokeMode", K::Group, 0, 5, S::None, "karaoke channel layout"},
    {28, "SubwoofPhase", K::CheckBox, 0, 1, S::None, "subwoofer phase inversion off/on"},
    {29, "MaxMusicVolume", K::Spinner, 1, 62, S::None, "upper limit of the music level"},
    {30, "MaxMicVolume", K::Spinner, 1, 42, S::None, "upper limit of the microphone level"},
    {31, "MusicVolume", K::Slider, 0, 62, S::Number, "music level"},
    {32, "MicVolume", K::Slider, 0, 42, S::Number, "microphone level"},
    {33, "SurroundVolume", K::Slider, 0, 20, S::Number, "surround level"},
    {34, "CenterVolume", K::Slider, 0, 20, S::Number, "centre level"},
    {35, "SubwoofVolume", K::Slider, 0, 20, S::Number, "subwoofer level"},
    {36, "BgmVolume", K::Slider, 0, 62, S::Number, "background music level"},
    {37, "RunMode", K::Group, 0, 4, S::None, "user mode User1..User5"},
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
