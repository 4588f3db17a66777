#include "link/linklog.h"
#include "linkrig.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <functional>

namespace qj {
namespace {

using test::LinkRig;
using S = LinkState;

const QString kSendFailed = QStringLiteral("数据发送失败！！！");
const QString kHeld = QStringLiteral("端口已打开！！！");
const QString kGone = QStringLiteral("设备已脱机！！！");

// Brings a fresh rig to `state` the way a session gets there.
void enter(LinkRig &rig, S state)
{
    if (state == S::Closed)
        return;
    rig.MenuConnect_Click(QStringLiteral("5"));
    if (state == S::Connecting)
        return;
    rig.port.arrive({0xAA}); // the connect command is taken
    rig.tick();
    rig.port.arrive({0xAA, 0x25, 0x02, 0x2E}); // the run mode, the last report
    rig.tick(2);
    if (state == S::Online)
        return;
    rig.tx.issue(32, 40);
    rig.tick(1900); // unanswered: given up
}

TEST(LinkState, EveryEventFromEveryState)
{
    struct Event
    {
        const char *name;
        std::function<void(LinkRig &)> run;
    };
    const Event connect{"connect", [](LinkRig &r) { r.MenuConnect_Click(QStringLiteral("5")); }};
    const Event reports{"reports complete", [](LinkRig &r) { r.link.goOnline(); }};
    const Event giveUp{"give-up", [](LinkRig &r) {
                           r.tx.issue(32, 40);
                           r.tick(1900);
                       }};
    const Event writeFails{"write fails", [](LinkRig &r) {
                               r.port.writeError = PortError::DeviceLost;
                               r.tx.issue(32, 40);
                               r.port.writeError = PortError::None;
                           }};
    const Event lost{"device lost", [](LinkRig &r) {
                         r.port.open = false;
                         r.link.deviceLost();
                     }};
    const Event goneOnWrite{"a write finds the device gone", [](LinkRig &r) {
                                r.port.writeError = PortError::DeviceGone;
                                r.tx.issue(32, 40);
                                r.port.writeError = PortError::None;
                            }};
    const Event disconnect{"disconnect", [](LinkRig &r) { r.link.disconnect(); }};

    struct Case
    {
        S from;
        const Event &event;
        S to;
        QStringList messages;
        bool watching = false; // for the lost device's return
    } cases[] = {
        {S::Closed, connect, S::Connecting, {}},
        {S::Closed, reports, S::Online, {}},
        {S::Closed, giveUp, S::Closed, {kSendFailed}}, // into a closed port
        {S::Closed, writeFails, S::Closed, {}},        // a closed port writes nothing
        {S::Closed, disconnect, S::Closed, {}},
        {S::Connecting, connect, S::Connecting, {kHeld}}, // the connect command goes again
        {S::Connecting, reports, S::Online, {}},
        {S::Connecting, giveUp, S::Connecting, {kSendFailed}}, // connecting stays offered
        {S::Connecting, writeFails, S::Closed, {kSendFailed}},
        {S::Connecting, lost, S::Closed, {kGone}, true},
        {S::Connecting, goneOnWrite, S::Closed, {kGone}, true},
        {S::Connecting, disconnect, S::Closed, {}},
        {S::Online, connect, S::Online, {kHeld}}, // the entry is not offered; the link stays
        {S::Online, reports, S::Online, {}},
        {S::Online, giveUp, S::Offline, {kSendFailed}}, // the port stays open
        {S::Online, writeFails, S::Closed, {kSendFailed}},
        {S::Online, lost, S::Closed, {kGone}, true},
        {S::Online, goneOnWrite, S::Closed, {kGone}, true},
        {S::Online, disconnect, S::Closed, {}},
        {S::Offline, reports, S::Offline, {}}, // only a new connection goes online again
        {S::Offline, giveUp, S::Offline, {kSendFailed}},
        {S::Offline, writeFails, S::Closed, {kSendFailed}},
        {S::Offline, lost, S::Closed, {kGone}, true},
        {S::Offline, goneOnWrite, S::Closed, {kGone}, true},
        {S::Offline, disconnect, S::Closed, {}},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        enter(rig, c.from);
        ASSERT_EQ(rig.link.state(), c.from) << linkStateName(c.from);
        rig.messages.clear();
        c.event.run(rig);
        const std::string what = std::string(linkStateName(c.from)) + ", " + c.event.name;
        EXPECT_EQ(rig.link.state(), c.to) << what;
        EXPECT_EQ(rig.shown, c.to) << what << ": the window shows it";
        EXPECT_EQ(rig.status, c.to == S::Online ? QStringLiteral("当前状态：联机")
                                                : QStringLiteral("当前状态：脱机"))
            << what;
        EXPECT_EQ(rig.messages, c.messages) << what;
        EXPECT_EQ(rig.link.watching(), c.watching) << what;
        EXPECT_EQ(rig.port.watching, c.watching) << what << ": the port watches";
        if (c.to == S::Closed || c.to == S::Offline) {
            EXPECT_EQ(rig.port.open, c.to == S::Offline) << what;
        }
        if ((c.to == S::Closed || c.to == S::Offline) && c.to != c.from) {
            EXPECT_EQ(rig.cmd.CmdId, 0) << what << ": nothing left pending";
        }
    }
}

TEST(LinkState, TheHandlersSendOnlyOnline)
{
    for (const S state : {S::Closed, S::Connecting, S::Online, S::Offline}) {
        LinkRig rig;
        enter(rig, state);
        rig.port.open = true; // so that whatever is written is seen
        rig.port.writes.clear();
        rig.buttons.GroupClick(Group::EchoMode, 2);
        rig.panel.setSliderValue(1, 50);
        rig.sliders.Scroll(1);
        rig.panel.setValue(Control::SuperBass, 1);
        EXPECT_EQ(rig.frames().size(), state == S::Online ? 3u : 0u) << linkStateName(state);
        EXPECT_EQ(rig.panel.buttonColour(Group::EchoMode, 2), ButtonColour::Red); // shown anyway
    }
}

TEST(LinkState, EachChangeIsShownOnceAndTheOfflineProcedureShowsItAfresh)
{
    struct Recorder : LinkRig
    {
        std::vector<S> states;
        void linkStateChanged(S state) override
        {
            states.push_back(state);
            LinkRig::linkStateChanged(state);
        }
    } recorder;
    recorder.states.clear();
    recorder.MenuConnect_Click(QStringLiteral("5"));
    recorder.link.goOnline();
    recorder.link.goOnline(); // a second completing report changes nothing
    recorder.tx.issue(32, 40);
    recorder.tick(1900);
    // The offline procedure shows the state afresh even when it stays (start-up, a give-up
    // while connecting), so the window never keeps a stale lamp.
    recorder.link.OffLineStatus();
    EXPECT_EQ(recorder.states, (std::vector<S>{S::Connecting, S::Online, S::Offline, S::Offline}));
}

struct LinkLogTest : ::testing::Test
{
    static QStringList lines;
    QtMessageHandler previous = nullptr;

