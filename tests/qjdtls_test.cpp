// qjd, the program, over HTTPS and WSS with a certificate the test makes, on the virtual
// processor; and the start refused for a key others may read.
#include "qjdfixture.h"
#include "qjdtls.h"

#include <sys/stat.h>

namespace qj::test {
namespace {

class QjdOverTls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(certificate.ok()) << certificate.error;
        QProcess newToken;
        newToken.start(QStringLiteral(QJD_PROGRAM), {QStringLiteral("--new-token"), tokenFile});
        ASSERT_TRUE(newToken.waitForFinished(10000) && newToken.exitCode() == 0);
        QFile file(tokenFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        token = file.readAll().trimmed().toStdString();
        ASSERT_TRUE(processor.start(dir.filePath(QStringLiteral("a"))));
        ASSERT_TRUE(
            qjd.start(arguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                 QStringLiteral("--room"), QStringLiteral("a=") + processor.link})))
            << qjd.process.readAllStandardError().toStdString();
    }

    QStringList arguments(QStringList more) const
    {
        return more << QStringLiteral("--token-file") << tokenFile << QStringLiteral("--tls-cert")
                    << QString::fromStdString(certificate.cert) << QStringLiteral("--tls-key")
                    << QString::fromStdString(certificate.key);
    }

    HttpReply get(const std::string &target, bool withToken = true)
    {
        TlsConnection tls(qjd.port, certificate.cert);
        if (!tls.handshaken())
            return {};
        if (!withToken)
            return tls.request("GET", target);
        return tls.request("GET", target, {{"Authorization", "Bearer " + token}});
    }

    QTemporaryDir dir;
    SelfSigned certificate{dir.path()};
    QString tokenFile = dir.filePath(QStringLiteral("qjd.token"));
    std::string token;
    Processor processor;
    Service qjd;
};

TEST_F(QjdOverTls, HttpsAndWssWithTheTokenPlainHttpRefusedAndQjdGoesOn)
{
    ASSERT_TRUE(waitUntil([&] {
        return jsonOf(get("/api/v1/rooms/a").body)[QStringLiteral("state")] ==
               QStringLiteral("online");
    }));
    const HttpReply rooms = get("/api/v1/rooms");
    EXPECT_EQ(rooms.status, 200);
    EXPECT_NE(rooms.body.find("\"a\""), std::string::npos) << rooms.body;

    TlsConnection wss(qjd.port, certificate.cert);
    ASSERT_TRUE(wss.handshaken());
    const std::optional<std::string> snapshot = wss.firstEvent(token);
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(jsonOf(*snapshot)[QStringLiteral("rooms")].isArray()) << *snapshot;

    const HttpReply refused = get("/api/v1/rooms", false);
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.wwwAuthenticate, "Bearer");
    EXPECT_EQ(refused.body.find("\"a\""), std::string::npos) << "401 and nothing else";

    // Plain HTTP to the TLS port: no HTTP answer, the connection closed, the service unharmed.
    bool closed = false;
    const std::string plain =
        plainExchange(qjd.port,
                      "GET /api/v1/rooms HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(qjd.port) +
                          "\r\nAuthorization: Bearer " + token + "\r\n\r\n",
                      closed);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(plain.starts_with("HTTP/")) << plain;
    EXPECT_EQ(qjd.process.state(), QProcess::Running);
    EXPECT_EQ(get("/api/v1/rooms").status, 200);

    QProcess remote;
    remote.start(QStringLiteral(QJD_PROGRAM),
                 arguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:8443"),
                            QStringLiteral("--remote-url")}));
    ASSERT_TRUE(remote.waitForFinished(10000));
    EXPECT_EQ(remote.readAllStandardOutput().trimmed().toStdString(),
              "https://127.0.0.1:8443/#token=" + token);
    EXPECT_EQ(qjd.terminate(), 0);
}

TEST(QjdStart, AKeyOthersMayReadStopsTheStartWithOneLineNamingIt)
{
    QTemporaryDir dir;
    const SelfSigned certificate(dir.path());
    ASSERT_TRUE(certificate.ok()) << certificate.error;
    ::chmod(certificate.key.c_str(), 0644);
    QProcess qjd;
    qjd.start(QStringLiteral(QJD_PROGRAM),
              {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--room"),
               QStringLiteral("x=") + dir.filePath(QStringLiteral("x")),
               QStringLiteral("--tls-cert"), QString::fromStdString(certificate.cert),
               QStringLiteral("--tls-key"), QString::fromStdString(certificate.key)});
    ASSERT_TRUE(qjd.waitForFinished(10000));
    EXPECT_EQ(qjd.exitCode(), 2);
    const QString err = QString::fromUtf8(qjd.readAllStandardError());
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("qjd: %1: ").arg(certificate.key.c_str())))
        << err.toStdString();
    EXPECT_TRUE(qjd.readAllStandardOutput().isEmpty()) << "refused before it listens";
}

} // namespace
} // namespace qj::test
