// Faults of the processor and of the line, injected into the virtual processor on a real
// pseudo-terminal: whatever happens, the panel never crashes or spins, reports what it must,
// and its state stays consistent.
#include "panel/commandbutton.h"
#include "panel/spinbutton.h"
#include "params/offlinedefaults.h"
#include "simfixture.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>

#include <map>
#include <set>

#include <sys/resource.h>

namespace qj {
namespace {

using test::spin;
using test::waitFor;

const QString kOffline = QStringLiteral("设备已脱机！！！");
const QString kFailure = QStringLiteral("数据发送失败！！！");

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto seconds = u.ru_utime.tv_sec + u.ru_stime.tv_sec;
    const auto micros = u.ru_utime.tv_usec + u.ru_stime.tv_usec;
    return static_cast<double>(seconds) + static_cast<double>(micros) / 1e6;
}

struct Faults : test::SimFixture
{
    // After a loss: the port closed, connecting allowed again, offline, nothing pending.
    void expectLost()
    {
        EXPECT_EQ(messages, QStringList{kOffline});
        EXPECT_FALSE(form->serialPort()->portOpen());
        EXPECT_TRUE(connectOffered());
        EXPECT_FALSE(online());
        EXPECT_EQ(form->link().command().CmdId, 0);
        EXPECT_EQ(form->link().command().ReplyTicks, 0);
        EXPECT_EQ(panel().statusCaption(), QStringLiteral("当前状态：脱机"));
    }
    // The process is back to sleep: less than 2% of a core over half a second.
    void expectIdleCpu()
    {
        spin(100);
        const double before = cpuSeconds();
        spin(500);
        EXPECT_LT(cpuSeconds() - before, 0.01);
    }
};

TEST_F(Faults, UnplugBeforeTheAcknowledgement)
{
    ASSERT_TRUE(control(QStringLiteral("fault noack")));
    connect();
    spin(20);
    ASSERT_TRUE(control(QStringLiteral("unplug")));
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    spin(100);
    expectLost();
    expectIdleCpu();
}

TEST_F(Faults, UnplugDuringTheReports)
{
    connect();
    // The first reports are in (the echo delay shows the processor's value), not yet online.
    ASSERT_TRUE(waitFor([&] { return panel().displayCaption(1) != QStringLiteral("180"); }, 10000));
    ASSERT_FALSE(online());
    ASSERT_TRUE(control(QStringLiteral("unplug")));
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    spin(100);
    expectLost();
}

TEST_F(Faults, UnplugWithACommandPending)
{
    ASSERT_TRUE(connectAndSettle());
    ASSERT_TRUE(control(QStringLiteral("fault noack")));
    form->view().slider(wire::kMicVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    ASSERT_NE(form->link().command().CmdId, 0);
    spin(150); // a resend or two
    ASSERT_TRUE(control(QStringLiteral("unplug")));
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    spin(2500); // long enough for a give-up, which must not come
    expectLost();
    expectIdleCpu();
}

TEST_F(Faults, NoiseBurstsNeverTakeThePanelOffline)
{
    ASSERT_TRUE(connectAndSettle());
    ASSERT_TRUE(control(QStringLiteral("fault noise")));
    spin(3000);
    EXPECT_TRUE(online());
    EXPECT_TRUE(messages.isEmpty());
    // A change still reaches the processor through the noise (resent if a burst spoils it).
    form->view().slider(1 /* EchoDelay */)->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_TRUE(waitFor([&] { return deviceState()[1 /* EchoDelay */] == 250; }, 10000));
    EXPECT_TRUE(control(QStringLiteral("fault none")));
}

TEST_F(Faults, AProcessorThatRefusesEverythingIsGivenUp)
{
    ASSERT_TRUE(connectAndSettle());
    const int before = deviceState()[wire::kBgmVolume];
    ASSERT_TRUE(control(QStringLiteral("fault nak")));
    form->view().slider(wire::kBgmVolume)->triggerAction(QAbstractSlider::SliderToMinimum);
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    spin(50);
    EXPECT_EQ(messages, QStringList{kFailure});
    EXPECT_FALSE(online());
    EXPECT_EQ(deviceState()[wire::kBgmVolume], before);
    expectIdleCpu();
}

TEST_F(Faults, AnAcknowledgementOfTheTenthTransmissionIsTaken)
{
    ASSERT_TRUE(connectAndSettle());
    ASSERT_TRUE(
        control(QStringLiteral("fault ack-after 9"))); // the ninth repeat is the tenth frame
    ASSERT_TRUE(control(QStringLiteral("trace on")));
    trace.clear();
    form->view().slider(wire::kMusicVolume)->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }, 10000));
    spin(500);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(online());
    EXPECT_EQ(bytesReceived(), 10 * 4);
    EXPECT_EQ(deviceState()[wire::kMusicVolume], 0);
}

