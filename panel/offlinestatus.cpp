#include "panel/offlinestatus.h"

#include "params/labeltext.h"
#include "params/parametermap.h"

#include <array>

namespace qj {

namespace {

enum class Step { Disable, Status, Group, Slider, Spinner, Check, Option, MuteOff, Forget, Enable };

struct OfflineStep
{
    Step step;
    int wireId = -1;                 // Slider
    Group group = Group::SaveMode;   // Group: lit button from the group table (-1 none)
    Control control = Control::Mute; // Spinner, Check, Option
    int value = 0;                   // Slider: parameter value; Spinner, Check: control value
};

constexpr OfflineStep slider(int wireId, int value)
{
    return {Step::Slider, wireId, Group::SaveMode, Control::Mute, value};
}
constexpr OfflineStep group(Group g)
{
    return {Step::Group, -1, g};
}
constexpr OfflineStep set(Step s, Control c, int value)
{
    return {s, -1, Group::SaveMode, c, value};
}

constexpr std::array<OfflineStep, 43> kSteps{{
    {Step::Disable},
    {Step::Status},
    group(Group::MusicSelect),
    group(Group::MusicVocal),
    group(Group::MusicPitch),
    slider(15, 10),  // MusicTreble 0dB
    slider(16, 10),  // MusicMid
    slider(17, 10),  // MusicBass
    slider(21, 10),  // MusicBalance
    slider(20, 100), // SubwoofLpf 100Hz
    set(Step::Spinner, Control::MaxMusicVolume, 62),
    set(Step::Spinner, Control::MaxMicVolume, 42),
    set(Step::Check, Control::SubwoofPhase, 0),
    set(Step::Check, Control::SuperBass, 0),
    set(Step::Option, Control::SurroundMode1, 1),
    slider(32, 30), // MicVolume
    slider(31, 30), // MusicVolume
    slider(35, 20), // SubwoofVolume
    slider(34, 20), // CenterVolume
    slider(33, 20), // SurroundVolume
    slider(36, kBgmVolumeDefault),
    slider(6, 10), // MicEQ100Hz 0dB
    slider(7, 10),
    slider(8, 10),
    slider(9, 10),
    slider(10, 10),
    slider(11, 0),   // MicExciter
    slider(23, 20),  // MicNoiseGate
    slider(25, 0),   // SingSubwoofVolume
    slider(14, 100), // FeedbackTime 100ms
    group(Group::FeedbackClass),
    slider(1, 180), // EchoDelay
    slider(2, 20),
    slider(3, 20),
    slider(4, 20),
    slider(5, 20),
    group(Group::KaraokeMode),
    group(Group::EchoMode),
    group(Group::RunMode),
    group(Group::SaveMode),
    {Step::MuteOff},
    {Step::Forget},
    {Step::Enable},
}};

} // namespace

int offlineDefault(int wireId)
{
    for (const OfflineStep &s : kSteps)
        if (s.step == Step::Slider && s.wireId == wireId)
            return s.value;
    return -1;
}

void OffLineStatus(PanelAccess &panel, CommandState &command, const Texts &texts)
{
    for (const OfflineStep &s : kSteps) {
        switch (s.step) {
        case Step::Disable:
        case Step::Enable:
            panel.setWindowEnabled(s.step == Step::Enable);
            break;
        case Step::Status:
            panel.setStatusCaption(texts.offlineStatus());
            break;
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
            panel.setSliderValue(s.wireId, min + max - s.value);
            panel.setDisplayCaption(s.wireId, labelText(parameter(s.wireId).style, s.value));
            break;
        }
        case Step::Spinner: {
            panel.setValue(s.control, s.value); // runs the spinner's handler when it changes
            const int limitId =
                s.control == Control::MaxMusicVolume ? wire::kMaxMusicVolume : wire::kMaxMicVolume;
            panel.setDisplayCaption(limitId, QString::number(panel.value(s.control)));
            break;
        }
        case Step::Check:
        case Step::Option:
            panel.setValue(s.control, s.value); // runs the click handler when it changes
            break;
        case Step::MuteOff:
            panel.setEnabled(Control::Mute, false);
            panel.setMuteColour(ButtonColour::Face);
            break;
        case Step::Forget:
            command.CmdId = 0;
            command.CmdValue = 0;
            command.ReplyTicks = 0;
            command.RetryLeft = 0;
            break;
        }
    }
}

} // namespace qj

namespace qj {

Preset offlinePreset()
{
    Preset preset;
    for (int id : presetIds()) {
        int &v = preset.values[static_cast<std::size_t>(id)];
        switch (parameter(id).kind) {
        case ControlKind::Slider:
            v = offlineDefault(id);
            break;
        case ControlKind::Group:
            for (const ButtonGroup &g : buttonGroups())
                if (g.wireId == id)
                    v = groupValue(g.group, g.offlineChoice);
            break;
        case ControlKind::Spinner:
            v = parameter(id).max;
            break;
        default:
            v = 0; // check boxes clear, surround "L/R"
            break;
        }
    }
    return preset;
}

} // namespace qj
