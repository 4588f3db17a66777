#pragma once

#include "params/parametermap.h"

#include <array>
#include <cstdint>

namespace qj::sim {

// All 38 value bytes, indexed by wire id.
using Settings = std::array<std::uint8_t, kParameterCount>;

inline constexpr int kUserSlots = 5; // User1 to User5 on the run-mode buttons

// The settings a user slot holds when the processor leaves the factory. Each slot is a
// different sound, so recalling one visibly moves the panel. Wire id 0 (status) reads 0, the
// run mode (37) is the slot's own number; the limits (29, 30) are the same in every slot.
Settings factorySettings(int slot);

// Whether a wire id belongs to the sound stored in a user slot. The status, the two limits and
// the run mode itself are the processor's own and survive a recall.
bool isSlotParameter(int wireId);

} // namespace qj::sim
