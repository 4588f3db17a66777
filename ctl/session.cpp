#include "ctl/session.h"

#include "ctl/output.h"
#include "link/connection.h"
#include "params/levellimits.h"
#include "params/presetfile.h"

#include <QStringList>

namespace qj::ctl {

namespace {

// One line for a terminal: the panel's message boxes break their texts with CR LF.
QString oneLine(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String(" ")).simplified();
}

QString names(const std::vector<int> &wireIds)
{
    QStringList out;
    for (const int id : wireIds)
        out << parameterName(id);
    return out.join(QLatin1String(", "));
}

} // namespace

Session::Session(const Request &request, PortBindings bindings, std::FILE *out, std::FILE *err)
    : m_request(request), m_out(out), m_err(err), m_link(m_serial, m_panel, *this), m_push(m_link)
{
    m_serial.bindings() = std::move(bindings);
    if (!m_request.device.isEmpty())
        m_serial.bindings().bind(m_request.port, m_request.device);
    m_panel.setChangeHandler([this](Control control) { m_link.controlChanged(control); });
    m_link.setLanguage(Language::English);
    m_link.decoder().setReportHook([this](std::uint8_t wireId, std::uint8_t value) {
        // A wire id beyond the table is answered and changes nothing, as on the panel.
        if (wireId < m_values.size())
            m_values[wireId] = value;
    });
    m_link.supervisor().setAcknowledgedHook([this](std::uint8_t cmdId, std::uint8_t) {
        if (cmdId == Connection::kConnectCmdId && !m_acknowledgedAt)
            m_acknowledgedAt = m_lastHeard = m_clock.elapsed();
    });
    connect(&m_serial, &SerialPort::lost, this, [this] { m_link.deviceLost(); });

    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &Session::timerFired);
    m_link.OffLineStatus(); // the panel's start-up
}

int Session::run()
{
    m_clock.start();
    m_link.connect(m_request.port);
    if (!m_serial.portOpen() && !m_serial.portOpening()) {
        say(openFailure());
        return kLinkFailed;
    }
    m_timer.start();
    m_loop.exec();
    m_timer.stop();
    m_link.disconnect();
    return m_status;
}

void Session::linkStateChanged(LinkState state)
{
    if (state == LinkState::Online && !m_onlineAt)
        m_onlineAt = m_clock.elapsed();
}

void Session::showMessage(Message message)
{
    switch (message) {
    case Message::PortInvalid:
    case Message::PortAlreadyOpen:
    case Message::PortInUse:
    case Message::AccessDenied:
        m_openRefusal = message; // told with the device's name once the connect has returned
        return;
    case Message::ConnectFailed:
        m_openRefusal = message; // a network device's open, which ended later
        if (!m_linkFailure)
            m_linkFailure = message;
        return;
    case Message::SendFailed:
    case Message::DeviceOffline:
    default:
        if (!m_linkFailure)
            m_linkFailure = message;
        return;
    }
}

QString Session::openFailure() const
{
    if (m_openRefusal == Message::ConnectFailed)
        return networkProblemText(m_serial.networkProblem(), Language::English, TextUse::Line);
    const QString device = m_serial.deviceName();
    if (m_openRefusal == Message::AccessDenied)
        return oneLine(messageText(Message::AccessDenied, Language::English, device));
    QString why = m_serial.lastErrorText();
    if (m_openRefusal == Message::PortInUse || m_openRefusal == Message::PortAlreadyOpen)
        why = QStringLiteral("it is in use by another program (%1)").arg(why);
    else if (why.isEmpty())
        why = QStringLiteral("it could not be opened");
    return QStringLiteral("cannot open the serial port %1: %2").arg(device, why);
}

void Session::timerFired()
{
    if (!m_gate.admit(TickGate::Clock::now()))
        return; // it crowds a late tick (see TickGate)
    if (m_serial.inBufferCount() != 0)
        m_lastHeard = m_clock.elapsed(); // the processor is still talking, refused or not
    m_link.tick();
    step();
}

