#pragma once

#include "link/frame.h"
#include "tools/line.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qj::sim {

// Cuts what the panel sends into pieces: four-byte command frames and single bytes.
//
// The panel sends two things: command frames (AA id value check) and one-byte replies to our
// reports (AA accepted, 55 rejected). A reply AA and the start of a command look alike, so a
// start byte opens a frame that is decided by what follows it:
//  - four bytes summing to FF are a command frame;
//  - four bytes that do not, but hold another start byte, were not aligned: the first byte is
//    given up as a single byte and the rest is read again from that start byte (this is how a
//    reply AA immediately followed by a command, or a stray AA before one, comes apart);
//  - four bytes that do not and hold no other start byte are a garbled command;
//  - fewer than four bytes when the line has gone quiet: the start byte was a single byte (a
//    reply, or a stray), and what came after it is read again.
// Any other byte outside a frame is a single byte. Arrival times are those at our end of the
// line, so with pacing the bytes of one frame come a byte time apart, back to back.
// One case reads wrong: a reply AA followed on the line without a pause by a command whose id
// and value add up to 0xAB sums to FF with the reply in front. That "frame" has wire id AA and
// is refused; the panel hears no acknowledgement and sends its command again 100 ms later.
class CommandReader
{
public:
    // The panel writes a command's four bytes at once, so on a paced line they follow each other
    // without a pause. A line that has been quiet for one byte time after the latest byte (a
    // UART's idle-line condition: the next byte of the frame would have arrived by then) ends
    // the open frame. Every reply AA costs this wait before we know it is one.
    static constexpr Micros kPacedQuietGap = Line::kByteTime;
    // Without pacing there is no line to go by: bytes keep the time they were read. A program
    // that writes a frame in pieces has this long between two of them.
    static constexpr Micros kUnpacedQuietGap{2000};

    explicit CommandReader(Micros quietGap = kPacedQuietGap) : m_quietGap(quietGap) {}
    void setQuietGap(Micros quietGap) { m_quietGap = quietGap; }
    Micros quietGap() const { return m_quietGap; }

    enum class Kind {
        Frame,   // a command frame with a good check byte
        Garbled, // four bytes from a start byte with a bad check byte
        Single,  // one byte that belongs to no frame
    };

    struct Piece
    {
        Kind kind;
        frame::Frame bytes; // Single: the byte is bytes[0]
        Micros at;          // when its first byte arrived
    };

    void push(std::uint8_t byte, Micros at, std::vector<Piece> &out);
    // Gives up the open frame if the line has been quiet long enough by `now`.
    void expire(Micros now, std::vector<Piece> &out);
    // When the open frame is given up unless another byte comes, if one is open.
    std::optional<Micros> deadline() const;
    bool frameOpen() const { return m_count > 0; }
    void reset() { m_count = 0; }

private:
    void feed(std::uint8_t byte, Micros at, std::vector<Piece> &out);
    void decide(std::vector<Piece> &out);
    void dropFirst(std::vector<Piece> &out);

    std::array<std::uint8_t, 4> m_bytes{};
    std::array<Micros, 4> m_times{};
    int m_count = 0;
    Micros m_quietGap;
};

} // namespace qj::sim
