#include "link/telnetcodec.h"

namespace qj {

std::vector<std::uint8_t> TelnetCodec::opening()
{
    std::vector<std::uint8_t> out{kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPort};
    for (const Setting &s : kSettings) {
        out.insert(out.end(), {kIac, kSb, kComPort, s.command});
        std::vector<std::uint8_t> value;
        for (int shift = (s.width - 1) * 8; shift >= 0; shift -= 8)
            value.push_back(static_cast<std::uint8_t>(s.value >> shift));
        escape(value, out);
        out.insert(out.end(), {kIac, kSe});
    }
    return out;
}

void TelnetCodec::escape(std::span<const std::uint8_t> data, std::vector<std::uint8_t> &out)
{
    for (const std::uint8_t b : data) {
        out.push_back(b);
        if (b == kIac)
            out.push_back(kIac);
    }
}

void TelnetCodec::receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &data,
                          std::vector<std::uint8_t> &reply)
{
    for (const std::uint8_t b : bytes) {
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else
                data.push_back(b);
            break;
        case State::Iac:
            if (b == kIac) {
                data.push_back(kIac);
                m_state = State::Data;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_state = State::Option;
            } else if (b == kSb) {
                m_sub.clear();
                m_state = State::Sub;
            } else {
                m_state = State::Data; // NOP, GA and the like: nothing for us
            }
            break;
        case State::Option:
            option(m_verb, b, reply);
            m_state = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                m_state = State::SubIac;
            else
                m_sub.push_back(b);
            break;
        case State::SubIac:
            if (b == kIac) {
                m_sub.push_back(kIac);
                m_state = State::Sub;
            } else {
                subnegotiation(); // IAC SE, or a broken one ended by any other command
                m_state = State::Data;
            }
            break;
        }
    }
}

void TelnetCodec::option(std::uint8_t verb, std::uint8_t code, std::vector<std::uint8_t> &reply)
{
    if (code == kComPort && (verb == kDont || verb == kWont)) {
        m_optionRefused = true;
        return;
    }
    // BINARY and the COM port option we asked for ourselves; a request for anything else is
    // answered once: go-ahead suppressed gladly, everything else (echo first) declined.
    if (code == kBinary || code == kComPort || verb == kDont || verb == kWont)
        return;
    bool &answered = verb == kWill ? m_answeredWill[code] : m_answeredDo[code];
    if (answered)
        return;
    answered = true;
    const bool welcome = code == kSuppressGoAhead;
    const std::uint8_t answer = verb == kWill ? (welcome ? kDo : kDont) : (welcome ? kWill : kWont);
    reply.insert(reply.end(), {kIac, answer, code});
}

void TelnetCodec::subnegotiation()
{
    if (m_sub.size() < 2 || m_sub[0] != kComPort)
        return;
    // The server's notifications (line and modem state) are not for us.
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        const Setting &s = kSettings[i];
        if (m_sub[1] != s.command + kServerAnswer)
            continue;
        if (m_sub.size() != 2u + s.width)
            return;
        std::uint32_t value = 0;
        for (std::size_t k = 2; k < m_sub.size(); ++k)
            value = value << 8 | m_sub[k];
        if (!m_answers[i])
            m_answers[i] = value;
        return;
    }
}

TelnetCodec::Negotiation TelnetCodec::negotiation() const
{
    if (m_optionRefused)
        return Negotiation::OptionRefused;
    if (refusedSetting())
        return Negotiation::SettingRefused;
    for (const auto &answer : m_answers)
        if (!answer)
            return Negotiation::Waiting;
    return Negotiation::Done;
}

std::optional<std::pair<NetworkProblem::Setting, std::uint32_t>> TelnetCodec::refusedSetting() const
{
    for (std::size_t i = 0; i < kSettings.size(); ++i)
        if (m_answers[i] && *m_answers[i] != kSettings[i].value)
            return std::pair{kSettings[i].name, *m_answers[i]};
    return std::nullopt;
}

} // namespace qj
