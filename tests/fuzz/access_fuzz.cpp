// Fuzz target: who gets into qjd (qjd/access.h). The input is lines: the token file's text, a
// Host, an Origin, a target, the WebSocket's first message, a public-url, then headers
// "Name: value"; the first byte chooses the connection (loopback or not, TLS, the port). Each
// rule's answer is checked against what it promises: a refusal is 401 or 403, a Host or an
// Origin let in is one of the service's own, a token file taken holds one line of at least 32
// printable characters, a WebSocket let in gave the token.
#include "qjd/access.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using qj::qjd::AccessPolicy;
using qj::qjd::Arrival;
using qj::qjd::Verdict;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// "name" of "name:port", "[v6]" of "[v6]:port", lowered.
std::string hostName(std::string_view host)
{
    if (host.starts_with('['))
        return lower(host.substr(0, host.find(']') + 1));
    return lower(host.substr(0, host.find(':')));
}

// The origin a public-url stands for, as a browser writes it: "scheme://authority", lowered.
std::string originOf(std::string_view url)
{
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos)
        return {};
    const std::string_view rest = url.substr(sep + 3);
    return lower(url.substr(0, sep + 3)) + lower(rest.substr(0, rest.find('/')));
}

std::vector<std::string> linesOf(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.emplace_back(text.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    lines.resize(std::max<std::size_t>(lines.size(), 6));
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned flags = data[0];
    const std::vector<std::string> lines =
        linesOf(std::string_view(reinterpret_cast<const char *>(data) + 1, size - 1));
    const std::string &tokenText = lines[0];
    const std::string &host = lines[1];
    const std::string &origin = lines[2];
    const std::string &target = lines[3];
    const std::string &message = lines[4];
    const std::string &publicUrl = lines[5];
    std::vector<std::pair<std::string, std::string>> headers;
    for (std::size_t i = 6; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon != std::string::npos)
            headers.emplace_back(lines[i].substr(0, colon), lines[i].substr(colon + 1));
    }

    // The token file's rules.
    const qj::qjd::TokenRead read = qj::qjd::tokenFromText("/t", tokenText + "\n");
    check(read.token.has_value() != !read.error.empty(), "a token or a reason, never both");
    check(read.error.empty() || read.error.starts_with("/t: "), "the reason names the file");
    if (read.token) {
        check(read.token->size() >= qj::qjd::kMinTokenLength, "a token of 32 characters at least");
        check(std::all_of(read.token->begin(), read.token->end(),
                          [](unsigned char c) { return c > ' ' && c < 0x7f; }),
              "one line of printable characters");
        check(tokenText.starts_with(*read.token), "the token is the file's line");
        check(qj::qjd::sameToken(*read.token, *read.token), "a token matches itself");
    }

    AccessPolicy policy;
    if (flags & 1)
        policy.token = read.token.value_or("Zq3xV9pL2mK8wR4tY7uN1bC6dF5gH0jA-s_E");
    if (!publicUrl.empty())
        policy.publicUrls.push_back(publicUrl);
    const Arrival arrival{(flags & 2) ? "127.0.0.1" : ((flags & 4) ? "::1" : "192.168.1.5"),
                          static_cast<std::uint16_t>((flags & 8) ? 443 : 8390), (flags & 16) != 0};
    const bool loopbackArrival = qj::qjd::isLoopbackAddress(arrival.localAddress);
    check(loopbackArrival == ((flags & 6) != 0), "the loopback addresses are loopback");

    // Host: the connection's own address, a loopback name on loopback, or a public-url's host.
    const Verdict hostVerdict = qj::qjd::checkHost(policy, arrival, host);
    check(hostVerdict.status == 0 || hostVerdict.status == 403, "Host: let in or 403");
    if (hostVerdict.allowed()) {
        const std::string name = hostName(host);
        const std::string own = arrival.localAddress.find(':') != std::string::npos
                                    ? "[" + arrival.localAddress + "]"
                                    : arrival.localAddress;
        const bool loopbackName = name == "localhost" || name == "127.0.0.1" || name == "[::1]";
        const std::string publicOrigin = originOf(publicUrl);
        const bool publicName =
            !publicOrigin.empty() &&
            hostName(std::string_view(publicOrigin).substr(publicOrigin.find("://") + 3)) == name;
        check(name == own || (loopbackArrival && loopbackName) || publicName,
              "a Host let in names the service");
        check(host.find_first_of(" \t/\\@?#") == std::string::npos, "no path or user in a Host");
    }

    // Origin: scheme://Host or a public-url's origin.
    const Verdict originVerdict = qj::qjd::checkOrigin(policy, arrival, host, origin);
    check(originVerdict.status == 0 || originVerdict.status == 403, "Origin: let in or 403");
    if (originVerdict.allowed()) {
        std::string given = lower(origin);
        while (given.ends_with('/'))
            given.pop_back();
        const std::string own = (arrival.tls ? "https://" : "http://") + lower(host);
        check(given == own || (!publicUrl.empty() && given == originOf(publicUrl)),
              "an Origin let in is the service's own");
    }

    // A whole request, then the WebSocket's first message.
    std::vector<std::pair<std::string, std::string>> all = headers;
    all.emplace_back("Host", host);
    if (!origin.empty())
        all.emplace_back("Origin", origin);
    const bool webSocket = (flags & 32) != 0;
    const Verdict verdict = qj::qjd::checkRequest(policy, arrival, target, webSocket, all);
    check(verdict.status == 0 || verdict.status == 401 || verdict.status == 403,
          "a request: let in, 401 or 403");
    check(verdict.status != 401 || policy.token, "no 401 without a token");
    check(verdict.allowed() || !verdict.why.empty(), "a refusal says why");
    const bool ownHostAndOrigin = std::none_of(headers.begin(), headers.end(), [](const auto &h) {
        return lower(h.first) == "host" || lower(h.first) == "origin";
    });
    if (ownHostAndOrigin)
        check((verdict.status == 403) ==
                  (!hostVerdict.allowed() || (!origin.empty() && !originVerdict.allowed())),
              "403 exactly for a Host or an Origin not the service's");
    const bool apiPath =
        target == "/api/v1" || target.starts_with("/api/v1/") || target.starts_with("/api/v1?");
    if (verdict.allowed() && policy.token && apiPath && !webSocket)
        check(std::any_of(
                  all.begin(), all.end(),
                  [&](const auto &h) { return h.second.find(*policy.token) != std::string::npos; }),
              "an API request let in carried the token");

    const bool matches = qj::qjd::tokenMessageMatches(policy, message);
    const std::size_t opening = message.find_first_not_of(" \t\r");
    check(!policy.token || !matches ||
              (opening != std::string::npos && message[opening] == '{' &&
               message.size() > policy.token->size()),
          "a WebSocket let in gave a JSON object holding the token");
    check(policy.token || matches, "without a token every WebSocket is let in");
    return 0;
}
