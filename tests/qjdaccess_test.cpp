// Who gets into qjd: the rules by themselves (tables), then through the HTTP edge in this
// process with short limits: the token on requests and on the WebSocket, Host and Origin, 415,
// and each limit.
#include "pty.h"
#include "qjd/access.h"
#include "qjd/api.h"
#include "qjd/config.h"
#include "qjd/eventhub.h"
#include "qjd/httpserver.h"
#include "qjd/paramdescription.h"
#include "qjd/room.h"
#include "qjdclient.h"
#include "qjdtls.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <future>
#include <set>
#include <sstream>

namespace qj::qjd {
namespace {

const std::string kToken = "Zq3xV9pL2mK8wR4tY7uN1bC6dF5gH0jA-s_E"; // 36 characters

TEST(AccessRules, HostMustBeTheServicesOwnAddress)
{
    struct Case
    {
        const char *local;
        std::uint16_t port;
        bool tls;
        const char *host;
        bool allowed;
    };
    const AccessPolicy policy{std::nullopt, {"https://qj.venue.lan", "http://desk.lan:8080/qj"}};
    const Case cases[] = {
        {"127.0.0.1", 8390, false, "127.0.0.1:8390", true},
        {"127.0.0.1", 8390, false, "localhost:8390", true},
        {"127.0.0.1", 8390, false, "LOCALHOST:8390", true},
        {"127.0.0.1", 8390, false, "[::1]:8390", true},
        {"::1", 8390, false, "[::1]:8390", true},
        {"127.0.0.1", 8390, false, "127.0.0.1:8391", false},    // another port
        {"127.0.0.1", 8390, false, "127.0.0.1", false},         // port 80 implied
        {"127.0.0.1", 8390, false, "evil.example:8390", false}, // DNS rebinding
        {"127.0.0.1", 80, false, "localhost", true},
        {"192.168.1.5", 8390, false, "192.168.1.5:8390", true},
        {"192.168.1.5", 8390, false, "localhost:8390", false}, // not loopback
        {"192.168.1.5", 443, true, "192.168.1.5", true},
        {"192.168.1.5", 8390, false, "qj.venue.lan", true}, // behind the proxy
        {"192.168.1.5", 8390, false, "qj.venue.lan:443", true},
        {"192.168.1.5", 8390, false, "qj.venue.lan:8443", false},
        {"192.168.1.5", 8390, false, "desk.lan:8080", true},
        {"192.168.1.5", 8390, false, "desk.lan:80", false},
        {"192.168.1.5", 8390, false, "", false},
        {"192.168.1.5", 8390, false, "192.168.1.5:8390/x", false},
        {"192.168.1.5", 8390, false, "192.168.1.5:99999", false},
        {"192.168.1.5", 8390, false, "user@192.168.1.5:8390", false},
        {"192.168.1.5", 8390, false, "[::1:8390", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(checkHost(policy, {c.local, c.port, c.tls}, c.host).allowed(), c.allowed)
            << c.local << ":" << c.port << " Host: " << c.host;
    EXPECT_EQ(checkHost(policy, {"127.0.0.1", 8390, false}, "evil.example:8390").status, 403);
}

TEST(AccessRules, OriginMustBeTheServicesOwn)
{
    struct Case
    {
        bool tls;
        const char *host;
        const char *origin;
        bool allowed;
    };
    const AccessPolicy policy{std::nullopt, {"https://qj.venue.lan/", "http://desk.lan:8080/qj"}};
    const Case cases[] = {
        {false, "127.0.0.1:8390", "http://127.0.0.1:8390", true},
        {false, "localhost:8390", "http://localhost:8390", true},
        {false, "localhost:8390", "http://127.0.0.1:8390", false}, // another origin
        {true, "192.168.1.5:8390", "https://192.168.1.5:8390", true},
        {true, "192.168.1.5:8390", "http://192.168.1.5:8390", false},
        {false, "192.168.1.5:8390", "https://qj.venue.lan", true},
        {false, "192.168.1.5:8390", "https://QJ.venue.lan", true},
        {false, "192.168.1.5:8390", "http://desk.lan:8080", true},
        {false, "192.168.1.5:8390", "http://desk.lan", false},
        {false, "127.0.0.1:8390", "https://evil.example", false},
        {false, "127.0.0.1:8390", "null", false},
        {false, "127.0.0.1:8390", "", false},
    };
    for (const Case &c : cases) {
        const Verdict v = checkOrigin(policy, {"127.0.0.1", 8390, c.tls}, c.host, c.origin);
        EXPECT_EQ(v.allowed(), c.allowed) << c.host << " Origin: " << c.origin;
        EXPECT_EQ(v.status, c.allowed ? 0 : 403);
    }
}

TEST(AccessRules, TheTokenOnEveryApiRequestButTheWebSocketsAndNotOnTheStaticFiles)
{
    const AccessPolicy policy{kToken, {}};
    const Arrival at{"127.0.0.1", 8390, false};
    using Headers = std::vector<std::pair<std::string, std::string>>;
    const Headers host{{"Host", "127.0.0.1:8390"}};
    auto with = [&](const std::string &name, const std::string &value) {
        Headers h = host;
        h.emplace_back(name, value);
        return h;
    };
    struct Case
    {
        const char *target;
        bool webSocket;
        Headers headers;
        int status;
    };
    const Case cases[] = {
        {"/api/v1/rooms", false, host, 401},
        {"/api/v1/rooms", false, with("Authorization", "Bearer " + kToken), 0},
        {"/api/v1/rooms", false, with("authorization", "bearer " + kToken), 0},
        {"/api/v1/rooms", false, with("Authorization", "Bearer " + kToken + "x"), 401},
        {"/api/v1/rooms", false, with("Authorization", "Bearer " + kToken.substr(1)), 401},
        {"/api/v1/rooms", false, with("Authorization", "Basic " + kToken), 401},
        {"/api/v1/rooms", false, with("Authorization", kToken), 401},
        {"/api/v1/rooms", false, with("Authorization", "Bearer "), 401},
        {"/api/v1", false, host, 401},
        {"/api/v1?x", false, host, 401},
        {"/api/v1/events", false, host, 401},
        {"/api/v1/events", true, host, 0}, // the token comes as its first message
        {"/", false, host, 0},
        {"/index.html", false, host, 0},
        {"/api/v10", false, host, 0}, // no API path: a 404 that tells nothing
        {"/api/v1/rooms", false, {}, 403},
        {"/api/v1/rooms",
         false,
         {{"Host", "evil.example:8390"}, {"Authorization", "Bearer " + kToken}},
         403},
        {"/api/v1/events", true, with("Origin", "https://evil.example"), 403},
    };
    for (const Case &c : cases)
        EXPECT_EQ(checkRequest(policy, at, c.target, c.webSocket, c.headers).status, c.status)
            << c.target << (c.webSocket ? " (WebSocket)" : "");
    // Without a token everyone on loopback is let in, Host and Origin still checked.
    EXPECT_TRUE(checkRequest({}, at, "/api/v1/rooms", false, host).allowed());
    EXPECT_EQ(
        checkRequest({}, at, "/api/v1/rooms", false, with("Origin", "http://x.example")).status,
        403);
}

TEST(AccessRules, TheWebSocketsFirstMessageCarriesTheToken)
{
    const AccessPolicy policy{kToken, {}};
    EXPECT_TRUE(tokenMessageMatches(policy, "{\"token\":\"" + kToken + "\"}"));
    for (const std::string &bad :
         {std::string("{\"token\":\"" + kToken + "x\"}"), std::string("{\"token\":null}"),
          std::string("{}"), std::string("[\"" + kToken + "\"]"), std::string(kToken),
          std::string("{\"token\":42}"), std::string("")})
        EXPECT_FALSE(tokenMessageMatches(policy, bad)) << bad;
}

RC_GTEST_PROP(AccessRules, TokensMatchExactlyWhenTheyAreEqual, (std::string a, std::string b))
{
    RC_ASSERT(sameToken(a, a));
    RC_ASSERT(sameToken(a, b) == (a == b));
    if (!a.empty()) {
        std::string near = a;
        near[*rc::gen::inRange<std::size_t>(0, a.size())] ^= 1;
        RC_ASSERT(!sameToken(near, a));
        RC_ASSERT(!sameToken(a.substr(0, a.size() - 1), a));
    }
}

class TokenFiles : public ::testing::Test
{
protected:
    std::string write(const std::string &text, mode_t mode)
    {
        const std::string path = dir.filePath(QStringLiteral("token")).toStdString();
        std::ofstream(path, std::ios::trunc) << text;
        ::chmod(path.c_str(), mode);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(TokenFiles, OneLineOfThirtyTwoRandomCharactersReadableByItsOwnerAlone)
{
    struct Case
    {
        std::string text;
        mode_t mode;
        const char *says; // nullptr: taken
    };
    const Case cases[] = {
        {kToken + "\n", 0600, nullptr},
        {kToken, 0400, nullptr},
        {kToken + "\r\n", 0600, nullptr},
        {kToken + "\n", 0640, "group or others"},
        {kToken + "\n", 0604, "group or others"},
        {kToken + "\n", 0620, "group or others"},
        {kToken.substr(0, 31), 0600, "at least 32"},
        {std::string(40, 'a'), 0600, "not random"},
        {kToken + "\nsecond\n", 0600, "one line"},
        {kToken.substr(0, 20) + " " + kToken.substr(20), 0600, "one line"},
        {"", 0600, "at least 32"},
    };
    for (const Case &c : cases) {
        const TokenRead r = readTokenFile(write(c.text, c.mode));
        if (!c.says) {
            ASSERT_TRUE(r.token) << r.error;
            EXPECT_EQ(*r.token, kToken);
        } else {
            EXPECT_FALSE(r.token) << c.text;
            EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        }
    }
    EXPECT_NE(readTokenFile(dir.filePath(QStringLiteral("none")).toStdString()).error.find("none"),
              std::string::npos);
    EXPECT_FALSE(readTokenFile(dir.path().toStdString()).token) << "a folder is no token file";
}

TEST_F(TokenFiles, ANewTokenIsWrittenForItsOwnerAloneAndReadBack)
{
    const std::string path = dir.filePath(QStringLiteral("qjd.token")).toStdString();
    write("old", 0644);
    std::set<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(writeNewToken(path));
        struct stat st
        {
        };
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        const TokenRead r = readTokenFile(path);
        ASSERT_TRUE(r.token) << r.error;
        EXPECT_EQ(r.token->size(), 43u);
        EXPECT_EQ(r.token->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                             "0123456789-_"),
                  std::string::npos);
        seen.insert(*r.token);
    }
    EXPECT_EQ(seen.size(), 3u) << "each token is new";
    EXPECT_TRUE(writeNewToken("/nonexistent/qjd.token"));
}

TEST(FailureThrottle, RepeatedFailuresFromOneAddressWaitLongerAndLonger)
{
    FailureThrottle t;
    const auto now = FailureThrottle::Clock::now();
    using ms = std::chrono::milliseconds;
    const ms expected[] = {ms(0),   ms(0),    ms(0),    ms(0),    ms(0),    ms(250),
                           ms(500), ms(1000), ms(2000), ms(4000), ms(8000), ms(8000)};
    for (const ms e : expected)
        EXPECT_EQ(t.failed("10.0.0.9", now), e);
    EXPECT_EQ(t.failed("10.0.0.8", now), ms(0)) << "another address is not slowed";
    t.succeeded("10.0.0.9");
    EXPECT_EQ(t.failed("10.0.0.9", now), ms(0)) << "a success forgets the failures";
    for (int i = 0; i < 6; ++i)
        t.failed("10.0.0.7", now);
    EXPECT_EQ(t.failed("10.0.0.7", now + FailureThrottle::kForget + ms(1)), ms(0))
        << "failures long past are forgotten";
    for (int i = 0; i < 10000; ++i)
        t.failed("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), now);
    EXPECT_LE(t.tracked(), FailureThrottle::kMaxAddresses);
}

TEST(AccessConfig, BeyondLoopbackATokenFileIsNeeded)
{
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("qjd.conf"));
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[server]\nlisten=0.0.0.0:8390\ntoken-file=/etc/qj/qjd.token\n"
            "public-url=https://qj.venue.lan\npublic-url=http://desk.lan:8080\n"
            "tls-cert=/etc/qj/qjd.crt\ntls-key=/etc/qj/qjd.key\n"
            "[room/bar]\ndevice=/dev/x\n");
    f.close();
    const ConfigResult fromFile = readConfig({QStringLiteral("--config"), conf});
    ASSERT_TRUE(fromFile.config) << fromFile.error.toStdString();
    EXPECT_FALSE(fromFile.config->loopback);
    EXPECT_EQ(fromFile.config->tokenFile, QStringLiteral("/etc/qj/qjd.token"));
    EXPECT_EQ(fromFile.config->publicUrls, QStringList({QStringLiteral("https://qj.venue.lan"),
                                                        QStringLiteral("http://desk.lan:8080")}));
    EXPECT_EQ(remoteUrl(*fromFile.config), QStringLiteral("https://qj.venue.lan"));
    EXPECT_EQ(fromFile.config->tlsCert, QStringLiteral("/etc/qj/qjd.crt"));
    EXPECT_EQ(fromFile.config->tlsKey, QStringLiteral("/etc/qj/qjd.key"));

    struct Case
    {
        QStringList args;
        const char *says; // nullptr: taken
    };
    const Case cases[] = {
        {{"--listen", "0.0.0.0:8390"}, "needs a token file"},
        {{"--listen", "192.168.1.5:8390"}, "needs a token file"},
        {{"--listen", "192.168.1.5:8390", "--token-file", "/t"}, nullptr},
        {{"--listen", "[::]:8390", "--token-file=/t"}, nullptr},
        {{"--listen", "127.0.0.1:8390", "--token-file"}, "--token-file needs a FILE"},
        {{"--token-file", "/t", "--tls-ca", "/c"}, "unknown option --tls-ca"},
        {{"--tls-cert", "/c", "--tls-key", "/k"}, nullptr},
        {{"--tls-cert=/c", "--tls-key=/k"}, nullptr},
        {{"--tls-cert", "/c"}, "the certificate /c needs its key"},
        {{"--tls-key", "/k"}, "the key /k needs its certificate"},
        {{"--tls-key"}, "--tls-key needs a FILE"},
        {{"--tls-cert="}, "--tls-cert needs a FILE"},
        {{"--config", conf, "--tls-cert", "/c"}, nullptr}, // the file's key with it
        {{"--new-token"}, "--new-token needs a FILE"},
    };
    for (const Case &c : cases) {
        const ConfigResult r =
            readConfig(QStringList{QStringLiteral("--room"), QStringLiteral("a=/dev/x")} + c.args);
        if (!c.says) {
            EXPECT_TRUE(r.config) << r.error.toStdString();
        } else {
            EXPECT_FALSE(r.config) << c.says;
            EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.says))) << r.error.toStdString();
        }
    }
    const ConfigResult remote = readConfig(
        {QStringLiteral("--room"), QStringLiteral("a=/dev/x"), QStringLiteral("--listen"),
         QStringLiteral("[::1]:9000"), QStringLiteral("--remote-url")});
    ASSERT_TRUE(remote.config);
    EXPECT_EQ(remote.action, ConfigResult::Action::RemoteUrl);
    EXPECT_EQ(remoteUrl(*remote.config), QStringLiteral("http://[::1]:9000"));
    const ConfigResult secure = readConfig(
        {QStringLiteral("--room"), QStringLiteral("a=/dev/x"), QStringLiteral("--listen"),
         QStringLiteral("127.0.0.1:8443"), QStringLiteral("--tls-cert"), QStringLiteral("/c"),
         QStringLiteral("--tls-key"), QStringLiteral("/k"), QStringLiteral("--remote-url")});
    ASSERT_TRUE(secure.config) << secure.error.toStdString();
    EXPECT_EQ(remoteUrl(*secure.config), QStringLiteral("https://127.0.0.1:8443"));
    const ConfigResult newToken = readConfig({QStringLiteral("--new-token"), QStringLiteral("/t")});
    EXPECT_EQ(newToken.action, ConfigResult::Action::NewToken);
    EXPECT_EQ(newToken.newTokenFile, QStringLiteral("/t"));
}

