#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qj {

// Numbered failures of the serial port, handed back to the caller of the operation that failed.
// The connect procedure tells 8002 and 8005 apart; the rest are ours.
enum class PortError : int {
    None = 0,
    InvalidPort = 8002,   // number outside 1..99, or no device behind it
    AlreadyOpen = 8005,   // open in this panel already
    AccessDenied = 8020,  // the device exists but this user may not open it (dialout group)
    DeviceLost = 8021,    // an open port refused a write, the device still there
    OpenFailed = 8022,    // any other refusal to open
    DeviceGone = 8023,    // a write failed because the device is no longer there (unplugged)
    InUse = 8024,         // locked by another program (its lock file names it)
    OpenPending = 8030,   // the open goes on (a network device); the open handler tells the end
    ConnectFailed = 8031, // a network device could not be reached, or its server refused the line
};

// The serial port as the link uses it. On a port that is not open the count reads 0, and the
// discards and output do nothing and report no failure: the tick polls from start-up on, and
// going offline may issue a command before any port was opened.
class Port
{
public:
    virtual ~Port() = default;

    // CommPort: selects port n for the next open; a refused number leaves the old one.
    virtual PortError setCommPort(int number) = 0;
    virtual int commPort() const = 0;

    // PortOpen
    virtual PortError setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    // InBufferCount: received bytes not yet read, as the 16-bit count the tick compares.
    virtual int inBufferCount() = 0;
    // InBufferCount := 0 and OutBufferCount := 0
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;

    // Input: every waiting byte, oldest first; replaces the contents of `into`.
    virtual void input(std::vector<std::uint8_t> &into) = 0;
    // Puts bytes taken by input() back in front of what is waiting, to be read again.
    virtual void unread(std::span<const std::uint8_t> bytes) = 0;
    // Output: the bytes reach the operating system before this returns.
    virtual PortError output(std::span<const std::uint8_t> bytes) = 0;

    // After the device was lost: watch for the device of the current number to come back, and
    // say so (the serial port's deviceBack signal) each time it may be openable again. Off
    // again at a disconnect, a connect to another number or once connected. A port that
    // cannot watch ignores it.
    virtual void setWatching(bool on) { static_cast<void>(on); }

    // An open that takes time (a network device: TCP, then the line settings). setPortOpen(true)
    // answers OpenPending, the port reads not open but opening, and the open handler is called
    // once the open has ended: with None when the port is open, or with ConnectFailed. It is
    // called with ConnectFailed too when the device closes before the processor has said
    // anything (a server refusing the line after accepting the connection). A close of the port
    // while opening ends the open without a call. A port whose opens never pend ignores both.
    using OpenHandler = std::function<void(PortError)>;
    virtual bool portOpening() const { return false; }
    virtual void setOpenHandler(OpenHandler handler) { static_cast<void>(handler); }
};

} // namespace qj
