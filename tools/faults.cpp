#include "tools/faults.h"

#include <charconv>

namespace qj::sim {

namespace {

constexpr std::array<FaultInfo, 7> kFaults{{
    {Fault::NoAck, "noack", FaultArg::None, 0, "leave every command unanswered and unapplied"},
    {Fault::Nak, "nak", FaultArg::None, 0, "refuse every command with 0x55"},
    {Fault::AckAfter, "ack-after", FaultArg::Required, 0,
     "answer a command only at its N-th repeat"},
    {Fault::Noise, "noise", FaultArg::None, 0, "random bursts of bytes now and then"},
    {Fault::Corrupt, "corrupt", FaultArg::Optional, 3, "wrong check byte on every N-th report (3)"},
    {Fault::Double, "double", FaultArg::None, 0, "two reports in one burst"},
    {Fault::Unplug, "unplug", FaultArg::Optional, 0, "close the pty after N ms (0: at once)"},
}};

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

const std::array<FaultInfo, 7> &faultTable()
{
    return kFaults;
}

const FaultInfo &faultInfo(Fault fault)
{
    for (const FaultInfo &f : kFaults)
        if (f.fault == fault)
            return f;
    return kFaults.front();
}

const FaultInfo *findFault(std::string_view name)
{
    for (const FaultInfo &f : kFaults)
        if (f.name == name)
            return &f;
    return nullptr;
}

std::optional<FaultSetting> parseFault(std::string_view text, std::string &error)
{
    text = trim(text);
    const std::size_t split = text.find_first_of("= ");
    const std::string_view name = trim(text.substr(0, split));
    const std::string_view argText =
        split == std::string_view::npos ? std::string_view{} : trim(text.substr(split + 1));

    const FaultInfo *info = findFault(name);
    if (!info) {
        error = "unknown fault '" + std::string(name) + "'";
        return std::nullopt;
    }
    if (argText.empty()) {
        if (info->arg == FaultArg::Required) {
            error = "fault '" + std::string(name) + "' needs a number";
            return std::nullopt;
        }
        return FaultSetting{info->fault, info->defaultArg};
    }
    if (info->arg == FaultArg::None) {
        error = "fault '" + std::string(name) + "' takes no number";
        return std::nullopt;
    }
    int arg = 0;
    const auto [end, ec] = std::from_chars(argText.data(), argText.data() + argText.size(), arg);
    if (ec != std::errc{} || end != argText.data() + argText.size() || arg < 0) {
        error = "bad number '" + std::string(argText) + "' for fault '" + std::string(name) + "'";
        return std::nullopt;
    }
    if (info->fault == Fault::Corrupt && arg == 0) {
        error = "fault 'corrupt' needs a period of at least 1";
        return std::nullopt;
    }
    return FaultSetting{info->fault, arg};
}

} // namespace qj::sim
