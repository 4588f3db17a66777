#pragma once

#include <cmath>

namespace qj::bench {

class Report;

// 7. qj-ctl get: from the start of the process to its exit, the reports of the processor read
// and printed, against the panel's connect to online (`panelOnlineMs`, NaN when item 1 was not
// run).
void runCtlBench(Report &report, int runs, double panelOnlineMs = NAN);

} // namespace qj::bench
