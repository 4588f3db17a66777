#pragma once

#include "params/panelaccess.h"
#include "params/parametermap.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace qj {

// A saved set of the processor's sound settings: every parameter the panel shows except the
// device status (mute is a toggle, not a setting) and the run mode (choosing a user mode makes
// the processor recall that memory, which would overwrite the rest). The two limits are kept
// for the panel; the processor never receives them.
struct Preset
{
    static constexpr int kVersion = 1;
    static constexpr qsizetype kMaxFileSize = 64 * 1024; // a real preset is under 4 KiB

    std::array<int, kParameterCount> values{}; // by wire id; only presetIds() are meaningful

    bool operator==(const Preset &) const = default;
};

// Wire ids a preset holds, ascending: the limits (29, 30) come first when applied.
const std::vector<int> &presetIds();
bool inPreset(int wireId);
// Whether `value` is a valid preset value for `wireId`.
bool validPresetValue(int wireId, int value);

struct PresetProblem
{
    enum Kind {
        Empty,
        TooLarge, // value: the file's size, -1 when it cannot be told (a device, a pipe)
        NotJson,  // value: the parse error's code; line and column: where it is
        NotAPreset,
        UnknownVersion, // name: the version as written, empty when there is none
        NoParameterList,
        BadEntry, // name: the entry's name when it has one; value: its place in the list
        UnknownParameter,
        NameMismatch,
        Duplicate,
        Missing,
        OutOfRange,
        LevelAboveLimit,
    };
    Kind kind;
    QString name; // the parameter concerned, when there is one
    qint64 value = 0;
    int line = 0; // 1-based, where the text stops being JSON
    int column = 0;
    // The sentence the person who chose the file reads: presetProblemText in params/texts.h.
};

// The panel as a preset, and a preset onto the panel. Applying changes only the panel: check
// boxes and options are disabled around their change so their handlers send nothing.
Preset capturePreset(const PanelAccess &panel);
void applyPreset(PanelAccess &panel, const Preset &preset);

// The file: UTF-8 JSON with a format name, a version and one entry per parameter (name, wire
// id and value), in wire-id order. A master level above its limit is written at the limit, so
// readPreset takes every file written here.
QByteArray writePreset(const Preset &preset);
// Validates the whole text before anything is used; nothing is half-read.
std::optional<Preset> readPreset(const QByteArray &text, PresetProblem *problem = nullptr);

// What must be sent to bring the processor from `shown` to `wanted`, as (wire id, value),
// ascending; the limits are never among them.
std::vector<std::pair<int, int>> presetChanges(const Preset &shown, const Preset &wanted);

} // namespace qj
