#pragma once

#include <array>
#include <cstdint>

// The four-byte frame shared by commands (panel to processor) and reports (processor to panel):
// start byte, wire id, value, check byte; the four bytes add up to 0xFF modulo 256.
namespace qj::frame {

using Frame = std::array<std::uint8_t, 4>;

inline constexpr std::uint8_t kStart = 0xAA;  // first byte of every frame
inline constexpr std::uint8_t kAck = 0xAA;    // the processor took our command
inline constexpr std::uint8_t kAccept = 0xAA; // our reply to a report we applied
inline constexpr std::uint8_t kReject = 0x55; // our reply to a report we refused
inline constexpr std::uint8_t kSum = 0xFF;    // what the four bytes of a frame add up to

// One's complement of the low byte of start + id + value.
constexpr std::uint8_t checkByte(std::uint8_t wireId, std::uint8_t value)
{
    return static_cast<std::uint8_t>(~(kStart + wireId + value));
}

constexpr void build(Frame &into, std::uint8_t wireId, std::uint8_t value)
{
    into[0] = kStart;
    into[1] = wireId;
    into[2] = value;
    into[3] = checkByte(wireId, value);
}

constexpr Frame make(std::uint8_t wireId, std::uint8_t value)
{
    Frame f{};
    build(f, wireId, value);
    return f;
}

// Byte-wise 8-bit sum of the first four bytes, as the decoder forms it.
constexpr std::uint8_t sum(const std::uint8_t *bytes)
{
    unsigned s = 0;
    for (int i = 0; i < 4; ++i)
        s = (s + bytes[i]) & 0xFF;
    return static_cast<std::uint8_t>(s);
}

} // namespace qj::frame
