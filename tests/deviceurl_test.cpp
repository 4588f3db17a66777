// Network device names: what is accepted, what is refused and why, wherever a device is bound.
#include "link/deviceurl.h"
#include "link/portbindings.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

namespace qj {
namespace {

using P = UrlProblem;
using S = DeviceUrl::Scheme;

struct Accepted
{
    const char *text;
    S scheme;
    const char *host;
    quint16 port;
    const char *endpoint;
};

TEST(DeviceUrl, NetworkDevicesThatAreAccepted)
{
    const Accepted rows[] = {
        {"socket://127.0.0.1:2000", S::Socket, "127.0.0.1", 2000, "127.0.0.1:2000"},
        {"rfc2217://rack-3.venue.lan:4001", S::Rfc2217, "rack-3.venue.lan", 4001,
         "rack-3.venue.lan:4001"},
        {"RFC2217://10.0.0.7:1", S::Rfc2217, "10.0.0.7", 1, "10.0.0.7:1"},
        {"socket://[::1]:65535", S::Socket, "::1", 65535, "[::1]:65535"},
        {"socket://[fe80::1:2]:7000", S::Socket, "fe80::1:2", 7000, "[fe80::1:2]:7000"},
        {"socket://localhost:0080", S::Socket, "localhost", 80, "localhost:80"},
    };
    for (const Accepted &row : rows) {
        SCOPED_TRACE(row.text);
        P problem = P::Extra;
        const auto url = DeviceUrl::parse(QString::fromLatin1(row.text), &problem);
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(problem, P::None);
        EXPECT_EQ(url->scheme, row.scheme);
        EXPECT_EQ(url->host, QLatin1String(row.host));
        EXPECT_EQ(url->port, row.port);
        EXPECT_EQ(url->endpoint(), QLatin1String(row.endpoint));
    }
}

TEST(DeviceUrl, NetworkDevicesThatAreRefusedAndWhy)
{
    const std::pair<const char *, P> rows[] = {
        {"telnet://host:23", P::UnknownScheme},
        {"http://host:80", P::UnknownScheme},
        {"socket://host", P::NoPort},
        {"socket://host:", P::NoPort},
        {"socket://", P::NoHost},
        {"socket://:2000", P::NoHost},
        {"socket://host:0", P::BadPort},
        {"socket://host:65536", P::BadPort},
        {"socket://host:-1", P::BadPort},
        {"socket://host:20x", P::BadPort},
        {"socket://host:2000?logging=debug", P::Extra},
        {"rfc2217://host:2000/", P::Extra},
        {"socket://user@host:2000", P::Extra},
        {"socket://::1:2000", P::NoHost}, // IPv6 without brackets
        {"socket://[::1]", P::NoPort},
        {"socket://[host]:2000", P::NoHost},
        {"socket://ho st:2000", P::NoHost},
    };
    for (const auto &[text, expected] : rows) {
        SCOPED_TRACE(text);
        P problem = P::None;
        EXPECT_FALSE(DeviceUrl::parse(QString::fromLatin1(text), &problem).has_value());
        EXPECT_EQ(problem, expected);
        EXPECT_EQ(DeviceUrl::check(QString::fromLatin1(text)), expected);
        // Refused where a number is bound, the command line's form included.
        PortBindings bindings;
        EXPECT_FALSE(bindings.bind(5, QString::fromLatin1(text)));
        EXPECT_FALSE(bindings.parseAndBind(QStringLiteral("5=") + QString::fromLatin1(text)));
        EXPECT_TRUE(bindings.all().isEmpty());
        EXPECT_FALSE(
            urlProblemText(QString::fromLatin1(text), expected, Language::English).isEmpty());
    }
}

TEST(DeviceUrl, PathsAreNoConcernOfIt)
{
    for (const char *path : {"/dev/ttyUSB0", "ttyS0", "./pty", "/dev/serial/by-id/usb-FTDI:1"}) {
        EXPECT_FALSE(DeviceUrl::looksLikeUrl(QString::fromLatin1(path)));
        EXPECT_EQ(DeviceUrl::check(QString::fromLatin1(path)), P::None);
        PortBindings bindings;
        EXPECT_TRUE(bindings.bind(7, QString::fromLatin1(path)));
    }
}

TEST(DeviceUrl, RefusalsAreToldInBothLanguages)
{
    EXPECT_EQ(urlProblemText(QStringLiteral("socket://host"), P::NoPort, Language::English),
              QStringLiteral("The device \"socket://host\" is not valid: no port (HOST:PORT)."));
    EXPECT_EQ(urlProblemText(QStringLiteral("socket://host"), P::NoPort, Language::Chinese),
              QStringLiteral("设备“socket://host”无效：缺少端口号（主机:端口）。"));
}

// Any host and port written back as HOST:PORT behind either scheme reads as the same device;
// any text at all is either refused with a reason or read as a device that binds.
RC_GTEST_PROP(DeviceUrl, EndpointsReadBackAsWritten, ())
{
    // A DNS label has at most 63 characters.
    const auto label = (*rc::gen::nonEmpty(rc::gen::container<std::string>(
                            rc::gen::elementOf(std::string("abcxyz019-")))))
                           .substr(0, 63);
    const int labels = *rc::gen::inRange(1, 4);
    QString host;
    for (int i = 0; i < labels; ++i)
        host += (i ? QStringLiteral(".") : QString()) + QString::fromStdString(label);
    if (*rc::gen::arbitrary<bool>())
        host = QStringLiteral("fd00::%1").arg(*rc::gen::inRange(0, 0xffff), 0, 16);
    DeviceUrl url;
    url.host = host;
    url.port = static_cast<quint16>(*rc::gen::inRange(1, 65536));
    url.scheme = *rc::gen::element(S::Socket, S::Rfc2217);
    const QString text =
        (url.scheme == S::Socket ? QStringLiteral("socket://") : QStringLiteral("rfc2217://")) +
        url.endpoint();
    const auto back = DeviceUrl::parse(text);
    RC_ASSERT(back.has_value());
    RC_ASSERT(back->host == host);
    RC_ASSERT(back->port == url.port);
    RC_ASSERT(back->scheme == url.scheme);
}

RC_GTEST_PROP(DeviceUrl, AnyTextIsRefusedWithAReasonOrBinds, ())
{
    const std::string tail =
        *rc::gen::container<std::string>(rc::gen::elementOf(std::string("ab1:/[]?@.-0 9")));
    const QString text = QString::fromStdString(
        *rc::gen::element(std::string("socket://"), std::string("rfc2217://"),
                          std::string("tcp://"), std::string("")) +
        tail);
    P problem = P::None;
    const auto url = DeviceUrl::parse(text, &problem);
    PortBindings bindings;
    const bool bound = bindings.bind(3, text);
    if (DeviceUrl::looksLikeUrl(text)) {
        RC_ASSERT(url.has_value() == (problem == P::None));
        RC_ASSERT(bound == url.has_value());
        if (url)
            RC_ASSERT(url->port >= 1);
    } else {
        RC_ASSERT(bound == !text.isEmpty());
    }
}

} // namespace
} // namespace qj