    void SetUp() override
    {
        if (qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
            GTEST_SKIP() << "logging rules given from outside";
        lines.clear();
        previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &context, const QString &text) {
                if (QLatin1String(context.category) == QLatin1String("qj.link"))
                    lines << text;
            });
    }
    void TearDown() override
    {
        QLoggingCategory::setFilterRules(QString());
        if (previous)
            qInstallMessageHandler(previous);
    }

    // A session with every kind of event the log knows: a refused port, a resend, a refused
    // report, an acknowledgement, the online transition and a give-up.
    static void session()
    {
        LinkRig rig;
        rig.port.openError = PortError::AlreadyOpen;
        rig.MenuConnect_Click(QStringLiteral("5"));
        rig.port.openError = PortError::None;
        rig.MenuConnect_Click(QStringLiteral("5"));
        rig.tick(150);
        rig.port.arrive({0xAA});
        rig.tick();
        rig.port.arrive({0xAA, 0x25, 0x09, 0x00}); // a spoilt check byte
        rig.tick(2);
        rig.port.arrive({0xAA, 0x25, 0x02, 0x2E});
        rig.tick(2);
        rig.tx.issue(32, 40);
        rig.tick(1900);
    }
};
QStringList LinkLogTest::lines;

TEST_F(LinkLogTest, SilentUnlessAsked)
{
    session();
    EXPECT_TRUE(lines.isEmpty()) << lines.join(u'|').toStdString();
}

TEST_F(LinkLogTest, InfoTellsTheStatesAndFailures)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qj.link.info=true"));
    session();
    EXPECT_EQ(lines,
              (QStringList{"port 5 refused (8005)", "closed -> connecting", "connecting -> online",
                           "gave up: command 32 value 40 unanswered after 10 transmissions",
                           "online -> offline"}));
}

TEST_F(LinkLogTest, DebugAddsResendsAcknowledgementsAndRefusedReports)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qj.link*=true"));
    session();
    EXPECT_TRUE(lines.contains(QStringLiteral("command 1 unanswered: transmission 2 of 10")))
        << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("command 1 value 1 acknowledged")));
    EXPECT_TRUE(lines.contains(QStringLiteral("report refused: AA 25 09 00")));
    EXPECT_GT(lines.size(), 10);
}

} // namespace
} // namespace qj