// What one client may take when nothing else is said: the limits qjd serves with.
TEST(AccessLimits, TheDefaultsAreTheServicesOwn)
{
    const HttpServer::Limits limits;
    EXPECT_EQ(limits.headerBytes, 8u * 1024);
    EXPECT_GT(limits.connections, qjd::Room::kQueueLimit) << "a full queue's 503 can be reached";
    EXPECT_EQ(limits.connections, 128);
    EXPECT_EQ(limits.idle, std::chrono::seconds(60));
    EXPECT_EQ(limits.tokenWait, std::chrono::seconds(5));
    EXPECT_EQ(limits.pingEvery, std::chrono::seconds(20));
    EXPECT_EQ(limits.pongWithin, std::chrono::seconds(60));
    EXPECT_EQ(Api::kMaxBody, 64u * 1024);
}

// The certificate and key qjd is given: each refusal names the file and says why.
TEST(TlsFiles, ACertificateAndItsOwnKeyReadableByItsOwnerAloneAreTaken)
{
    QTemporaryDir dir;
    const test::SelfSigned pair(dir.path());
    const test::SelfSigned other(dir.path(), QStringLiteral("other"));
    ASSERT_TRUE(pair.ok()) << pair.error;
    ASSERT_TRUE(other.ok()) << other.error;
    const std::string open = dir.filePath(QStringLiteral("open.key")).toStdString();
    const std::string garbage = dir.filePath(QStringLiteral("garbage.pem")).toStdString();
    const std::string locked = dir.filePath(QStringLiteral("locked.key")).toStdString();
    ASSERT_TRUE(QFile::copy(QString::fromStdString(pair.key), QString::fromStdString(open)));
    ::chmod(open.c_str(), 0640);
    std::ofstream(garbage) << "-----BEGIN CERTIFICATE-----\nnot base64 at all\n";
    ::chmod(garbage.c_str(), 0600);
    QProcess openssl; // the key with a passphrase
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("pkey"), QStringLiteral("-in"), QString::fromStdString(pair.key),
                   QStringLiteral("-aes256"), QStringLiteral("-passout"),
                   QStringLiteral("pass:secret"), QStringLiteral("-out"),
                   QString::fromStdString(locked)});
    ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
    ::chmod(locked.c_str(), 0600);
    const std::string missing = dir.filePath(QStringLiteral("none.crt")).toStdString();
    struct Case
    {
        std::string cert;
        std::string key;
        std::string names; // the file the refusal names; empty: taken
        const char *says;
    };
    const Case cases[] = {
        {pair.cert, pair.key, {}, nullptr},
        {missing, pair.key, missing, "No such file"},
        {pair.cert, missing, missing, "No such file"},
        {pair.cert, open, open, "group or others"},
        {garbage, pair.key, garbage, "not a PEM certificate"},
        {pair.key, pair.key, pair.key, "not a PEM certificate"},
        {pair.cert, garbage, garbage, "not a PEM private key"},
        {pair.cert, locked, locked, "passphrase"},
        {pair.cert, other.key, other.key, "not the key of the certificate"},
        {pair.cert, dir.path().toStdString(), dir.path().toStdString(), "not a file"},
    };
    for (const Case &c : cases) {
        EventHub hub;
        Api api({});
        HttpServer server(api, hub, [](std::function<void()>) {});
        const std::optional<std::string> why = server.setTls(c.cert, c.key);
        if (!c.says) {
            EXPECT_FALSE(why) << *why;
            continue;
        }
        ASSERT_TRUE(why) << c.cert << " " << c.key;
        EXPECT_TRUE(why->starts_with(c.names + ": ")) << *why;
        EXPECT_NE(why->find(c.says), std::string::npos) << *why;
        EXPECT_EQ(why->find('\n'), std::string::npos) << "one line";
    }
}

