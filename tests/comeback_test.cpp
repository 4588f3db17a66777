// A lost device that comes back, through the real port layer: a symbolic link in a scratch
// folder stands for the device's path (as /dev/serial/by-id does), pointed at a pseudo-terminal
// that goes away and then at a new one. And the settings made offline, kept over a connection
// to the virtual processor and sent when the user says so.
#include "app/menuactions.h"
#include "app/tracefile.h"
#include "child.h"
#include "menufixture.h"
#include "simfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <utility>

#include <sys/resource.h>
#include <sys/wait.h>

namespace qj {
namespace {

using test::kConnectFrame;
using test::Pty;
using test::waitFor;

const QString kGone = QStringLiteral("设备已脱机！！！");
constexpr int kBackWithin = 2000; // ms from the device's return to the panel connecting

// Points the symbolic link `link` at `target`, as udev does for a device plugged in again.
bool repoint(const QString &link, const std::string &target)
{
    QFile::remove(link);
    return QFile::link(QString::fromStdString(target), link);
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The port layer alone.

TEST(PortWatch, ALinkPointedAtANewPseudoTerminalIsBackAndOpens)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("qj"));
    Pty first;
    ASSERT_TRUE(repoint(link, first.path()));
    SerialPort port;
    port.bindings().bind(5, link);
    ASSERT_EQ(port.setCommPort(5), PortError::None);
    ASSERT_EQ(port.setPortOpen(true), PortError::None);
    QSignalSpy lost(&port, &SerialPort::lost);
    QSignalSpy back(&port, &SerialPort::deviceBack);

    // Unplugged: the pseudo-terminal goes and its link with it, as udev removes a by-id link
    // (a link left dangling would find the next pseudo-terminal of any program under its name).
    first.closeMaster();
    QFile::remove(link);
    ASSERT_TRUE(waitFor([&] { return lost.count() == 1; }, 2000));
    port.setWatching(true);
    EXPECT_EQ(port.watch().folder(), QDir(dir.path()).absolutePath()); // the link's, not /dev/pts
    // The looks after the start end, and a dangling link is not back.
    ASSERT_TRUE(waitFor([&] { return !port.watch().looking(); }, 3000));
    EXPECT_EQ(back.count(), 0);

    // Watching costs nothing while nothing changes: no timer, no polling.
    const double before = cpuSeconds();
    test::spin(500);
    EXPECT_LT(cpuSeconds() - before, 0.01);
    EXPECT_FALSE(port.watch().looking());

    Pty second;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(repoint(link, second.path()));
    ASSERT_TRUE(waitFor([&] { return back.count() > 0; }, kBackWithin));
    EXPECT_LT(clock.elapsed(), kBackWithin);
    EXPECT_EQ(port.setPortOpen(true), PortError::None);
    port.setWatching(false);
    EXPECT_FALSE(port.watching());
    EXPECT_FALSE(port.watch().looking());
}

TEST(PortWatch, APseudoTerminalBoundByItsOwnNameIsNotWatched)
{
    // Its name goes to the next pseudo-terminal any program opens: never "back".
    Pty pty;
    SerialPort port;
    port.bindings().bind(5, QString::fromStdString(pty.path()));
    ASSERT_EQ(port.setCommPort(5), PortError::None);
    port.setWatching(true);
    EXPECT_FALSE(port.watching());
}

TEST(PortWatch, ABareNameIsWatchedWhereItIsOpenedUnderDev)
{
    SerialPort port;
    port.bindings().bind(5, QStringLiteral("ttyQJ-none"));
    ASSERT_EQ(port.setCommPort(5), PortError::None);
    port.setWatching(true);
    EXPECT_EQ(port.watch().path(), QStringLiteral("/dev/ttyQJ-none"));
    EXPECT_EQ(port.watch().folder(), QStringLiteral("/dev"));
}

TEST(PortWatch, AFolderThatIsGoneIsWatchedFromTheNearestOneAbove)
{
    // /dev/serial/by-id goes away with the last adapter and comes back with the next one.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("serial/by-id"));
    const QString link = folder + QStringLiteral("/usb-QJ_Karaoke-if00-port0");
    SerialPort port;
    port.bindings().bind(5, link);
    ASSERT_EQ(port.setCommPort(5), PortError::None);
    QSignalSpy back(&port, &SerialPort::deviceBack);
    port.setWatching(true);
    EXPECT_EQ(port.watch().folder(), QDir(dir.path()).absolutePath());

    Pty device;
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(repoint(link, device.path()));
    ASSERT_TRUE(waitFor([&] { return back.count() > 0; }, kBackWithin));
    EXPECT_EQ(port.watch().folder(), QDir(folder).absolutePath());
    EXPECT_EQ(port.setPortOpen(true), PortError::None);
}

// The window on its own serial port, with the protocol trace.
struct WindowWatch : ::testing::Test
{
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("qj"));
    QString tracePath = dir.filePath(QStringLiteral("trace.txt"));
    std::unique_ptr<Pty> device = std::make_unique<Pty>();
    TraceFile trace;
    SerialPort serial;
    std::unique_ptr<Form1> form;
    QStringList messages;
    std::function<void()> whileMessageOpen; // once, inside the next message

