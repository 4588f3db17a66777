#include "qjd/api.h"

#include "params/levellimits.h"
#include "params/parametermap.h"
#include "params/preset.h"
#include "params/texts.h"
#include "qjd/paramdescription.h"
#include "qjd/room.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qj::qjd {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

ApiResponse error(int status, const QString &why, QJsonObject extra = {})
{
    extra.insert(QStringLiteral("error"), why);
    return {status, json(extra), 0, {}};
}

ApiResponse methodNotAllowed(const char *allow)
{
    ApiResponse r = error(405, QStringLiteral("method not allowed here"));
    r.allow = allow;
    return r;
}

QString nameOf(int wireId)
{
    const std::string_view name = parameter(wireId).control;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QJsonObject named(const std::vector<std::pair<int, int>> &settings)
{
    QJsonObject out;
    for (const auto &[wireId, value] : settings)
        out.insert(nameOf(wireId), value);
    return out;
}

// The answer once a room's job has ended.
// A room whose queue is full: try again shortly.
ApiResponse queueFull(const Room &room)
{
    ApiResponse busy = error(503, QStringLiteral("room \"%1\" has %2 requests waiting")
                                      .arg(room.config().id)
                                      .arg(Room::kQueueLimit));
    busy.retryAfter = Api::kRetryAfterSeconds;
    return busy;
}

ApiResponse outcome(const Room &room, const JobResult &result)
{
    switch (result.kind) {
    case JobResult::Kind::Done:
        return {200, json(room.details()), 0, {}};
    case JobResult::Kind::GaveUp:
        return error(504, result.reason,
                     {{QStringLiteral("acknowledged"), named(result.acknowledged)}});
    case JobResult::Kind::RoomFailed:
        break;
    }
    return error(409, result.reason,
                 {{QStringLiteral("acknowledged"), named(result.acknowledged)}});
}

// Whether the body is declared JSON: application/json, parameters allowed.
bool jsonBody(const ApiRequest &request)
{
    std::string type = lower(request.header("content-type"));
    type = type.substr(0, type.find(';'));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    return type == "application/json";
}

// A level above the limit the processor reported, which it would refuse; nullopt when none.
std::optional<QString> aboveLimit(const Room &room, int wireId, int value)
{
    const std::optional<int> limit = limitOf(wireId);
    const std::optional<int> reported = limit ? room.reported(*limit) : std::nullopt;
    if (!reported || value <= *reported)
        return std::nullopt;
    return QStringLiteral("%1=%2 is above the limit the processor reported (%3 %4)")
        .arg(nameOf(wireId))
        .arg(value)
        .arg(nameOf(*limit))
        .arg(*reported);
}

// Whether `method` is one of the comma-separated methods of `allow`.
bool allows(std::string_view allow, std::string_view method)
{
    while (!allow.empty()) {
        const std::size_t comma = allow.find(',');
        if (allow.substr(0, comma) == method)
            return true;
        if (comma == std::string_view::npos)
            break;
        allow.remove_prefix(comma + 1);
        while (!allow.empty() && allow.front() == ' ')
            allow.remove_prefix(1);
    }
    return false;
}

} // namespace

std::string ApiRequest::header(std::string_view name) const
{
    const std::string wanted = lower(name);
    for (const auto &[key, value] : headers)
        if (lower(key) == wanted)
            return value;
    return {};
}

bool Api::isEventsPath(const std::string &target)
{
    return target.substr(0, target.find('?')) == std::string(kPrefix) + "/events";
}

Room *Api::room(const QString &id) const
{
    for (Room *r : m_rooms)
        if (r->config().id == id)
            return r;
    return nullptr;
}

QJsonObject Api::snapshot() const
{
    QJsonArray rooms;
    for (const Room *r : m_rooms)
        rooms.append(r->details());
    return {{QStringLiteral("rooms"), rooms}};
}

void Api::handle(const ApiRequest &request, Reply reply)
{
    const std::string path = request.target.substr(0, request.target.find('?'));
    const std::string prefix = kPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0 ||
        (path.size() > prefix.size() && path[prefix.size()] != '/'))
        return reply(error(404, QStringLiteral("no such path (the API is under /api/v1)")));
    const QStringList parts =
        QString::fromUtf8(path.substr(prefix.size())).split(u'/', Qt::SkipEmptyParts);
    const std::string &method = request.method;
    const bool hasBody = method == "PATCH" || method == "PUT" || method == "POST";
    if (request.body.size() > kMaxBody)
        return reply(error(413, QStringLiteral("the body is over 64 KiB")));

    if (parts == QStringList{QStringLiteral("events")})
        return reply(error(400, QStringLiteral("the events come over a WebSocket: GET with "
                                               "Upgrade: websocket")));
    if (parts == QStringList{QStringLiteral("params")}) {
        if (method != "GET")
            return reply(methodNotAllowed("GET"));
        static const std::string description = json(parameterDescription());
        return reply({200, description, 0, {}});
    }
    if (parts.isEmpty() || parts[0] != QLatin1String("rooms") || parts.size() > 3)
        return reply(error(404, QStringLiteral("no such path")));
    if (parts.size() == 1) {
        if (method != "GET")
            return reply(methodNotAllowed("GET"));
        QJsonArray rooms;
        for (const Room *r : m_rooms)
            rooms.append(r->summary());
        return reply({200, json({{QStringLiteral("rooms"), rooms}}), 0, {}});
    }
    Room *target = room(parts[1]);
    if (!target)
        return reply(error(404, QStringLiteral("no room \"%1\"").arg(parts[1])));
    const QString what = parts.size() == 3 ? parts[2] : QString();
    const char *allow = what.isEmpty()                      ? "GET"
                        : what == QLatin1String("settings") ? "PATCH"
                        : what == QLatin1String("muted")    ? "PUT"
                        : what == QLatin1String("preset")   ? "GET, PUT"
                                                            : nullptr;
    if (!allow)
        return reply(error(404, QStringLiteral("no such path")));
    if (!allows(allow, method))
        return reply(methodNotAllowed(allow));
    if (hasBody && !jsonBody(request))
        return reply(error(415, QStringLiteral("the body must be application/json")));

    if (what.isEmpty())
        return reply({200, json(target->details()), 0, {}});
    if (what == QLatin1String("settings"))
        return settings(*target, request, std::move(reply));
    if (what == QLatin1String("muted"))
        return muted(*target, request, std::move(reply));
    if (method == "GET")
        return getPreset(*target, std::move(reply));
    return putPreset(*target, request, std::move(reply));
}

