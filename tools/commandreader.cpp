#include "tools/commandreader.h"

namespace qj::sim {

void CommandReader::push(std::uint8_t byte, Micros at, std::vector<Piece> &out)
{
    // A byte exactly a quiet gap after the latest one still follows it without a pause.
    if (m_count > 0 && at > m_times[m_count - 1] + m_quietGap)
        expire(at, out);
    feed(byte, at, out);
}

void CommandReader::expire(Micros now, std::vector<Piece> &out)
{
    while (m_count > 0 && now >= m_times[m_count - 1] + m_quietGap)
        dropFirst(out);
}

std::optional<Micros> CommandReader::deadline() const
{
    if (m_count == 0)
        return std::nullopt;
    return m_times[m_count - 1] + m_quietGap;
}

void CommandReader::feed(std::uint8_t byte, Micros at, std::vector<Piece> &out)
{
    if (m_count == 0 && byte != frame::kStart) {
        out.push_back({Kind::Single, {byte, 0, 0, 0}, at});
        return;
    }
    m_bytes[m_count] = byte;
    m_times[m_count] = at;
    if (++m_count == 4)
        decide(out);
}

void CommandReader::decide(std::vector<Piece> &out)
{
    if (frame::sum(m_bytes.data()) == frame::kSum) {
        out.push_back({Kind::Frame, m_bytes, m_times[0]});
        m_count = 0;
        return;
    }
    for (int i = 1; i < 4; ++i) {
        if (m_bytes[i] == frame::kStart) {
            dropFirst(out);
            return;
        }
    }
    out.push_back({Kind::Garbled, m_bytes, m_times[0]});
    m_count = 0;
}

void CommandReader::dropFirst(std::vector<Piece> &out)
{
    out.push_back({Kind::Single, {m_bytes[0], 0, 0, 0}, m_times[0]});
    const std::array<std::uint8_t, 4> bytes = m_bytes;
    const std::array<Micros, 4> times = m_times;
    const int count = m_count;
    m_count = 0;
    // At most three bytes go back in, so this never reaches decide() again from here.
    for (int i = 1; i < count; ++i)
        feed(bytes[i], times[i], out);
}

} // namespace qj::sim
