#include "qjd/webpage.h"

#include <algorithm>

namespace qj::qjd {

namespace {

std::string_view typeOf(std::string_view name)
{
    auto endsWith = [name](std::string_view tail) {
        return name.size() >= tail.size() && name.substr(name.size() - tail.size()) == tail;
    };
    if (endsWith(".html"))
        return "text/html; charset=utf-8";
    if (endsWith(".css"))
        return "text/css; charset=utf-8";
    if (endsWith(".js"))
        return "text/javascript; charset=utf-8";
    return "application/octet-stream";
}

// A Host that checkHost let in holds a name or an address and a port; anything else is left
// out of the policy rather than written into a header.
bool plainHost(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
}

} // namespace

std::string contentSecurityPolicy(std::string_view host)
{
    std::string connect = "connect-src 'self'";
    // Both schemes: behind a reverse proxy with HTTPS the page talks wss to the same host.
    if (plainHost(host))
        connect += " ws://" + std::string(host) + " wss://" + std::string(host);
    return "default-src 'self'; " + connect +
           "; frame-ancestors 'none'; base-uri 'none'; "
           "form-action 'none'";
}

std::optional<WebAnswer> webPage(std::string_view method, std::string_view target,
                                 std::string_view host)
{
    std::string_view path = target.substr(0, target.find('?'));
    if (path == "/")
        path = "/index.html";
    if (path.size() < 2 || path.front() != '/')
        return std::nullopt;
    const std::string_view name = path.substr(1);
    const auto files = webFiles();
    const auto file =
        std::find_if(files.begin(), files.end(), [name](const auto &f) { return f.first == name; });
    if (file == files.end())
        return std::nullopt;
    WebAnswer answer;
    if (method != "GET" && method != "HEAD") {
        answer.status = 405;
        answer.headers = {{"Allow", "GET, HEAD"}, {"Content-Type", "text/plain; charset=utf-8"}};
        answer.body = "GET or HEAD only\n";
        return answer;
    }
    answer.headers = {
        {"Content-Type", std::string(typeOf(name))},
        {"Content-Security-Policy", contentSecurityPolicy(host)},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        // Asked again each time: a new qjd brings a new page, and the files are small.
        {"Cache-Control", "no-cache"},
    };
    answer.body = file->second;
    return answer;
}

} // namespace qj::qjd