// The edge in this process, with a token and short limits, on one room that is not started
// (enough for the rules: they are judged before the room is asked anything).
class AccessEdge : public ::testing::Test
{
protected:
    void SetUp() override
    {
        beforeStart();
        HttpServer::Limits limits;
        limits.connections = 4;
        limits.idle = std::chrono::milliseconds(400);
        limits.tokenWait = std::chrono::milliseconds(400);
        limits.pingEvery = std::chrono::milliseconds(100);
        limits.pongWithin = std::chrono::milliseconds(300);
        server.setLimits(limits);
        server.setAccess({kToken, {"https://qj.venue.lan"}});
        ASSERT_FALSE(server.listen("127.0.0.1", 0));
        server.start();
        const std::string bound = server.boundAddress();
        port = static_cast<unsigned short>(std::stoi(bound.substr(bound.rfind(':') + 1)));
    }
    void TearDown() override { server.stop(100); }
    virtual void beforeStart() {}

    // The answer to a request written as given, byte for byte; empty when the server closed.
    std::string raw(const std::string &request)
    {
        boost::asio::io_context ioc;
        boost::asio::ip::tcp::socket socket(ioc);
        boost::beast::error_code ec;
        socket.connect({boost::asio::ip::make_address("127.0.0.1"), port}, ec);
        if (ec)
            return {};
        boost::asio::write(socket, boost::asio::buffer(request), ec);
        std::string answer;
        std::array<char, 4096> buffer{};
        for (;;) {
            const std::size_t got = socket.read_some(boost::asio::buffer(buffer), ec);
            answer.append(buffer.data(), got);
            if (ec)
                return answer;
        }
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port); }

    EventHub hub;
    Room room{{QStringLiteral("bar"), {}, QStringLiteral("/nonexistent"), QStringLiteral("test")},
              [this](QJsonObject e) { hub.publish(std::move(e)); }};
    Api api{{&room}};
    QObject engine;
    HttpServer server{api, hub, [this](std::function<void()> call) {
                          QMetaObject::invokeMethod(&engine, std::move(call), Qt::QueuedConnection);
                      }};
    unsigned short port = 0;
};

