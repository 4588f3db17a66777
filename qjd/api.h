#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qj::qjd {

class Room;

// One HTTP request as the service sees it, free of the HTTP library's types.
struct ApiRequest
{
    std::string method; // "GET", "PATCH", ...
    std::string target; // "/api/v1/rooms/bar?x" (a query is ignored)
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (names compare without case); empty when absent.
    std::string header(std::string_view name) const;
};

// The answer: a status and a JSON body; Retry-After in seconds when it is not 0; Allow for 405.
struct ApiResponse
{
    int status = 200;
    std::string body;
    int retryAfter = 0;
    std::string allow;
};

// The API under /api/v1 on the rooms. Runs on the engine's thread; `reply` is called exactly
// once, at once or when the room's processor has acknowledged (or refused) what was asked.
// Everything is checked before anything is queued, so a refused request writes nothing.
class Api
{
public:
    static constexpr std::size_t kMaxBody = 64 * 1024; // a preset file is under 4 KiB
    static constexpr int kRetryAfterSeconds = 1;       // a full queue of 64 drains in about 1 s
    static constexpr char kPrefix[] = "/api/v1";

    using Reply = std::function<void(ApiResponse)>;

    explicit Api(std::vector<Room *> rooms) : m_rooms(std::move(rooms)) {}

    void handle(const ApiRequest &request, Reply reply);

    // Once stopping, everything is answered 409.
    void setStopping(bool on) { m_stopping = on; }

    // Whether `target` is the event stream's path (the edge upgrades it to a WebSocket).
    static bool isEventsPath(const std::string &target);

    // The event stream's first message: every room as GET /rooms/{id} shows it.
    QJsonObject snapshot() const;

private:
    Room *room(const QString &id) const;
    void settings(Room &room, const ApiRequest &request, Reply reply);
    void muted(Room &room, const ApiRequest &request, Reply reply);
    void getPreset(Room &room, Reply reply);
    void putPreset(Room &room, const ApiRequest &request, Reply reply);

    std::vector<Room *> m_rooms;
    bool m_stopping = false;
};

} // namespace qj::qjd
