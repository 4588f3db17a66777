#pragma once

#include "link/tracingport.h"

#include <QFile>
#include <QTextStream>

#include <memory>

namespace qj {

class SerialPort;

// The protocol trace for service technicians: a file that receives every byte the panel
// sends and receives, one frame or byte per line, with the time and the direction, after a
// heading line that gives the wall-clock start.
class TraceFile
{
public:
    // Creates the file, or empties it. False when it cannot be written; errorString() says why.
    bool open(const QString &path);
    QString errorString() const { return m_file.errorString(); }

    // The port the window should use: `inner` with every byte written to the trace.
    Port &wrap(Port &inner);
    // Also what the serial port says of its device: lost, and back. After wrap() and before the
    // window is wired to the same signals, so the trace tells the loss before what follows it.
    void follow(SerialPort &serial);

private:
    QFile m_file;
    QTextStream m_stream;
    std::unique_ptr<TracingPort> m_port;
};

} // namespace qj
