#pragma once

#include "tools/device.h"

#include <string>
#include <string_view>

namespace qj::sim {

// The line-based control of a running virtual processor: one command a line in, one answer a
// line out. The answer starts with a word a program can match: OK, ERROR, STATE or FAULTS.
//
//   state                 STATE followed by the 38 values in wire-id order
//   faults                FAULTS followed by the faults switched on, or "none"
//   fault NAME [N]        switch a fault on (see faultTable())
//   fault NAME off        switch one off;  fault none: switch all off
//   report ID             report one setting
//   set ID VALUE          change a setting as the front panel would, and report it
//   unplug [MS]           close the pseudo-terminal, at once or after MS ms
//   plug                  open a new pseudo-terminal after an unplug
//   pacing on|off         bytes at line rate or as fast as they come
//   trace on|off          print every byte
//   quit
//
// Everything that touches the device is done here; what only the shell can do (a new
// pseudo-terminal, the trace, quitting) comes back as an action.
class ControlChannel
{
public:
    enum class Action { None, Plug, TraceOn, TraceOff, Quit };

    struct Reply
    {
        std::string text;
        Action action = Action::None;
    };

    explicit ControlChannel(Device &device) : m_device(device) {}

    Reply execute(std::string_view line, Micros now);

    static std::string helpText();

private:
    std::string faultsText() const;
    std::string stateText() const;

    Device &m_device;
};

} // namespace qj::sim
