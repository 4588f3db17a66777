#pragma once

#include "link/linkstate.h"
#include "params/texts.h"

namespace qj {

// What the link asks of the program around it: the window, or a headless client.
class LinkHost
{
public:
    virtual ~LinkHost() = default;

    // The link is now in `state`; shown as Mute enabled only online, the connect entry offered
    // while closed or connecting, and the status lamp. Also called each time the offline
    // procedure runs, which shows the state afresh.
    virtual void linkStateChanged(LinkState state) = 0;

    // A message for the user, in the link's language; returns when it has been read. For
    // AccessDenied the host names the device, which only it knows.
    virtual void showMessage(Message message) = 0;

    // Whether a message box (or another modal box of the window) is open now.
    virtual bool boxOpen() const { return false; }

    // The offline procedure has put every control back to its design-time state: the panel's
    // own doing, not a change by the user.
    virtual void panelReset() {}
};

} // namespace qj
