#pragma once

#include "link/linkstate.h"
#include "link/panelaccess.h"
#include "panel/texts.h"

namespace qj {

// Every control back to its default, the status lamp offline, Mute disabled and the pending
// command forgotten. The order matters: the spinners, check boxes and surround option run
// their own handlers as they change, and the online flag is cleared only near the end.
void OffLineStatus(PanelAccess &panel, CommandState &command, const Texts &texts);

// The value byte of a parameter on the offline panel (the parameter table's offline column).
int offlineDefault(int wireId);

} // namespace qj

#include "params/preset.h"

namespace qj {

// The offline defaults as a preset, for the reset.
Preset offlinePreset();

} // namespace qj
