#pragma once

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
    int min; // value bytes the parameter takes
    int max;
    LabelStyle style;
    std::string_view meaning;
    const char *title; // what it sets, in the panel's words; translated in context qj::Parameter

    constexpr std::uint8_t cmdId() const { return static_cast<std::uint8_t>(wireId + 1); }
};

inline constexpr int kParameterCount = 38;

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

const std::array<Parameter, kParameterCount> &parameters();
const Parameter &parameter(int wireId); // wireId 0..37
std::optional<int> wireIdOf(std::string_view control);

// Whether the panel may send `value` under `wireId`: never for the two limits the processor
// reports, and only values the parameter takes.
bool isSendable(int wireId, int value);

} // namespace qj
