#include "app/tracefile.h"

#include "link/serialport.h"

#include <QDateTime>

namespace qj {

bool TraceFile::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    m_stream.setDevice(&m_file);
    m_stream << "# QJ Karaoke V1.0 protocol trace, started "
             << QDateTime::currentDateTime().toString(Qt::ISODateWithMs)
             << "; milliseconds since then, TX panel to processor, RX processor to panel\n";
    m_stream.flush();
    return m_stream.status() == QTextStream::Ok;
}

Port &TraceFile::wrap(Port &inner)
{
    m_port = std::make_unique<TracingPort>(inner, m_stream);
    return *m_port;
}

} // namespace qj

namespace qj {

void TraceFile::follow(SerialPort &serial)
{
    QObject::connect(&serial, &SerialPort::lost, &serial, [this, &serial] {
        const QString why = serial.lastErrorText();
        m_port->note(QStringLiteral("port %1 lost: %2 went away%3")
                         .arg(serial.commPort())
                         .arg(serial.deviceName(),
                              why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
    });
    QObject::connect(&serial, &SerialPort::deviceBack, &serial, [this, &serial] {
        m_port->note(
            QStringLiteral("port %1: %2 is back").arg(serial.commPort()).arg(serial.deviceName()));
    });
}

} // namespace qj
