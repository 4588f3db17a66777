// qjd's parts that need no processor: the configuration's rules, the event numbering and the
// backlog that closes a client fallen behind, and the API on rooms that are not online.
#include "qjd/api.h"
#include "qjd/config.h"
#include "qjd/eventhub.h"
#include "qjd/outqueue.h"
#include "qjd/room.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qj::qjd {
namespace {

class ConfigRules : public ::testing::Test
{
protected:
    QString write(const QByteArray &text)
    {
        const QString path = dir.filePath(QStringLiteral("qjd.conf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    ConfigResult read(QStringList args, const QByteArray &file = {})
    {
        if (!file.isNull())
            args << QStringLiteral("--config") << write(file);
        return readConfig(args);
    }
    QTemporaryDir dir;
};

TEST_F(ConfigRules, TheExampleFileIsReadWithItsNamesAndDevices)
{
    const ConfigResult r = read({}, "[server]\nlisten=127.0.0.1:8390\n[room/bar]\nname=酒吧\n"
                                    "device=/dev/serial/by-id/usb-x-port0\n[room/hall]\n"
                                    "device=rfc2217://10.0.5.21:4001\n");
    ASSERT_TRUE(r.config) << r.error.toStdString();
    EXPECT_EQ(r.config->address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.config->port, 8390);
    ASSERT_EQ(r.config->rooms.size(), 2u);
    EXPECT_EQ(r.config->rooms[0].id, QStringLiteral("bar"));
    EXPECT_EQ(r.config->rooms[0].name, QString::fromUtf8("酒吧"));
    EXPECT_EQ(r.config->rooms[1].device, QStringLiteral("rfc2217://10.0.5.21:4001"));
}

TEST_F(ConfigRules, TheCommandLineReplacesTheFilesRoomsAndAddress)
{
    const ConfigResult r = read({QStringLiteral("--room"), QStringLiteral("a=/dev/x"),
                                 QStringLiteral("--room=b=socket://127.0.0.1:4000"),
                                 QStringLiteral("--listen"), QStringLiteral("[::1]:0")},
                                "[room/bar]\ndevice=/dev/y\n");
    ASSERT_TRUE(r.config) << r.error.toStdString();
    ASSERT_EQ(r.config->rooms.size(), 2u);
    EXPECT_EQ(r.config->rooms[0].id, QStringLiteral("a"));
    EXPECT_EQ(r.config->rooms[1].device, QStringLiteral("socket://127.0.0.1:4000"));
    EXPECT_EQ(r.config->address, QStringLiteral("::1"));
    EXPECT_EQ(r.config->port, 0);
}

// Every refusal names where the fault is: the file's line or the option.
TEST_F(ConfigRules, RefusalsNameTheLineOrTheOption)
{
    const QString link = dir.filePath(QStringLiteral("by-id"));
    const QString node = dir.filePath(QStringLiteral("node"));
    QFile(node).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(node, link));
    struct Case
    {
        QStringList args;
        QByteArray file; // null: none
        const char *says;
    };
    const Case cases[] = {
        {{},
         "[room/bar]\ndevice=/dev/a\n[room/hall]\ndevice=/dev/b\n[room/bar]\ndevice=/dev/c\n",
         "line 5: room \"bar\" is already given on line 1"},
        {{"--room", "a=/dev/x", "--room", "a=/dev/y"},
         {},
         "--room a=/dev/y: room \"a\" is already"},
        {{"--room", "a=" + link, "--room", "b=" + node}, {}, "is already room \"a\"'s"},
        {{}, "[room/Bar]\ndevice=/dev/a\n", "qjd.conf line 1: the room id \"Bar\" may hold only"},
        {{"--room", "a b=/dev/x"}, {}, "--room a b=/dev/x: the room id"},
        {{}, "[room/bar]\nname=x\n", "qjd.conf line 1: room \"bar\" has no device="},
        {{"--room", "a=/dev/x", "--listen", "0.0.0.0:8390"},
         {},
         "--listen 0.0.0.0:8390: an address beyond this machine needs a token file"},
        {{"--room", "a=/dev/x", "--listen", "10.0.0.1:80"}, {}, "needs a token file"},
        {{"--room", "a=/dev/x", "--listen", "nowhere:80"}, {}, "is not an IP address"},
        {{"--room", "a=/dev/x", "--listen", "127.0.0.1:99999"}, {}, "from 0 to 65535"},
        {{"--room", "a=/dev/x", "--listen", "127.0.0.1"}, {}, "--listen 127.0.0.1: not ADDR:PORT"},
        {{},
         "[server]\nlisten=192.168.1.2:8390\n[room/a]\ndevice=/dev/x\n",
         "qjd.conf line 2: listen=192.168.1.2:8390: an address beyond"},
        {{"--room"}, {}, "--room needs ID=DEVICE"},
        {{"--room", "a="}, {}, "--room needs ID=DEVICE"},
        {{"--bogus"}, {}, "unknown option --bogus"},
        {{}, "[server]\nlisten=127.0.0.1:1\n", "no rooms"},
        {{"--config", "/nonexistent/qjd.conf"}, {}, "/nonexistent/qjd.conf: no such file"},
    };
    for (const Case &c : cases) {
        const ConfigResult r = read(c.args, c.file);
        EXPECT_FALSE(r.config) << c.says;
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.says))) << r.error.toStdString();
    }
}

