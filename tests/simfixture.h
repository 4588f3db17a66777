#pragma once

// The panel against the virtual processor (build/qj-sim as a child process) on a real
// pseudo-terminal, through the window's own serial port and 1 ms timer.
#include "app/form1.h"
#include "link/serialport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "params/labeltext.h"
#include "simprocessor.h"

#include <QAction>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qj::test {

inline constexpr int kSimPort = 5;

struct SimFixture : ::testing::Test
{
    SimProcessor processor;
    sim::SimLauncher &simulator = processor.sim;
    QStringList &trace = processor.trace;
    std::unique_ptr<Form1> form;
    QStringList messages;
    // Set before SetUp: the processor's arguments, and the path the port number is bound to
    // (empty: the processor's pseudo-terminal).
    QStringList simArguments;
    QString boundPath;
    // Commands written while another was still unacknowledged (see countOverlaps()).
    int overlaps = 0;

    void SetUp() override
    {
        ASSERT_TRUE(processor.start(simArguments)) << simulator.errorString().toStdString();
        form = std::make_unique<Form1>();
        form->setMessagePresenter([this](const QString &text) { messages << text; });
        bind(boundPath.isEmpty() ? simulator.ptyPath() : boundPath);
    }

    void bind(const QString &path) { form->serialPort()->bindings().bind(kSimPort, path); }
    WidgetPanel &panel() { return form->panel(); }
    // What the window shows: Mute enabled only online, the connect entry while it is offered.
    bool online() { return form->view().mute()->isEnabled(); }
    bool connectOffered() { return form->menu().action(MenuEntry::Connect)->isEnabled(); }

    void connect()
    {
        form->view().text1()->setText(QString::number(kSimPort));
        form->menu().action(MenuEntry::Connect)->trigger();
    }

    // Connects and waits until the reports are over and the link is quiet.
    bool connectAndSettle(int ms = 10000)
    {
        connect();
        if (!waitFor([&] { return online(); }, ms))
            return false;
        // The run mode, the last report, follows the one that completed the connection; a
        // report still on its way would be taken for the acknowledgement of a command.
        if (!waitFor(
                [&] { return simulator.request(QStringLiteral("queue")) == QLatin1String("OK 0"); },
                10000))
            return false;
        spin(50);
        return waitFor([&] { return form->link().command().CmdId == 0; }, 3000);
    }

    // Waits until nothing is pending at the panel and no byte is left crossing the line either
    // way. A panel that writes faster than 28800 baud leaves a backlog that the processor works
    // through at line rate, each frame acknowledged long after the panel wrote it.
    bool drainLine(int ms = 10000)
    {
        return waitFor([&] { return form->link().command().CmdId == 0 && processor.quiet(); }, ms);
    }

    // From now on, counts in `overlaps` every command the panel writes while another waits for
    // its acknowledgement (a resend of the same frame is allowed); `sent` sees every frame.
    void countOverlaps(std::function<void(const frame::Frame &)> sent = {})
    {
        auto waiting = std::make_shared<bool>(false);
        auto last = std::make_shared<frame::Frame>();
        form->link().transmitter().addSendHook([this, waiting, last, sent](const frame::Frame &f) {
            if (sent)
                sent(f);
            if (*waiting && f != *last)
                ++overlaps;
            *waiting = true;
            *last = f;
        });
        form->link().supervisor().setAcknowledgedHook(
            [waiting](std::uint8_t, std::uint8_t) { *waiting = false; });
    }

    // A control line for the processor; true when it was taken.
    bool control(const QString &line) { return processor.control(line); }
    std::vector<int> deviceState() { return processor.state(); }
    // Bytes the processor received from the panel since the trace was switched on.
    int bytesReceived() const { return processor.bytesReceived(); }
};

} // namespace qj::test
