#pragma once

#include "link/portlist.h"

#include <vector>

namespace qj {

// The serial devices the system reports now (adapters come and go while the panel runs).
std::vector<FoundPort> scanPorts();

} // namespace qj
