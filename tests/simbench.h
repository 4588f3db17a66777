#pragma once

#include "tools/device.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace qj::test {

using sim::Micros;
using namespace std::chrono_literals;

// Drives a virtual processor in simulated time: bytes go in at the bench's clock, the clock runs
// forward from one wake of the device to the next, and every byte the device sends is kept with
// the moment it came due.
struct SimBench
{
    sim::Device device;
    Micros now{0};
    std::vector<std::pair<Micros, std::uint8_t>> sent; // not yet taken by the test
    std::vector<sim::DeviceEvent> events;

    explicit SimBench(sim::DeviceConfig config = {}) : device(config) {}

    void feed(const std::vector<std::uint8_t> &bytes) { device.receive(bytes, now); }

    void run(Micros span)
    {
        const Micros end = now + span;
        for (;;) {
            const std::optional<Micros> wake = device.nextWake();
            if (!wake || *wake > end)
                break;
            now = std::max(now, *wake);
            step();
        }
        now = end;
        step();
    }

    // Runs until `count` bytes are waiting or `limit` has passed; returns them.
    std::vector<std::uint8_t> take(std::size_t count, Micros limit = 100ms)
    {
        const Micros end = now + limit;
        while (sent.size() < count && now < end) {
            const std::optional<Micros> wake = device.nextWake();
            if (!wake || *wake > end) {
                now = end;
                step();
                break;
            }
            now = std::max(now, *wake);
            step();
        }
        std::vector<std::uint8_t> out;
        const std::size_t n = std::min(count, sent.size());
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(sent[i].second);
        firstTaken = n ? sent.front().first : now;
        lastTaken = n ? sent[n - 1].first : now;
        sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(n));
        return out;
    }

    // Everything sent so far, leaving nothing behind.
    std::vector<std::uint8_t> takeAll() { return take(sent.size(), 0us); }

    std::size_t count(sim::DeviceEvent::Kind kind) const
    {
        std::size_t n = 0;
        for (const sim::DeviceEvent &e : events)
            n += e.kind == kind;
        return n;
    }

    Micros firstTaken{0}; // when the first and last byte of the last take() came due
    Micros lastTaken{0};

private:
    void step()
    {
        device.advance(now);
        std::vector<std::uint8_t> out;
        device.takeDue(now, out);
        for (std::uint8_t b : out)
            sent.emplace_back(now, b);
        device.takeEvents(events);
    }
};

inline std::vector<std::uint8_t> bytesOf(const frame::Frame &f)
{
    return {f.begin(), f.end()};
}

inline std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                           const std::vector<std::uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace qj::test
