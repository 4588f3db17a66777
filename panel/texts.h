#pragma once

#include "link/panelaccess.h"

namespace qj {

// The status and message texts, each in the language the panel speaks at that moment.
class Texts
{
public:
    explicit Texts(PanelAccess &panel);

    QString offlineStatus() const; // "当前状态：脱机" / "Status：offline"
    QString connectStatus() const; // "当前状态：联机" / "State：Connect"

    void ShowError();     // link given up after an unanswered command
    void ShowConnect();   // the status lamp reads connected
    void ShowNotCom();    // no serial port found
    void ShowSelectCom(); // no port chosen
    void ShowOffline();   // the device went away

private:
    QString pick(const char16_t *chinese, const char16_t *english) const;

    PanelAccess &m_panel;
};

} // namespace qj
