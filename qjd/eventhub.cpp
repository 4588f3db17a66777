#include "qjd/eventhub.h"

#include <QJsonDocument>

namespace qj::qjd {

namespace {

EventHub::Message serialise(const QJsonObject &object)
{
    return std::make_shared<const std::string>(
        QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
}

} // namespace

void EventHub::publish(QJsonObject event)
{
    event.insert(QStringLiteral("seq"), static_cast<qint64>(++m_seq));
    if (m_sinks.empty())
        return;
    const Message message = serialise(event);
    for (const auto &[id, sink] : m_sinks)
        sink(message);
}

void EventHub::subscribe(std::uint64_t id, Sink sink, QJsonObject snapshot)
{
    snapshot.insert(QStringLiteral("seq"), static_cast<qint64>(m_seq));
    sink(serialise(snapshot));
    m_sinks.insert_or_assign(id, std::move(sink));
}

void EventHub::unsubscribe(std::uint64_t id)
{
    m_sinks.erase(id);
}

} // namespace qj::qjd
