#pragma once

#include <QString>

class QWidget;

namespace qj {

class PortDialog;

// The dialogs the menu entries ask the user through. The window uses the standard ones;
// tests put scripted answers in their place, so no modal dialog ever waits for a person.
class MenuDialogs
{
public:
    virtual ~MenuDialogs() = default;

    // A preset file to open or to save to; empty when the user cancelled.
    virtual QString openPresetFile(QWidget *parent, const QString &folder) = 0;
    virtual QString savePresetFile(QWidget *parent, const QString &folder) = 0;
    // Whether the user confirms putting every setting back to its default.
    virtual bool confirmReset(QWidget *parent) = 0;
    // Runs the port dialog; true when the user confirmed a choice.
    virtual bool runPortDialog(PortDialog &dialog) = 0;
    // After connecting with settings changed offline: true to send the panel's settings to the
    // processor, false (the default answer) to keep the processor's.
    virtual bool sendOfflineSettings(QWidget *parent) = 0;
};

} // namespace qj
