#pragma once

#include "link/linkstate.h"
#include "link/panelaccess.h"
#include "panel/texts.h"

namespace qj {

// The parameter values the offline panel shows.
inline constexpr int kBgmVolumeDefault = 30; // slider and label agree on it

// Every control back to its default, the status lamp offline, Mute disabled and the pending
// command forgotten. The order matters: the spinners, check boxes and surround option run
// their own handlers as they change, and the online flag is cleared only near the end.
void OffLineStatus(PanelAccess &panel, CommandState &command, const Texts &texts);

// The default of a slider's parameter on the offline panel.
int offlineDefault(int wireId);

} // namespace qj

#include "params/preset.h"

namespace qj {

// The offline defaults as a preset, for the reset.
Preset offlinePreset();

} // namespace qj
