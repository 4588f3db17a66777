#include "link/deviceurl.h"

namespace qj {

namespace {

constexpr QLatin1StringView kSocket{"socket://"};
constexpr QLatin1StringView kRfc2217{"rfc2217://"};

// A host name as the resolver takes it: letters, digits, hyphens and dots.
bool isHostName(QStringView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'.' && c != u'_')
            return false;
    return true;
}

// An IPv6 address as it stands in brackets: hex groups and colons (a dotted IPv4 tail allowed);
// the resolver has the last word.
bool isIpv6(QStringView host)
{
    if (host.count(u':') < 2 || host.size() > 45)
        return false;
    for (const QChar c : host)
        if (!(c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' ||
              c == u'.') ||
            c.unicode() >= 128)
            return false;
    return true;
}

} // namespace

bool DeviceUrl::looksLikeUrl(const QString &device)
{
    return device.contains(QLatin1String("://"));
}

DeviceUrl::Problem DeviceUrl::check(const QString &device)
{
    Problem problem = Problem::None;
    if (looksLikeUrl(device))
        parse(device, &problem);
    return problem;
}

std::optional<DeviceUrl> DeviceUrl::parse(const QString &device, Problem *problem)
{
    const auto refuse = [problem](Problem why) -> std::optional<DeviceUrl> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    DeviceUrl url;
    QStringView rest(device);
    if (rest.startsWith(kSocket, Qt::CaseInsensitive)) {
        url.scheme = Scheme::Socket;
        rest = rest.mid(kSocket.size());
    } else if (rest.startsWith(kRfc2217, Qt::CaseInsensitive)) {
        url.scheme = Scheme::Rfc2217;
        rest = rest.mid(kRfc2217.size());
    } else {
        return refuse(Problem::UnknownScheme);
    }
    // Nothing after the port: no path, query, fragment or user.
    if (rest.contains(u'/') || rest.contains(u'?') || rest.contains(u'#') || rest.contains(u'@'))
        return refuse(Problem::Extra);

    QStringView portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return refuse(Problem::NoHost);
        url.host = rest.mid(1, close - 1).toString();
        if (!isIpv6(url.host))
            return refuse(Problem::NoHost);
        rest = rest.mid(close + 1);
        if (!rest.startsWith(u':'))
            return refuse(rest.isEmpty() ? Problem::NoPort : Problem::Extra);
        portText = rest.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return refuse(rest.isEmpty() ? Problem::NoHost : Problem::NoPort);
        const QStringView host = rest.left(colon);
        if (host.contains(u':')) // an IPv6 address without its brackets
            return refuse(Problem::NoHost);
        if (!isHostName(host))
            return refuse(Problem::NoHost);
        url.host = host.toString();
        portText = rest.mid(colon + 1);
    }
    if (portText.isEmpty())
        return refuse(Problem::NoPort);
    for (const QChar c : portText)
        if (!c.isDigit() || c.unicode() >= 128)
            return refuse(Problem::BadPort);
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return refuse(Problem::BadPort);
    url.port = static_cast<quint16>(port);
    if (problem)
        *problem = Problem::None;
    return url;
}

QString DeviceUrl::endpoint() const
{
    if (host.contains(u':'))
        return QStringLiteral("[%1]:%2").arg(host).arg(port);
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace qj
