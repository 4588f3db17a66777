// qjd through real HTTP and WebSocket on loopback, against qj-sim on pseudo-terminals.
#include "link/serialport.h"
#include "params/parametermap.h"
#include "params/preset.h"
#include "qjd/api.h"
#include "qjd/eventhub.h"
#include "qjd/httpserver.h"
#include "qjd/room.h"
#include "qjdfixture.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

namespace qj::test {
namespace {

TEST_F(QjdOnSims, EveryEndpointDoesWhatItSays)
{
    HttpClient http(qjd.port);
    EXPECT_TRUE(qjd.firstLine.startsWith(QLatin1String("127.0.0.1:")));

    const QJsonArray rooms = jsonOf(http.request("GET", "/api/v1/rooms").body)["rooms"].toArray();
    ASSERT_EQ(rooms.size(), 2);
    EXPECT_EQ(rooms[0][QStringLiteral("id")], QStringLiteral("a"));
    EXPECT_EQ(rooms[0][QStringLiteral("device")], a.link);
    EXPECT_EQ(rooms[1][QStringLiteral("state")], QStringLiteral("online"));

    // PATCH: sent, acknowledged, and shown in the answer and on the processor.
    HttpReply r = http.request("PATCH", "/api/v1/rooms/a/settings",
                               R"({"MusicVolume": 20, "EchoMode": 1, "SuperBass": 1})");
    ASSERT_EQ(r.status, 200) << r.body;
    QJsonObject room = jsonOf(r.body);
    EXPECT_EQ(room["settings"][QStringLiteral("MusicVolume")].toInt(), 20);
    EXPECT_EQ(room["settings"][QStringLiteral("EchoMode")].toInt(), 1);
    std::vector<int> held = a.state();
    ASSERT_EQ(held.size(), std::size_t(kParameterCount));
    EXPECT_EQ(held[wire::kMusicVolume], 20);
    EXPECT_EQ(held[12], 1);
    EXPECT_EQ(held[wire::kSuperBass], 1);
    EXPECT_NE(b.state()[wire::kMusicVolume], 20) << "room b untouched";

    // PUT muted toggles only when the shown state differs.
    r = http.request("PUT", "/api/v1/rooms/a/muted", "true");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_TRUE(jsonOf(r.body)["muted"].toBool());
    const int before = a.commandsReceived();
    r = http.request("PUT", "/api/v1/rooms/a/muted", "true");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_TRUE(jsonOf(r.body)["muted"].toBool());
    EXPECT_EQ(a.commandsReceived(), before) << "a retried request flips nothing";
    r = http.request("PUT", "/api/v1/rooms/a/muted", "false");
    EXPECT_FALSE(jsonOf(r.body)["muted"].toBool());

    // GET preset: the file the panel would save; PUT it back changed: pushed as the panel does.
    r = http.request("GET", "/api/v1/rooms/a/preset");
    ASSERT_EQ(r.status, 200) << r.body;
    std::optional<Preset> preset = readPreset(QByteArray::fromStdString(r.body));
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->values[wire::kMusicVolume], 20);
    preset->values[wire::kMusicVolume] = 25;
    preset->values[2] = 7; // EchoRepat
    r = http.request("PUT", "/api/v1/rooms/b/preset", writePreset(*preset).toStdString());
    ASSERT_EQ(r.status, 200) << r.body;
    held = b.state();
    EXPECT_EQ(held[wire::kMusicVolume], 25);
    EXPECT_EQ(held[2], 7);
    EXPECT_EQ(held[12], 1);

