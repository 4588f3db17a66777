#include "linesettings.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qj::test {

std::optional<LineSettings> readLineSettings(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    termios2 t{};
    const int got = ::ioctl(fd, TCGETS2, &t);
    ::close(fd);
    if (got != 0)
        return std::nullopt;
    LineSettings s;
    s.outputSpeed = t.c_ospeed;
    s.eightBits = (t.c_cflag & CSIZE) == CS8;
    s.parity = (t.c_cflag & PARENB) != 0;
    s.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    s.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    return s;
}

} // namespace qj::test