void Api::settings(Room &room, const ApiRequest &request, Reply reply)
{
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return reply(error(400, QStringLiteral("the body must be one JSON object of settings, "
                                               "such as {\"MusicVolume\": 20}")));
    const QJsonObject object = document.object();
    if (object.isEmpty())
        return reply(error(400, QStringLiteral("no settings given")));
    std::vector<std::pair<int, int>> changes;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString name = it.key();
        const std::optional<int> id = wireIdOf(name.toStdString());
        if (!id)
            return reply(error(400, QStringLiteral("unknown parameter \"%1\" (names as in "
                                                   "preset files, such as MusicVolume)")
                                        .arg(name)));
        const Parameter &p = parameter(*id);
        if (p.kind == ControlKind::Spinner)
            return reply(error(400, QStringLiteral("%1 is a limit the processor only reports; "
                                                   "it is never sent")
                                        .arg(name)));
        if (p.kind == ControlKind::Status)
            return reply(error(
                400,
                QStringLiteral("Mute is a toggle: PUT /rooms/%1/muted").arg(room.config().id)));
        const QJsonValue v = it.value();
        const double d = v.isDouble() ? v.toDouble() : std::nan("");
        const bool whole = std::isfinite(d) && std::floor(d) == d &&
                           d >= std::numeric_limits<int>::min() &&
                           d <= std::numeric_limits<int>::max();
        if (!whole || !isSendable(*id, static_cast<int>(d))) {
            const QString range = *id == wire::kMusicSelect
                                      ? QStringLiteral("0 to 4, or 8")
                                      : QStringLiteral("%1 to %2").arg(p.min).arg(p.max);
            return reply(error(
                400,
                QStringLiteral("%1: the value must be a whole number from %2").arg(name, range)));
        }
        const int value = static_cast<int>(d);
        if (const std::optional<QString> why = aboveLimit(room, *id, value))
            return reply(error(400, *why));
        changes.emplace_back(*id, value);
    }
    // In the parameter table's order.
    std::sort(changes.begin(), changes.end());
    if (changes.size() > 1 && changes.back().first == wire::kRunMode)
        return reply(error(400, QStringLiteral("RunMode recalls a user memory that rewrites the "
                                               "other settings: send it alone")));
    if (m_stopping || room.state() != RoomState::Online)
        return reply(error(
            409, QStringLiteral("room \"%1\" is not online (%2)")
                     .arg(room.config().id, QString::fromLatin1(roomStateName(room.state())))));
    Room *r = &room;
    const bool queued = room.submitSettings(
        std::move(changes), [r, reply](const JobResult &result) { reply(outcome(*r, result)); });
    if (!queued) {
        reply(queueFull(room));
    }
}

void Api::muted(Room &room, const ApiRequest &request, Reply reply)
{
    const QByteArray body = QByteArray::fromStdString(request.body).trimmed();
    if (body != "true" && body != "false")
        return reply(error(400, QStringLiteral("the body must be true or false")));
    if (m_stopping || room.state() != RoomState::Online)
        return reply(error(409, QStringLiteral("room \"%1\" is not online").arg(room.config().id)));
    Room *r = &room;
    if (!room.submitMuted(body == "true",
                          [r, reply](const JobResult &result) { reply(outcome(*r, result)); })) {
        reply(queueFull(room));
    }
}

void Api::getPreset(Room &room, Reply reply)
{
    QStringList missing;
    Preset preset;
    for (const int id : presetIds()) {
        const std::optional<int> v = room.reported(id);
        if (!v)
            missing << nameOf(id);
        else
            preset.values[static_cast<std::size_t>(id)] = *v;
    }
    if (!missing.isEmpty())
        return reply(
            error(409, QStringLiteral("not reported: %1").arg(missing.join(QLatin1String(", "))),
                  {{QStringLiteral("missing"), QJsonArray::fromStringList(missing)}}));
    reply({200, writePreset(preset).toStdString(), 0, {}});
}

void Api::putPreset(Room &room, const ApiRequest &request, Reply reply)
{
    PresetProblem problem{};
    const std::optional<Preset> preset =
        readPreset(QByteArray::fromStdString(request.body), &problem);
    if (!preset)
        return reply(error(400, presetProblemText(problem, Language::English)));
    for (const LevelLimit &l : kLevelLimits)
        if (const std::optional<QString> why =
                aboveLimit(room, l.level, preset->values[static_cast<std::size_t>(l.level)]))
            return reply(error(400, *why));
    if (m_stopping || room.state() != RoomState::Online)
        return reply(error(409, QStringLiteral("room \"%1\" is not online").arg(room.config().id)));
    Room *r = &room;
    if (!room.submitPreset(*preset,
                           [r, reply](const JobResult &result) { reply(outcome(*r, result)); })) {
        reply(queueFull(room));
    }
}

} // namespace qj::qjd
