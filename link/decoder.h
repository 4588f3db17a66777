#pragma once

#include "link/linkstate.h"
#include "link/port.h"
#include "link/reporttable.h"
#include "link/transmitter.h"

#include <functional>

namespace qj {

// The receive side for the processor's reports: one report frame per call, taken from the
// first four bytes waiting, answered with one reply byte; both port buffers emptied after.
class Decoder
{
public:
    Decoder(Port &port, ReceiveState &rx, ReportTable &table, Transmitter &transmitter);

    // Called by the tick with RxCount holding the input count it just saw.
    void ReadComData();

    // Called after each report the panel accepted and answered, with its wire id and the value
    // byte as it came. Observers only: a headless client learns from it what the processor
    // holds.
    void setReportHook(std::function<void(std::uint8_t wireId, std::uint8_t value)> hook);

private:
    Port &m_port;
    ReceiveState &m_rx;
    ReportTable &m_table;
    Transmitter &m_transmitter;
    std::function<void(std::uint8_t, std::uint8_t)> m_onReport;
};

} // namespace qj