    // RunMode alone, as a recall.
    r = http.request("PATCH", "/api/v1/rooms/b/settings", R"({"RunMode": 2})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(b.state()[wire::kRunMode], 2);
}

// Each refused request with its status, and nothing written to either processor.
TEST_F(QjdOnSims, BadRequestsAreRefusedWithTheirStatusAndNothingIsSent)
{
    ASSERT_TRUE(a.control(QStringLiteral("set 29 40"))); // MaxMusicVolume reported as 40
    HttpClient http(qjd.port);
    ASSERT_TRUE(waitUntil([&] {
        return jsonOf(http.request("GET", "/api/v1/rooms/a")
                          .body)["settings"][QStringLiteral("MaxMusicVolume")]
                   .toInt() == 40;
    }));
    const int sentA = a.commandsReceived();
    const int sentB = b.commandsReceived();
    const std::string big(70 * 1024, ' ');
    struct Case
    {
        const char *method;
        std::string target;
        std::string body;
        std::string type;
        int status;
    };
    const std::string s = "/api/v1/rooms/a/settings";
    const Case cases[] = {
        {"PATCH", s, "{\"MusicVolume\": 20", "application/json", 400}, // malformed
        {"PATCH", s, "[1]", "application/json", 400},
        {"PATCH", s, "{}", "application/json", 400},
        {"PATCH", s, R"({"Volume": 20})", "application/json", 400},
        {"PATCH", s, R"({"MusicVolume": 20, "Volume": 1})", "application/json", 400},
        {"PATCH", s, R"({"MusicVolume": 63})", "application/json", 400},
        {"PATCH", s, R"({"MusicVolume": 41})", "application/json", 400}, // above the limit
        {"PATCH", s, R"({"MusicVolume": 20.5})", "application/json", 400},
        {"PATCH", s, R"({"MusicVolume": "20"})", "application/json", 400},
        {"PATCH", s, R"({"MusicSelect": 5})", "application/json", 400},
        {"PATCH", s, R"({"MaxMusicVolume": 30})", "application/json", 400},
        {"PATCH", s, R"({"MaxMicVolume": 30})", "application/json", 400},
        {"PATCH", s, R"({"Mute": 10})", "application/json", 400},
        {"PATCH", s, R"({"RunMode": 1, "EchoMode": 2})", "application/json", 400},
        {"PATCH", s, R"({"MusicVolume": 20})", "text/plain", 415},
        {"PATCH", s, big, "application/json", 413},
        {"PATCH", "/api/v1/rooms/c/settings", R"({"MusicVolume": 20})", "application/json", 404},
        {"PATCH", "/api/v1/rooms/a/volume", R"({"MusicVolume": 20})", "application/json", 404},
        {"GET", "/elsewhere", "", "", 404},
        {"POST", s, R"({"MusicVolume": 20})", "application/json", 405},
        {"PUT", "/api/v1/rooms/a/muted", "yes", "application/json", 400},
        {"PUT", "/api/v1/rooms/a/muted", "true", "text/plain", 415},
        {"PUT", "/api/v1/rooms/a/preset", "{\"not\": \"a preset\"}", "application/json", 400},
        {"GET", "/api/v1/events", "", "", 400}, // not a WebSocket
    };
    for (const Case &c : cases) {
        const HttpReply r = http.request(c.method, c.target, c.body, c.type);
        EXPECT_EQ(r.status, c.status)
            << c.method << " " << c.target << " " << c.body.substr(0, 60) << ": " << r.body;
        EXPECT_TRUE(jsonOf(r.body).contains(QStringLiteral("error"))) << r.body;
    }
    // A preset whose level is above the limit reported.
    HttpReply r = http.request("GET", "/api/v1/rooms/a/preset");
    std::optional<Preset> preset = readPreset(QByteArray::fromStdString(r.body));
    ASSERT_TRUE(preset);
    preset->values[wire::kMaxMusicVolume] = 62;
    preset->values[wire::kMusicVolume] = 50;
    r = http.request("PUT", "/api/v1/rooms/a/preset", writePreset(*preset).toStdString());
    EXPECT_EQ(r.status, 400) << r.body;
    EXPECT_NE(r.body.find("above the limit"), std::string::npos) << r.body;

    EXPECT_EQ(a.commandsReceived(), sentA);
    EXPECT_EQ(b.commandsReceived(), sentB);
}

TEST_F(QjdOnSims, EventsStartWithTheSnapshotAndFollowEveryChange)
{
    EventClient events(qjd.port);
    ASSERT_TRUE(events.connected());
    ASSERT_TRUE(events.waitFor([](const auto &m) { return !m.empty(); }));
    const QJsonObject snapshot = jsonOf(events.messages()[0]);
    ASSERT_EQ(snapshot["rooms"].toArray().size(), 2);
    EXPECT_EQ(
        snapshot["rooms"][0][QStringLiteral("settings")][QStringLiteral("MusicVolume")].toInt(),
        a.state()[wire::kMusicVolume]);
    const int seq = snapshot["seq"].toInt();

    HttpClient http(qjd.port);
    ASSERT_EQ(http.request("PATCH", "/api/v1/rooms/b/settings", R"({"MicVolume": 12})").status,
              200);
    ASSERT_TRUE(b.control(QStringLiteral("set 31 33"))); // the processor's own front panel
    ASSERT_TRUE(events.waitFor([](const auto &m) {
        return m.size() >= 3 &&
               jsonOf(m.back())["settings"][QStringLiteral("MusicVolume")].toInt() == 33;
    }));
    const auto messages = events.messages();
    const QJsonObject acknowledged = jsonOf(messages[1]);
    EXPECT_EQ(acknowledged["seq"].toInt(), seq + 1);
    EXPECT_EQ(acknowledged["room"], QStringLiteral("b"));
    EXPECT_EQ(acknowledged["settings"][QStringLiteral("MicVolume")].toInt(), 12);
    EXPECT_EQ(jsonOf(messages[2])["seq"].toInt(), seq + 2);
    EXPECT_EQ(jsonOf(messages[2])["room"], QStringLiteral("b"));

    // A room lost and back: its state changes, with the reason.
    a.sim.sendLine(QStringLiteral("unplug"));
    ASSERT_TRUE(events.waitFor([](const auto &m) {
        const QJsonObject e = jsonOf(m.back());
        return e["room"] == QStringLiteral("a") && e["state"] == QStringLiteral("waiting");
    })) << events.messages().back();
    EXPECT_FALSE(jsonOf(events.messages().back())["reason"].toString().isEmpty());
    a.sim.sendLine(QStringLiteral("plug"));
    ASSERT_TRUE(online("a"));
    EXPECT_TRUE(events.waitFor([](const auto &m) {
        for (const std::string &text : m)
            if (jsonOf(text)["state"] == QStringLiteral("online"))
                return true;
        return false;
    }));
}

TEST_F(QjdOnSims, SigtermAnswersWhatIsQueuedWith409AndEndsWithin2s)
{
    constexpr int kClients = 6;
    std::vector<HttpReply> replies(kClients);
    std::vector<std::thread> clients;
    std::atomic<int> answered{0};
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            HttpClient http(qjd.port);
            HttpReply &reply = replies[std::size_t(i)];
            for (int k = 0; k < 1000 && reply.status != 409; ++k) {
                reply = http.request("PATCH", "/api/v1/rooms/a/settings",
                                     "{\"EchoDelay\": " + std::to_string((i * 20 + k) % 250) + "}");
                if (reply.status == 0)
                    break; // the service is gone
                ++answered;
            }
        });
    // Every client busy, their requests queued behind each other, when the signal comes.
    ASSERT_TRUE(waitUntil([&] { return answered >= 2 * kClients; }));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(qjd.terminate(), 0) << qjd.process.readAllStandardError().toStdString();
    EXPECT_LT(clock.elapsed(), 2000);
    for (std::thread &t : clients)
        t.join();
    int refused = 0;
    for (const HttpReply &r : replies) {
        // 0: the client's next request found the service gone.
        EXPECT_TRUE(r.status == 409 || r.status == 0) << r.status << " " << r.body;
        refused += r.status == 409 ? 1 : 0;
    }
    EXPECT_GT(refused, 0) << "requests were waiting at the signal";
    // The ports are closed: the device can be opened by the next program at once.
    EXPECT_FALSE(QFile::exists(QStringLiteral("/run/lock/LCK..") +
                               QFileInfo(a.link).canonicalFilePath().mid(5).replace(u'/', u'_')));
}

