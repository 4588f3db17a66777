#pragma once

#include <QString>

#include <cstdint>

namespace qj::bench {

// What the kernel says about a running process, from /proc.
struct ProcSample
{
    std::int64_t cpuNs = 0;    // time on a CPU, all threads, from their schedstat
    std::int64_t switches = 0; // context switches, all threads: roughly its wake-ups
    bool ok = false;
};

ProcSample sampleProcess(qint64 pid);

// VmRSS and VmHWM in KiB; 0 when unknown.
std::int64_t residentKiB(qint64 pid);
std::int64_t peakResidentKiB(qint64 pid);

// The three load averages, as /proc/loadavg gives them.
QString loadAverage();

} // namespace qj::bench
