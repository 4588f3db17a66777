// Fuzz target: the preset-file reader. Whatever the bytes, reading either refuses them with a
// reason or yields a preset whose every value is valid, that writes back to the same preset,
// and that puts every control of a panel inside its range.
#include "params/panelmodel.h"
#include "params/preset.h"
#include "params/texts.h"

#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace qj;
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    PresetProblem problem{};
    const std::optional<Preset> preset = readPreset(text, &problem);
    if (!preset) {
        check(!presetProblemText(problem, Language::Chinese).isEmpty() &&
                  !presetProblemText(problem, Language::English).isEmpty(),
              "a reason is given");
        return 0;
    }
    for (int id : presetIds())
        check(validPresetValue(id, preset->values[static_cast<std::size_t>(id)]), "value valid");
    const std::optional<Preset> again = readPreset(writePreset(*preset));
    check(again && *again == *preset, "write and read again gives the same preset");

    PanelModel panel;
    applyPreset(panel, *preset);
    for (const Parameter &p : parameters())
        if (p.kind == ControlKind::Slider)
            check(panel.sliderValue(p.wireId) >= panel.sliderMin(p.wireId) &&
                      panel.sliderValue(p.wireId) <= panel.sliderMax(p.wireId),
                  "slider inside its range");
    check(capturePreset(panel) == *preset, "the panel shows the preset");
    return 0;
}
