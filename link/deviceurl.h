#pragma once

#include "params/texts.h"

#include <QString>

#include <optional>

namespace qj {

// A device on the network, named as serial libraries name it: `socket://HOST:PORT` (raw TCP,
// the line's bytes as they are) or `rfc2217://HOST:PORT` (Telnet with the COM port option).
// HOST is a name, an IPv4 address or an IPv6 address in brackets; PORT is 1 to 65535.
struct DeviceUrl
{
    enum class Scheme { Socket, Rfc2217 };

    Scheme scheme = Scheme::Socket;
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;

    // Why a device text is refused, for the message that says so.
    using Problem = UrlProblem;

    // Whether the text names a network device at all (has a scheme); a path never does.
    static bool looksLikeUrl(const QString &device);
    // The network device the text names, or why it names none.
    static std::optional<DeviceUrl> parse(const QString &device, Problem *problem = nullptr);
    // What is wrong with a device text: None for a path and for a valid URL.
    static Problem check(const QString &device);

    // HOST:PORT as a person types it again ([::1]:2000 for IPv6).
    QString endpoint() const;
};

} // namespace qj
