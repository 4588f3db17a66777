#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qj::qjd {

// The files compiled into qjd from qjd/web/ (name, bytes), built by cmake/embed.cmake.
std::span<const std::pair<std::string_view, std::string_view>> webFiles();
// The English captions (the compiled translations/qj-panel_en.ts), for the parameter
// description.
std::span<const std::pair<std::string_view, std::string_view>> captionFiles();

// The web remote's page and its files, served publicly: GET and HEAD alone, each with its type,
// a content security policy that lets the page talk to this service alone (its WebSocket on
// `host`, the Host the request named, already checked) and no inline script, and
// no-sniffing. Nothing for a path that is not one of them (the API answers it).
struct WebAnswer
{
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string_view body; // the whole file; a HEAD gets its headers alone
};
std::optional<WebAnswer> webPage(std::string_view method, std::string_view target,
                                 std::string_view host);

// The policy for a page served under `host` ("127.0.0.1:8390").
std::string contentSecurityPolicy(std::string_view host);

} // namespace qj::qjd
