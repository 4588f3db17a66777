#include "params/preset.h"

#include "params/buttongroups.h"
#include "params/labeltext.h"
#include "params/parametermap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace qj {

namespace {

const QString kFormat = QStringLiteral("qj-karaoke-preset");

// Each master level and the limit over it.
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 2> kLevelLimits{{
    {wire::kMusicVolume, wire::kMaxMusicVolume},
    {wire::kMicVolume, wire::kMaxMicVolume},
}};

std::optional<Group> groupOf(int wireId)
{
    for (const ButtonGroup &g : buttonGroups())
        if (g.wireId == wireId)
            return g.group;
    return std::nullopt;
}

Control checkBoxOf(int wireId)
{
    return wireId == wire::kSuperBass ? Control::SuperBass : Control::SubwoofPhase;
}

Control spinnerOf(int wireId)
{
    return wireId == wire::kMaxMusicVolume ? Control::MaxMusicVolume : Control::MaxMicVolume;
}

int litValue(const PanelAccess &panel, Group group)
{
    const ButtonGroup &g = buttonGroup(group);
    // "Auto" stands for the whole source choice when it is lit.
    if (group == Group::MusicSelect &&
        panel.buttonColour(group, kSelectAutoIndex) != ButtonColour::Face)
        return kSelectAutoValue;
    for (int i = 0; i < g.count; ++i)
        if (panel.buttonColour(group, i) != ButtonColour::Face)
            return groupValue(group, i);
    return groupValue(group, g.offlineChoice);
}

// A value as it stands in the file: text in quotes, so "1" is not taken for the number 1.
QString jsonText(const QJsonValue &value)
{
    if (value.isUndefined())
        return {};
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2)); // without the brackets
}

// Where a byte offset lies, as an editor shows it: 1-based line and column, the column
// counted in characters.
void placeOffset(const QByteArray &text, qint64 offset, PresetProblem &problem)
{
    const qsizetype end = static_cast<qsizetype>(std::clamp<qint64>(offset, 0, text.size()));
    const qsizetype lineStart = end == 0 ? 0 : text.lastIndexOf('\n', end - 1) + 1;
    problem.line = static_cast<int>(text.left(lineStart).count('\n')) + 1;
    problem.column =
        static_cast<int>(QString::fromUtf8(text.mid(lineStart, end - lineStart)).size()) + 1;
}

} // namespace

const std::vector<int> &presetIds()
{
    static const std::vector<int> ids = [] {
        std::vector<int> out{wire::kMaxMusicVolume, wire::kMaxMicVolume};
        for (int id = 1; id < kParameterCount; ++id)
            if (id != wire::kRunMode && id != wire::kMaxMusicVolume && id != wire::kMaxMicVolume)
                out.push_back(id);
        return out;
    }();
    return ids;
}

bool inPreset(int wireId)
{
    const auto &ids = presetIds();
    return std::find(ids.begin(), ids.end(), wireId) != ids.end();
}

bool validPresetValue(int wireId, int value)
{
    if (!inPreset(wireId))
        return false;
    const Parameter &p = parameter(wireId);
    if (p.kind == ControlKind::Spinner)
        return value >= p.min && value <= p.max;
    return isSendable(wireId, value);
}

Preset capturePreset(const PanelAccess &panel)
{
    Preset preset;
    for (int id : presetIds()) {
        const Parameter &p = parameter(id);
        int &v = preset.values[static_cast<std::size_t>(id)];
        switch (p.kind) {
        case ControlKind::Slider:
            v = panel.sliderMin(id) + panel.sliderMax(id) - panel.sliderValue(id);
            break;
        case ControlKind::Group:
            // Every group parameter has its group; a table that lost one leaves the value 0.
            if (const std::optional<Group> group = groupOf(id))
                v = litValue(panel, *group);
            break;
        case ControlKind::CheckBox:
            v = panel.value(checkBoxOf(id)) != 0 ? 1 : 0;
            break;
        case ControlKind::Options:
            v = panel.value(Control::SurroundMode2) != 0 ? 1 : 0;
            break;
        case ControlKind::Spinner:
            v = panel.value(spinnerOf(id));
            break;
        case ControlKind::Status:
            break;
        }
    }
    return preset;
}