void Session::step()
{
    if (m_linkFailure) {
        const QString device = m_serial.deviceName();
        if (*m_linkFailure == Message::ConnectFailed)
            say(openFailure());
        else if (*m_linkFailure == Message::DeviceOffline)
            say(QStringLiteral("the device %1 went away").arg(device));
        else if (m_phase != Phase::Sending)
            say(QStringLiteral("no answer from the processor on %1: the connect command went "
                               "unanswered %2 times")
                    .arg(device)
                    .arg(Transmitter::kTransmissions));
        else
            say(QStringLiteral("the processor on %1 stopped answering: a setting went "
                               "unanswered %2 times; %3 of %4 settings were acknowledged")
                    .arg(device)
                    .arg(Transmitter::kTransmissions)
                    .arg(m_push.acknowledged())
                    .arg(m_push.total()));
        finish(kLinkFailed);
        return;
    }
    switch (m_phase) {
    case Phase::Connecting:
        if (reportsComplete())
            afterReports();
        return;
    case Phase::Answering:
        if (m_clock.elapsed() >= m_pushAt)
            startPush(std::move(m_changes));
        return;
    case Phase::Sending:
        switch (m_push.poll()) {
        case PresetPush::State::Done:
            finish(kDone);
            return;
        case PresetPush::State::Stopped:
            m_linkFailure = Message::SendFailed; // told on the next look
            return;
        case PresetPush::State::Running:
        case PresetPush::State::Idle:
            return;
        }
    }
}

void Session::finish(int status)
{
    m_status = status;
    m_timer.stop();
    m_loop.quit();
}

bool Session::reportsComplete()
{
    if (m_values[wire::kRunMode])
        return true;
    const qint64 now = m_clock.elapsed();
    if (m_onlineAt)
        return now - *m_onlineAt >= kReportsWaitMs;
    // Never online: the processor acknowledged and then fell silent, or its reports of ids 36
    // and 37 were lost. Noise on the line may keep it from ever falling quiet.
    if (!m_acknowledgedAt || m_link.commandPending())
        return false;
    return now - *m_lastHeard >= kReportsWaitMs || now - *m_acknowledgedAt >= kReportsMostMs;
}

std::vector<int> Session::missing(const std::vector<int> &wireIds) const
{
    std::vector<int> out;
    for (const int id : wireIds)
        if (!m_values.at(static_cast<std::size_t>(id)))
            out.push_back(id);
    return out;
}

void Session::afterReports()
{
    switch (m_request.command) {
    case Request::Command::Get: {
        std::vector<int> ids = m_request.names;
        if (ids.empty())
            for (int id = 0; id < kParameterCount; ++id)
                ids.push_back(id);
        if (!print(ids))
            return;
        const std::vector<int> lost = missing(ids);
        if (!lost.empty())
            say(QStringLiteral("not reported: %1").arg(names(lost)));
        finish(lost.empty() ? kDone : kReportsMissing);
        return;
    }
    case Request::Command::Save: {
        if (const std::vector<int> lost = missing(presetIds()); !lost.empty()) {
            say(QStringLiteral("%1 not saved: not reported: %2").arg(m_request.file, names(lost)));
            finish(kReportsMissing);
            return;
        }
        if (const FileProblem problem =
                PresetFile::write(m_request.file, writePreset(capturePreset(m_panel)))) {
            say(oneLine(saveFailedText(m_request.file, problem, Language::English)));
            finish(kUnwritten);
            return;
        }
        finish(kDone);
        return;
    }
    case Request::Command::Set: {
        if (!m_link.online()) {
            say(QStringLiteral("nothing sent: the processor did not complete the connection "
                               "(not reported: %1)")
                    .arg(names(missing(std::vector<int>{wire::kBgmVolume, wire::kRunMode}))));
            finish(kReportsMissing);
            return;
        }
        if (refusedAboveLimit(m_request.settings))
            return;
        // The model shows what is sent, as the panel shows a control the user moved.
        Preset shown = capturePreset(m_panel);
        for (const auto &[wireId, value] : m_request.settings)
            if (inPreset(wireId))
                shown.values[static_cast<std::size_t>(wireId)] = value;
        applyPreset(m_panel, shown);
        pushSoon(m_request.settings);
        return;
    }
    case Request::Command::Load: {
        if (const std::vector<int> lost = missing(presetIds()); !lost.empty() || !m_link.online()) {
            say(QStringLiteral("%1 not loaded, nothing sent: not reported: %2")
                    .arg(m_request.file, names(lost)));
            finish(kReportsMissing);
            return;
        }
        // What the panel's "打开文件" sends: the settings that differ from what it shows.
        std::vector<std::pair<int, int>> levels;
        for (const LevelLimit &l : kLevelLimits)
            levels.emplace_back(l.level,
                                m_request.preset.values[static_cast<std::size_t>(l.level)]);
        if (refusedAboveLimit(levels))
            return;
        std::vector<std::pair<int, int>> changes =
            presetChanges(capturePreset(m_panel), m_request.preset);
        applyPreset(m_panel, m_request.preset);
        pushSoon(std::move(changes));
        return;
    }
    case Request::Command::Help:
    case Request::Command::Version:
        finish(kDone);
        return;
    }
}

