#pragma once

// qjd, the program, against build/qj-sim on real pseudo-terminals: the processors, the service
// as a child process and the helpers the tests share.
#include "pty.h"
#include "qjdclient.h"
#include "simprocessor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <functional>
#include <memory>

namespace qj::test {

inline constexpr int kWaitMs = 20000;

inline bool waitUntil(const std::function<bool()> &done, int ms = kWaitMs)
{
    return waitFor(done, ms);
}

inline QJsonObject jsonOf(const std::string &text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// One virtual processor with its trace, on a symbolic link that follows its pseudo-terminal.
struct Processor : SimProcessor
{
    QString link;

    bool start(const QString &linkPath, QStringList arguments = {})
    {
        link = linkPath;
        arguments << QStringLiteral("--trace") << QStringLiteral("--link") << link;
        return SimProcessor::start(arguments);
    }
    // Command frames the processor received (4 bytes each), from the trace.
    int commandsReceived()
    {
        spin(20);
        int n = 0;
        for (const QString &line : trace)
            if (line.contains(QLatin1String(" -- command ")))
                ++n;
        return n;
    }
    // Whether a second command ever reached the processor while another, different one was
    // still unacknowledged there.
    QString twoInFlight()
    {
        spin(20);
        static const QRegularExpression ack(
            QStringLiteral(" -- command (\\d+=\\d+) (acknowledged|refused)"));
        static const QRegularExpression received(QStringLiteral(" rx ((?:[0-9A-F]{2} ?){4,})$"));
        QString pending;
        for (const QString &line : trace) {
            const QRegularExpressionMatch a = ack.match(line);
            if (a.hasMatch()) {
                pending.clear();
                continue;
            }
            const QRegularExpressionMatch r = received.match(line);
            if (!r.hasMatch())
                continue;
            const QString bytes = r.captured(1).trimmed();
            if (bytes.size() > 11)
                return QStringLiteral("two frames in one read: ") + line;
            if (!pending.isEmpty() && pending != bytes)
                return QStringLiteral("%1 while %2 was unacknowledged").arg(line, pending);
            pending = bytes;
        }
        return {};
    }
};

// qjd as a child process on a free port.
struct Service
{
    QProcess process;
    unsigned short port = 0;
    QString firstLine;

    bool start(const QStringList &arguments)
    {
        process.setProgram(QStringLiteral(QJD_PROGRAM));
        process.setArguments(arguments);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        if (!process.waitForStarted())
            return false;
        if (!waitUntil(
                [&] { return process.canReadLine() || process.state() != QProcess::Running; },
                10000))
            return false;
        firstLine = QString::fromUtf8(process.readLine()).trimmed();
        const qsizetype colon = firstLine.lastIndexOf(u':');
        port = static_cast<unsigned short>(firstLine.mid(colon + 1).toUInt());
        return port != 0;
    }
    // SIGTERM; the exit status, -1 when it did not end within `ms`.
    int terminate(int ms = 5000)
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, ms))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    ~Service()
    {
        // Politely first: a killed qjd leaves its lock files behind.
        if (process.state() != QProcess::NotRunning && terminate() != 0) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// Two processors, a and b, and qjd serving them.
class QjdOnSims : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(a.start(dir.filePath(QStringLiteral("a"))))
            << a.sim.errorString().toStdString();
        ASSERT_TRUE(b.start(dir.filePath(QStringLiteral("b"))))
            << b.sim.errorString().toStdString();
        ASSERT_TRUE(qjd.start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                               QStringLiteral("--room"), QStringLiteral("a=") + a.link,
                               QStringLiteral("--room"), QStringLiteral("b=") + b.link}))
            << qjd.process.readAllStandardError().toStdString();
        ASSERT_TRUE(online("a"));
        ASSERT_TRUE(online("b"));
    }

    // The room online with every setting reported.
    bool online(const std::string &room)
    {
        HttpClient http(qjd.port);
        return waitUntil([&] {
            const QJsonObject r = jsonOf(http.request("GET", "/api/v1/rooms/" + room).body);
            return r[QStringLiteral("state")] == QStringLiteral("online") &&
                   !r[QStringLiteral("settings")][QStringLiteral("RunMode")].isNull();
        });
    }

    QTemporaryDir dir;
    Processor a;
    Processor b;
    Service qjd;
};

} // namespace qj::test
