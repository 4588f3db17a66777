#pragma once

#include "ctl/request.h"
#include "link/link.h"
#include "link/presetpush.h"
#include "link/serialport.h"
#include "link/tickgate.h"
#include "params/panelmodel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <cstdio>
#include <optional>

namespace qj::ctl {

// One run of qj-ctl on a checked request: the panel's engine on a model of the panel and the
// serial port, driven by a 1 ms timer as the window drives it. It connects as the panel does,
// answers every report as the panel does, and then gets, sets, saves or loads.
class Session : public QObject, public LinkHost
{
public:
    // After the online transition the reports are taken as complete this long without the
    // last one (wire id 37); the same quiet ends a connection that never went online.
    static constexpr qint64 kReportsWaitMs = 200;
    // A connection that never goes online ends this long after the acknowledgement at the
    // latest: 38 reports that each wait 30 ms for a reply take 1.3 s.
    static constexpr qint64 kReportsMostMs = 3000;
    // A command's frame empties the transmit buffer before it is written, which would throw
    // away the answer to the last report had it not left yet: the push waits this long after
    // the reports (1 byte at 28800 baud takes 0.35 ms; the processor waits 30 ms for it).
    static constexpr qint64 kAnswerLeavesMs = 20;

    Session(const Request &request, PortBindings bindings, std::FILE *out = stdout,
            std::FILE *err = stderr);

    // Connects, does what the request asks and returns the exit status.
    int run();
    // The reader of the output went away before all was written: the caller ends quietly.
    bool readerGone() const { return m_readerGone; }

private:
    enum class Phase { Connecting, Answering, Sending };

    void linkStateChanged(LinkState state) override;
    void showMessage(Message message) override;

    void timerFired();
    void step();
    void finish(int status);
    bool reportsComplete();
    void afterReports();
    void pushSoon(std::vector<std::pair<int, int>> changes);
    void startPush(std::vector<std::pair<int, int>> changes);
    std::vector<int> missing(const std::vector<int> &wireIds) const;
    bool print(const std::vector<int> &wireIds);
    QString openFailure() const;
    void say(const QString &text);

    Request m_request;
    std::FILE *m_out;
    std::FILE *m_err;
    SerialPort m_serial;
    PanelModel m_panel;
    Link m_link;
    PresetPush m_push;
    QTimer m_timer;
    TickGate m_gate;
    QEventLoop m_loop;
    QElapsedTimer m_clock;
    Phase m_phase = Phase::Connecting;
    std::vector<std::pair<int, int>> m_changes; // to push once the answer has left
    qint64 m_pushAt = 0;                        // ms on m_clock
    // The value byte of the last report accepted for each wire id, as it came.
    std::array<std::optional<int>, kParameterCount> m_values{};
    std::optional<qint64> m_onlineAt;       // ms on m_clock
    std::optional<qint64> m_acknowledgedAt; // the connect command acknowledged
    std::optional<qint64> m_lastHeard;      // the last tick that found bytes waiting
    std::optional<Message> m_openRefusal;   // why the port did not open
    std::optional<Message> m_linkFailure;   // what the link said when it failed
    int m_status = kDone;
    bool m_readerGone = false;
};

} // namespace qj::ctl