// While qjd holds a device, the panel's port layer and qj-ctl are refused it by either of its
// names, and told which program holds it.
TEST_F(QjdOnSims, ADeviceHeldByQjdIsRefusedByAnyNameNamingTheHolder)
{
    const QString holder = QStringLiteral("qjd, process %1").arg(qjd.process.processId());
    const QString node = QFileInfo(a.link).canonicalFilePath();
    ASSERT_TRUE(node.startsWith(QLatin1String("/dev/pts/")));
    for (const QString &name : {a.link, node}) {
        SerialPort port;
        port.bindings().bind(1, name);
        EXPECT_EQ(port.setPortOpen(true), PortError::InUse) << name.toStdString();
        EXPECT_EQ(port.lastErrorText(), holder);

        QProcess ctl;
        ctl.start(QStringLiteral(QJ_CTL_PROGRAM), {QStringLiteral("--device"), name,
                                                   QStringLiteral("get"), QStringLiteral("Mute")});
        ASSERT_TRUE(ctl.waitForFinished(10000));
        EXPECT_EQ(ctl.exitCode(), 1);
        const QString err = QString::fromUtf8(ctl.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("in use by another program (") + holder + u')'))
            << err.toStdString();
    }
    const int sent = a.commandsReceived();
    EXPECT_EQ(qjd.terminate(), 0);
    SerialPort port; // free again once qjd has stopped
    port.bindings().bind(1, node);
    EXPECT_EQ(port.setPortOpen(true), PortError::None);
    EXPECT_EQ(a.commandsReceived(), sent);
}

