#pragma once

namespace qj::bench {

class Report;

struct ProcessBenchConfig
{
    int startRuns = 5;    // start-ups measured
    int idleRuns = 3;     // of those, how many also measure the idle cost
    int idleSeconds = 30; // per idle measurement
    int bareSeconds = 10; // per measurement of the bare 1 ms timer, for reference
};

// 4. Idle cost and 5. start-up, on build/qj-panel as a separate process under X: from the
// process start to its window mapped; then connected by a click on its menu entry (xdotool),
// its resident memory once online, and its CPU time per second of wall time while it sits
// online and idle.
void runProcessBench(Report &report, const ProcessBenchConfig &config);

// 7. Watching for a lost device: build/qj-panel bound to qj-sim's link (`--link`), connected,
// then the processor unplugged and the loss message closed (a key press through xdotool): the
// panel's CPU time per second of wall time while it watches with nothing changing, and how
// long after `plug` the connect command reaches the processor.
void runWatchBench(Report &report, const ProcessBenchConfig &config);

// The reference: a process that runs nothing but a precise 1 ms QTimer (qj-bench --bare-timer).
int runBareTimer(int argc, char *argv[]);

} // namespace qj::bench
