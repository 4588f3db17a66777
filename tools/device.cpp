#include "tools/device.h"

#include <algorithm>

namespace qj::sim {

namespace {

using Kind = DeviceEvent::Kind;

void earliest(std::optional<Micros> &best, std::optional<Micros> candidate)
{
    if (candidate && (!best || *candidate < *best))
        best = candidate;
}

bool accepts(int wireId, int value)
{
    return wireId >= 0 && wireId < kParameterCount && isSendable(wireId, value);
}

// The front panel may also unmute and set the limits, which no command can.
bool settable(int wireId, int value)
{
    if (wireId == wire::kStatus)
        return value == 0 || value == wire::kMuteValue;
    if (wireId == wire::kMaxMusicVolume || wireId == wire::kMaxMicVolume) {
        const Parameter &p = parameter(wireId);
        return value >= p.min && value <= p.max;
    }
    return accepts(wireId, value);
}

} // namespace

Device::Device(Config config)
    : m_in(config.pacing), m_out(config.pacing),
      m_reader(config.pacing ? CommandReader::kPacedQuietGap : CommandReader::kUnpacedQuietGap),
      m_global(factorySettings(0)), m_rng(config.seed)
{
    for (int slot = 0; slot < kUserSlots; ++slot)
        m_slots[slot] = factorySettings(slot);
}

void Device::receive(std::span<const std::uint8_t> bytes, Micros now)
{
    if (m_unplugged)
        return;
    for (std::uint8_t b : bytes)
        m_inbox.push_back({b, m_in.pass(now)});
}

void Device::advance(Micros now)
{
    while (!m_unplugged) {
        const std::optional<Micros> t = nextEvent();
        if (!t || *t > now)
            return;
        step(*t);
    }
}

std::optional<Micros> Device::nextWake() const
{
    if (m_unplugged)
        return std::nullopt;
    std::optional<Micros> t = nextEvent();
    if (const auto end = firstUnitEnd(); end != m_outbox.end())
        earliest(t, end->due);
    return t;
}

std::deque<Device::Outgoing>::const_iterator Device::firstUnitEnd() const
{
    return std::find_if(m_outbox.begin(), m_outbox.end(),
                        [](const Outgoing &out) { return out.unitEnd; });
}

void Device::takeDue(Micros now, std::vector<std::uint8_t> &into)
{
    // What one send queued (a frame, an answer, a burst of noise) is written at once, when its
    // last byte has crossed the line: a real line never pauses inside a frame, but a processor
    // kept off the CPU between two writes would, and the panel would take half a frame.
    for (auto end = firstUnitEnd(); end != m_outbox.end() && end->due <= now;
         end = firstUnitEnd()) {
        const Outgoing out = m_outbox.front();
        m_outbox.pop_front();
        into.push_back(out.byte);
        if (out.mark == Mark::Answer) {
            --m_answersUnsent;
            holdAtLeast(now + kSettleGap);
        } else if (out.mark == Mark::ReportEnd && m_inFlight) {
            m_inFlight->deadline = now + kReplyTimeout;
        }
    }
}

void Device::takeEvents(std::vector<DeviceEvent> &into)
{
    into.insert(into.end(), m_events.begin(), m_events.end());
    m_events.clear();
}

std::uint8_t Device::value(int wireId) const
{
    if (wireId == wire::kStatus)
        return m_muted ? wire::kMuteValue : 0;
    if (isSlotParameter(wireId))
        return m_slots[userMode()][wireId];
    return m_global.at(wireId);
}

Settings Device::values() const
{
    Settings s{};
    for (int id = 0; id < kParameterCount; ++id)
        s[id] = value(id);
    return s;
}

bool Device::set(int wireId, int value, Micros now)
{
    if (!settable(wireId, value))
        return false;
    holdAtLeast(now);
    const auto v = static_cast<std::uint8_t>(value);
    if (wireId == wire::kStatus)
        m_muted = v == wire::kMuteValue;
    else if (wireId == wire::kRunMode)
        recall(v);
    else if (isSlotParameter(wireId))
        m_slots[userMode()][wireId] = v;
    else
        m_global[wireId] = v;
    enqueue(static_cast<std::uint8_t>(wireId));
    return true;
}

bool Device::report(int wireId, Micros now)
{
    if (wireId < 0 || wireId >= kParameterCount)
        return false;
    holdAtLeast(now);
    enqueue(static_cast<std::uint8_t>(wireId));
    return true;
}

void Device::setFault(Fault fault, int arg, Micros now)
{
    switch (fault) {
    case Fault::NoAck:
    case Fault::Nak:
    case Fault::AckAfter:
        // One answer policy at a time: the last one chosen wins.
        m_answer = fault == Fault::NoAck ? Answer::NoAck
                   : fault == Fault::Nak ? Answer::Nak
                                         : Answer::AckAfter;
        m_ackAfter = arg;
        m_lastHeard.reset();
        m_repeats = 0;
        break;
    case Fault::Noise:
        m_noise = true;
        m_noiseAt = now + noiseGap();
        break;
    case Fault::Corrupt:
        m_corruptEvery = std::max(arg, 1);
        m_corruptCount = 0;
        break;
    case Fault::Double:
        m_double = true;
        break;
    case Fault::Unplug:
        if (arg <= 0)
            unplug(now);
        else
            m_unplugAt = now + std::chrono::milliseconds(arg);
        break;
    }
}

void Device::clearFault(Fault fault)
{
    switch (fault) {
    case Fault::NoAck:
    case Fault::Nak:
    case Fault::AckAfter:
        m_answer = Answer::Normal;
        break;
    case Fault::Noise:
        m_noise = false;
        break;
    case Fault::Corrupt:
        m_corruptEvery = 0;
        break;
    case Fault::Double:
        m_double = false;
        break;
    case Fault::Unplug:
        m_unplugAt.reset();
        break;
    }
}

void Device::clearFaults()
{
    for (const FaultInfo &f : faultTable())
        clearFault(f.fault);
}

std::vector<FaultSetting> Device::faults() const
{
    std::vector<FaultSetting> on;
    if (m_answer == Answer::NoAck)
        on.push_back({Fault::NoAck, 0});
    if (m_answer == Answer::Nak)
        on.push_back({Fault::Nak, 0});
    if (m_answer == Answer::AckAfter)
        on.push_back({Fault::AckAfter, m_ackAfter});
    if (m_noise)
        on.push_back({Fault::Noise, 0});
    if (m_corruptEvery > 0)
        on.push_back({Fault::Corrupt, m_corruptEvery});
    if (m_double)
        on.push_back({Fault::Double, 0});
    if (m_unplugAt)
        on.push_back({Fault::Unplug, 0});
    return on;
}

void Device::unplug(Micros now)
{
    if (m_unplugged)
        return;
    m_unplugged = true;
    m_unplugAt.reset();
    m_inbox.clear();
    m_outbox.clear();
    m_answersUnsent = 0;
    m_reader.reset();
    m_queue.clear();
    m_inFlight.reset();
    note(Kind::Unplugged, now);
}

void Device::plug(Micros now)
{
    if (!m_unplugged)
        return;
    m_unplugged = false;
    m_in.reset(now);
    m_out.reset(now);
    m_holdUntil = now;
    if (m_noise)
        m_noiseAt = now + noiseGap();
    note(Kind::Plugged, now);
}

void Device::setPacing(bool paced)
{
    m_in.setPaced(paced);
    m_out.setPaced(paced);
    m_reader.setQuietGap(paced ? CommandReader::kPacedQuietGap : CommandReader::kUnpacedQuietGap);
}

std::optional<Micros> Device::nextEvent() const
{
    std::optional<Micros> t;
    earliest(t, m_unplugAt);
    if (!m_inbox.empty())
        earliest(t, m_inbox.front().at);
    earliest(t, m_reader.deadline());
    if (m_inFlight)
        earliest(t, m_inFlight->deadline);
    earliest(t, reportDue());
    if (m_noise)
        earliest(t, m_noiseAt);
    return t;
}

std::optional<Micros> Device::reportDue() const
{
    // An open frame may be a reply or the start of a command: wait until it is decided.
    if (m_inFlight || m_queue.empty() || m_reader.frameOpen() || m_answersUnsent > 0)
        return std::nullopt;
    return m_holdUntil;
}

// Handles the one thing due at `t`. When several are due at once, bytes that have arrived come
// before the decisions that depend on them, and sending comes last.
void Device::step(Micros t)
{
    if (m_unplugAt && *m_unplugAt == t) {
        unplug(t);
        return;
    }
    if (!m_inbox.empty() && m_inbox.front().at == t) {
        const std::uint8_t b = m_inbox.front().byte;
        m_inbox.pop_front();
        m_reader.push(b, t, m_pieces);
        handlePieces(t);
        return;
    }
    if (m_reader.deadline() == t) {
        m_reader.expire(t, m_pieces);
        handlePieces(t);
        return;
    }
    if (m_inFlight && m_inFlight->deadline == t) {
        finishReports(Kind::ReplyTimedOut, t);
        return;
    }
    if (reportDue() == t) {
        sendReports(t);
        return;
    }
    if (m_noise && m_noiseAt == t)
        sendNoise(t);
}

void Device::handlePieces(Micros t)
{
    for (const CommandReader::Piece &piece : m_pieces) {
        if (piece.kind != CommandReader::Kind::Single) {
            handleCommand(piece, t);
            continue;
        }
        const std::uint8_t b = piece.bytes[0];
        if (m_inFlight && (b == frame::kAccept || b == frame::kReject)) {
            finishReports(b == frame::kAccept ? Kind::ReplyAccepted : Kind::ReplyRejected, t);
            holdAtLeast(piece.at + kReplySettle);
        } else {
            note(Kind::Stray, t, 0, b);
        }
    }
    m_pieces.clear();
}

void Device::handleCommand(const CommandReader::Piece &piece, Micros t)
{
    const frame::Frame &f = piece.bytes;
    const std::uint8_t id = f[1];
    const std::uint8_t value = f[2];
    const bool garbled = piece.kind == CommandReader::Kind::Garbled;

    if (m_answer == Answer::NoAck) {
        note(Kind::CommandIgnored, t, id, value);
        return;
    }
    if (m_answer == Answer::AckAfter && !garbled) {
        // The panel repeats the same four bytes; anything else is a new command.
        if (m_lastHeard == f) {
            ++m_repeats;
        } else {
            m_lastHeard = f;
            m_repeats = 0;
        }
        if (m_repeats < m_ackAfter) {
            note(Kind::CommandIgnored, t, id, value);
            return;
        }
        m_lastHeard.reset();
    }

    // The panel is busy with its command: the report in flight, if any, was taken for the
    // acknowledgement or its reply was thrown away. It goes out again once the panel is idle.
    interruptReports(t);

    if (garbled) {
        answer(frame::kReject, t);
        note(Kind::CommandGarbled, t, id, value);
    } else if (m_answer == Answer::Nak || !accepts(id, value)) {
        answer(frame::kReject, t);
        note(Kind::CommandRefused, t, id, value);
    } else {
        answer(frame::kAck, t);
        note(Kind::CommandAcked, t, id, value);
        apply(id, value, t);
    }
}

void Device::apply(std::uint8_t wireId, std::uint8_t value, Micros t)
{
    holdAtLeast(t);
    if (wireId == wire::kStatus) {
        if (value == wire::kConnectValue) {
            // The panel announces itself: report everything, in ascending order.
            m_queue.clear();
            for (int id = 0; id < kParameterCount; ++id)
                m_queue.push_back(static_cast<std::uint8_t>(id));
            return;
        }
        m_muted = !m_muted;
        // The panel paints Mute red on a report of 10; nothing it could show follows an unmute.
        if (m_muted)
            enqueue(wire::kStatus);
        return;
    }
    if (wireId == wire::kRunMode) {
        recall(value);
        return;
    }
    m_slots[userMode()][wireId] = value;
}

void Device::recall(int slot)
{
    m_global[wire::kRunMode] = static_cast<std::uint8_t>(slot);
    for (int id = 0; id < kParameterCount; ++id)
        if (isSlotParameter(id))
            enqueue(static_cast<std::uint8_t>(id));
    enqueue(wire::kRunMode);
}

void Device::enqueue(std::uint8_t wireId)
{
    if (std::find(m_queue.begin(), m_queue.end(), wireId) == m_queue.end())
        m_queue.push_back(wireId);
}

void Device::sendReports(Micros t)
{
    // Under the double fault a second report follows the first without waiting for a reply;
    // with nothing else queued, the same report goes twice.
    std::uint8_t ids[2] = {m_queue.front(), m_queue.front()};
    int frames = 1;
    int reports = 1;
    if (m_double) {
        frames = 2;
        if (m_queue.size() > 1) {
            ids[1] = m_queue[1];
            reports = 2;
        }
    }
    for (int i = 0; i < frames; ++i) {
        frame::Frame f = frame::make(ids[i], value(ids[i]));
        const bool corrupt = m_corruptEvery > 0 && ++m_corruptCount % m_corruptEvery == 0;
        if (corrupt)
            ++f[3];
        note(corrupt ? Kind::ReportCorrupted : Kind::ReportSent, t, f[1], f[2]);
        send(f, t, i == frames - 1 ? Mark::ReportEnd : Mark::None);
    }
    m_inFlight = InFlight{std::nullopt, reports};
}

void Device::finishReports(DeviceEvent::Kind kind, Micros t)
{
    note(kind, t, m_queue.front());
    for (int i = 0; i < m_inFlight->reports && !m_queue.empty(); ++i)
        m_queue.pop_front();
    m_inFlight.reset();
    holdAtLeast(t);
}

void Device::interruptReports(Micros t)
{
    if (!m_inFlight)
        return;
    note(Kind::ReportInterrupted, t, m_queue.front());
    m_inFlight.reset();
}

void Device::answer(std::uint8_t byte, Micros t)
{
    const std::uint8_t bytes[] = {byte};
    ++m_answersUnsent;
    holdAtLeast(send(bytes, t, Mark::Answer) + kSettleGap);
}

void Device::sendNoise(Micros t)
{
    std::uniform_int_distribution<int> count(1, kNoiseMaxBytes);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> burst(static_cast<std::size_t>(count(m_rng)));
    for (std::uint8_t &b : burst)
        b = static_cast<std::uint8_t>(byte(m_rng));
    note(Kind::Noise, t, 0, static_cast<std::uint8_t>(burst.size()));
    send(burst, t);
    m_noiseAt = t + noiseGap();
}

Micros Device::send(std::span<const std::uint8_t> bytes, Micros t, Mark last)
{
    Micros due = t;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        due = m_out.pass(t);
        const bool end = i + 1 == bytes.size();
        m_outbox.push_back({bytes[i], due, end ? last : Mark::None, end});
    }
    return due;
}

Micros Device::noiseGap()
{
    std::uniform_int_distribution<long long> gap(kNoiseGapMin.count(), kNoiseGapMax.count());
    return Micros{gap(m_rng)};
}

void Device::note(DeviceEvent::Kind kind, Micros t, std::uint8_t id, std::uint8_t value)
{
    m_events.push_back({t, kind, id, value});
}

} // namespace qj::sim
