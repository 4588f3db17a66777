#pragma once

#include <QString>

namespace qj::bench {

// The virtual processor stands in for hardware, which never pauses in the middle of a frame.
// On a busy machine qj-sim can be kept off a CPU for a millisecond or more between two bytes of
// a report; the panel then sees the line go quiet, decodes half a frame and the report is lost,
// a fault of the stand-in and not of the panel. The benchmark therefore lets qj-sim preempt
// other work (real-time scheduling, else a higher nice level); the panel keeps its normal
// priority. Returns what was granted, for the report.
QString raiseDevicePriority(qint64 pid);

} // namespace qj::bench
