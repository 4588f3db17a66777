#include "qjd/room.h"

#include "link/linklog.h"
#include "params/parametermap.h"

#include <QJsonValue>

#include <algorithm>

namespace qj::qjd {

const char *roomStateName(RoomState state)
{
    switch (state) {
    case RoomState::Online:
        return "online";
    case RoomState::Connecting:
        return "connecting";
    case RoomState::Waiting:
        return "waiting";
    }
    return "?";
}

namespace {

QString nameOf(int wireId)
{
    const std::string_view name = parameter(wireId).control;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

Room::Room(RoomConfig config, Publish publish, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_publish(std::move(publish)),
      m_link(m_serial, m_panel, *this), m_push(m_link)
{
    // Opened as qj-ctl opens a device: a port number bound to it.
    m_serial.bindings().bind(kPortNumber, m_config.device);
    m_panel.setChangeHandler([this](Control control) { m_link.controlChanged(control); });
    m_link.setLanguage(Language::English);
    m_link.decoder().setReportHook([this](std::uint8_t wireId, std::uint8_t value) {
        m_values.at(wireId) = value;
        publishSetting(wireId);
    });
    m_link.supervisor().setAcknowledgedHook([this](std::uint8_t cmdId, std::uint8_t value) {
        const int wireId = cmdId - 1;
        if (wireId == wire::kStatus) {
            if (value == wire::kMuteValue)
                publishSetting(wire::kStatus);
            return; // the connect command
        }
        m_values.at(static_cast<std::size_t>(wireId)) = value;
        publishSetting(wireId);
    });
    m_link.transmitter().addSendHook([this](const frame::Frame &) { wake(); });
    connect(&m_serial, &SerialPort::readyRead, this, &Room::wake);
    connect(&m_serial, &SerialPort::lost, this, [this] {
        m_link.deviceLost();
        settle();
    });

    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(1);
    connect(&m_tick, &QTimer::timeout, this, &Room::tick);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &Room::tryConnect);
    m_connectLimit.setSingleShot(true);
    m_connectLimit.setInterval(kConnectLimit);
    connect(&m_connectLimit, &QTimer::timeout, this, [this] {
        if (m_state != RoomState::Connecting)
            return;
        m_failure = QStringLiteral("the processor did not complete the connection");
        settle();
    });
    m_link.OffLineStatus(); // the panel's start-up
}

Room::~Room()
{
    m_closed = true;
    m_link.disconnect();
}

bool Room::muted() const
{
    return m_panel.muteColour() == ButtonColour::Red;
}

void Room::start()
{
    m_closed = false;
    tryConnect();
}

void Room::close(const QString &why)
{
    m_closed = true;
    m_retry.stop();
    m_connectLimit.stop();
    m_push.abandon();
    failAll(JobResult::Kind::RoomFailed, why);
    m_link.disconnect(); // the port closed, its lock file gone
    m_tick.stop();
}

void Room::tryConnect()
{
    if (m_closed)
        return;
    m_values.fill(std::nullopt);
    m_link.connect(kPortNumber);
    // A network device's open goes on after connect() returns; its end comes as a message.
    const bool opened = m_serial.portOpen() || m_serial.portOpening();
    if (!opened && !m_failure)
        m_failure = QStringLiteral("the device could not be opened");
    if (opened && !m_failure) {
        setState(RoomState::Connecting);
        m_connectLimit.start();
        wake();
    }
    settle();
}

void Room::linkStateChanged(LinkState state)
{
    if (m_closed)
        return;
    if (state == LinkState::Online) {
        m_connectLimit.stop();
        m_backOff = kFirstRetry;
        setState(RoomState::Online);
    }
}

void Room::showMessage(Message message)
{
    if (m_closed || m_failure)
        return;
    const QString device = m_config.device;
    const QString why = m_serial.lastErrorText();
    switch (message) {
    case Message::SendFailed:
        // A give-up leaves the port open; a refused write has closed it.
        m_gaveUp = m_serial.portOpen();
        if (!m_gaveUp)
            m_failure = QStringLiteral("the device refused a write (%1)").arg(why);
        else if (m_state == RoomState::Online)
            m_failure = QStringLiteral("the processor stopped answering: a command went "
                                       "unanswered %1 times")
                            .arg(Transmitter::kTransmissions);
        else
            m_failure = QStringLiteral("no answer from the processor: the connect command went "
                                       "unanswered %1 times")
                            .arg(Transmitter::kTransmissions);
        return;
    case Message::DeviceOffline:
        m_failure = QStringLiteral("the device went away");
        return;
    case Message::PortInvalid:
        m_failure = QStringLiteral("the device %1 is missing").arg(device);
        return;
    case Message::PortAlreadyOpen:
    case Message::PortInUse:
        m_failure =
            QStringLiteral("the device %1 is in use by another program (%2)").arg(device, why);
        return;
    case Message::AccessDenied:
        m_failure = QStringLiteral("this user may not open the device %1").arg(device);
        return;
    case Message::NoPort:
    case Message::SelectPort:
        m_failure = QStringLiteral("the device %1 could not be opened (%2)").arg(device, why);
        return;
    case Message::ConnectFailed:
        // Told after connect() returned, while the tick may sleep: wake it to settle.
        m_failure = networkProblemText(m_serial.networkProblem(), Language::English, TextUse::Line);
        wake();
        return;
    }
}

void Room::wake()
{
    if (m_closed || m_tick.isActive())
        return;
    m_tick.start();
}

void Room::tick()
{
    if (!m_gate.admit(TickGate::Clock::now()))
        return; // it crowds a late tick (see TickGate)
    m_link.tick();
    if (m_running && !m_failure) {
        if (m_jobs.front().kind == Job::Kind::Muted) {
            if (m_muteSent && !m_link.commandPending() && m_link.online())
                finishJob(JobResult::Kind::Done);
        } else {
            switch (m_push.poll()) {
            case PresetPush::State::Done:
                finishJob(JobResult::Kind::Done);
                break;
            case PresetPush::State::Stopped:
                if (!m_failure)
                    m_failure = QStringLiteral("the link went offline");
                break;
            case PresetPush::State::Running:
            case PresetPush::State::Idle:
                break;
            }
        }
    }
    settle();
    if (m_link.idle() && !m_running)
        m_tick.stop(); // until a byte arrives or a command goes out
}

void Room::settle()
{
    if (m_failure) {
        const QString why = *m_failure;
        m_failure.reset();
        fail(why);
        return;
    }
    while (!m_running && !m_jobs.empty() && m_state == RoomState::Online &&
           !m_link.commandPending() && !m_failure)
        startJob();
    if (m_failure)
        settle();
}

bool Room::submit(Job job)
{
    if (static_cast<int>(m_jobs.size()) >= kQueueLimit)
        return false;
    m_jobs.push_back(std::move(job));
    settle();
    return true;
}

bool Room::submitSettings(std::vector<std::pair<int, int>> changes, JobDone done)
{
    Job job{Job::Kind::Settings, std::move(changes), {}, false, std::move(done)};
    return submit(std::move(job));
}

bool Room::submitPreset(const Preset &preset, JobDone done)
{
    return submit(Job{Job::Kind::Preset, {}, preset, false, std::move(done)});
}

bool Room::submitMuted(bool muted, JobDone done)
{
    return submit(Job{Job::Kind::Muted, {}, {}, muted, std::move(done)});
}

void Room::startJob()
{
    Job &job = m_jobs.front();
    m_running = true;
    m_muteSent = false;
    switch (job.kind) {
    case Job::Kind::Muted:
        if (muted() == job.muted) {
            finishJob(JobResult::Kind::Done); // a retried request flips nothing twice
            return;
        }
        m_link.buttons().Mute_Click();
        m_muteSent = true;
        wake();
        return;
    case Job::Kind::Settings: {
        // The model shows what is sent, as the panel shows a control the user moved.
        Preset shown = capturePreset(m_panel);
        for (const auto &[wireId, value] : job.changes)
            if (inPreset(wireId))
                shown.values[static_cast<std::size_t>(wireId)] = value;
        applyPreset(m_panel, shown);
        break;
    }
    case Job::Kind::Preset:
        // What the panel's preset push sends: the settings that differ from what it shows.
        job.changes = presetChanges(capturePreset(m_panel), job.preset);
        applyPreset(m_panel, job.preset);
        break;
    }
    switch (m_push.start(job.changes)) {
    case PresetPush::State::Done:
        finishJob(JobResult::Kind::Done);
        return;
    case PresetPush::State::Stopped:
        if (!m_failure)
            m_failure = QStringLiteral("the link went offline");
        return;
    case PresetPush::State::Running:
    case PresetPush::State::Idle:
        wake();
        return;
    }
}

std::vector<std::pair<int, int>> Room::acknowledgedSoFar() const
{
    if (!m_running || m_jobs.empty())
        return {};
    const Job &job = m_jobs.front();
    if (job.kind == Job::Kind::Muted)
        return {};
    const auto count = static_cast<std::size_t>(std::max(0, m_push.acknowledged()));
    return {job.changes.begin(),
            job.changes.begin() + static_cast<std::ptrdiff_t>(std::min(count, job.changes.size()))};
}

void Room::finishJob(JobResult::Kind kind, const QString &why)
{
    JobResult result{kind, acknowledgedSoFar(), why};
    if (kind == JobResult::Kind::Done && !m_jobs.empty())
        result.acknowledged = m_jobs.front().changes;
    JobDone done = std::move(m_jobs.front().done);
    m_jobs.pop_front();
    m_running = false;
    m_muteSent = false;
    if (done)
        done(result);
}

void Room::failAll(JobResult::Kind current, const QString &why)
{
    if (m_running)
        finishJob(current, why);
    std::deque<Job> waiting;
    waiting.swap(m_jobs);
    for (Job &job : waiting)
        if (job.done)
            job.done(JobResult{JobResult::Kind::RoomFailed, {}, why});
}

void Room::fail(const QString &why)
{
    qCInfo(lcLink, "room %s: %s; again in %lld ms", qPrintable(m_config.id), qPrintable(why),
           static_cast<long long>(m_backOff.count()));
    m_push.abandon();
    const bool gaveUp = m_gaveUp;
    m_gaveUp = false;
    failAll(gaveUp ? JobResult::Kind::GaveUp : JobResult::Kind::RoomFailed, why);
    m_connectLimit.stop();
    const bool wasClosed = m_closed;
    m_closed = true; // the disconnect's own reports are not news
    m_link.disconnect();
    m_closed = wasClosed;
    m_failure.reset();
    setState(RoomState::Waiting, why);
    if (m_closed)
        return;
    m_retry.start(m_backOff);
    m_backOff = std::min(m_backOff * 2, kLastRetry);
}

void Room::setState(RoomState state, const QString &why)
{
    if (state == m_state && why == m_reason)
        return;
    m_state = state;
    m_reason = why;
    QJsonObject event{{QStringLiteral("room"), m_config.id},
                      {QStringLiteral("state"), QString::fromLatin1(roomStateName(state))},
                      {QStringLiteral("reason"), why.isEmpty() ? QJsonValue() : QJsonValue(why)}};
    if (m_publish)
        m_publish(event);
}

void Room::publishSetting(int wireId)
{
    if (!m_publish)
        return;
    if (wireId == wire::kStatus) {
        const bool now = muted();
        if (now == m_lastMuted)
            return;
        m_lastMuted = now;
        m_publish(
            QJsonObject{{QStringLiteral("room"), m_config.id}, {QStringLiteral("muted"), now}});
        return;
    }
    const std::optional<int> &v = m_values.at(static_cast<std::size_t>(wireId));
    m_publish(QJsonObject{{QStringLiteral("room"), m_config.id},
                          {QStringLiteral("settings"),
                           QJsonObject{{nameOf(wireId), v ? QJsonValue(*v) : QJsonValue()}}}});
}

QJsonObject Room::summary() const
{
    return QJsonObject{
        {QStringLiteral("id"), m_config.id},
        {QStringLiteral("name"), m_config.name.isEmpty() ? m_config.id : m_config.name},
        {QStringLiteral("device"), m_config.device},
        {QStringLiteral("state"), QString::fromLatin1(roomStateName(m_state))},
        {QStringLiteral("reason"), m_reason.isEmpty() ? QJsonValue() : QJsonValue(m_reason)}};
}

QJsonObject Room::settingsJson() const
{
    QJsonObject settings;
    for (int id = 1; id < kParameterCount; ++id) {
        const std::optional<int> &v = m_values.at(static_cast<std::size_t>(id));
        settings.insert(nameOf(id), v ? QJsonValue(*v) : QJsonValue());
    }
    return settings;
}

QJsonObject Room::details() const
{
    QJsonObject out = summary();
    out.insert(QStringLiteral("muted"), muted());
    out.insert(QStringLiteral("settings"), settingsJson());
    return out;
}

} // namespace qj::qjd