// A blocking client call on a thread of its own while this thread, the engine's, runs the
// calls the edge hands it.
template<typename Call>
auto whileServing(Call call)
{
    auto result = std::async(std::launch::async, call);
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        test::spin(1);
    return result.get();
}

// Runs the engine's queued calls while `done` does not hold, up to `ms`.
template<typename Done>
bool spinUntil(Done done, int ms = 5000)
{
    for (int i = 0; i < ms && !done(); ++i)
        test::spin(1);
    return done();
}

TEST_F(AccessEdge, RequestsAreLetInOnlyWithTheTokenAndTheServicesHostAndOrigin)
{
    using Headers = std::vector<std::pair<std::string, std::string>>;
    const std::pair<std::string, std::string> bearer{"Authorization", "Bearer " + kToken};
    struct Case
    {
        const char *method;
        const char *target;
        Headers headers;
        std::string contentType;
        int status;
    };
    const Case cases[] = {
        {"GET", "/api/v1/rooms", {}, {}, 401},
        {"GET", "/api/v1/rooms", {{"Authorization", "Bearer wrong"}}, {}, 401},
        {"GET", "/api/v1/rooms", {bearer}, {}, 200},
        {"GET", "/api/v1/rooms/bar", {bearer}, {}, 200},
        {"GET",
         "/api/v1/rooms",
         {bearer, {"Host", "evil.example:" + std::to_string(port)}},
         {},
         403},
        {"GET", "/api/v1/rooms", {bearer, {"Host", "localhost:" + std::to_string(port)}}, {}, 200},
        {"GET", "/api/v1/rooms", {bearer, {"Host", "qj.venue.lan"}}, {}, 200},
        {"GET", "/api/v1/rooms", {bearer, {"Origin", "https://evil.example"}}, {}, 403},
        {"GET", "/api/v1/rooms", {bearer, {"Origin", "http://" + host()}}, {}, 200},
        {"GET", "/api/v1/rooms", {bearer, {"Origin", "https://qj.venue.lan"}}, {}, 200},
        // A form post of another site: refused for its Origin, and for its type without one.
        {"PUT",
         "/api/v1/rooms/bar/muted",
         {bearer, {"Origin", "http://evil.example"}},
         "text/plain",
         403},
        {"PUT", "/api/v1/rooms/bar/muted", {bearer}, "application/x-www-form-urlencoded", 415},
        {"PUT", "/api/v1/rooms/bar/muted", {}, "application/x-www-form-urlencoded", 401},
        {"GET", "/index.html", {}, {}, 200},   // the web remote's page is public
        {"GET", "/nothing.html", {}, {}, 404}, // public: no token asked, nothing there either
    };
    test::HttpClient http(port);
    for (const Case &c : cases) {
        const test::HttpReply r = whileServing([&] {
            return http.request(c.method, c.target, c.contentType.empty() ? "" : "true",
                                c.contentType.empty() ? "application/json" : c.contentType,
                                c.headers);
        });
        EXPECT_EQ(r.status, c.status) << c.method << " " << c.target;
        if (c.status == 401) {
            EXPECT_EQ(r.body, "{\"error\":\"unauthorized\"}") << "401 and nothing else";
            EXPECT_EQ(r.wwwAuthenticate, "Bearer");
        }
        if (c.status == 403) {
            EXPECT_EQ(r.body.find("rooms"), std::string::npos);
        }
    }
}

