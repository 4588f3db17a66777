#include "params/offlinedefaults.h"

#include "params/labeltext.h"
#include "params/parametermap.h"

#include <array>

namespace qj {

namespace {

enum class Step { Group, Slider, Spinner, Check, Option };

// The steps in the order they run; every value comes from the parameter table.
struct OfflineStep
{
    Step step;
    int wireId = -1;               // Slider, Spinner, Check, Option
    Group group = Group::SaveMode; // Group: lit button from the group table (-1 none)
};

constexpr OfflineStep slider(int wireId)
{
    return {Step::Slider, wireId};
}
constexpr OfflineStep group(Group g)
{
    return {Step::Group, -1, g};
}
constexpr OfflineStep set(Step s, int wireId)
{
    return {s, wireId};
}

constexpr auto kSteps = std::to_array<OfflineStep>({
    group(Group::MusicSelect),
    group(Group::MusicVocal),
    group(Group::MusicPitch),
    slider(15), // MusicTreble 0dB
    slider(16), // MusicMid
    slider(17), // MusicBass
    slider(21), // MusicBalance
    slider(20), // SubwoofLpf 100Hz
    set(Step::Spinner, wire::kMaxMusicVolume),
    set(Step::Spinner, wire::kMaxMicVolume),
    set(Step::Check, wire::kSubwoofPhase),
    set(Step::Check, wire::kSuperBass),
    set(Step::Option, wire::kSurround),
    slider(32), // MicVolume
    slider(31), // MusicVolume
    slider(35), // SubwoofVolume
    slider(34), // CenterVolume
    slider(33), // SurroundVolume
    slider(36), // BgmVolume
    slider(6),  // MicEQ100Hz 0dB
    slider(7),
    slider(8),
    slider(9),
    slider(10),
    slider(11), // MicExciter
    slider(23), // MicNoiseGate
    slider(25), // SingSubwoofVolume
    slider(14), // FeedbackTime 100ms
    group(Group::FeedbackClass),
    slider(1), // EchoDelay
    slider(2),
    slider(3),
    slider(4),
    slider(5),
    group(Group::KaraokeMode),
    group(Group::EchoMode),
    group(Group::RunMode),
    group(Group::SaveMode),
});

Control checkBoxOf(int wireId)
{
    return wireId == wire::kSuperBass ? Control::SuperBass : Control::SubwoofPhase;
}

Control spinnerOf(int wireId)
{
    return wireId == wire::kMaxMusicVolume ? Control::MaxMusicVolume : Control::MaxMicVolume;
}

} // namespace

int offlineDefault(int wireId)
{
    return parameter(wireId).offline;
}

void showOfflineDefaults(PanelAccess &panel)
{
    for (const OfflineStep &s : kSteps) {
        switch (s.step) {
        case Step::Group: {
            const ButtonGroup &g = buttonGroup(s.group);
            for (int i = 0; i < g.count; ++i)
                panel.setButtonColour(s.group, i, ButtonColour::Face);
            if (g.offlineChoice >= 0) {
                const bool neutral =
                    s.group == Group::MusicPitch && g.offlineChoice == kPitchNeutralIndex;
                panel.setButtonColour(s.group, g.offlineChoice,
                                      neutral ? ButtonColour::Green : ButtonColour::Red);
            }
            break;
        }
        case Step::Slider: {
            const int min = panel.sliderMin(s.wireId);
            const int max = panel.sliderMax(s.wireId);
            const int value = offlineDefault(s.wireId);
            panel.setSliderValue(s.wireId, min + max - value);
            panel.setDisplayCaption(s.wireId, labelText(parameter(s.wireId).style, value));
            break;
        }
        case Step::Spinner: {
            const Control spinner = spinnerOf(s.wireId);
            // Runs the spinner's handler when it changes.
            panel.setValue(spinner, offlineDefault(s.wireId));
            panel.setDisplayCaption(s.wireId, QString::number(panel.value(spinner)));
            break;
        }
        case Step::Check: // runs the click handler when it changes
            panel.setValue(checkBoxOf(s.wireId), offlineDefault(s.wireId));
            break;
        case Step::Option: // selects one option, which runs its click handler
            panel.setValue(
                offlineDefault(s.wireId) == 0 ? Control::SurroundMode1 : Control::SurroundMode2, 1);
            break;
        }
    }
}

Preset offlinePreset()
{
    Preset preset;
    for (int id : presetIds())
        preset.values[static_cast<std::size_t>(id)] = offlineDefault(id);
    return preset;
}

} // namespace qj
