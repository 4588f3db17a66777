#pragma once

#include "params/parametermap.h"

#include <array>
#include <optional>

namespace qj {

// The two master levels and the limits the processor reports for them: it refuses a level
// above its limit, so a client refuses to send one.
struct LevelLimit
{
    int level; // wire id of the level
    int limit; // wire id of its reported limit
};
inline constexpr std::array<LevelLimit, 2> kLevelLimits{{
    {wire::kMusicVolume, wire::kMaxMusicVolume},
    {wire::kMicVolume, wire::kMaxMicVolume},
}};

// The limit's wire id when `wireId` is a master level.
constexpr std::optional<int> limitOf(int wireId)
{
    for (const LevelLimit &l : kLevelLimits)
        if (l.level == wireId)
            return l.limit;
    return std::nullopt;
}

} // namespace qj