TEST(EventHub, SnapshotThenEveryEventInOrderWithTheNextNumber)
{
    EventHub hub;
    hub.publish({{QStringLiteral("room"), QStringLiteral("a")}}); // seq 1, before anyone
    std::vector<std::string> first;
    std::vector<std::string> second;
    hub.subscribe(1, [&](EventHub::Message m) { first.push_back(*m); }, {});
    hub.publish({{QStringLiteral("room"), QStringLiteral("b")}}); // seq 2
    hub.subscribe(2, [&](EventHub::Message m) { second.push_back(*m); }, {});
    hub.publish({{QStringLiteral("room"), QStringLiteral("c")}}); // seq 3
    hub.unsubscribe(1);
    hub.publish({{QStringLiteral("room"), QStringLiteral("d")}}); // seq 4
    auto seqs = [](const std::vector<std::string> &messages) {
        std::vector<int> out;
        for (const std::string &m : messages)
            out.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(m))
                              .object()
                              .value(QStringLiteral("seq"))
                              .toInt());
        return out;
    };
    EXPECT_EQ(seqs(first), (std::vector<int>{1, 2, 3}));  // snapshot at 1, then 2 and 3
    EXPECT_EQ(seqs(second), (std::vector<int>{2, 3, 4})); // snapshot at 2, then 3 and 4
    EXPECT_EQ(hub.subscribers(), 1u);
}

TEST(OutQueue, RefusesWhatWouldPassTheLimitAndCountsWhatIsWritten)
{
    OutQueue queue;
    const auto message = std::make_shared<const std::string>(1000, 'x');
    std::size_t pushed = 0;
    while (queue.push(message))
        ++pushed;
    EXPECT_EQ(pushed, OutQueue::kLimit / 1000);
    EXPECT_LE(queue.bytes(), OutQueue::kLimit);
    queue.pop();
    EXPECT_TRUE(queue.push(message)); // room again once one went out
    EXPECT_FALSE(queue.push(std::make_shared<const std::string>(OutQueue::kLimit, 'y')));
}

// The API on a room that is not online: every route and refusal that needs no processor.
TEST(Api, RoutesAndRefusalsOnARoomNotOnline)
{
    Room room({QStringLiteral("bar"), QString::fromUtf8("酒吧"), QStringLiteral("/nonexistent"),
               QStringLiteral("test")},
              {});
    Api api({&room});
    struct Case
    {
        const char *method;
        const char *target;
        const char *type;
        const char *body;
        int status;
    };
    const Case cases[] = {
        {"GET", "/api/v1/rooms", "", "", 200},
        {"GET", "/api/v1/rooms/bar", "", "", 200},
        {"GET", "/api/v1/rooms/bar?verbose=1", "", "", 200},
        {"GET", "/api/v1/rooms/hall", "", "", 404},
        {"GET", "/api/v2/rooms", "", "", 404},
        {"GET", "/api/v1x", "", "", 404},
        {"GET", "/api/v1/rooms/bar/nothing", "", "", 404},
        {"DELETE", "/api/v1/rooms/bar", "", "", 405},
        {"PATCH", "/api/v1/rooms/bar/settings", "text/plain", "{\"MusicVolume\":1}", 415},
        {"PATCH", "/api/v1/rooms/bar/settings", "application/json", "{\"MusicVolume\":1}", 409},
        {"PATCH", "/api/v1/rooms/bar/settings", "application/json", "{\"Nope\":1}", 400},
        {"PUT", "/api/v1/rooms/bar/muted", "application/json; charset=utf-8", "true", 409},
        {"GET", "/api/v1/rooms/bar/preset", "", "", 409},
        {"GET", "/api/v1/events", "", "", 400},
    };
    for (const Case &c : cases) {
        int status = 0;
        std::string body;
        ApiRequest request{c.method, c.target, {}, c.body};
        if (*c.type)
            request.headers.emplace_back("Content-Type", c.type);
        api.handle(request, [&](ApiResponse r) {
            status = r.status;
            body = r.body;
        });
        EXPECT_EQ(status, c.status) << c.method << " " << c.target << ": " << body;
        EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(body)).isObject()) << body;
    }
    ApiResponse list;
    api.handle({"GET", "/api/v1/rooms", {}, {}}, [&](ApiResponse r) { list = r; });
    const QJsonObject first = QJsonDocument::fromJson(QByteArray::fromStdString(list.body))
                                  .object()[QStringLiteral("rooms")][0]
                                  .toObject();
    EXPECT_EQ(first[QStringLiteral("name")].toString(), QString::fromUtf8("酒吧"));
    EXPECT_EQ(first[QStringLiteral("state")].toString(), QStringLiteral("waiting"));
}

} // namespace
} // namespace qj::qjd