TEST(QjdStart, ADeviceMissingAtStartIsConnectedOnceItAppears)
{
    QTemporaryDir dir;
    const QString later = dir.filePath(QStringLiteral("later"));
    Service qjd;
    ASSERT_TRUE(qjd.start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                           QStringLiteral("--room"), QStringLiteral("late=") + later}));
    HttpClient http(qjd.port);
    QJsonObject room;
    ASSERT_TRUE(waitUntil([&] {
        room = jsonOf(http.request("GET", "/api/v1/rooms/late").body);
        return room["state"] == QStringLiteral("waiting");
    }));
    EXPECT_TRUE(room["reason"].toString().contains(QLatin1String("missing")))
        << room["reason"].toString().toStdString();
    HttpReply r = http.request("PATCH", "/api/v1/rooms/late/settings", R"({"MusicVolume": 3})");
    EXPECT_EQ(r.status, 409) << r.body;

    Processor processor;
    ASSERT_TRUE(processor.start(later));
    ASSERT_TRUE(waitUntil([&] {
        return jsonOf(http.request("GET", "/api/v1/rooms/late").body)["state"] ==
               QStringLiteral("online");
    }));
    EXPECT_EQ(qjd.terminate(), 0);
}

TEST(QjdStart, APortInUseStopsTheStartNamingTheOption)
{
    QTemporaryDir dir;
    Service first;
    ASSERT_TRUE(first.start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                             QStringLiteral("--room"), QStringLiteral("x=") + dir.filePath("x")}));
    const QString listen = QStringLiteral("127.0.0.1:%1").arg(first.port);
    QProcess second;
    second.start(QStringLiteral(QJD_PROGRAM),
                 {QStringLiteral("--listen"), listen, QStringLiteral("--room"),
                  QStringLiteral("y=") + dir.filePath("y")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 2);
    const QString err = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("--listen ") + listen)) << err.toStdString();
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());

    QProcess third; // the file's own rules stop the start the same way
    third.start(QStringLiteral(QJD_PROGRAM),
                {QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"), QStringLiteral("--room"),
                 QStringLiteral("y=/dev/null")});
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 2);
    EXPECT_EQ(first.terminate(), 0);
}

