#include "app/tracefile.h"

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
