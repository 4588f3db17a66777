#pragma once

#include <optional>
#include <string>

namespace qj::test {

// A terminal's line settings as the kernel holds them, read with the TCGETS2 ioctl: the speed
// as a number (stty cannot show a custom speed such as 28800) and the control flags. Kept apart
// from <termios.h>, whose struct termios clashes with the kernel's own header.
struct LineSettings
{
    unsigned outputSpeed = 0;
    bool eightBits = false;    // CS8
    bool parity = false;       // PARENB
    bool twoStopBits = false;  // CSTOPB
    bool hardwareFlow = false; // CRTSCTS
};

std::optional<LineSettings> readLineSettings(const std::string &path);

} // namespace qj::test
