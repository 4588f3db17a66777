#include "tools/deviceevent.h"

namespace qj::sim {

namespace {

std::string idValue(const DeviceEvent &e)
{
    return std::to_string(e.id) + "=" + std::to_string(e.value);
}

std::string hexByte(std::uint8_t b)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[b >> 4], kDigits[b & 0xF]};
}

} // namespace

std::string describe(const DeviceEvent &e)
{
    using K = DeviceEvent::Kind;
    switch (e.kind) {
    case K::CommandAcked:
        return "command " + idValue(e) + " acknowledged";
    case K::CommandRefused:
        return "command " + idValue(e) + " refused";
    case K::CommandGarbled:
        return "garbled command " + idValue(e) + " refused";
    case K::CommandIgnored:
        return "command " + idValue(e) + " left unanswered (fault)";
    case K::ReportSent:
        return "report " + idValue(e);
    case K::ReportCorrupted:
        return "report " + idValue(e) + " with a wrong check byte (fault)";
    case K::ReplyAccepted:
        return "report " + std::to_string(e.id) + " accepted";
    case K::ReplyRejected:
        return "report " + std::to_string(e.id) + " rejected";
    case K::ReplyTimedOut:
        return "report " + std::to_string(e.id) + " unanswered";
    case K::ReportInterrupted:
        return "report " + std::to_string(e.id) + " cut in by a command, will repeat";
    case K::Stray:
        return "stray byte " + hexByte(e.value);
    case K::Noise:
        return "noise, " + std::to_string(e.value) + " bytes (fault)";
    case K::Unplugged:
        return "unplugged";
    case K::Plugged:
        return "plugged in";
    }
    return {};
}

} // namespace qj::sim
