#include "qjd/access.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <set>

namespace qj::qjd {

namespace {

constexpr std::size_t kMaxTokenFile = 4096;
constexpr std::size_t kMinDistinct = 10; // fewer different characters is no random token

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return lower(a) == lower(b);
}

// A Host header or the authority of a URL: its name (brackets kept for IPv6) and its port,
// when one is written. Nothing when it is no host at all.
struct Authority
{
    std::string name;
    std::optional<std::uint16_t> port;
};

std::optional<Authority> parseAuthority(std::string_view text)
{
    Authority a;
    std::string_view rest;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        a.name = lower(text.substr(0, close + 1));
        rest = text.substr(close + 1);
    } else {
        const std::size_t colon = text.find(':');
        a.name = lower(text.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
    }
    if (a.name.empty() || a.name.find_first_of(" \t/\\@?#") != std::string::npos)
        return std::nullopt;
    if (!rest.empty()) {
        if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6)
            return std::nullopt;
        unsigned port = 0;
        for (char c : rest.substr(1)) {
            if (c < '0' || c > '9')
                return std::nullopt;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port > 65535)
            return std::nullopt;
        a.port = static_cast<std::uint16_t>(port);
    }
    return a;
}

std::uint16_t defaultPort(bool tls)
{
    return tls ? 443 : 80;
}

// A public-url split: its scheme, its authority and its origin ("https://qj.venue.lan").
struct PublicUrl
{
    std::string scheme;
    Authority authority;
    std::string origin;
};

std::optional<PublicUrl> parsePublicUrl(std::string_view url)
{
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos)
        return std::nullopt;
    PublicUrl p;
    p.scheme = lower(url.substr(0, sep));
    if (p.scheme != "http" && p.scheme != "https")
        return std::nullopt;
    std::string_view rest = url.substr(sep + 3);
    rest = rest.substr(0, rest.find('/'));
    auto authority = parseAuthority(rest);
    if (!authority)
        return std::nullopt;
    p.authority = *authority;
    p.origin = p.scheme + "://" + lower(rest);
    if (!p.authority.port)
        p.authority.port = defaultPort(p.scheme == "https");
    return p;
}

std::string bracketed(const std::string &address)
{
    return address.find(':') != std::string::npos && !address.starts_with('[') ? "[" + address + "]"
                                                                               : address;
}

std::string_view header(const std::vector<std::pair<std::string, std::string>> &headers,
                        std::string_view name, bool &present)
{
    present = false;
    for (const auto &[key, value] : headers)
        if (equalNoCase(key, name)) {
            present = true;
            return value;
        }
    return {};
}

bool isApiPath(std::string_view target)
{
    return target == "/api/v1" || target.starts_with("/api/v1/") || target.starts_with("/api/v1?");
}

} // namespace

TokenRead readTokenFile(const std::string &path)
{
    TokenRead r;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.error = path + ": " + std::strerror(errno);
        return r;
    }
    struct stat st
    {
    };
    std::string text;
    if (::fstat(fd, &st) != 0) {
        r.error = path + ": " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        r.error = path + ": not a file";
    } else if (const auto why = secretModeProblem(path, st.st_mode)) {
        r.error = *why;
    } else {
        std::array<char, 512> buffer{};
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                r.error = path + ": " + std::strerror(errno);
                break;
            }
            if (got == 0)
                break;
            text.append(buffer.data(), static_cast<std::size_t>(got));
            if (text.size() > kMaxTokenFile)
                break; // refused below
        }
    }
    ::close(fd);
    if (!r.error.empty())
        return r;
    return tokenFromText(path, std::move(text));
}

TokenRead tokenFromText(const std::string &path, std::string text)
{
    TokenRead r;
    if (text.size() > kMaxTokenFile) {
        r.error = path + ": over 4 KiB; a token file holds one line";
        return r;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const bool printable =
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return c > ' ' && c < 0x7f; });
    const std::set<char> distinct(text.begin(), text.end());
    if (!printable)
        r.error = path + ": the token must be one line of printable characters without spaces";
    else if (text.size() < kMinTokenLength)
        r.error = path + ": the token has " + std::to_string(text.size()) +
                  " characters, at least 32 random ones are needed (qjd --new-token FILE)";
    else if (distinct.size() < kMinDistinct)
        r.error = path + ": the token is not random (qjd --new-token FILE writes one)";
    else
        r.token = std::move(text);
    return r;
}

std::optional<std::string> secretModeProblem(const std::string &path, unsigned mode)
{
    if ((mode & (S_IRWXG | S_IRWXO)) == 0)
        return std::nullopt;
    return path + ": its group or others may read or write it; chmod 600 " + path;
}

std::string newToken()
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::array<unsigned char, 32> bytes{};
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + have, bytes.size() - have, 0);
        if (got > 0)
            have += static_cast<std::size_t>(got);
    }
    // URL-safe base64 without padding: 32 bytes are 43 characters.
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (unsigned char b : bytes) {
        bits = (bits << 8) | b;
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += kAlphabet[(bits >> count) & 0x3f];
        }
    }
    if (count > 0)
        out += kAlphabet[(bits << (6 - count)) & 0x3f];
    return out;
}

