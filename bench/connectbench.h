#pragma once

namespace qj::bench {

class Report;

// 1. Connect to online: from the click on the connect entry to Mute enabled and to the last of
// the 38 reports applied, against the line-rate bound of the bytes exchanged. Returns the median
// of connect to Mute enabled (NaN when nothing was measured).
double runConnectBench(Report &report, int runs);

} // namespace qj::bench
