#pragma once

#include "params/texts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qj {

// The Telnet side of an rfc2217:// device: BINARY both ways and the COM port option (RFC 2217)
// with the line set to 28800 8N1 and no flow control. Data bytes 0xFF go doubled; what the
// server sends is split into the line's bytes and Telnet, which never reaches the decoder.
// Pure: bytes in, bytes out, no socket.
class TelnetCodec
{
public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;
    static constexpr std::uint8_t kBinary = 0;
    static constexpr std::uint8_t kSuppressGoAhead = 3;
    static constexpr std::uint8_t kComPort = 44;
    static constexpr std::uint8_t kServerAnswer = 100; // the server answers command n with n + 100

    // The five line settings, in the order they are sent: command and value as RFC 2217 codes
    // them (parity 1 = none, stop size 1 = one bit, control 1 = no flow control).
    struct Setting
    {
        NetworkProblem::Setting name;
        std::uint8_t command;
        std::uint32_t value;
        std::uint8_t width; // value bytes
    };
    static constexpr std::array<Setting, 5> kSettings{{
        {NetworkProblem::Setting::BaudRate, 1, 28800, 4},
        {NetworkProblem::Setting::DataSize, 2, 8, 1},
        {NetworkProblem::Setting::Parity, 3, 1, 1},
        {NetworkProblem::Setting::StopSize, 4, 1, 1},
        {NetworkProblem::Setting::FlowControl, 5, 1, 1},
    }};

    enum class Negotiation { Waiting, Done, OptionRefused, SettingRefused };

    // What the client sends first: the options it wants and the five settings.
    static std::vector<std::uint8_t> opening();
    // The line's bytes as Telnet carries them, 0xFF doubled, appended to `out`.
    static void escape(std::span<const std::uint8_t> data, std::vector<std::uint8_t> &out);

    // Takes bytes from the server: the line's bytes are appended to `data`, answers to the
    // server's option requests to `reply`. A command may span calls.
    void receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &data,
                 std::vector<std::uint8_t> &reply);

    Negotiation negotiation() const;
    // SettingRefused: the first setting answered with another value, and that value.
    std::optional<std::pair<NetworkProblem::Setting, std::uint32_t>> refusedSetting() const;

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    void option(std::uint8_t verb, std::uint8_t code, std::vector<std::uint8_t> &reply);
    void subnegotiation();

    State m_state = State::Data;
    std::uint8_t m_verb = 0;
    std::vector<std::uint8_t> m_sub;
    std::array<std::optional<std::uint32_t>, kSettings.size()> m_answers{};
    // Requests we have answered, each once (no loops): the server's WILL, and its DO.
    std::array<bool, 256> m_answeredWill{};
    std::array<bool, 256> m_answeredDo{};
    bool m_optionRefused = false;
};

} // namespace qj