TEST_F(Faults, TwoReportsInOneBurstLoseTheSecondOnly)
{
    ASSERT_TRUE(control(QStringLiteral("fault double")));
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    spin(300);
    EXPECT_TRUE(messages.isEmpty());
    const std::vector<int> device = deviceState();
    // Every shown level is the processor's own value or the offline default it replaced.
    for (const Parameter &p : parameters()) {
        if (p.kind != ControlKind::Slider)
            continue;
        const QString shown = panel().displayCaption(p.wireId);
        EXPECT_TRUE(shown == labelText(p.style, device[p.wireId]) ||
                    shown == labelText(p.style, offlineDefault(p.wireId)))
            << p.control;
    }
}

TEST_F(Faults, CorruptedReportsAreRefusedAndTheRestApplied)
{
    ASSERT_TRUE(control(QStringLiteral("fault corrupt 2")));
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    spin(300);
    EXPECT_TRUE(messages.isEmpty());
    const std::vector<int> device = deviceState();
    int applied = 0;
    for (const Parameter &p : parameters())
        applied += p.kind == ControlKind::Slider &&
                   panel().displayCaption(p.wireId) == labelText(p.style, device[p.wireId]);
    EXPECT_GT(applied, 5);
}

// Ten thousand random user actions against a processor that garbles and doubles its reports and
// now and then refuses everything. Whatever the panel counted as acknowledged, the processor
// holds: its value is the last acknowledged one or a newer one the panel wrote after it.
//
// Except where the acknowledgement was not this command's: it names no command, so the late
// answer to the command before is taken for this one, and the next command's send empties the
// output this one may still be waiting in (a busy machine keeps the processor from reading it
// in time), so the processor never sees it. Nothing the panel does can tell the two apart (the
// protocol's own), and a run once failed where the panel could not have done otherwise. So
// when another command went out since the last acknowledgement, this one may be that earlier
// command's answer: the value acknowledged before stays possible, with those written since.
TEST_F(Faults, TenThousandRandomActions)
{
    std::map<int, int> acknowledged;              // wire id -> value
    std::map<int, std::set<int>> writtenSinceAck; // wire id -> values possibly held besides it
    std::uint32_t sends = 0;
    std::uint32_t sendsAtAck = 0;
    form->link().supervisor().setAcknowledgedHook([&](std::uint8_t cmdId, std::uint8_t value) {
        if (cmdId == 0)
            return;
        const int id = cmdId - 1;
        // Another command went out since the last acknowledgement: this one may be its answer.
        const bool maybeAnother = sends - sendsAtAck > 1;
        sendsAtAck = sends;
        if (maybeAnother && acknowledged.count(id))
            writtenSinceAck[id].insert(acknowledged[id]);
        else
            writtenSinceAck[id].clear();
        acknowledged[id] = value;
    });
    form->link().transmitter().addSendHook([&](const frame::Frame &f) {
        ++sends;
        writtenSinceAck[f[1]].insert(f[2]);
    });

    ASSERT_TRUE(control(QStringLiteral("fault corrupt 4")));
    ASSERT_TRUE(control(QStringLiteral("fault double")));
    ASSERT_TRUE(connectAndSettle());

    std::uint32_t sentAtMessage = 0; // transmissions when the last message came
    form->setMessagePresenter([&](const QString &text) {
        messages << text;
        sentAtMessage = form->link().transmitter().transmissions();
    });

    QRandomGenerator random(20261207);
    std::vector<int> sliders;
    for (const Parameter &p : parameters())
        if (p.kind == ControlKind::Slider)
            sliders.push_back(p.wireId);
    const Group groups[] = {Group::MusicSelect,   Group::MusicVocal,  Group::MusicPitch,
                            Group::FeedbackClass, Group::KaraokeMode, Group::EchoMode,
                            Group::SaveMode};
    for (int action = 0; action < 10000; ++action) {
        PanelView &view = form->view();
        switch (random.bounded(8)) {
        case 0:
        case 1:
        case 2:
            view.slider(sliders[random.bounded(int(sliders.size()))])
                ->triggerAction(random.bounded(2) ? QAbstractSlider::SliderSingleStepAdd
                                                  : QAbstractSlider::SliderPageStepSub);
            break;
        case 3: {
            const Group g = groups[random.bounded(int(std::size(groups)))];
            const int index = random.bounded(buttonGroup(g).count);
            if (!(g == Group::MusicSelect && index == kSelectHiddenIndex))
                view.button(g, index)->click();
            break;
        }
        case 4:
            view.checkBox(Control::SuperBass)->click();
            break;
        case 5:
            view.option(random.bounded(2) ? Control::SurroundMode1 : Control::SurroundMode2)
                ->click();
            break;
        case 6:
            QTest::keyClick(
                view.spinner(random.bounded(2) ? Control::MaxMusicVolume : Control::MaxMicVolume),
                random.bounded(2) ? Qt::Key_Up : Qt::Key_Down);
            break;
        case 7:
            view.button(Group::MusicPitch, kPitchNeutralIndex)->click();
            break;
        }
        // A person's actions come a few milliseconds apart at the fastest; the line and the
        // tick move on between them.
        if (random.bounded(3) == 0)
            spin(1 + int(random.bounded(3)));
        if (action % 2000 == 1000) {
            // A spell of refusals: the panel gives up; then it connects again. First the line
            // drains, so that no answer to an earlier command is still on its way.
            ASSERT_TRUE(drainLine());
            spin(20);
            ASSERT_TRUE(control(QStringLiteral("fault nak")));
            const QStringList before = messages;
            const std::uint32_t sent = form->link().transmitter().transmissions();
            LevelSlider *repeats = view.slider(2 /* EchoRepat */);
            repeats->triggerAction(repeats->value() == repeats->minimum()
                                       ? QAbstractSlider::SliderToMaximum
                                       : QAbstractSlider::SliderToMinimum);
            ASSERT_TRUE(waitFor([&] { return !online(); }, 10000))
                << "pending " << int(form->link().command().CmdId) << " retry "
                << int(form->link().command().RetryLeft) << " ticks "
                << form->link().command().ReplyTicks << " timer " << form->runTimer().isActive()
                << " asleep " << form->tickAsleep() << " faults "
                << simulator.request(QStringLiteral("faults")).toStdString();
            // The refused command went out ten times before its give-up said so, once.
            EXPECT_EQ(sentAtMessage - sent, 10u) << action;
            EXPECT_EQ(messages, before + QStringList{kFailure}) << action;
            // Garbled or doubled, the completing reports may all be lost: connect on a clean line.
            ASSERT_TRUE(control(QStringLiteral("fault none")));
            form->link().disconnect();
            ASSERT_TRUE(control(QStringLiteral("trace on")));
            trace.clear();
            ASSERT_TRUE(connectAndSettle())
                << "online " << online() << " queue "
                << simulator.request(QStringLiteral("queue")).toStdString() << " pending "
                << int(form->link().command().CmdId) << " messages "
                << messages.join(u'|').toStdString() << "\n"
                << trace.join(u'\n').toStdString();
            ASSERT_TRUE(control(QStringLiteral("trace off")));
            ASSERT_TRUE(control(QStringLiteral("fault corrupt 4")));
            ASSERT_TRUE(control(QStringLiteral("fault double")));
        }
        ASSERT_EQ(online(), !connectOffered()) << action;
    }
    // Let the last command be acknowledged and the line go quiet.
    ASSERT_TRUE(drainLine());
    spin(50);
    // Actions 1000, 3000, 5000, 7000 and 9000 each began a spell of refusals, and nothing but
    // their five give-ups was reported.
    EXPECT_EQ(messages, QStringList(5, kFailure));
    EXPECT_TRUE(online());

    const std::vector<int> device = deviceState();
    ASSERT_EQ(device.size(), 38u);
    EXPECT_GT(acknowledged.size(), 20u);
    for (const auto &[wireId, value] : acknowledged) {
        if (wireId == wire::kStatus)
            continue; // the connect request is not a stored value
        const auto &newer = writtenSinceAck[wireId];
        EXPECT_TRUE(device[wireId] == value || newer.count(device[wireId]))
            << "parameter " << wireId << ": processor " << device[wireId] << ", acknowledged "
            << value;
    }
    expectIdleCpu();
}

} // namespace
} // namespace qj
