#include "qjd/config.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

#include <arpa/inet.h>

#include <algorithm>
#include <map>

namespace qj::qjd {

namespace {

ConfigResult refuse(const QString &why)
{
    ConfigResult r;
    r.error = why;
    return r;
}

// Where each room's keys stand in the file. QSettings merges a section written twice without a
// word, so the file is also read line by line: for the lines in messages and for the
// duplicates. Both spellings QSettings reads are taken: "[room/bar]" with "name=", and "[room]"
// with "bar\name=".
struct FileShape
{
    std::map<QString, int> roomLine; // id -> the line that opens it
    QString duplicate;               // the first message about a room given twice
    std::map<QString, int> serverKeys;
    QStringList publicUrls; // each public-url= of [server], in order
};

FileShape shapeOf(const QByteArray &text)
{
    FileShape shape;
    const QList<QByteArray> lines = text.split('\n');
    QString section;
    std::map<QString, int> sectionLine; // "room/bar" -> line of its header
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i) + 1;
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (section.startsWith(QLatin1String("room/"))) {
                const QString id = section.mid(5);
                if (shape.roomLine.count(id) != 0 && shape.duplicate.isEmpty())
                    shape.duplicate = QStringLiteral("line %1: room \"%2\" is already given on "
                                                     "line %3")
                                          .arg(lineNo)
                                          .arg(id)
                                          .arg(shape.roomLine[id]);
                shape.roomLine.emplace(id, lineNo);
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (section == QLatin1String("server")) {
            shape.serverKeys.emplace(key, lineNo);
            if (key == QLatin1String("public-url"))
                shape.publicUrls << line.mid(eq + 1).trimmed();
        } else if (section == QLatin1String("room")) {
            const qsizetype slash = key.indexOf(u'\\');
            if (slash > 0)
                shape.roomLine.emplace(key.left(slash), lineNo);
        }
    }
    return shape;
}

QString deviceKey(const QString &device)
{
    // Two names of one device (a by-id link and its node) are one device.
    const QFileInfo info(device);
    const QString resolved = info.exists() ? info.canonicalFilePath() : QString();
    return resolved.isEmpty() ? device : resolved;
}

} // namespace

bool validRoomId(const QString &id)
{
    static const QRegularExpression kId(QStringLiteral("^[a-z0-9-]+$"));
    return kId.match(id).hasMatch();
}

std::optional<QString> parseListen(const QString &text, QString &address, quint16 &port,
                                   bool &loopback)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return QStringLiteral("not ADDR:PORT");
    QString host = text.left(colon);
    const QString portText = text.mid(colon + 1);
    bool ok = false;
    const uint number = portText.toUInt(&ok, 10);
    if (!ok || number > 65535 || portText.trimmed() != portText)
        return QStringLiteral("the port must be a number from 0 to 65535");
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    const QByteArray latin = host.toLatin1();
    in_addr v4{};
    in6_addr v6{};
    loopback = false;
    if (inet_pton(AF_INET, latin.constData(), &v4) == 1)
        loopback = (ntohl(v4.s_addr) >> 24) == 127;
    else if (inet_pton(AF_INET6, latin.constData(), &v6) == 1)
        loopback = IN6_IS_ADDR_LOOPBACK(&v6);
    else
        return QStringLiteral("\"%1\" is not an IP address").arg(host);
    address = host;
    port = static_cast<quint16>(number);
    return std::nullopt;
}

