#include "tools/controlchannel.h"

#include <charconv>
#include <vector>

namespace qj::sim {

namespace {

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool number(std::string_view text, int &into)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), into);
    return ec == std::errc{} && end == text.data() + text.size();
}

ControlChannel::Reply ok(std::string text = {})
{
    return {text.empty() ? "OK" : "OK " + text};
}

ControlChannel::Reply error(std::string text)
{
    return {"ERROR " + text};
}

std::optional<bool> onOff(const std::vector<std::string_view> &w)
{
    if (w.size() == 2 && w[1] == "on")
        return true;
    if (w.size() == 2 && w[1] == "off")
        return false;
    return std::nullopt;
}

} // namespace

ControlChannel::Reply ControlChannel::execute(std::string_view line, Micros now)
{
    const std::vector<std::string_view> w = words(line);
    if (w.empty())
        return error("empty command");
    const std::string_view cmd = w[0];

    if (cmd == "help")
        return ok(helpText());
    if (cmd == "state" && w.size() == 1)
        return {stateText()};
    if (cmd == "faults" && w.size() == 1)
        return {faultsText()};
    if (cmd == "queue" && w.size() == 1)
        return ok(std::to_string(m_device.reportsQueued())); // reports still to go out
    if (cmd == "line" && w.size() == 1)
        return ok(std::to_string(m_device.bytesOnLine())); // 0 once the line is quiet
    if (cmd == "quit" && w.size() == 1)
        return {"OK bye", Action::Quit};
    if (cmd == "plug" && w.size() == 1) {
        if (!m_device.unplugged())
            return error("still plugged in");
        return {"OK", Action::Plug};
    }

    if (cmd == "fault") {
        if (w.size() == 2 && w[1] == "none") {
            m_device.clearFaults();
            return ok();
        }
        if (w.size() == 3 && w[2] == "off") {
            const FaultInfo *info = findFault(w[1]);
            if (!info)
                return error("unknown fault '" + std::string(w[1]) + "'");
            m_device.clearFault(info->fault);
            return ok();
        }
        if (w.size() < 2 || w.size() > 3)
            return error("usage: fault NAME [N] | fault NAME off | fault none");
        std::string why;
        const std::string text =
            std::string(w[1]) + (w.size() == 3 ? "=" + std::string(w[2]) : std::string());
        const std::optional<FaultSetting> setting = parseFault(text, why);
        if (!setting)
            return error(why);
        m_device.setFault(setting->fault, setting->arg, now);
        return ok();
    }

    if (cmd == "unplug" && w.size() <= 2) {
        int ms = 0;
        if (w.size() == 2 && (!number(w[1], ms) || ms < 0))
            return error("usage: unplug [MS]");
        if (m_device.unplugged())
            return error("already unplugged");
        m_device.setFault(Fault::Unplug, ms, now);
        return ok();
    }

    if (cmd == "report" && w.size() == 2) {
        int id = 0;
        if (!number(w[1], id) || !m_device.report(id, now))
            return error("no wire id '" + std::string(w[1]) + "' (0 to 37)");
        return ok();
    }

    if (cmd == "set" && w.size() == 3) {
        int id = 0;
        int value = 0;
        if (!number(w[1], id) || !number(w[2], value) || !m_device.set(id, value, now))
            return error("wire id " + std::string(w[1]) + " does not take " + std::string(w[2]));
        return ok();
    }

    if (cmd == "pacing" || cmd == "trace") {
        const std::optional<bool> on = onOff(w);
        if (!on)
            return error("usage: " + std::string(cmd) + " on|off");
        if (cmd == "pacing") {
            m_device.setPacing(*on);
            return ok();
        }
        return {"OK", *on ? Action::TraceOn : Action::TraceOff};
    }

    return error("unknown command '" + std::string(line) + "', try help");
}

std::string ControlChannel::helpText()
{
    std::string faults;
    for (const FaultInfo &f : faultTable()) {
        if (!faults.empty())
            faults += "|";
        faults += f.name;
    }
    return "commands: state, faults, queue, line, fault " + faults +
           " [N], fault NAME off, fault none, report ID, set ID VALUE, unplug [MS], plug, "
           "pacing on|off, trace on|off, quit";
}

std::string ControlChannel::faultsText() const
{
    std::string text = "FAULTS";
    const std::vector<FaultSetting> on = m_device.faults();
    if (on.empty())
        return text + " none";
    for (const FaultSetting &f : on) {
        const FaultInfo &info = faultInfo(f.fault);
        text += " " + std::string(info.name);
        if (info.arg != FaultArg::None && f.fault != Fault::Unplug)
            text += "=" + std::to_string(f.arg);
    }
    return text;
}

std::string ControlChannel::stateText() const
{
    std::string text = "STATE";
    for (std::uint8_t v : m_device.values())
        text += " " + std::to_string(v);
    return text;
}

} // namespace qj::sim
