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
//  - fewer than four bytes within kFrameWindow of the start byte: the start byte was a single
//    byte (a reply, or a stray), and what came after it is read again.
// Any other byte outside a frame is a single byte. Arrival times are those at our end of the
// line, so with pacing the bytes of one frame come a byte time apart.
// One case reads wrong: a reply AA followed within the window by a command whose id and value
// add up to 0xAB sums to FF with the reply in front. That "frame" has wire id AA and is refused;
// the panel hears no acknowledgement and sends its command again 100 ms later.
class CommandReader
{
public:
    // The panel writes a command's four bytes at once and they follow each other on the line, so
    // the last arrives three byte times (1.04 ms) after the start byte; the rest is room for a
    // late read of the pseudo-terminal. Every reply AA costs this wait before we may answer it.
    static constexpr Micros kFrameWindow{2000};

    enum class Kind {
        Frame,   // a command frame with a good check byte
        Garbled, // four bytes from a start byte with a bad check byte
        Single,  // one byte that belongs to no frame
    };

    struct Piece
    {
        Kind kind;
        frame::Frame bytes; // Single: the byte is bytes[0]
    };

    void push(std::uint8_t byte, Micros at, std::vector<Piece> &out);
    // Gives up frames whose window has run out by `now`.
    void expire(Micros now, std::vector<Piece> &out);
    // When the open frame's window runs out, if one is open.
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
};

} // namespace qj::sim
