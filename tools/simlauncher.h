#pragma once

#include "tools/simstartfailure.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <deque>

namespace qj::sim {

// Starts qj-sim as a child process and talks to it: waits for its "PTY <path>" line, sends
// control lines to its standard input and reads the answers. The child quits when its standard
// input closes, so it never outlives the program that started it; the destructor ends it too.
class SimLauncher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartTimeoutMs = 5000;   // the child is up in tens of milliseconds
    static constexpr int kRequestTimeoutMs = 2000; // an answer comes within one event-loop turn
    static constexpr int kQuitTimeoutMs = 500;     // for a polite quit before the kill
    static constexpr int kKeptErrorBytes = 4096;   // of the child's standard error: its last words

    explicit SimLauncher(QObject *parent = nullptr);
    ~SimLauncher() override;

    // qj-sim in the folder of the running program (build/qj-sim next to build/qj-panel).
    static QString defaultProgram();
    void setProgram(const QString &program) { m_program = program; }
    QString program() const { return m_program; }

    // Starts the child with `arguments` (for instance {"--no-pacing", "--fault", "noise"}) and
    // waits until it has named its pseudo-terminal. False with failure() and errorString() on
    // failure.
    bool start(const QStringList &arguments = {}, int timeoutMs = kStartTimeoutMs);
    void stop();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }

    QString ptyPath() const { return m_path; }
    const SimStartFailure &failure() const { return m_failure; }
    QString errorString() const { return m_failure.text(Language::English); }
    // What the child wrote on its standard error since it was started, at most its last
    // kKeptErrorBytes. It is passed on to our own standard error too, where a person looks.
    QString errorOutput() const;

    // A control line, answered later through answered().
    void sendLine(const QString &line);
    // A control line, waiting for its answer ("OK", "ERROR ...", "STATE ..."); empty on timeout.
    QString request(const QString &line, int timeoutMs = kRequestTimeoutMs);

signals:
    void ptyReady(const QString &path); // at start and after every plug
    void ptyLost();                     // the child closed its pseudo-terminal (unplug)
    void answered(const QString &line); // the answer to a control line
    void traced(const QString &line);   // any other line, the trace
    void finished();

private slots:
    void readOutput();
    void readErrors();

private:
    void handleLine(const QString &line);
    void write(const QString &line, bool waited);
    bool fail(SimStartFailure::Kind kind);

    QProcess m_process;
    QString m_program;
    QString m_path;
    SimStartFailure m_failure;
    QByteArray m_errors;
    QByteArray m_partial;
    std::deque<bool> m_asked; // per line sent, in order: whether request() waits for its answer
    QString m_answer;
    bool m_haveAnswer = false;
};

} // namespace qj::sim
