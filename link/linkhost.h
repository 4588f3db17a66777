#pragma once

namespace qj {

// The form procedures the link calls back into.
class LinkHost
{
public:
    virtual ~LinkHost() = default;

    virtual void ShowError() = 0;     // the data-send failure message
    virtual void ShowConnect() = 0;   // the connected status
    virtual void OffLineStatus() = 0; // every control back to its default, the panel offline
};

} // namespace qj