// The web remote through the edge: its files public with their headers, HEAD as GET without
// the body; the parameters' description behind the token like the rest of the API.
TEST_F(AccessEdge, ThePageIsPublicWithItsHeadersAndTheDescriptionNeedsTheToken)
{
    test::HttpClient http(port);
    const test::HttpReply page = whileServing([&] { return http.request("GET", "/"); });
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<!doctype html>"), std::string::npos);
    EXPECT_EQ(page.headers.at("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.headers.at("x-content-type-options"), "nosniff");
    EXPECT_NE(page.headers.at("content-security-policy").find("ws://" + host()), std::string::npos);
    EXPECT_EQ(page.headers.count("access-control-allow-origin"), 0u);

    const test::HttpReply head = whileServing([&] { return http.request("HEAD", "/remote.js"); });
    const test::HttpReply script = whileServing([&] { return http.request("GET", "/remote.js"); });
    ASSERT_EQ(head.status, 200);
    ASSERT_EQ(script.status, 200);
    EXPECT_TRUE(head.body.empty());
    EXPECT_EQ(head.headers.at("content-length"), std::to_string(script.body.size()));
    EXPECT_EQ(head.headers.at("content-type"), "text/javascript; charset=utf-8");
    // The connection stays usable after a HEAD: its answer carried no body.
    EXPECT_EQ(whileServing([&] { return http.request("GET", "/remote.css"); }).status, 200);

    EXPECT_EQ(whileServing([&] { return http.request("POST", "/", "{}"); }).status, 405);
    EXPECT_EQ(whileServing([&] { return http.request("GET", "/remote.map"); }).status, 404);
    EXPECT_EQ(whileServing([&] {
                  return http.request("GET", "/", {}, {}, {{"Host", "evil.example"}});
              }).status,
              403);

    EXPECT_EQ(whileServing([&] { return http.request("GET", "/api/v1/params"); }).status, 401);
    const test::HttpReply described = whileServing([&] {
        return http.request("GET", "/api/v1/params", {}, {},
                            {{"Authorization", "Bearer " + kToken}});
    });
    ASSERT_EQ(described.status, 200);
    const QJsonObject d =
        QJsonDocument::fromJson(QByteArray::fromStdString(described.body)).object();
    EXPECT_EQ(d[QStringLiteral("parameters")].toArray().size(),
              qsizetype(kEveningParameters.size()));
}

TEST_F(AccessEdge, TheWebSocketGivesItsTokenFirstOrIsClosedBeforeAnyEvent)
{
    test::EventClient right(port, true, kToken);
    ASSERT_TRUE(right.connected());
    ASSERT_TRUE(spinUntil([&] { return hub.subscribers() == 1; }));
    ASSERT_TRUE(right.waitFor([](const auto &m) { return m.size() == 1; }));
    EXPECT_NE(right.messages()[0].find("\"rooms\""), std::string::npos) << "the snapshot";

    test::EventClient wrong(port, true, std::string("not-the-token"));
    test::EventClient silent(port, true);
    for (test::EventClient *c : {&wrong, &silent}) {
        ASSERT_TRUE(c->connected());
        ASSERT_TRUE(spinUntil([&] { return c->closed(); }));
        EXPECT_TRUE(c->messages().empty()) << "no event before the token";
        EXPECT_EQ(c->closeCode(), 1008);
    }
    hub.publish({{QStringLiteral("room"), QStringLiteral("bar")}});
    EXPECT_TRUE(right.waitFor([](const auto &m) { return m.size() == 2; }));
    EXPECT_EQ(hub.subscribers(), 1u);

    // Refused before the upgrade: another site's page, another Host.
    test::EventClient foreign(port, true, kToken, {{"Origin", "https://evil.example"}});
    EXPECT_FALSE(foreign.connected());
    test::EventClient rebound(port, true, kToken, {{"Host", "evil.example"}});
    EXPECT_FALSE(rebound.connected());
}

TEST_F(AccessEdge, EachLimitHolds)
{
    const std::string auth = "Authorization: Bearer " + kToken + "\r\n";
    // Request line and headers: 8 KiB.
    const std::string small = "GET /api/v1/rooms HTTP/1.1\r\nHost: " + host() + "\r\n" + auth +
                              "X-Fill: " + std::string(7000, 'x') + "\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(whileServing([&] { return raw(small); }).substr(0, 12), "HTTP/1.1 200");
    const std::string large = "GET /api/v1/rooms HTTP/1.1\r\nHost: " + host() + "\r\n" + auth +
                              "X-Fill: " + std::string(8300, 'x') + "\r\n\r\n";
    EXPECT_EQ(raw(large).substr(0, 12), "HTTP/1.1 431");
    // A body over 64 KiB without a Content-Length (chunked): refused at the chunk that passes
    // the limit, before its bytes are read (none are sent here, so nothing is left unread).
    std::ostringstream chunked;
    chunked << "PATCH /api/v1/rooms/bar/settings HTTP/1.1\r\nHost: " << host() << "\r\n"
            << auth << "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
            << std::hex << Api::kMaxBody + 1 << "\r\n";
    EXPECT_EQ(raw(chunked.str()).substr(0, 12), "HTTP/1.1 413");

    // An idle connection is closed (here after 400 ms).
    {
        boost::asio::io_context ioc;
        boost::asio::ip::tcp::socket idle(ioc);
        idle.connect({boost::asio::ip::make_address("127.0.0.1"), port});
        const auto start = std::chrono::steady_clock::now();
        std::array<char, 16> b{};
        boost::beast::error_code ec;
        idle.read_some(boost::asio::buffer(b), ec);
        EXPECT_EQ(ec, boost::asio::error::eof);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(350));
    }

    // Open connections: 4 here; the fifth is closed at once, and once one goes, one comes.
    {
        boost::asio::io_context ioc;
        std::vector<boost::asio::ip::tcp::socket> open;
        for (int i = 0; i < 4; ++i) {
            open.emplace_back(ioc);
            open.back().connect({boost::asio::ip::make_address("127.0.0.1"), port});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(raw("GET / HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"), "") << "over the limit";
        open.pop_back();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(whileServing([&] {
                      return raw("GET / HTTP/1.1\r\nHost: " + host() +
                                 "\r\nConnection: close\r\n\r\n");
                  }).substr(0, 12),
                  "HTTP/1.1 200"); // the web remote's page
    }

    // A WebSocket is pinged; one that never answers (it does not read) is closed.
    test::EventClient reader(port, true, kToken);
    test::EventClient deaf(port, false, kToken);
    ASSERT_TRUE(reader.connected());
    ASSERT_TRUE(deaf.connected());
    ASSERT_TRUE(spinUntil([&] { return hub.subscribers() == 2; }));
    // It reads nothing, so it answers no ping: closed after 300 ms (a read would answer them).
    test::spin(700);
    EXPECT_TRUE(deaf.drainUntilClosed(3000));
    test::spin(200);
    EXPECT_FALSE(reader.closed()) << "a client that answers the pings stays";
}

TEST_F(AccessEdge, RepeatedFailuresFromOneAddressAreSlowed)
{
    test::HttpClient http(port);
    auto get = [&](const std::vector<std::pair<std::string, std::string>> &headers) {
        return whileServing([&] {
                   return http.request("GET", "/api/v1/rooms", {}, "application/json", headers);
               })
            .status;
    };
    for (int i = 0; i < FailureThrottle::kFreeFailures; ++i)
        EXPECT_EQ(get({}), 401);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get({}), 401);
    EXPECT_GE(std::chrono::steady_clock::now() - start, FailureThrottle::kFirstDelay);
    EXPECT_EQ(get({{"Authorization", "Bearer " + kToken}}), 200);
    const auto after = std::chrono::steady_clock::now();
    EXPECT_EQ(get({}), 401);
    EXPECT_LT(std::chrono::steady_clock::now() - after, FailureThrottle::kFirstDelay)
        << "the success forgot the failures";
}

// The same edge over TLS with the test's own certificate.
class TlsEdge : public AccessEdge
{
protected:
    void beforeStart() override
    {
        ASSERT_TRUE(certificate.ok()) << certificate.error;
        ASSERT_FALSE(server.setTls(certificate.cert, certificate.key));
    }
    QTemporaryDir certificateDir;
    test::SelfSigned certificate{certificateDir.path()};
};

TEST_F(TlsEdge, PlainHttpAndStalledHandshakesAreClosedAndHttpsGoesOn)
{
    // Plain HTTP to the TLS port: no HTTP answer, the connection closed.
    bool closed = false;
    const std::string answer = test::plainExchange(
        port, "GET /api/v1/rooms HTTP/1.1\r\nHost: " + host() + "\r\n\r\n", closed);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(answer.starts_with("HTTP/")) << answer;
    // A handshake that never starts is closed in the time an idle connection has (400 ms).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(test::plainExchange(port, {}, closed, 5), "");
    EXPECT_TRUE(closed) << "closed by the server, not by the client's patience";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(350));
    // A client that trusts another certificate gives up; the server goes on.
    const test::SelfSigned stranger(certificateDir.path(), QStringLiteral("stranger"));
    ASSERT_TRUE(stranger.ok()) << stranger.error;
    EXPECT_FALSE(test::TlsConnection(port, stranger.cert).handshaken());

    // Over TLS the Host and Origin rules take https and its port; the token is still asked.
    auto get = [&](const std::vector<std::pair<std::string, std::string>> &headers) {
        return whileServing([&] {
            test::TlsConnection tls(port, certificate.cert);
            return tls.handshaken() ? tls.request("GET", "/api/v1/rooms", headers).status : -1;
        });
    };
    const std::pair<std::string, std::string> bearer{"Authorization", "Bearer " + kToken};
    EXPECT_EQ(get({}), 401);
    EXPECT_EQ(get({bearer, {"Origin", "https://" + host()}}), 200);
    EXPECT_EQ(get({bearer, {"Origin", "http://" + host()}}), 403)
        << "http:// is not this service's origin over TLS";
}

} // namespace
} // namespace qj::qjd
