#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qj::qjd {

inline constexpr char kDefaultConfig[] = "/etc/qj/qjd.conf";
inline constexpr char kDefaultListen[] = "127.0.0.1:8390";

// One room: its id in the URLs, the name people are shown and the device its processor is on.
struct RoomConfig
{
    QString id;     // [a-z0-9-]
    QString name;   // empty: the id
    QString device; // any device string the port layer takes
    QString origin; // where it was given, for messages: "qjd.conf line 4", "--room bar=..."
};

// What qjd serves, from the configuration file and the command line together.
struct Config
{
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 8390;
    QString listenOrigin; // where the address was given, for a bind that fails
    bool loopback = true; // the address is on this machine alone
    std::vector<RoomConfig> rooms;
    // Who gets in: the token file (required off loopback, enforced whenever given), the
    // addresses people reach the service by ("https://qj.venue.lan", in order).
    QString tokenFile;
    QStringList publicUrls;
    // HTTPS and WSS: the certificate (PEM, the chain after it) and its key, both or neither.
    QString tlsCert;
    QString tlsKey;
    bool tls() const { return !tlsCert.isEmpty(); }
};

struct ConfigResult
{
    enum class Action { Serve, Help, Version, NewToken, RemoteUrl };
    Action action = Action::Serve;
    QString newTokenFile;         // NewToken: where to write it
    std::optional<Config> config; // Serve: none when refused, `error` says why
    QString error;
};

// The arguments after the program's name, and the file they name (or the default one, which
// may be missing when --room gives the rooms). Checked whole: ids, duplicates, one device in
// two rooms, the address; the port in use is told by the bind.
ConfigResult readConfig(const QStringList &arguments);

// ADDR:PORT (an IP address, [::1] or localhost); port 0 binds a free one. `loopback` tells
// whether the address is on this machine alone.
std::optional<QString> parseListen(const QString &text, QString &address, quint16 &port,
                                   bool &loopback);

// What `qjd --remote-url` prints: the first public-url, else the address served on (https://
// with a certificate).
QString remoteUrl(const Config &config);
// The link that opens the web remote with `token`: the address with "#token=TOKEN" (the
// fragment never reaches a server or its log); the address alone when there is none.
QString remoteLink(const QString &url, const QString &token);

bool validRoomId(const QString &id);

QString usageText();

} // namespace qj::qjd
