#pragma once

#include "params/parametermap.h"

#include <QJsonObject>

#include <array>
#include <string_view>

namespace qj::qjd {

// The parameters the web remote sets during an evening, in the order it shows them.
inline constexpr std::array<std::string_view, 9> kEveningParameters{
    "MusicVolume", "MicVolume",   "EffectVolume", "ReverbVolume", "MusicPitch",
    "MusicVocal",  "MusicSelect", "Mute",         "RunMode",
};

constexpr bool eveningParametersExist()
{
    for (const std::string_view name : kEveningParameters)
        if (!wireIdOf(name))
            return false;
    return true;
}
static_assert(eveningParametersExist(), "the remote's parameters are rows of the table");

// What GET /api/v1/params gives the web remote, read from the parameter table, the button
// groups, the value labels and the status texts, so that the page writes none of them again:
//   {"languages": ["zh", "en"],
//    "status": {"offline": {"zh": "当前状态：脱机", "en": "Status：offline"}, "online": {...}},
//    "parameters": [{"name": "MusicVolume", "kind": "level", "min": 0, "max": 62,
//                    "limit": "MaxMusicVolume", "caption": {"zh": "音乐音量", "en": ...},
//                    "values": [{"value": 0, "text": "0"}, ...]}, ...]}
// Kinds: "level" (a slider), "choice" (one of the buttons), "memory" (a user memory, recalled
// after a confirmation), "mute" (a toggle, its values none). A value the panel never shows as a
// button carries "hidden": true (its text still names a report of it).
QJsonObject parameterDescription();

} // namespace qj::qjd
