#include "params/parametermap.h"

namespace qj {

bool isSendable(int wireId, int value)
{
    if (wireId < 0 || wireId >= kParameterCount)
        return false;
    const Parameter &p = kParameters[static_cast<std::size_t>(wireId)];
    switch (p.kind) {
    case ControlKind::Spinner:
        return false;
    case ControlKind::Status:
        return value == wire::kConnectValue || value == wire::kMuteValue;
    case ControlKind::Group:
        // The source group's "Auto" button sends 8; 5 to 7 name no source.
        if (wireId == wire::kMusicSelect)
            return (value >= 0 && value <= 4) || value == 8;
        return value >= p.min && value <= p.max;
    default:
        return value >= p.min && value <= p.max;
    }
}

} // namespace qj
