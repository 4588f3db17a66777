// The Telnet side of an rfc2217:// device, byte for byte, with what ser2net 4.3 was seen to send.
#include "link/telnetcodec.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

namespace qj {
namespace {

using Bytes = std::vector<std::uint8_t>;
using N = TelnetCodec::Negotiation;

// ser2net's greeting: WILL/DO SUPPRESS-GO-AHEAD, WILL ECHO, DONT ECHO, DO/WILL BINARY,
// DO COM-PORT-OPTION.
const Bytes kGreeting{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x01, 0xFF, 0xFE,
                      0x01, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C};
// Its answers to the five settings, after a modem-state notification.
const Bytes kAnswers{0xFF, 0xFA, 0x2C, 0x6B, 0x00, 0xFF, 0xF0,                   // modem state
                     0xFF, 0xFA, 0x2C, 0x65, 0x00, 0x00, 0x70, 0x80, 0xFF, 0xF0, // 28800
                     0xFF, 0xFA, 0x2C, 0x66, 0x08, 0xFF, 0xF0,                   // 8 bits
                     0xFF, 0xFA, 0x2C, 0x67, 0x01, 0xFF, 0xF0,                   // no parity
                     0xFF, 0xFA, 0x2C, 0x68, 0x01, 0xFF, 0xF0,                   // 1 stop bit
                     0xFF, 0xFA, 0x2C, 0x69, 0x01, 0xFF, 0xF0};                  // no flow

TEST(TelnetCodec, TheOpeningAsksForBinaryTheOptionAnd28800Baud8N1)
{
    const Bytes expected{0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x2C,       //
                         0xFF, 0xFA, 0x2C, 0x01, 0x00, 0x00, 0x70, 0x80, 0xFF, 0xF0, // baud
                         0xFF, 0xFA, 0x2C, 0x02, 0x08, 0xFF, 0xF0,                   // data size
                         0xFF, 0xFA, 0x2C, 0x03, 0x01, 0xFF, 0xF0,                   // parity
                         0xFF, 0xFA, 0x2C, 0x04, 0x01, 0xFF, 0xF0,                   // stop size
                         0xFF, 0xFA, 0x2C, 0x05, 0x01, 0xFF, 0xF0};                  // control
    EXPECT_EQ(TelnetCodec::opening(), expected);
}

TEST(TelnetCodec, DataBytes0xFFAreDoubled)
{
    Bytes out;
    TelnetCodec::escape(Bytes{0xAA, 0x1F, 0x37, 0xFF}, out); // a frame whose check byte is 0xFF
    EXPECT_EQ(out, (Bytes{0xAA, 0x1F, 0x37, 0xFF, 0xFF}));
}

TEST(TelnetCodec, Ser2netsGreetingAndAnswersCompleteTheNegotiation)
{
    TelnetCodec codec;
    Bytes data;
    Bytes reply;
    codec.receive(kGreeting, data, reply);
    EXPECT_TRUE(data.empty());
    // Go-ahead suppressed gladly both ways, echo declined; BINARY and the option were asked for
    // already.
    EXPECT_EQ(reply, (Bytes{0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x03, 0xFF, 0xFE, 0x01}));
    EXPECT_EQ(codec.negotiation(), N::Waiting);
    reply.clear();
    codec.receive(kAnswers, data, reply);
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(data.empty()); // notifications never reach the decoder
    EXPECT_EQ(codec.negotiation(), N::Done);
    // Asked again, nothing is answered twice.
    codec.receive(kGreeting, data, reply);
    EXPECT_TRUE(reply.empty());
}

TEST(TelnetCodec, AServerThatRefusesIsTold)
{
    {
        TelnetCodec codec;
        Bytes data, reply;
        codec.receive(Bytes{0xFF, 0xFE, 0x2C}, data, reply); // DONT COM-PORT-OPTION
        EXPECT_EQ(codec.negotiation(), N::OptionRefused);
    }
    {
        TelnetCodec codec;
        Bytes data, reply;
        Bytes answers = kAnswers;
        answers[13] = 0x25; // 9600: 00 00 25 80
        codec.receive(answers, data, reply);
        EXPECT_EQ(codec.negotiation(), N::SettingRefused);
        ASSERT_TRUE(codec.refusedSetting());
        EXPECT_EQ(codec.refusedSetting()->first, NetworkProblem::Setting::BaudRate);
        EXPECT_EQ(codec.refusedSetting()->second, 9600u);
    }
}

// Any mix of line bytes (0xFF among them), commands and notifications, cut anywhere, gives the
// line's bytes and nothing else, in order.
RC_GTEST_PROP(TelnetCodec, LineBytesComeThroughWhateverTheCuts, ())
{
    const auto pieces = *rc::gen::container<std::vector<std::pair<int, Bytes>>>(
        rc::gen::pair(rc::gen::inRange(0, 3), rc::gen::arbitrary<Bytes>()));
    Bytes stream;
    Bytes expected;
    for (const auto &[kind, payload] : pieces) {
        switch (kind) {
        case 0: // line bytes
            TelnetCodec::escape(payload, stream);
            expected.insert(expected.end(), payload.begin(), payload.end());
            break;
        case 1: // a notification, its value escaped
            stream.insert(stream.end(), {0xFF, 0xFA, 0x2C, 0x6A});
            TelnetCodec::escape(payload, stream);
            stream.insert(stream.end(), {0xFF, 0xF0});
            break;
        default: // an option request
            stream.insert(stream.end(),
                          {0xFF, 0xFB, payload.empty() ? std::uint8_t{1} : payload[0]});
            break;
        }
    }
    TelnetCodec codec;
    Bytes data;
    Bytes reply;
    std::size_t at = 0;
    while (at < stream.size()) {
        const auto n = static_cast<std::size_t>(
            *rc::gen::inRange<int>(1, static_cast<int>(stream.size() - at) + 1));
        codec.receive(std::span(stream).subspan(at, n), data, reply);
        at += n;
    }
    RC_ASSERT(data == expected);
}

TEST(NetworkTexts, FailuresAreToldWithHostPortAndReason)
{
    using K = NetworkProblem::Kind;
    const auto line = [](K kind, const char *detail = "") {
        NetworkProblem p;
        p.kind = kind;
        p.endpoint = QStringLiteral("127.0.0.1:9");
        p.detail = QString::fromLatin1(detail);
        return networkProblemText(p, Language::English, TextUse::Line);
    };
    EXPECT_EQ(line(K::Refused),
              QStringLiteral("cannot connect to 127.0.0.1:9: connection refused"));
    EXPECT_EQ(line(K::Unreachable), QStringLiteral("cannot connect to 127.0.0.1:9: unreachable"));
    EXPECT_EQ(line(K::NoAnswer), QStringLiteral("cannot connect to 127.0.0.1:9: no answer"));
    EXPECT_EQ(line(K::Busy, "Port already in use"),
              QStringLiteral("cannot connect to 127.0.0.1:9: the line is in use by another client "
                             "(server: \"Port already in use\")"));
    NetworkProblem p;
    p.kind = K::Refused;
    p.endpoint = QStringLiteral("[::1]:2000");
    EXPECT_EQ(networkProblemText(p, Language::Chinese),
              QStringLiteral("无法连接 [::1]:2000：连接被拒绝。"));
    EXPECT_EQ(networkProblemText(p, Language::English),
              QStringLiteral("Cannot connect to [::1]:2000: connection refused."));
    p.kind = K::SettingRefused;
    p.setting = NetworkProblem::Setting::BaudRate;
    p.answered = 9600;
    EXPECT_EQ(networkProblemText(p, Language::English),
              QStringLiteral("Cannot connect to [::1]:2000: the server did not take the line "
                             "settings (baud rate 9600)."));
}

} // namespace
} // namespace qj
