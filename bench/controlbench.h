#pragma once

namespace qj::bench {

class Report;

// 2. Control to wire: from a key press on a focused slider to the command frame readable at
// the other end of the panel's pseudo-terminal.
void runControlBench(Report &report, int runs, int steps);

} // namespace qj::bench
