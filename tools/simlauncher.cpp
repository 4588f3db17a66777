#include "tools/simlauncher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace qj::sim {

namespace {

bool isAnswer(const QString &line)
{
    for (const char *word : {"OK", "ERROR", "STATE", "FAULTS"}) {
        const QLatin1String w(word);
        if (line == w || line.startsWith(w + QLatin1Char(' ')))
            return true;
    }
    return false;
}

} // namespace

SimLauncher::SimLauncher(QObject *parent) : QObject(parent), m_program(defaultProgram())
{
    // Its standard error is kept for the reason of a failed start, and passed on to ours.
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimLauncher::readOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &SimLauncher::readErrors);
    connect(&m_process, &QProcess::finished, this, &SimLauncher::finished);
}

SimLauncher::~SimLauncher()
{
    stop();
}

QString SimLauncher::defaultProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qj-sim"));
}

bool SimLauncher::start(const QStringList &arguments, int timeoutMs)
{
    m_failure = {};
    if (isRunning())
        return fail(SimStartFailure::AlreadyRunning);
    m_path.clear();
    m_partial.clear();
    m_asked.clear();
    m_errors.clear();
    m_process.start(m_program, QStringList(arguments) << QStringLiteral("--quit-on-eof"));
    QDeadlineTimer deadline(timeoutMs);
    if (!m_process.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        const QFileInfo file(m_program);
        if (!file.exists())
            return fail(SimStartFailure::NotFound);
        if (file.isDir() || !file.isExecutable())
            return fail(SimStartFailure::NotExecutable);
        m_failure.detail = m_process.errorString();
        return fail(SimStartFailure::NotStarted);
    }
    while (m_path.isEmpty() && isRunning() && !deadline.hasExpired())
        m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    if (!m_path.isEmpty())
        return true;
    if (isRunning()) {
        readErrors();
        stop();
        return fail(SimStartFailure::Silent);
    }
    readErrors(); // its last words may still wait in the pipe
    m_failure.exitCode = m_process.exitCode();
    return fail(m_process.exitStatus() == QProcess::CrashExit ? SimStartFailure::Crashed
                                                              : SimStartFailure::Ended);
}

bool SimLauncher::fail(SimStartFailure::Kind kind)
{
    m_failure.kind = kind;
    m_failure.program = m_program;
    m_failure.output = errorOutput().trimmed();
    return false;
}

QString SimLauncher::errorOutput() const
{
    return QString::fromLocal8Bit(m_errors);
}

void SimLauncher::readErrors()
{
    const QByteArray bytes = m_process.readAllStandardError();
    if (bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    m_errors += bytes;
    if (m_errors.size() > kKeptErrorBytes)
        m_errors.remove(0, m_errors.size() - kKeptErrorBytes);
}

void SimLauncher::stop()
{
    if (!isRunning())
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kQuitTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kQuitTimeoutMs);
    }
}

void SimLauncher::sendLine(const QString &line)
{
    write(line, false);
}

QString SimLauncher::request(const QString &line, int timeoutMs)
{
    if (!isRunning())
        return {};
    m_haveAnswer = false;
    write(line, true);
    QDeadlineTimer deadline(timeoutMs);
    while (!m_haveAnswer && isRunning() && !deadline.hasExpired())
        m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    if (!m_haveAnswer)
        return {};
    m_haveAnswer = false;
    return m_answer;
}

void SimLauncher::write(const QString &line, bool waited)
{
    if (!isRunning())
        return;
    m_asked.push_back(waited);
    m_process.write(line.toLocal8Bit() + '\n');
    m_process.waitForBytesWritten(0);
}

void SimLauncher::readOutput()
{
    m_partial += m_process.readAllStandardOutput();
    for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n')) {
        const QString line = QString::fromLocal8Bit(m_partial.left(end));
        m_partial.remove(0, end + 1);
        handleLine(line);
    }
}

void SimLauncher::handleLine(const QString &line)
{
    if (line.startsWith(QLatin1String("PTY "))) {
        m_path = line.mid(4).trimmed();
        emit ptyReady(m_path);
    } else if (line == QLatin1String("UNPLUGGED")) {
        emit ptyLost();
    } else if (isAnswer(line)) {
        const bool waited = !m_asked.empty() && m_asked.front();
        if (!m_asked.empty())
            m_asked.pop_front();
        if (waited) {
            m_answer = line;
            m_haveAnswer = true;
        }
        emit answered(line);
    } else {
        emit traced(line);
    }
}

} // namespace qj::sim