ConfigResult readConfig(const QStringList &arguments)
{
    QString configPath = QString::fromLatin1(kDefaultConfig);
    bool configGiven = false;
    std::optional<QString> listen;
    QString listenOrigin;
    std::vector<RoomConfig> commandRooms;
    std::optional<QString> tokenFile;
    std::optional<QString> tlsCert;
    std::optional<QString> tlsKey;
    bool printRemoteUrl = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        const qsizetype eq = arg.indexOf(u'=');
        const QString option = arg.startsWith(QLatin1String("--")) ? arg.left(eq) : arg;
        auto value = [&]() -> std::optional<QString> {
            if (eq >= 0 && arg.startsWith(QLatin1String("--")))
                return arg.mid(eq + 1);
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (option == QLatin1String("--help") && eq < 0) {
            ConfigResult r;
            r.action = ConfigResult::Action::Help;
            return r;
        }
        if (option == QLatin1String("--version") && eq < 0) {
            ConfigResult r;
            r.action = ConfigResult::Action::Version;
            return r;
        }
        if (option == QLatin1String("--config")) {
            const std::optional<QString> path = value();
            if (!path || path->isEmpty())
                return refuse(QStringLiteral("--config needs a FILE"));
            configPath = *path;
            configGiven = true;
        } else if (option == QLatin1String("--listen")) {
            listen = value();
            if (!listen)
                return refuse(QStringLiteral("--listen needs ADDR:PORT"));
            listenOrigin = QStringLiteral("--listen %1").arg(*listen);
        } else if (option == QLatin1String("--new-token")) {
            const std::optional<QString> path = value();
            if (!path || path->isEmpty())
                return refuse(QStringLiteral("--new-token needs a FILE"));
            ConfigResult r;
            r.action = ConfigResult::Action::NewToken;
            r.newTokenFile = *path;
            return r;
        } else if (option == QLatin1String("--remote-url") && eq < 0) {
            printRemoteUrl = true;
        } else if (option == QLatin1String("--token-file")) {
            const std::optional<QString> path = value();
            if (!path || path->isEmpty())
                return refuse(QStringLiteral("--token-file needs a FILE"));
            tokenFile = *path;
        } else if (option == QLatin1String("--tls-cert") || option == QLatin1String("--tls-key")) {
            const std::optional<QString> path = value();
            if (!path || path->isEmpty())
                return refuse(QStringLiteral("%1 needs a FILE").arg(option));
            (option == QLatin1String("--tls-cert") ? tlsCert : tlsKey) = *path;
        } else if (option == QLatin1String("--room")) {
            const std::optional<QString> room = value();
            const qsizetype at = room ? room->indexOf(u'=') : -1;
            if (at <= 0 || at + 1 >= room->size())
                return refuse(QStringLiteral("--room needs ID=DEVICE"));
            commandRooms.push_back(
                {room->left(at), {}, room->mid(at + 1), QStringLiteral("--room %1").arg(*room)});
        } else {
            return refuse(QStringLiteral("unknown option %1").arg(arg));
        }
    }

    Config config;
    QFile file(configPath);
    const bool haveFile = file.exists();
    if (configGiven && !haveFile)
        return refuse(QStringLiteral("%1: no such file").arg(configPath));
    if (haveFile) {
        if (!file.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("%1: %2").arg(configPath, file.errorString()));
        const FileShape shape = shapeOf(file.readAll());
        const QString where = QFileInfo(configPath).fileName();
        if (!shape.duplicate.isEmpty())
            return refuse(QStringLiteral("%1 %2").arg(where, shape.duplicate));
        QSettings settings(configPath, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            return refuse(QStringLiteral("%1: not an INI file").arg(configPath));
        const QString fileListen = settings.value(QStringLiteral("server/listen")).toString();
        if (!listen && !fileListen.isEmpty()) {
            listen = fileListen;
            const auto line = shape.serverKeys.find(QStringLiteral("listen"));
            listenOrigin = QStringLiteral("%1 line %2: listen=%3")
                               .arg(where)
                               .arg(line != shape.serverKeys.end() ? line->second : 0)
                               .arg(fileListen);
        }
        const auto serverPath = [&](const char *key, std::optional<QString> &into) {
            const QString v =
                settings.value(QStringLiteral("server/%1").arg(QLatin1String(key))).toString();
            if (!into && !v.isEmpty())
                into = v;
        };
        serverPath("token-file", tokenFile);
        serverPath("tls-cert", tlsCert);
        serverPath("tls-key", tlsKey);
        // public-url= may be given more than once: QSettings keeps the last, so the lines are
        // read here.
        config.publicUrls = shape.publicUrls;
        if (commandRooms.empty()) {
            for (const auto &[id, line] : shape.roomLine) {
                RoomConfig room;
                room.id = id;
                room.origin = QStringLiteral("%1 line %2").arg(where).arg(line);
                room.name = settings.value(QStringLiteral("room/%1/name").arg(id)).toString();
                room.device = settings.value(QStringLiteral("room/%1/device").arg(id)).toString();
                config.rooms.push_back(room);
            }
            // In the order of the file.
            std::sort(config.rooms.begin(), config.rooms.end(),
                      [&](const RoomConfig &a, const RoomConfig &b) {
                          return shape.roomLine.at(a.id) < shape.roomLine.at(b.id);
                      });
        }
    }
    if (!commandRooms.empty())
        config.rooms = commandRooms;

    if (!listen) {
        listen = QString::fromLatin1(kDefaultListen);
        listenOrigin = QStringLiteral("the default address %1").arg(*listen);
    }
    if (const std::optional<QString> why =
            parseListen(*listen, config.address, config.port, config.loopback))
        return refuse(QStringLiteral("%1: %2").arg(listenOrigin, *why));
    config.listenOrigin = listenOrigin;
    config.tokenFile = tokenFile.value_or(QString());
    if (!config.loopback && config.tokenFile.isEmpty())
        return refuse(QStringLiteral("%1: an address beyond this machine needs a token file "
                                     "(--token-file FILE, or token-file= in [server]; "
                                     "qjd --new-token FILE writes one)")
                          .arg(listenOrigin));
    if (tlsCert.has_value() != tlsKey.has_value())
        return refuse(tlsCert ? QStringLiteral("the certificate %1 needs its key (--tls-key FILE, "
                                               "or tls-key= in [server])")
                                    .arg(*tlsCert)
                              : QStringLiteral("the key %1 needs its certificate (--tls-cert "
                                               "FILE, or tls-cert= in [server])")
                                    .arg(*tlsKey));
    config.tlsCert = tlsCert.value_or(QString());
    config.tlsKey = tlsKey.value_or(QString());
    for (const QString &url : config.publicUrls)
        if (!url.startsWith(QLatin1String("http://")) && !url.startsWith(QLatin1String("https://")))
            return refuse(QStringLiteral("public-url=%1: an address such as "
                                         "https://qj.venue.lan is needed")
                              .arg(url));
    if (printRemoteUrl) {
        ConfigResult r;
        r.action = ConfigResult::Action::RemoteUrl;
        r.config = config;
        return r;
    }

    if (config.rooms.empty())
        return refuse(QStringLiteral("no rooms: give [room/ID] sections with device= in %1, or "
                                     "--room ID=DEVICE")
                          .arg(configPath));
    std::map<QString, const RoomConfig *> ids;
    std::map<QString, const RoomConfig *> devices;
    for (const RoomConfig &room : config.rooms) {
        if (!validRoomId(room.id))
            return refuse(QStringLiteral("%1: the room id \"%2\" may hold only a-z, 0-9 and -")
                              .arg(room.origin, room.id));
        if (room.device.isEmpty())
            return refuse(
                QStringLiteral("%1: room \"%2\" has no device=").arg(room.origin, room.id));
        if (const auto [it, fresh] = ids.emplace(room.id, &room); !fresh)
            return refuse(QStringLiteral("%1: room \"%2\" is already given (%3)")
                              .arg(room.origin, room.id, it->second->origin));
        if (const auto [it, fresh] = devices.emplace(deviceKey(room.device), &room); !fresh)
            return refuse(QStringLiteral("%1: the device %2 is already room \"%3\"'s (%4)")
                              .arg(room.origin, room.device, it->second->id, it->second->origin));
    }
    ConfigResult r;
    r.config = config;
    return r;
}

QString remoteUrl(const Config &config)
{
    if (!config.publicUrls.isEmpty())
        return config.publicUrls.front();
    const QString host =
        config.address.contains(u':') ? QStringLiteral("[%1]").arg(config.address) : config.address;
    return QStringLiteral("%1://%2:%3")
        .arg(QLatin1String(config.tls() ? "https" : "http"), host)
        .arg(config.port);
}

QString remoteLink(const QString &url, const QString &token)
{
    if (token.isEmpty())
        return url;
    const QString page = url.endsWith(u'/') ? url : url + u'/';
    return page + QStringLiteral("#token=") + QString::fromLatin1(QUrl::toPercentEncoding(token));
}

QString usageText()
{
    return QStringLiteral(
        "Usage: qjd [--config FILE] [--listen ADDR:PORT] [--room ID=DEVICE]...\n"
        "           [--token-file FILE] [--tls-cert FILE --tls-key FILE]\n"
        "       qjd --new-token FILE | --remote-url\n"
        "Holds every room's QJ karaoke processor online and serves them over HTTP and\n"
        "WebSocket (JSON under /api/v1).\n"
        "\n"
        "Options:\n"
        "  --config FILE       the configuration, by default /etc/qj/qjd.conf\n"
        "  --listen ADDR:PORT  the address to serve on, by default 127.0.0.1:8390; port 0\n"
        "                      takes a free one (the first line on stdout names it); beyond\n"
        "                      loopback a token file is needed\n"
        "  --token-file FILE   the token every request must carry (one line of at least 32\n"
        "                      random characters, readable by its owner alone)\n"
        "  --tls-cert FILE     serves HTTPS and WSS with this certificate (PEM, the chain\n"
        "                      after it)\n"
        "  --tls-key FILE      the certificate's key (PEM, readable by its owner alone)\n"
        "  --new-token FILE    writes a new token to FILE and ends\n"
        "  --remote-url        prints the web remote's link (the first public-url, else the\n"
        "                      address, with the token when there is one) and ends\n"
        "  --room ID=DEVICE    a room (repeated); replaces the file's rooms\n"
        "  --help              shows this text and ends\n"
        "  --version           shows the version and ends\n"
        "\n"
        "Exit status: 0 stopped by SIGTERM or SIGINT; 2 the configuration or the address was\n"
        "refused.\n");
}

} // namespace qj::qjd
