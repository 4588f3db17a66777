#pragma once

// A real ser2net (Debian's, 4.3) started by the test itself in the foreground without UUCP
// locks, on free loopback ports, with a generated configuration: a raw accepter (the line at
// 28800 8N1, as an installer sets it for socket://), a Telnet accepter with the COM port option
// (the line at 9600, so the client must set it), and a raw accepter whose device is missing.
// Also a small proxy that can split the next report it carries from the server.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <memory>

namespace qj::test {

// A loopback port nobody listens on now.
inline quint16 freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

// Whether something listens on the loopback port, from the kernel's table: connecting to ask
// would make ser2net open its device.
inline bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QString local = QStringLiteral(":%1 ").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && (QString::fromLatin1(f[1]) + u' ').endsWith(local) && f[3] == "0A")
            return true;
    }
    return false;
}

class Ser2net
{
public:
    quint16 raw = freePort();
    quint16 telnet = freePort();
    quint16 missing = freePort();
    bool nodelay = false; // tcp(nodelay) on the accepters

    QString socketUrl() const { return QStringLiteral("socket://127.0.0.1:%1").arg(raw); }
    QString rfc2217Url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(telnet); }
    QString missingUrl() const { return QStringLiteral("socket://127.0.0.1:%1").arg(missing); }

    // Serves `device` (the pseudo-terminal behind it); true once all three accept.
    bool start(const QString &device)
    {
        m_device = device;
        const QString tcp = nodelay ? QStringLiteral("tcp(nodelay)") : QStringLiteral("tcp");
        QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        QTextStream out(&config);
        out << "connection: &raw\n"
            << "  accepter: " << tcp << ",127.0.0.1," << raw << "\n"
            << "  connector: serialdev," << device << ",28800n81,local\n"
            << "connection: &telnet\n"
            << "  accepter: telnet(rfc2217)," << tcp << ",127.0.0.1," << telnet << "\n"
            << "  connector: serialdev," << device << ",9600n81,local\n"
            << "connection: &missing\n"
            << "  accepter: " << tcp << ",127.0.0.1," << missing << "\n"
            << "  connector: serialdev," << device << "-missing,28800n81,local\n";
        out.flush();
        config.close();
        return restart();
    }

    // Again after stop(), on the same ports.
    bool restart()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ser2net"),
                        {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                         m_dir.filePath(QStringLiteral("ser2net.yaml"))});
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            if (listening(raw) && listening(telnet) && listening(missing))
                return true;
            if (m_process.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(10);
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }

    ~Ser2net() { stop(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
};

// Between the panel and the server: everything passes at once, except that after split(gap)
// the next four bytes from the server go as two and two, `gap` ms apart, as TCP may deliver a
// report in two segments.
class SplitProxy : public QObject
{
public:
    explicit SplitProxy(quint16 upstream) : m_upstream(upstream)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    QString socketUrl() const
    {
        return QStringLiteral("socket://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void split(int gapMs)
    {
        m_gap = gapMs;
        m_held.clear();
    }
    bool splitDone() const { return m_gap < 0 && m_held.isEmpty(); }
    // How far apart the two halves actually went, in ms: a busy machine may stretch the gap.
    double lastGapMs() const { return m_lastGapMs; }

private:
    void accept()
    {
        QTcpSocket *client = m_server.nextPendingConnection();
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_client.reset(client);
        m_client->setParent(nullptr);
        m_upstreamSocket = std::make_unique<QTcpSocket>();
        m_upstreamSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_upstreamSocket->connectToHost(QHostAddress::LocalHost, m_upstream);
        QObject::connect(m_client.get(), &QTcpSocket::readyRead, this,
                         [this] { m_upstreamSocket->write(m_client->readAll()); });
        QObject::connect(m_upstreamSocket.get(), &QTcpSocket::readyRead, this,
                         [this] { fromServer(); });
        QObject::connect(m_upstreamSocket.get(), &QTcpSocket::disconnected, this,
                         [this] { m_client->disconnectFromHost(); });
        QObject::connect(m_client.get(), &QTcpSocket::disconnected, this,
                         [this] { m_upstreamSocket->disconnectFromHost(); });
    }

    void fromServer()
    {
        const QByteArray bytes = m_upstreamSocket->readAll();
        if (m_gap < 0) {
            m_client->write(bytes);
            m_client->flush();
            return;
        }
        m_held += bytes;
        if (m_held.size() < 4)
            return;
        const int gap = m_gap;
        m_gap = -1;
        m_client->write(m_held.left(2));
        m_client->flush();
        m_firstHalf.start();
        const QByteArray rest = m_held.mid(2);
        QTimer::singleShot(gap, Qt::PreciseTimer, this, [this, rest] {
            m_client->write(rest);
            m_client->flush();
            m_lastGapMs = static_cast<double>(m_firstHalf.nsecsElapsed()) / 1e6;
            m_held.clear();
        });
    }

    QTcpServer m_server;
    quint16 m_upstream;
    std::unique_ptr<QTcpSocket> m_client;
    std::unique_ptr<QTcpSocket> m_upstreamSocket;
    QByteArray m_held;
    int m_gap = -1;
    QElapsedTimer m_firstHalf;
    double m_lastGapMs = 0;
};

} // namespace qj::test
