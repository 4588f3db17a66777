#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qj::sim {

// The ways the virtual processor can misbehave on purpose, for tests and demonstrations.
enum class Fault {
    NoAck,    // commands go unanswered and are not applied
    Nak,      // every command is answered 0x55 and not applied
    AckAfter, // a command is answered only at its n-th repeat
    Noise,    // random bursts of bytes now and then
    Corrupt,  // every n-th report carries a wrong check byte
    Double,   // reports go out two in one burst
    Unplug,   // the pseudo-terminal closes, at once or after n ms
};

enum class FaultArg { None, Required, Optional };

struct FaultInfo
{
    Fault fault;
    std::string_view name;
    FaultArg arg;
    int defaultArg; // used when an optional argument is left out
    std::string_view help;
};

// Rows in the order the help lists them: the three answer policies (which exclude each other)
// first, then the ones that add to any of them.
const std::array<FaultInfo, 7> &faultTable();
const FaultInfo &faultInfo(Fault fault);
const FaultInfo *findFault(std::string_view name);

struct FaultSetting
{
    Fault fault;
    int arg;
};

// "corrupt", "corrupt=4" or "corrupt 4". On failure returns nothing and says why in `error`.
std::optional<FaultSetting> parseFault(std::string_view text, std::string &error);

} // namespace qj::sim
