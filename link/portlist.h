#pragma once

#include "link/portbindings.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace qj {

// A serial device the system reports.
struct FoundPort
{
    QString device; // full path, /dev/ttyUSB0
    QString description;
    QString manufacturer;
    std::optional<quint16> vendorId; // USB adapters only
    std::optional<quint16> productId;
};

// One line of the port list: a device with the number that reaches it.
struct PortRow
{
    int number; // bound, or the number choosing it would bind
    bool bound; // the number is bound to this device already
    bool found; // the system reported it (a bound pseudo-terminal is not reported)
    FoundPort port;

    QString usbId() const; // "0403:6001", empty for a device that is not on USB
};

// The ports a user can choose from: every device found, and every bound device that exists
// though the system does not report it. A device bound to a number shows that number; one
// that nobody bound shows the number its built-in name stands for (/dev/ttyS4 is 5) when that
// number is free, otherwise the lowest number neither bound nor standing for a listed device.
// Ordered by number.
std::vector<PortRow> portRows(const std::vector<FoundPort> &found, const PortBindings &bindings,
                              const std::function<bool(const QString &)> &exists);

// Binds `number` to `device` as the one number of that device: any other number the device
// had is released first. False for a number outside 1..99 or an empty device.
bool bindChosen(PortBindings &bindings, int number, const QString &device);

} // namespace qj