// The web remote's link: the address alone without a token file, with the file's token in the
// fragment when there is one, and a refusal (status 2) when the file cannot be read.
TEST(QjdStart, RemoteUrlPrintsTheLinkWithTheTokenOfTheFile)
{
    QTemporaryDir dir;
    const QString tokenFile = dir.filePath(QStringLiteral("token"));
    auto run = [](const QStringList &arguments, int &status) {
        QProcess qjd;
        qjd.start(QStringLiteral(QJD_PROGRAM), arguments);
        status = qjd.waitForFinished(10000) ? qjd.exitCode() : -1;
        return QString::fromUtf8(qjd.readAllStandardOutput()).trimmed();
    };
    int status = -1;
    const QStringList listen{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:9000"),
                             QStringLiteral("--remote-url")};
    EXPECT_EQ(run(listen, status), QStringLiteral("http://127.0.0.1:9000"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run(listen + QStringList{QStringLiteral("--token-file"), tokenFile}, status),
              QString());
    EXPECT_EQ(status, 2) << "no token file yet";
    run({QStringLiteral("--new-token"), tokenFile}, status);
    ASSERT_EQ(status, 0);
    QFile file(tokenFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString token = QString::fromLatin1(file.readAll()).trimmed();
    ASSERT_GE(token.size(), 32);
    EXPECT_EQ(run(listen + QStringList{QStringLiteral("--token-file"), tokenFile}, status),
              QStringLiteral("http://127.0.0.1:9000/#token=") + token);
    EXPECT_EQ(status, 0);
}

// One request more than a room's queue holds is answered 503 with Retry-After at once, through
// the service's own edge with its own limits. The processor acknowledges nothing, so no change is
// done while the queue fills, and the engine's thread runs nothing until every request has been
// handed to it, so the queue fills in one go.
TEST(QjdQueue, ARequestBeyondAFullQueueIsAnswered503WithRetryAfter)
{
    QTemporaryDir dir;
    Processor processor;
    ASSERT_TRUE(processor.start(dir.filePath(QStringLiteral("a"))));
    qjd::EventHub hub;
    qjd::Room room({QStringLiteral("a"), {}, processor.link, QStringLiteral("test")},
                   [&hub](QJsonObject event) { hub.publish(std::move(event)); });
    qjd::Api api({&room});
    QObject engine;
    std::atomic<int> handedOver{0};
    qjd::HttpServer server(api, hub, [&](std::function<void()> call) {
        QMetaObject::invokeMethod(&engine, std::move(call), Qt::QueuedConnection);
        ++handedOver;
    });
    ASSERT_FALSE(server.listen("127.0.0.1", 0));
    server.start();
    room.start();
    const std::string bound = server.boundAddress();
    const auto port = static_cast<unsigned short>(std::stoi(bound.substr(bound.rfind(':') + 1)));
    ASSERT_TRUE(waitUntil([&] {
        // Online with every report answered (RunMode comes last): the line is quiet.
        return room.state() == qjd::RoomState::Online && room.reported(wire::kRunMode);
    }));

    // Each change differs from the one before it (the first from the processor's), so none is
    // done without the processor's acknowledgement.
    const int now = *room.reported(wire::kMusicVolume);
    const int step = now < 5 ? 1 : -1;
    ASSERT_TRUE(processor.control(QStringLiteral("fault noack")));
    constexpr int kRequests = qjd::Room::kQueueLimit + 1;
    std::vector<std::future<HttpReply>> replies;
    for (int i = 0; i < kRequests; ++i) {
        const std::string body =
            "{\"MusicVolume\": " + std::to_string(now + step * (1 + i % 2)) + "}";
        replies.push_back(std::async(std::launch::async, [port, body] {
            return HttpClient(port).request("PATCH", "/api/v1/rooms/a/settings", body);
        }));
    }
    for (int waited = 0; handedOver < kRequests && waited < kWaitMs; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(handedOver, kRequests);
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(replies.begin(), replies.end(), [](const auto &r) {
            return r.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
    }));
    // The others wait for the processor, which gives up on the first change: each is answered,
    // none with 503.
    int busy = 0;
    for (auto &future : replies) {
        const HttpReply r = future.get();
        EXPECT_NE(r.status, 0) << "every request is answered";
        if (r.status != 503)
            continue;
        ++busy;
        EXPECT_EQ(r.retryAfter, std::to_string(qjd::Api::kRetryAfterSeconds));
        EXPECT_TRUE(jsonOf(r.body).contains(QStringLiteral("error"))) << r.body;
    }
    EXPECT_EQ(busy, 1);
    server.stop(100);
}

} // namespace
} // namespace qj::test
