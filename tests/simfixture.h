#pragma once

// The panel against the virtual processor (build/qj-sim as a child process) on a real
// pseudo-terminal, through the window's own serial port and 1 ms timer.
#include "app/form1.h"
#include "link/serialport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "params/labeltext.h"
#include "pty.h"
#include "tools/simlauncher.h"

#include <QAction>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qj::test {

inline constexpr int kSimPort = 5;

// Turns the event loop until `done` holds or `ms` pass.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        spin(2);
    }
    return true;
}

struct SimFixture : ::testing::Test
{
    sim::SimLauncher simulator;
    std::unique_ptr<Form1> form;
    QStringList messages;
    QStringList trace;

    void SetUp() override
    {
        simulator.setProgram(QStringLiteral(QJ_SIM_PROGRAM));
        ASSERT_TRUE(simulator.start()) << simulator.errorString().toStdString();
        QObject::connect(&simulator, &sim::SimLauncher::traced,
                         [this](const QString &line) { trace << line; });
        form = std::make_unique<Form1>();
        form->setMessagePresenter([this](const QString &text) { messages << text; });
        bind(simulator.ptyPath());
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
        return waitFor(
            [&] {
                return form->link().command().CmdId == 0 &&
                       simulator.request(QStringLiteral("line")) == QLatin1String("OK 0") &&
                       simulator.request(QStringLiteral("queue")) == QLatin1String("OK 0");
            },
            ms);
    }

    // A control line for the processor; true when it was taken.
    bool control(const QString &line)
    {
        return simulator.request(line).startsWith(QLatin1String("OK"));
    }

    std::vector<int> deviceState()
    {
        const QStringList words = simulator.request(QStringLiteral("state")).split(u' ');
        std::vector<int> values;
        for (qsizetype i = 1; i < words.size(); ++i)
            values.push_back(words[i].toInt());
        return values;
    }

    // Bytes the processor received from the panel since the trace was switched on.
    int bytesReceived() const
    {
        int n = 0;
        for (const QString &line : trace) {
            const QStringList words = line.simplified().split(u' ');
            if (words.size() > 2 && words[1] == QLatin1String("rx"))
                n += int(words.size()) - 2;
        }
        return n;
    }
};

} // namespace qj::test
