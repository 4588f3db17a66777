#pragma once

namespace qj::bench {

class Report;

struct QjdBenchConfig
{
    int samples = 200;    // PATCHes, and reports, measured
    int clients = 50;     // event streams watching the reports
    int idleSeconds = 10; // per count of rooms
};

// 9. qjd: a PATCH to the frame at the processor, a report to its event at 50 WebSocket
// clients, and the idle cost and memory with 8, 32 and 64 rooms online on pseudo-terminals.
void runQjdBench(Report &report, const QjdBenchConfig &config);

} // namespace qj::bench
