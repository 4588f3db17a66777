#pragma once

#include "link/frame.h"
#include "tools/commandreader.h"
#include "tools/deviceevent.h"
#include "tools/factorysettings.h"
#include "tools/faults.h"
#include "tools/line.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace qj::sim {

struct DeviceConfig
{
    bool pacing = true;     // bytes take their time on the line at 28800 baud
    std::uint32_t seed = 1; // for the noise fault
};

// The virtual processor, device side of the line, with no I/O and no clock of its own: bytes
// from the panel come in through receive(), time moves on through advance(), and the bytes it
// sends wait in an outbox, each with the moment it is due on the wire. The caller writes them
// out when they come due and calls advance() again at nextWake(). A test drives all of it in a
// loop in microseconds.
//
// It answers every command frame with one byte (0xAA taken, 0x55 refused) and reports its
// settings one frame at a time, each after the panel's one-byte reply or a reply timeout. A
// report never starts while the panel may still be waiting for an acknowledgement, because the
// panel then reads any byte as the acknowledgement and the report would be lost.
class Device
{
public:
    // After our acknowledgement the panel needs a tick (about 1.1 ms, late ones up to 2.7 ms) to
    // read it and go idle; a report that arrives before then is eaten as the acknowledgement.
    static constexpr Micros kSettleGap{5000};
    // A panel that empties its input after writing its reply (ours empties it before) throws
    // away a report arriving in between. That takes microseconds, but on a busy machine the
    // panel can be kept off the CPU in between (0.5 ms at the 99th percentile, a few ms at
    // worst, measured under full load), so the next report starts this long after the reply
    // has arrived; the report then reaches the panel, whole, 2.7 ms after the panel wrote.
    static constexpr Micros kReplySettle{1000};
    // The panel answers a report on its second tick after the last byte. The wait is longer
    // because the reply can be lost (the panel discards its own unsent output when it sends a
    // command) and a late tick must not make us move on too early: a panel that answers after
    // we moved on empties its input with the next report in it, and that report is lost. On a
    // machine busy with builds a panel was seen kept off the CPU for more than 30 ms.
    static constexpr Micros kReplyTimeout{100000};
    // Noise bursts come at random gaps in this range, 1 to kNoiseMaxBytes bytes each: often
    // enough to hit a connection or a drag, rare enough that the panel still works in between.
    static constexpr Micros kNoiseGapMin{150000};
    static constexpr Micros kNoiseGapMax{700000};
    static constexpr int kNoiseMaxBytes = 6;

    using Config = DeviceConfig;

    explicit Device(Config config = {});

    // The line.
    void receive(std::span<const std::uint8_t> bytes, Micros now);
    void advance(Micros now);
    std::optional<Micros> nextWake() const;
    void takeDue(Micros now, std::vector<std::uint8_t> &into);
    void takeEvents(std::vector<DeviceEvent> &into);

    // Its state, as it would report it.
    std::uint8_t value(int wireId) const;
    Settings values() const;
    bool muted() const { return m_muted; }
    int userMode() const { return m_global[wire::kRunMode]; }
    std::size_t reportsQueued() const { return m_queue.size(); }
    // Bytes still crossing the line either way: received but not yet taken in at line rate,
    // or due to go out. A panel that writes faster than the line carries leaves a backlog here.
    std::size_t bytesOnLine() const { return m_inbox.size() + m_outbox.size(); }

    // The processor's own front panel: change a setting and report it, or just report one.
    // Both refuse a wire id or value the parameter does not take.
    bool set(int wireId, int value, Micros now);
    bool report(int wireId, Micros now);

    void setFault(Fault fault, int arg, Micros now);
    void clearFault(Fault fault);
    void clearFaults();
    std::vector<FaultSetting> faults() const;

    void unplug(Micros now);
    void plug(Micros now);
    bool unplugged() const { return m_unplugged; }

    void setPacing(bool paced);
    bool pacing() const { return m_out.paced(); }

private:
    struct Incoming
    {
        std::uint8_t byte;
        Micros at;
    };
    // What taking a byte from the outbox starts: the settle gap after an answer, the reply wait
    // after a report's last byte. Both count from when the byte really left, not from when it
    // was due, so a late write by the caller never squeezes them.
    enum class Mark { None, Answer, ReportEnd };
    struct Outgoing
    {
        std::uint8_t byte;
        Micros due;
        Mark mark;
        bool unitEnd; // the last byte of what one send queued
    };
    struct InFlight
    {
        // Counted from the moment the last byte was written, not from when it was due: a
        // processor kept off the CPU must not give up on a report the panel has not yet seen.
        std::optional<Micros> deadline;
        int reports; // two under the double fault
    };
    enum class Answer { Normal, NoAck, Nak, AckAfter };

    std::optional<Micros> nextEvent() const;
    std::optional<Micros> reportDue() const;
    void step(Micros t);
    void handlePieces(Micros t);
    void handleCommand(const CommandReader::Piece &piece, Micros t);
    void apply(std::uint8_t wireId, std::uint8_t value, Micros t);
    void recall(int slot);
    void enqueue(std::uint8_t wireId);
    void sendReports(Micros t);
    void finishReports(DeviceEvent::Kind kind, Micros t);
    void interruptReports(Micros t);
    void answer(std::uint8_t byte, Micros t);
    void sendNoise(Micros t);
    Micros send(std::span<const std::uint8_t> bytes, Micros t, Mark last = Mark::None);
    std::deque<Outgoing>::const_iterator firstUnitEnd() const;
    Micros noiseGap();
    void holdAtLeast(Micros t) { m_holdUntil = std::max(m_holdUntil, t); }
    void note(DeviceEvent::Kind kind, Micros t, std::uint8_t id = 0, std::uint8_t value = 0);

    Line m_in;
    Line m_out;
    std::deque<Incoming> m_inbox;
    std::deque<Outgoing> m_outbox;
    int m_answersUnsent = 0; // no report starts while one of our answers is still in the outbox
    CommandReader m_reader;
    std::vector<CommandReader::Piece> m_pieces;
    std::vector<DeviceEvent> m_events;

    std::array<Settings, kUserSlots> m_slots;
    Settings m_global; // the limits and the run mode; the rest lives in the slots
    bool m_muted = false;

    std::deque<std::uint8_t> m_queue; // reports still to send, the one in flight first
    std::optional<InFlight> m_inFlight;
    Micros m_holdUntil{0}; // no report starts before this

    Answer m_answer = Answer::Normal;
    int m_ackAfter = 0;
    std::optional<frame::Frame> m_lastHeard; // for counting repeats under ack-after
    int m_repeats = 0;
    bool m_noise = false;
    Micros m_noiseAt{0};
    int m_corruptEvery = 0; // 0: off
    int m_corruptCount = 0;
    bool m_double = false;
    std::optional<Micros> m_unplugAt;
    bool m_unplugged = false;
    std::mt19937 m_rng;
};

} // namespace qj::sim