    void SetUp() override
    {
        ASSERT_TRUE(repoint(link, device->path()));
        ASSERT_TRUE(trace.open(tracePath));
        Port &traced = trace.wrap(serial);
        trace.follow(serial);
        form = std::make_unique<Form1>(serial, traced);
        form->setMessagePresenter([this](const QString &text) {
            messages << text;
            if (auto run = std::exchange(whileMessageOpen, nullptr))
                run();
        });
        serial.bindings().bind(5, link);
    }
    void TearDown() override { form.reset(); }

    // The device unplugged: its pseudo-terminal closes and the link goes with it.
    void unplug()
    {
        device->closeMaster();
        QFile::remove(link);
    }
    void plugNew()
    {
        device = std::make_unique<Pty>();
        ASSERT_TRUE(repoint(link, device->path()));
    }
    void connect() { form->menu().action(MenuEntry::Connect)->trigger(); }
    QStringList traceLines()
    {
        QFile f(tracePath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    bool traced(const QString &text) { return traceLines().join(u'\n').contains(text); }
};

TEST_F(WindowWatch, ConnectingByItselfWaitsForTheLossMessageAndIsTraced)
{
    connect();
    ASSERT_EQ(device->read(4), kConnectFrame);

    QElapsedTimer sinceReturn;
    bool watchedDuringMessage = true;
    whileMessageOpen = [&] {
        plugNew(); // back while the message is still open
        sinceReturn.start();
        watchedDuringMessage = serial.watching() || serial.portOpen();
    };
    unplug();
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 2000));
    EXPECT_FALSE(watchedDuringMessage);
    // Once the message has been read, the panel connects on its own.
    EXPECT_EQ(device->read(4, kBackWithin), kConnectFrame);
    EXPECT_LT(sinceReturn.elapsed(), kBackWithin);
    EXPECT_EQ(messages, QStringList{kGone});
    EXPECT_EQ(form->link().state(), LinkState::Connecting);
    EXPECT_FALSE(serial.watching());

    // The trace tells the loss, the watch and the return, in that order.
    const QStringList lines = traceLines();
    const QStringList expected{QStringLiteral("-- port 5 lost: ") + link,
                               QStringLiteral("-- watch port 5"),
                               QStringLiteral("-- port 5: ") + link + QStringLiteral(" is back"),
                               QStringLiteral("-- open port 5"),
                               QStringLiteral("TX AA 00 01 54"),
                               QStringLiteral("-- watch of port 5 ends")};
    qsizetype at = 0;
    for (const QString &want : expected) {
        while (at < lines.size() && !lines[at].contains(want))
            ++at;
        EXPECT_LT(at, lines.size()) << "not in order: " << want.toStdString() << "\n"
                                    << lines.join(u'\n').toStdString();
    }
}

