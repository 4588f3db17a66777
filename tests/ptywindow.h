#pragma once

// The window on its own serial port and 1 ms timer, with the test playing the processor by hand
// on the master side of real pseudo-terminals.
#include "app/form1.h"
#include "link/serialport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "pty.h"

#include <QAction>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace qj::test {

// The processor's side of a connection the window started: the acknowledgement of the connect
// command, then the report of the run mode (wire id 37, the last one), which completes it. True
// once the window answered the report and shows itself online.
inline ::testing::AssertionResult answerConnect(Form1 &form, Pty &pty, std::uint8_t runMode = 0)
{
    const Bytes connect = pty.read(4);
    if (connect != kConnectFrame)
        return ::testing::AssertionFailure()
               << "no connect command, " << connect.size() << " bytes";
    pty.write({0xAA});
    spin(20);
    pty.write({0xAA, 0x25, runMode, static_cast<std::uint8_t>(0x30 - runMode)});
    if (pty.read(1) != Bytes{0xAA})
        return ::testing::AssertionFailure() << "the run mode's report went unanswered";
    if (!form.view().mute()->isEnabled())
        return ::testing::AssertionFailure() << "not online";
    return ::testing::AssertionSuccess();
}

struct PtyWindow : ::testing::Test
{
    Pty pty; // the processor's end; more can be made beside it
    Form1 form;
    QStringList messages;

    void SetUp() override
    {
        form.setMessagePresenter([this](const QString &text) { messages << text; });
    }
    void bind(int number, const Pty &device)
    {
        form.serialPort()->bindings().bind(number, QString::fromStdString(device.path()));
    }
    // The number typed into the box, then "连接设备".
    void connect(const QString &typed)
    {
        form.view().text1()->setText(typed);
        form.menu().action(MenuEntry::Connect)->trigger();
    }
    const CommandState &cmd() { return form.link().command(); }
};

} // namespace qj::test
