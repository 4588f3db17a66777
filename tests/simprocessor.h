#pragma once

// The virtual processor (build/qj-sim as a child process) on a real pseudo-terminal, with its
// trace and its control lines. It needs no Qt Gui, so the engine's test binaries share it.
#include "pty.h"
#include "tools/simlauncher.h"

#include <QRegularExpression>
#include <QStringList>

#include <utility>
#include <vector>

namespace qj::test {

struct SimProcessor
{
    sim::SimLauncher sim;
    QStringList trace;

    bool start(const QStringList &arguments = {})
    {
        sim.setProgram(QStringLiteral(QJ_SIM_PROGRAM));
        QObject::connect(&sim, &sim::SimLauncher::traced,
                         [this](const QString &line) { trace << line; });
        return sim.start(arguments);
    }
    QString path() const { return sim.ptyPath(); }
    // A control line; true when it was taken.
    bool control(const QString &line) { return sim.request(line).startsWith(QLatin1String("OK")); }

    // What the processor holds, by wire id.
    std::vector<int> state()
    {
        const QStringList words = sim.request(QStringLiteral("state")).split(u' ');
        std::vector<int> values;
        for (qsizetype i = 1; i < words.size(); ++i)
            values.push_back(words[i].toInt());
        return values;
    }

    // Nothing left for the processor to send and no byte crossing the line to it.
    bool quiet()
    {
        // The line first: a byte still crossing it may yet add to the queue.
        return sim.request(QStringLiteral("line")) == QLatin1String("OK 0") &&
               sim.request(QStringLiteral("queue")) == QLatin1String("OK 0");
    }
    bool settled(int ms = 15000)
    {
        return waitFor([&] { return quiet(); }, ms);
    }

    // Settings changed on the processor's own front panel, then a new pseudo-terminal, so the
    // reports of those changes, which nobody answered, are not waiting for the next program.
    bool hold(const std::vector<std::pair<int, int>> &settings)
    {
        for (const auto &[id, value] : settings)
            if (!control(QStringLiteral("set %1 %2").arg(id).arg(value)))
                return false;
        if (!settled())
            return false;
        bool lost = false;
        bool ready = false;
        const auto onLost =
            QObject::connect(&sim, &sim::SimLauncher::ptyLost, [&] { lost = true; });
        const auto onReady =
            QObject::connect(&sim, &sim::SimLauncher::ptyReady, [&] { ready = true; });
        sim.sendLine(QStringLiteral("unplug"));
        bool ok = waitFor([&] { return lost; }, 15000);
        if (ok) {
            sim.sendLine(QStringLiteral("plug"));
            ok = waitFor([&] { return ready; }, 15000);
        }
        QObject::disconnect(onLost);
        QObject::disconnect(onReady);
        trace.clear();
        return ok;
    }

    // The words of the trace lines of one kind: "rx", "tx" or "--".
    QStringList lines(const QString &kind) const
    {
        QStringList out;
        for (const QString &line : trace) {
            const QStringList words = line.simplified().split(u' ');
            if (words.size() > 1 && words[1] == kind)
                out << words.mid(2).join(u' ');
        }
        return out;
    }
    // Bytes the processor received since the trace was switched on or last cleared.
    int bytesReceived() const
    {
        int n = 0;
        for (const QString &bytes : lines(QStringLiteral("rx")))
            n += int(bytes.split(u' ').size());
        return n;
    }
    // The commands the processor acknowledged, "id=value" by wire id, the connect left out.
    QStringList acknowledged() const
    {
        QStringList out;
        static const QRegularExpression command(
            QStringLiteral("^command (\\d+=\\d+) acknowledged"));
        for (const QString &decision : lines(QStringLiteral("--"))) {
            const QRegularExpressionMatch m = command.match(decision);
            if (m.hasMatch() && m.captured(1) != QLatin1String("0=1"))
                out << m.captured(1);
        }
        return out;
    }
};

} // namespace qj::test