TEST_F(WindowWatch, ATryThatFailsShowsNoMessageAndTheNextReturnConnects)
{
    connect();
    ASSERT_EQ(device->read(4), kConnectFrame);

    // Another program holds the returned device: a try fails as a device in use.
    test::Child holder; // ended even when an assertion below returns early
    whileMessageOpen = [&] {
        plugNew();
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        if (holder.fork()) {
            // By the node the link leads to: the panel opens, and locks, a device under the
            // path it resolves to.
            QSerialPort port(QFileInfo(link).canonicalFilePath());
            const char ok = port.open(QIODevice::ReadWrite) ? '1' : '0';
            if (::write(ready[1], &ok, 1) != 1)
                _exit(1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char ok = 0;
        EXPECT_EQ(::read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, '1');
        close(ready[0]);
    };
    unplug();
    ASSERT_TRUE(waitFor([&] { return traced(QStringLiteral("open port 5 failed (8024)")); }, 3000))
        << traceLines().join(u'\n').toStdString();
    ASSERT_GT(holder.pid(), 0);
    EXPECT_EQ(messages, QStringList{kGone}); // the failed try is not told
    EXPECT_EQ(form->link().state(), LinkState::Closed);
    EXPECT_TRUE(form->link().watching());

    holder.end();
    plugNew(); // the next return
    EXPECT_EQ(device->read(4, kBackWithin), kConnectFrame);
    EXPECT_EQ(messages, QStringList{kGone});
    EXPECT_EQ(form->link().state(), LinkState::Connecting);
}

TEST_F(WindowWatch, DisconnectOrAnotherNumberEndsTheWatch)
{
    for (const bool disconnect : {true, false}) {
        form->view().text1()->setText(QStringLiteral("5"));
        connect();
        ASSERT_EQ(device->read(4), kConnectFrame);
        unplug();
        ASSERT_TRUE(waitFor([&] { return serial.watching(); }, 2000));
        if (disconnect) {
            form->menu().action(MenuEntry::Offline)->trigger();
        } else {
            serial.bindings().bind(6, dir.filePath(QStringLiteral("none")));
            form->view().text1()->setText(QStringLiteral("6"));
            connect();
        }
        EXPECT_FALSE(serial.watching()) << disconnect;
        EXPECT_FALSE(form->link().watching()) << disconnect;
        EXPECT_EQ(form->link().state(), LinkState::Closed);
        plugNew();
        messages.clear();
    }
}

// Against the virtual processor, which renews its link when plugged in again.
struct SimWatch : test::SimFixture
{
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("qj-sim"));

    SimWatch()
    {
        simArguments = QStringList{QStringLiteral("--link"), link};
        boundPath = link;
    }
};

TEST_F(SimWatch, UnpluggedAndPluggedInAgainThePanelIsOnlineByItself)
{
    ASSERT_TRUE(connectAndSettle());
    ASSERT_TRUE(control(QStringLiteral("set 31 44"))); // the processor's music volume
    ASSERT_TRUE(waitFor([&] { return panel().displayCaption(31) == QStringLiteral("44"); }, 2000));

    ASSERT_TRUE(control(QStringLiteral("unplug")));
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 2000));
    EXPECT_FALSE(online());
    EXPECT_EQ(panel().displayCaption(31), QStringLiteral("30")); // the offline value

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(control(QStringLiteral("plug")));
    // Connecting within 2 s; the processor's reports then take what the machine gives them.
    ASSERT_TRUE(waitFor([&] { return form->link().state() != LinkState::Closed; }, kBackWithin));
    EXPECT_LT(clock.elapsed(), kBackWithin);
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    EXPECT_TRUE(waitFor([&] { return panel().displayCaption(31) == QStringLiteral("44"); }, 2000));
    EXPECT_EQ(messages, QStringList{kGone});
    EXPECT_TRUE(form->menuActions().offlineWork().kept() == std::nullopt); // nothing to ask
}

TEST_F(SimWatch, SettingsMadeOfflineAreSentWhenTheUserSaysSo)
{
    // A preset opened offline: the panel's settings, far from the processor's.
    const QString path = dir.filePath(QStringLiteral("far.json"));
    const Preset far = test::farPreset();
    test::writeFile(path, writePreset(far));
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    test::ScriptedDialogs &dialogs = *scripted;
    dialogs.openPath = path;
    dialogs.sendOffline = true;
    Preset shownWhenAsked{};
    dialogs.whileAsked = [&] { shownWhenAsked = capturePreset(panel()); };
    form->menuActions().setDialogs(std::move(scripted));
    form->menu().action(MenuEntry::OpenFile)->trigger();
    ASSERT_EQ(capturePreset(panel()), far);

    countOverlaps();

    connect();
    ASSERT_TRUE(waitFor([&] { return dialogs.asked.contains(QStringLiteral("offline")); }, 5000));
    // Asked once the reports were in: the panel then showed the processor's settings.
    EXPECT_NE(shownWhenAsked, far);
    ASSERT_TRUE(waitFor(
        [&] {
            return !form->menuActions().presets().pushing() &&
                   panel().statusCaption() == QStringLiteral("当前状态：联机");
        },
        10000));
    EXPECT_EQ(dialogs.asked, (QStringList{QStringLiteral("open"), QStringLiteral("offline")}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(overlaps, 0);
    // Sent: the settings the preset changed from the offline panel; the processor keeps its
    // own values for the rest (and its limits).
    const std::vector<int> device = deviceState();
    ASSERT_EQ(device.size(), 38u);
    const Preset shown = capturePreset(panel());
    for (int id : presetIds()) {
        if (parameter(id).kind == ControlKind::Spinner)
            continue;
        const bool changed = far.values[std::size_t(id)] != offlinePreset().values[std::size_t(id)];
        if (changed) {
            EXPECT_EQ(device[std::size_t(id)], far.values[std::size_t(id)])
                << parameter(id).control;
        }
        EXPECT_EQ(device[std::size_t(id)], shown.values[std::size_t(id)]) << parameter(id).control;
    }
}

} // namespace
} // namespace qj
