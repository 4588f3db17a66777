#pragma once

#include "link/port.h"

#include <string>
#include <vector>

namespace qj::test {

// A port in memory: bytes "arrive" into the receive buffer, writes are recorded, and every
// operation is logged in order so a test can check the closing steps of the decoder.
class FakePort : public Port
{
public:
    std::vector<std::uint8_t> received;            // waiting to be read
    std::vector<std::vector<std::uint8_t>> writes; // one entry per output call
    std::vector<std::string>
        log; // "select N", "open", "close", "discardIn", "discardOut", "out", "in"
    bool open = false;
    int number = 1;
    PortError openError = PortError::None;  // what the next open fails with
    PortError writeError = PortError::None; // what every write fails with
    int shortRead = -1;                     // >= 0: input hands over at most this many bytes
    int closedWrites = 0;                   // output calls while the port was closed
    bool watching = false;                  // watching for a lost device's return
    bool pendingOpens = false;              // opens pend, as a network device's do
    bool opening = false;                   // an open is pending
    OpenHandler openHandler;                // what the link set
    std::vector<std::uint8_t> answer;       // arrives as soon as the next write is made

    // Ends the pending open (or refuses the line after it) as a network device does.
    void endOpen(PortError error)
    {
        opening = false;
        open = error == PortError::None;
        if (openHandler)
            openHandler(error);
    }

    void arrive(std::span<const std::uint8_t> bytes)
    {
        received.insert(received.end(), bytes.begin(), bytes.end());
    }
    void arrive(std::initializer_list<std::uint8_t> bytes)
    {
        arrive(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
    }
    std::vector<std::uint8_t> allWritten() const
    {
        std::vector<std::uint8_t> all;
        for (const auto &w : writes)
            all.insert(all.end(), w.begin(), w.end());
        return all;
    }

    // As the serial port: numbers 1 to 99, and while open no other number than the open one.
    PortError setCommPort(int n) override
    {
        log.push_back("select " + std::to_string(n));
        if (n < 1 || n > 99)
            return PortError::InvalidPort;
        if ((open || opening) && n != number)
            return PortError::AlreadyOpen;
        number = n;
        return PortError::None;
    }
    int commPort() const override { return number; }
    PortError setPortOpen(bool on) override
    {
        log.push_back(on ? "open" : "close");
        if (!on)
            opening = false;
        if (on && opening)
            return PortError::OpenPending;
        if (on && open)
            return PortError::AlreadyOpen;
        if (on && pendingOpens && openError == PortError::None) {
            opening = true;
            return PortError::OpenPending;
        }
        if (on && openError != PortError::None)
            return openError;
        open = on;
        return PortError::None;
    }
    bool portOpen() const override { return open; }
    int inBufferCount() override { return open ? static_cast<int>(received.size()) : 0; }
    void discardInput() override
    {
        log.push_back("discardIn");
        if (open)
            received.clear();
    }
    void discardOutput() override { log.push_back("discardOut"); }
    void input(std::vector<std::uint8_t> &into) override
    {
        log.push_back("in");
        into.clear();
        if (!open)
            return;
        std::size_t n = received.size();
        if (shortRead >= 0 && static_cast<std::size_t>(shortRead) < n)
            n = static_cast<std::size_t>(shortRead);
        into.assign(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(n));
        received.clear();
    }
    void unread(std::span<const std::uint8_t> bytes) override
    {
        log.push_back("unread");
        received.insert(received.begin(), bytes.begin(), bytes.end());
    }
    void setWatching(bool on) override { watching = on; }
    bool portOpening() const override { return opening; }
    void setOpenHandler(OpenHandler handler) override { openHandler = std::move(handler); }
    PortError output(std::span<const std::uint8_t> bytes) override
    {
        if (!open) {
            ++closedWrites;
            return PortError::None;
        }
        if (writeError != PortError::None) {
            open = false;
            return writeError;
        }
        log.push_back("out");
        writes.emplace_back(bytes.begin(), bytes.end());
        received.insert(received.end(), answer.begin(), answer.end());
        answer.clear();
        return PortError::None;
    }
};

} // namespace qj::test
