// qjd: every room's processor held online by one service, over HTTP and WebSocket on this
// machine, on the panel's engine. The engine (rooms, API, events) runs on this thread; the
// HTTP edge on an I/O thread of its own hands every request over.
#include "qjd/access.h"
#include "qjd/api.h"
#include "qjd/config.h"
#include "qjd/eventhub.h"
#include "qjd/httpserver.h"
#include "qjd/room.h"

#include <QCoreApplication>

#include <sys/prctl.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kBadConfig = 2;
constexpr int kAnswerGraceMs = 1000; // the 409s of a stop written before the end

} // namespace

int main(int argc, char *argv[])
{
    // The link counts its waits in 1 ms ticks: wake the timers on time (see app/main.cpp).
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qjd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));

    const qj::qjd::ConfigResult read = qj::qjd::readConfig(app.arguments().mid(1));
    if (read.action == qj::qjd::ConfigResult::Action::Help) {
        std::fputs(qPrintable(qj::qjd::usageText()), stdout);
        return 0;
    }
    if (read.action == qj::qjd::ConfigResult::Action::Version) {
        std::printf("qjd %s\n", QJ_VERSION);
        return 0;
    }
    if (read.action == qj::qjd::ConfigResult::Action::NewToken) {
        if (const auto why = qj::qjd::writeNewToken(read.newTokenFile.toStdString())) {
            std::fprintf(stderr, "qjd: cannot write the token: %s\n", why->c_str());
            return kBadConfig;
        }
        return 0;
    }
    if (!read.config) {
        std::fprintf(stderr, "qjd: %s\n", qPrintable(read.error));
        return kBadConfig;
    }
    const qj::qjd::Config &config = *read.config;
    if (read.action == qj::qjd::ConfigResult::Action::RemoteUrl) {
        QString token;
        if (!config.tokenFile.isEmpty()) {
            const qj::qjd::TokenRead file = qj::qjd::readTokenFile(config.tokenFile.toStdString());
            if (!file.token) {
                std::fprintf(stderr, "qjd: %s\n", file.error.c_str());
                return kBadConfig;
            }
            token = QString::fromStdString(*file.token);
        }
        std::printf("%s\n", qPrintable(qj::qjd::remoteLink(qj::qjd::remoteUrl(config), token)));
        return 0;
    }

    qj::qjd::AccessPolicy access;
    for (const QString &url : config.publicUrls)
        access.publicUrls.push_back(url.toStdString());
    if (!config.tokenFile.isEmpty()) {
        qj::qjd::TokenRead token = qj::qjd::readTokenFile(config.tokenFile.toStdString());
        if (!token.token) {
            std::fprintf(stderr, "qjd: %s\n", token.error.c_str());
            return kBadConfig;
        }
        access.token = std::move(token.token);
    }

    qj::qjd::EventHub hub;
    std::vector<std::unique_ptr<qj::qjd::Room>> rooms;
    std::vector<qj::qjd::Room *> roomList;
    for (const qj::qjd::RoomConfig &room : config.rooms) {
        rooms.push_back(std::make_unique<qj::qjd::Room>(
            room, [&hub](QJsonObject event) { hub.publish(std::move(event)); }));
        roomList.push_back(rooms.back().get());
    }
    qj::qjd::Api api(roomList);

    QObject engine; // posted calls run on this thread, in order
    qj::qjd::HttpServer server(api, hub, [&engine](std::function<void()> call) {
        QMetaObject::invokeMethod(&engine, std::move(call), Qt::QueuedConnection);
    });
    server.setAccess(std::move(access));
    if (config.tls())
        if (const auto why =
                server.setTls(config.tlsCert.toStdString(), config.tlsKey.toStdString())) {
            std::fprintf(stderr, "qjd: %s\n", why->c_str());
            return kBadConfig;
        }
    if (const auto why = server.listen(config.address.toStdString(), config.port)) {
        std::fprintf(stderr, "qjd: %s: cannot listen on %s:%u: %s\n",
                     qPrintable(config.listenOrigin), qPrintable(config.address), config.port,
                     why->c_str());
        return kBadConfig;
    }
    std::printf("%s\n", server.boundAddress().c_str());
    std::fflush(stdout);

    // SIGTERM or SIGINT: no new connections, every queued request answered 409, the ports
    // closed (their lock files with them), then the end.
    server.onStopSignal([&] {
        server.stopAccepting();
        QMetaObject::invokeMethod(
            &engine,
            [&] {
                api.setStopping(true);
                for (const auto &room : rooms)
                    room->close(QStringLiteral("qjd is stopping"));
                server.stop(kAnswerGraceMs);
                QCoreApplication::exit(0);
            },
            Qt::QueuedConnection);
    });
    server.start();
    for (const auto &room : rooms)
        room->start();
    return app.exec();
}
