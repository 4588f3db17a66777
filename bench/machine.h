#pragma once

#include <QStringList>

namespace qj::bench {

// The machine the figures came from, one "name: value" line each: CPU, cores, kernel, memory,
// Qt, display.
QStringList describeMachine();

} // namespace qj::bench
