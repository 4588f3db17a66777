#pragma once

#include <QJsonObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace qj::qjd {

// The event stream's numbering and fan-out, on the engine's thread: each event gets the next
// sequence number and goes, as one serialised text, to every subscriber in the same order. A
// subscriber's first message is the snapshot, numbered with the last event before it, so it
// sees every later event and none twice.
class EventHub
{
public:
    using Message = std::shared_ptr<const std::string>;
    using Sink = std::function<void(Message)>;

    void publish(QJsonObject event);
    // Hands `sink` the snapshot (the rooms, with "seq") at once, then every event.
    void subscribe(std::uint64_t id, Sink sink, QJsonObject snapshot);
    void unsubscribe(std::uint64_t id);

    std::uint64_t seq() const { return m_seq; }
    std::size_t subscribers() const { return m_sinks.size(); }

private:
    std::uint64_t m_seq = 0;
    std::map<std::uint64_t, Sink> m_sinks;
};

} // namespace qj::qjd