void applyPreset(PanelAccess &panel, const Preset &preset)
{
    // Limits first: they set the range of the two level sliders that follow.
    for (int id : presetIds()) {
        const Parameter &p = parameter(id);
        const int v = preset.values[static_cast<std::size_t>(id)];
        switch (p.kind) {
        case ControlKind::Spinner:
            panel.setValue(spinnerOf(id), v); // its own handler moves the slider's Max
            panel.setDisplayCaption(id, QString::number(panel.value(spinnerOf(id))));
            break;
        case ControlKind::Slider: {
            const int min = panel.sliderMin(id);
            const int max = panel.sliderMax(id);
            panel.setSliderValue(id, std::clamp(min + max - v, min, max));
            panel.setDisplayCaption(id, labelText(p.style, v));
            break;
        }
        case ControlKind::Group: {
            const std::optional<Group> found = groupOf(id);
            if (!found)
                break; // a group parameter without its group: nothing to light
            const Group group = *found;
            const int lit =
                group == Group::MusicSelect && v == kSelectAutoValue ? kSelectAutoIndex : v;
            for (int i = 0; i < buttonGroup(group).count; ++i)
                panel.setButtonColour(group, i, ButtonColour::Face);
            const bool neutral = group == Group::MusicPitch && lit == kPitchNeutralIndex;
            panel.setButtonColour(group, lit, neutral ? ButtonColour::Green : ButtonColour::Red);
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::Options: {
            const Control c = p.kind == ControlKind::CheckBox
                                  ? checkBoxOf(id)
                                  : (v == 0 ? Control::SurroundMode1 : Control::SurroundMode2);
            const int value = p.kind == ControlKind::CheckBox ? v : 1;
            panel.setEnabled(c, false); // held off: the push sends what differs
            panel.setValue(c, value);
            panel.setEnabled(c, true);
            break;
        }
        case ControlKind::Status:
            break;
        }
    }
}

QByteArray writePreset(const Preset &given)
{
    // A limit the processor reported moves no slider, so the panel can show a level above it;
    // the file holds it at the limit, where the panel's own spinner puts it, and so is always
    // one that readPreset takes.
    Preset preset = given;
    for (const auto &[level, limit] : kLevelLimits)
        preset.values[level] = std::min(preset.values[level], preset.values[limit]);
    QJsonArray entries;
    for (int id = 0; id < kParameterCount; ++id) {
        if (!inPreset(id))
            continue;
        entries.append(QJsonObject{
            {QStringLiteral("name"), QString::fromLatin1(parameter(id).control.data(),
                                                         qsizetype(parameter(id).control.size()))},
            {QStringLiteral("wireId"), id},
            {QStringLiteral("value"), preset.values[static_cast<std::size_t>(id)]},
        });
    }
    const QJsonObject root{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("version"), Preset::kVersion},
        {QStringLiteral("parameters"), entries},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Preset> readPreset(const QByteArray &text, PresetProblem *problem)
{
    auto fail = [&](PresetProblem::Kind kind, const QString &name = {}, qint64 value = 0) {
        if (problem)
            *problem = {kind, name, value};
        return std::optional<Preset>();
    };
    if (text.size() > Preset::kMaxFileSize)
        return fail(PresetProblem::TooLarge, {}, text.size());
    if (text.trimmed().isEmpty()) // blank lines look empty in any editor
        return fail(PresetProblem::Empty);

    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (problem) {
            *problem = {PresetProblem::NotJson, {}, parseError.error};
            // The reader stops one character past the one it could not take, except that it
            // stops on the first character after the end.
            const bool past = parseError.error != QJsonParseError::GarbageAtEnd;
            placeOffset(text, parseError.offset - (past ? 1 : 0), *problem);
        }
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QStringLiteral("format")).toString() != kFormat)
        return fail(PresetProblem::NotAPreset);
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != Preset::kVersion)
        return fail(PresetProblem::UnknownVersion, jsonText(version));
    const QJsonValue list = root.value(QStringLiteral("parameters"));
    if (!list.isArray())
        return fail(PresetProblem::NoParameterList);

    Preset preset;
    std::array<bool, kParameterCount> seen{};
    auto isInteger = [](const QJsonValue &v) {
        return v.isDouble() && v.toDouble() == static_cast<double>(v.toInteger());
    };
    qint64 position = 0;
    for (const QJsonValue &entryValue : list.toArray()) {
        ++position;
        const QJsonObject entry = entryValue.toObject();
        const QJsonValue name = entry.value(QStringLiteral("name"));
        const QJsonValue id = entry.value(QStringLiteral("wireId"));
        const QJsonValue value = entry.value(QStringLiteral("value"));
        if (!entryValue.isObject() || !name.isString() || !isInteger(id) || !isInteger(value))
            return fail(PresetProblem::BadEntry, name.toString(), position);
        const qint64 wireId = id.toInteger();
        if (wireId < 0 || wireId >= kParameterCount || !inPreset(int(wireId)))
            return fail(PresetProblem::UnknownParameter, name.toString(), wireId);
        const Parameter &p = parameter(int(wireId));
        if (name.toString() != QLatin1String(p.control.data(), qsizetype(p.control.size())))
            return fail(PresetProblem::NameMismatch, name.toString(), wireId);
        if (seen[std::size_t(wireId)])
            return fail(PresetProblem::Duplicate, name.toString());
        const qint64 v = value.toInteger();
        if (v < 0 || v > 255 || !validPresetValue(int(wireId), int(v)))
            return fail(PresetProblem::OutOfRange, name.toString(), v);
        seen[std::size_t(wireId)] = true;
        preset.values[std::size_t(wireId)] = int(v);
    }
    for (int id : presetIds()) {
        if (!seen[std::size_t(id)]) {
            const Parameter &p = parameter(id);
            return fail(PresetProblem::Missing,
                        QString::fromLatin1(p.control.data(), qsizetype(p.control.size())));
        }
    }
    // A level above its own limit has no place on its track.
    for (const auto &[level, limit] : kLevelLimits) {
        if (preset.values[level] > preset.values[limit]) {
            const Parameter &p = parameter(level);
            return fail(PresetProblem::LevelAboveLimit,
                        QString::fromLatin1(p.control.data(), qsizetype(p.control.size())),
                        preset.values[level]);
        }
    }
    return preset;
}

std::vector<std::pair<int, int>> presetChanges(const Preset &shown, const Preset &wanted)
{
    std::vector<std::pair<int, int>> out;
    for (int id = 0; id < kParameterCount; ++id) {
        if (!inPreset(id) || parameter(id).kind == ControlKind::Spinner)
            continue;
        const auto i = static_cast<std::size_t>(id);
        if (shown.values[i] != wanted.values[i])
            out.emplace_back(id, wanted.values[i]);
    }
    return out;
}

} // namespace qj
