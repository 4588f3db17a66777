#pragma once

#include "params/panelaccess.h"
#include "params/preset.h"

namespace qj {

// The value byte of a parameter on the offline panel (the parameter table's offline column).
int offlineDefault(int wireId);

// Every control to its offline value and label, in a fixed order. The order matters: the limit
// spinners run their own handlers as they change and give the two level sliders their full
// range back before those are set; the check boxes and the surround option run their click
// handlers as they change, which send while the panel is still online.
void showOfflineDefaults(PanelAccess &panel);

// The offline values as a preset, for the reset.
Preset offlinePreset();

} // namespace qj
