#pragma once

namespace qj::bench {

class Report;

// 3. Tick accuracy: the real duration of 100, 200 and 1900 ticks of the panel's own timer (the
// resend waits and the give-up, against a silent line), and of a bare 1 ms QTimer with and
// without timer slack.
void runTickBench(Report &report, int runs);

} // namespace qj::bench
