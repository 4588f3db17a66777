#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qj::qjd {

// Who gets in, free of the HTTP library so that the rules are tested and fuzzed directly: the
// token, the Host and Origin a request may carry, and the slowing of repeated failures. The
// edge asks these before it hands a request on or upgrades a WebSocket.

inline constexpr std::size_t kMinTokenLength = 32;

// A token file: one line of at least 32 characters, readable by its owner alone. The token, or
// why the file is refused (naming the file).
struct TokenRead
{
    std::optional<std::string> token;
    std::string error;
};
TokenRead readTokenFile(const std::string &path);
// The same rules on a token file's text (`path` for the messages).
TokenRead tokenFromText(const std::string &path, std::string text);

// A secret (the token, the TLS key) is readable by its owner alone: with `mode` (st_mode) of
// the file at `path`, why it is refused, naming the file; nothing when it may be used.
std::optional<std::string> secretModeProblem(const std::string &path, unsigned mode);

// 43 random characters (256 bits, URL-safe base64) from the kernel's generator.
std::string newToken();
// Writes a new token to `path`, readable by its owner alone, replacing any there; the reason
// when it cannot.
std::optional<std::string> writeNewToken(const std::string &path);

// The same bytes, in a time that depends on the lengths alone.
bool sameToken(std::string_view given, std::string_view expected);

// Whether an address ("127.0.0.1", "::1", "[::1]", "localhost") is on this machine alone.
bool isLoopbackAddress(std::string_view address);

// How the service is reached: its token (none: everyone is let in) and the addresses of the
// reverse proxies or names in front of it ("https://qj.venue.lan").
struct AccessPolicy
{
    std::optional<std::string> token;
    std::vector<std::string> publicUrls;
};

// The connection a request came on.
struct Arrival
{
    std::string localAddress; // the address it arrived on, "127.0.0.1" or "::1"
    std::uint16_t localPort = 0;
    bool tls = false;
};

// A refusal: 401 (no or a wrong token), 403 (Host or Origin not the service's), with what to
// say. Status 0: let in.
struct Verdict
{
    int status = 0;
    std::string why;
    bool allowed() const { return status == 0; }
};

// Host must name the connection's own address and port, a public-url's host, or on a loopback
// connection localhost, 127.0.0.1 or [::1] with the port (against DNS rebinding).
Verdict checkHost(const AccessPolicy &policy, const Arrival &arrival, std::string_view host);
// An Origin, when present, must be scheme://Host or one of the public-urls (a page of another
// site must not steer the service through a browser).
Verdict checkOrigin(const AccessPolicy &policy, const Arrival &arrival, std::string_view host,
                    std::string_view origin);
// "Bearer TOKEN" when the policy has a token.
Verdict checkBearer(const AccessPolicy &policy, std::string_view authorization);

// A request before it is served: Host and Origin always, the token for every /api/v1 path but
// the WebSocket's (which gives it as its first message). `headers` as received (names in any
// case).
Verdict checkRequest(const AccessPolicy &policy, const Arrival &arrival, std::string_view target,
                     bool webSocket,
                     const std::vector<std::pair<std::string, std::string>> &headers);

// The WebSocket's first message, {"token":"..."}: whether it carries the policy's token.
bool tokenMessageMatches(const AccessPolicy &policy, std::string_view message);

// Repeated failures from one address are answered later and later: none for the first few,
// then 250 ms doubling to 8 s. A success forgets the address; an address quiet for 10 minutes
// is forgotten too.
class FailureThrottle
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFreeFailures = 5;
    static constexpr std::chrono::milliseconds kFirstDelay{250};
    static constexpr std::chrono::milliseconds kMaxDelay{8000};
    static constexpr std::chrono::minutes kForget{10};
    static constexpr std::size_t kMaxAddresses = 4096;

    // A failure from `address` at `now`: how long to wait before answering it.
    std::chrono::milliseconds failed(const std::string &address, Clock::time_point now);
    void succeeded(const std::string &address);
    std::size_t tracked() const { return m_failures.size(); }

private:
    struct Entry
    {
        int count = 0;
        Clock::time_point last;
    };
    std::map<std::string, Entry> m_failures;
};

} // namespace qj::qjd
