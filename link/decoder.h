#pragma once

#include "link/linkstate.h"
#include "link/port.h"
#include "link/reporttable.h"
#include "link/transmitter.h"

namespace qj {

// The receive side for the processor's reports: one report frame per call, taken from the
// first four bytes waiting, answered with one reply byte; both port buffers emptied after.
class Decoder
{
public:
    Decoder(Port &port, ReceiveState &rx, ReportTable &table, Transmitter &transmitter);

    // Called by the tick with RxCount holding the input count it just saw.
    void ReadComData();

private:
    Port &m_port;
    ReceiveState &m_rx;
    ReportTable &m_table;
    Transmitter &m_transmitter;
};

} // namespace qj
