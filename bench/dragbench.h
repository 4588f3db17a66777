#pragma once

namespace qj::bench {

class Report;

// 6. Drag throughput: a fast mouse drag of EchoDelay over its full range; frames written per
// second, and how long events wait in the panel's queue meanwhile.
void runDragBench(Report &report, int runs);

} // namespace qj::bench