bool Session::refusedAboveLimit(const std::vector<std::pair<int, int>> &settings)
{
    // The processor refuses a master level above the limit it reported: nothing is sent.
    for (const auto &[wireId, value] : settings) {
        const std::optional<int> limit = limitOf(wireId);
        const std::optional<int> reported =
            limit ? m_values.at(static_cast<std::size_t>(*limit)) : std::nullopt;
        if (reported && value > *reported) {
            say(QStringLiteral("nothing sent: %1=%2 is above the limit the processor reported "
                               "(%3 %4)")
                    .arg(parameterName(wireId))
                    .arg(value)
                    .arg(parameterName(*limit))
                    .arg(*reported));
            finish(kBadInput);
            return true;
        }
    }
    return false;
}

void Session::pushSoon(std::vector<std::pair<int, int>> changes)
{
    m_phase = Phase::Answering;
    m_changes = std::move(changes);
    m_pushAt = m_clock.elapsed() + kAnswerLeavesMs;
}

void Session::startPush(std::vector<std::pair<int, int>> changes)
{
    m_phase = Phase::Sending;
    switch (m_push.start(std::move(changes))) {
    case PresetPush::State::Done:
        finish(kDone);
        return;
    case PresetPush::State::Stopped:
        if (!m_linkFailure)
            m_linkFailure = Message::SendFailed;
        step();
        return;
    case PresetPush::State::Running:
    case PresetPush::State::Idle:
        return;
    }
}

// Whether the output took the lines; if not, the session is finished here.
bool Session::print(const std::vector<int> &wireIds)
{
    QString text;
    if (m_request.json) {
        QStringList members;
        for (const int id : wireIds) {
            const std::optional<int> &v = m_values.at(static_cast<std::size_t>(id));
            members << QStringLiteral("\"%1\": %2")
                           .arg(parameterName(id),
                                v ? QString::number(*v) : QStringLiteral("null"));
        }
        text = QLatin1Char('{') + members.join(QLatin1String(", ")) + QLatin1String("}\n");
    } else {
        for (const int id : wireIds) {
            const std::optional<int> &v = m_values.at(static_cast<std::size_t>(id));
            text += QStringLiteral("%1 %2\n").arg(parameterName(id),
                                                  v ? QString::number(*v) : QStringLiteral("-"));
        }
    }
    const Written written = writeOut(m_out, text.toUtf8());
    switch (written.outcome) {
    case Written::Done:
        return true;
    case Written::ReaderGone:
        m_readerGone = true;
        finish(kDone);
        return false;
    case Written::Failed:
        say(unwrittenText(QStringLiteral("the values to the standard output"), written.error));
        finish(kUnwritten);
        return false;
    }
    return false;
}

void Session::say(const QString &text)
{
    std::fprintf(m_err, "qj-ctl: %s\n", qPrintable(text));
    std::fflush(m_err);
}

} // namespace qj::ctl
