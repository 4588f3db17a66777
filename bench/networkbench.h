#pragma once

namespace qj::bench {

class Report;

// 9. Through ser2net (raw accepter with tcp(nodelay)) between the panel and the virtual
// processor: key press → frame at the processor (p50, p99), and connect → online as a ratio to
// the direct pseudo-terminal in the same run.
void runNetworkBench(Report &report, int runs, int steps);

} // namespace qj::bench
