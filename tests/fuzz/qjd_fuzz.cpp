// Fuzz target: qjd's request layer (method, target, headers, body -> status and JSON), on two
// rooms that are not online. Whatever the request, it is answered exactly once, with a status
// the API uses and a JSON object (an "error" in every refusal), a change is never queued for a
// room that is not online, and only a GET succeeds.
#include "qjd/api.h"
#include "qjd/room.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

struct World
{
    World()
        : bar({QStringLiteral("bar"), QStringLiteral("Bar"), QStringLiteral("/nonexistent/bar"),
               QStringLiteral("fuzz")},
              {}),
          hall({QStringLiteral("hall"),
                {},
                QStringLiteral("socket://127.0.0.1:1"),
                QStringLiteral("fuzz")},
               {}),
          api({&bar, &hall})
    {}
    qj::qjd::Room bar;
    qj::qjd::Room hall;
    qj::qjd::Api api;
};

// Lines: method, target, then headers "Name: value" up to an empty line; the rest is the body.
qj::qjd::ApiRequest requestFrom(const std::string &text)
{
    qj::qjd::ApiRequest request;
    std::size_t at = 0;
    auto line = [&]() {
        const std::size_t end = text.find('\n', at);
        std::string out = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        return out;
    };
    request.method = line();
    request.target = line();
    for (std::string header = line(); !header.empty() && at < text.size(); header = line()) {
        const std::size_t colon = header.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(header.substr(0, colon), header.substr(colon + 1));
    }
    request.body = text.substr(at);
    return request;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static World world;
    const qj::qjd::ApiRequest request =
        requestFrom(std::string(reinterpret_cast<const char *>(data), size));
    int answers = 0;
    qj::qjd::ApiResponse response;
    world.api.handle(request, [&](qj::qjd::ApiResponse r) {
        ++answers;
        response = std::move(r);
    });
    check(answers == 1, "answered exactly once, at once (no room is online)");
    static const int kStatuses[] = {200, 400, 404, 405, 409, 413, 415};
    check(std::find(std::begin(kStatuses), std::end(kStatuses), response.status) !=
              std::end(kStatuses),
          "a status the API uses");
    const QJsonDocument body = QJsonDocument::fromJson(QByteArray::fromStdString(response.body));
    check(body.isObject(), "the body is a JSON object");
    check(response.status == 200 || body.object().contains(QStringLiteral("error")),
          "a refusal says why");
    check(response.status != 200 || request.method == "GET", "only a GET succeeds offline");
    check(response.status != 405 || !response.allow.empty(), "405 names what is allowed");
    check(world.bar.queued() == 0 && world.hall.queued() == 0, "nothing queued offline");
    return 0;
}