std::optional<std::string> writeNewToken(const std::string &path)
{
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return temporary + ": " + std::strerror(errno);
    const std::string line = newToken() + "\n";
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
              ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
              ::fsync(fd) == 0;
    const int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(ok ? errno : saved);
        ::unlink(temporary.c_str());
        return path + ": " + why;
    }
    return std::nullopt;
}

bool sameToken(std::string_view given, std::string_view expected)
{
    // Every byte of the expected token is looked at whatever the given one holds.
    unsigned char diff = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const unsigned char g =
            i < given.size() ? static_cast<unsigned char>(given[i]) : static_cast<unsigned char>(0);
        diff |= static_cast<unsigned char>(g ^ static_cast<unsigned char>(expected[i]));
    }
    return diff == 0;
}

bool isLoopbackAddress(std::string_view address)
{
    std::string host(address);
    if (host.starts_with('[') && host.ends_with(']'))
        host = host.substr(1, host.size() - 2);
    if (lower(host) == "localhost")
        return true;
    in_addr v4{};
    in6_addr v6{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

Verdict checkHost(const AccessPolicy &policy, const Arrival &arrival, std::string_view host)
{
    const std::optional<Authority> given = parseAuthority(host);
    const Verdict refused{403, "the Host is not this service's address"};
    if (!given)
        return refused;
    const std::uint16_t port = given->port.value_or(defaultPort(arrival.tls));
    if (port == arrival.localPort) {
        if (given->name == lower(bracketed(arrival.localAddress)))
            return {};
        if (isLoopbackAddress(arrival.localAddress) &&
            (given->name == "localhost" || given->name == "127.0.0.1" || given->name == "[::1]"))
            return {};
    }
    // Behind a reverse proxy the port the client used may be left out.
    for (const std::string &url : policy.publicUrls)
        if (const auto p = parsePublicUrl(url); p && p->authority.name == given->name &&
                                                (!given->port || given->port == p->authority.port))
            return {};
    return refused;
}

Verdict checkOrigin(const AccessPolicy &policy, const Arrival &arrival, std::string_view host,
                    std::string_view origin)
{
    std::string_view trimmed = origin;
    while (trimmed.ends_with('/'))
        trimmed.remove_suffix(1);
    const std::string own = std::string(arrival.tls ? "https://" : "http://") + lower(host);
    if (lower(trimmed) == own)
        return {};
    for (const std::string &url : policy.publicUrls)
        if (const auto p = parsePublicUrl(url); p && lower(trimmed) == p->origin)
            return {};
    return {403, "requests from another site's page are refused"};
}

Verdict checkBearer(const AccessPolicy &policy, std::string_view authorization)
{
    if (!policy.token)
        return {};
    constexpr std::string_view kScheme = "bearer ";
    const bool bearer =
        authorization.size() > kScheme.size() && equalNoCase(authorization.substr(0, 7), kScheme);
    std::string_view given = bearer ? authorization.substr(kScheme.size()) : std::string_view{};
    while (given.starts_with(' '))
        given.remove_prefix(1);
    // Compared whatever was given, so that a missing token takes the time of a wrong one.
    const bool same = sameToken(given, *policy.token);
    if (bearer && same)
        return {};
    return {401, "unauthorized"};
}

Verdict checkRequest(const AccessPolicy &policy, const Arrival &arrival, std::string_view target,
                     bool webSocket,
                     const std::vector<std::pair<std::string, std::string>> &headers)
{
    bool present = false;
    const std::string_view host = header(headers, "host", present);
    if (!present)
        return {403, "no Host"};
    if (Verdict v = checkHost(policy, arrival, host); !v.allowed())
        return v;
    const std::string_view origin = header(headers, "origin", present);
    if (present)
        if (Verdict v = checkOrigin(policy, arrival, host, origin); !v.allowed())
            return v;
    if (webSocket || !isApiPath(target))
        return {};
    return checkBearer(policy, header(headers, "authorization", present));
}

bool tokenMessageMatches(const AccessPolicy &policy, std::string_view message)
{
    if (!policy.token)
        return true;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(message.data(), static_cast<qsizetype>(message.size())));
    const QJsonValue token =
        doc.isObject() ? doc.object().value(QStringLiteral("token")) : QJsonValue();
    const std::string given = token.isString() ? token.toString().toStdString() : std::string();
    return sameToken(given, *policy.token) && token.isString();
}

std::chrono::milliseconds FailureThrottle::failed(const std::string &address, Clock::time_point now)
{
    if (m_failures.size() >= kMaxAddresses) {
        std::erase_if(m_failures,
                      [&](const auto &entry) { return now - entry.second.last > kForget; });
        if (m_failures.size() >= kMaxAddresses)
            m_failures.erase(m_failures.begin());
    }
    Entry &e = m_failures[address];
    if (e.count > 0 && now - e.last > kForget)
        e.count = 0;
    e.count = std::min(e.count + 1, 64);
    e.last = now;
    if (e.count <= kFreeFailures)
        return std::chrono::milliseconds(0);
    const int doublings = std::min(e.count - kFreeFailures - 1, 16);
    return std::min<std::chrono::milliseconds>(kFirstDelay * (1 << doublings), kMaxDelay);
}

void FailureThrottle::succeeded(const std::string &address)
{
    m_failures.erase(address);
}

} // namespace qj::qjd
