#include "link/portscan.h"

#include <QSerialPortInfo>

namespace qj {

std::vector<FoundPort> scanPorts()
{
    std::vector<FoundPort> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        FoundPort port{info.systemLocation(), info.description(), info.manufacturer(), {}, {}};
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        out.push_back(std::move(port));
    }
    return out;
}

} // namespace qj
