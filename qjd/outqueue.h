#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace qj::qjd {

// The messages waiting to go out to one WebSocket client, counted in bytes. A client whose
// backlog would pass the limit has fallen behind: push refuses, and the edge closes it rather
// than let one slow reader hold the service's memory.
class OutQueue
{
public:
    static constexpr std::size_t kLimit = 256 * 1024;

    using Message = std::shared_ptr<const std::string>;

    // False (nothing queued) when the backlog would pass the limit.
    bool push(Message message)
    {
        if (m_bytes + message->size() > kLimit)
            return false;
        m_bytes += message->size();
        m_messages.push_back(std::move(message));
        return true;
    }
    bool empty() const { return m_messages.empty(); }
    const Message &front() const { return m_messages.front(); }
    // The front message has been written.
    void pop()
    {
        m_bytes -= m_messages.front()->size();
        m_messages.pop_front();
    }
    std::size_t bytes() const { return m_bytes; }

private:
    std::deque<Message> m_messages;
    std::size_t m_bytes = 0;
};

} // namespace qj::qjd
