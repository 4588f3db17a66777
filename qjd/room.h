#pragma once

#include "link/link.h"
#include "link/presetpush.h"
#include "link/serialport.h"
#include "link/tickgate.h"
#include "params/panelmodel.h"
#include "params/preset.h"
#include "qjd/config.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>

namespace qj::qjd {

// What a room's state reads as in the API.
enum class RoomState { Online, Connecting, Waiting };
const char *roomStateName(RoomState state);

// How a queued job ended.
struct JobResult
{
    enum class Kind {
        Done,
        GaveUp,     // the processor left a command unanswered: 504
        RoomFailed, // the device went away, the room was closed or the job was never started: 409
    };
    Kind kind = Kind::Done;
    std::vector<std::pair<int, int>> acknowledged; // (wire id, value), in the order sent
    QString reason;
};
using JobDone = std::function<void(const JobResult &)>;

// One room's processor, held online on the panel's engine as qj-ctl drives it: the serial port
// (the same port layer, a port number bound to the room's device), a model of the panel, the
// link and the preset push, ticked by a 1 ms timer that sleeps while the link is idle. A room
// that cannot open its device, is not answered or loses it is retried with a back-off and says
// why. Requests queue here in order and go out one at a time, each only once the one before it
// was acknowledged. Lives on the engine's thread.
class Room : public QObject, public LinkHost
{
public:
    static constexpr int kQueueLimit = 64; // jobs waiting or running; more is 503
    static constexpr std::chrono::milliseconds kFirstRetry{500};
    static constexpr std::chrono::milliseconds kLastRetry{10000}; // the back-off doubles to it
    // The processor completes a connection with 38 reports in about 1.3 s; a link that is still
    // connecting after this is tried afresh.
    static constexpr std::chrono::milliseconds kConnectLimit{5000};
    static constexpr int kPortNumber = 1; // the number the room's device is bound to

    // Every state change and every setting accepted, as the event's members without seq.
    using Publish = std::function<void(QJsonObject)>;

    Room(RoomConfig config, Publish publish, QObject *parent = nullptr);
    ~Room() override;

    const RoomConfig &config() const { return m_config; }
    RoomState state() const { return m_state; }
    QString reason() const { return m_reason; }
    bool muted() const;
    // The value byte the processor last reported or acknowledged for `wireId`.
    std::optional<int> reported(int wireId) const { return m_values.at(std::size_t(wireId)); }

    // Starts connecting (and keeps doing so).
    void start();
    // Closes the port and answers every job with RoomFailed `why`; the room stays closed.
    void close(const QString &why);

    // Jobs. False: the queue is full (nothing queued). Only while online.
    bool submitSettings(std::vector<std::pair<int, int>> changes, JobDone done);
    bool submitPreset(const Preset &preset, JobDone done);
    bool submitMuted(bool muted, JobDone done);
    int queued() const { return static_cast<int>(m_jobs.size()); }

    // The room as GET /rooms lists it, and with its settings as GET /rooms/{id} shows it.
    QJsonObject summary() const;
    QJsonObject details() const;
    // The settings as an object of names, null where not reported.
    QJsonObject settingsJson() const;

    // For the tests: the port layer under the room.
    SerialPort &serial() { return m_serial; }

private:
    struct Job
    {
        enum class Kind { Settings, Preset, Muted };
        Kind kind;
        std::vector<std::pair<int, int>> changes;
        Preset preset;
        bool muted = false;
        JobDone done;
    };

    void linkStateChanged(LinkState state) override;
    void showMessage(Message message) override;

    bool submit(Job job);
    void tick();
    void wake();
    void settle();
    void startJob();
    void finishJob(JobResult::Kind kind, const QString &why = {});
    void failAll(JobResult::Kind current, const QString &why);
    void tryConnect();
    void fail(const QString &why);
    void setState(RoomState state, const QString &why = {});
    void publishSetting(int wireId);
    std::vector<std::pair<int, int>> acknowledgedSoFar() const;

    RoomConfig m_config;
    Publish m_publish;
    SerialPort m_serial;
    PanelModel m_panel;
    Link m_link;
    PresetPush m_push;
    QTimer m_tick;
    QTimer m_retry;
    QTimer m_connectLimit;
    TickGate m_gate;
    RoomState m_state = RoomState::Waiting;
    QString m_reason;
    std::chrono::milliseconds m_backOff = kFirstRetry;
    std::optional<QString> m_failure; // told by the link, acted on once its call has returned
    bool m_gaveUp = false;            // the failure was a command given up
    bool m_closed = false;
    bool m_muteSent = false; // the running Muted job has issued its toggle
    std::array<std::optional<int>, kParameterCount> m_values{};
    std::deque<Job> m_jobs; // the front one runs once started
    bool m_running = false;
    bool m_lastMuted = false;
};

} // namespace qj::qjd
