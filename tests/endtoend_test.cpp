// The panel against the virtual processor on a real pseudo-terminal.
#include "simfixture.h"

namespace qj {
namespace {

using EndToEnd = test::SimFixture;
using test::spin;
using test::waitFor;

TEST_F(EndToEnd, ConnectingShowsEveryReportAndGoesOnline)
{
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000)) << messages.join(u'|').toStdString();
    EXPECT_FALSE(connectOffered());
    EXPECT_EQ(panel().statusCaption(), QStringLiteral("当前状态：联机"));
    EXPECT_TRUE(messages.isEmpty());

    const std::vector<int> device = deviceState();
    ASSERT_EQ(device.size(), 38u);
    // Report 36 completed the connection; the run mode, the last report, follows it.
    ASSERT_TRUE(waitFor(
        [&] {
            return panel().buttonColour(Group::RunMode, device[wire::kRunMode]) !=
                   ButtonColour::Face;
        },
        10000));
    for (const Parameter &p : parameters()) {
        const int v = device[p.wireId];
        switch (p.kind) {
        case ControlKind::Slider:
            EXPECT_EQ(panel().displayCaption(p.wireId), labelText(p.style, v)) << p.control;
            EXPECT_EQ(panel().sliderMin(p.wireId) + panel().sliderMax(p.wireId) -
                          panel().sliderValue(p.wireId),
                      v)
                << p.control;
            break;
        case ControlKind::Spinner:
            EXPECT_EQ(panel().displayCaption(p.wireId), QString::number(v)) << p.control;
            break;
        case ControlKind::CheckBox:
            EXPECT_EQ(panel().value(p.wireId == wire::kSuperBass ? Control::SuperBass
                                                                 : Control::SubwoofPhase),
                      v)
                << p.control;
            break;
        case ControlKind::Options:
            EXPECT_EQ(panel().value(Control::SurroundMode2), v) << p.control;
            break;
        case ControlKind::Group: {
            Group g = Group::SaveMode;
            for (const ButtonGroup &b : buttonGroups())
                if (b.wireId == p.wireId)
                    g = b.group;
            const int index = g == Group::MusicSelect ? (v & 7) : v;
            EXPECT_NE(panel().buttonColour(g, index), ButtonColour::Face) << p.control;
            break;
        }
        case ControlKind::Status:
            break;
        }
    }
}

TEST_F(EndToEnd, ASliderMoveReachesTheProcessor)
{
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    ASSERT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }, 3000));
    LevelSlider *music = form->view().slider(wire::kMusicVolume);
    music->triggerAction(QAbstractSlider::SliderToMinimum); // the top: 62
    ASSERT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }, 3000));
    EXPECT_EQ(deviceState()[wire::kMusicVolume], 62);
    for (int i = 0; i < 10; ++i)
        music->triggerAction(QAbstractSlider::SliderSingleStepAdd); // a quick drag down
    ASSERT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }, 3000));
    EXPECT_EQ(panel().displayCaption(wire::kMusicVolume), QStringLiteral("52"));
    // The pseudo-terminal hands over every frame of the drag at once and the processor works
    // through them at line rate; the last one it applies is the last one sent.
    EXPECT_TRUE(waitFor([&] { return deviceState()[wire::kMusicVolume] == 52; }, 2000));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(EndToEnd, ASilentProcessorIsGivenUpAfterTenTransmissions)
{
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    ASSERT_TRUE(waitFor([&] { return form->link().command().CmdId == 0; }, 3000));
    spin(100); // the last reply byte is through
    ASSERT_EQ(simulator.request(QStringLiteral("fault noack")).left(2), QStringLiteral("OK"));
    ASSERT_EQ(simulator.request(QStringLiteral("trace on")).left(2), QStringLiteral("OK"));
    trace.clear();
    form->view().slider(wire::kBgmVolume)->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    EXPECT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
    spin(300);
    EXPECT_EQ(bytesReceived(), 10 * 4) << trace.join(u'\n').toStdString();
    EXPECT_FALSE(online());
    EXPECT_TRUE(form->serialPort()->portOpen()); // giving up leaves the port open
    EXPECT_EQ(panel().statusCaption(), QStringLiteral("当前状态：脱机"));
}

TEST_F(EndToEnd, AnUnpluggedProcessorIsNoticedAndTheUserConnectsAgain)
{
    QString newPath;
    QObject::connect(&simulator, &sim::SimLauncher::ptyReady,
                     [&](const QString &p) { newPath = p; });
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000));
    ASSERT_EQ(simulator.request(QStringLiteral("unplug")).left(2), QStringLiteral("OK"));
    ASSERT_TRUE(waitFor([&] { return !messages.isEmpty(); }, 10000));
    EXPECT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
    EXPECT_FALSE(online());
    EXPECT_FALSE(form->serialPort()->portOpen());
    EXPECT_TRUE(connectOffered());
    EXPECT_EQ(form->link().command().CmdId, 0);

    ASSERT_EQ(simulator.request(QStringLiteral("plug")).left(2), QStringLiteral("OK"));
    ASSERT_TRUE(waitFor([&] { return !newPath.isEmpty(); }, 10000));
    // A pseudo-terminal never comes back under its name, so the panel does not wait for it:
    // the user binds the new one and connects.
    EXPECT_FALSE(form->serialPort()->watching());
    bind(newPath);
    messages.clear();
    connect();
    ASSERT_TRUE(waitFor([&] { return online(); }, 10000)) << messages.join(u'|').toStdString();
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
} // namespace qj
