#include "formfixture.h"
#include "link/serialport.h"
#include "pty.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

namespace qj {
namespace {

using test::Bytes;
using test::FormFixture;

// What every slider shows on the offline panel.
struct Default
{
    const char *slider;
    const char *caption;
    int value; // Min + Max - Value
};

const Default kDefaults[] = {
    {"MusicTreble", "0dB", 10},    {"MusicMid", "0dB", 10},        {"MusicBass", "0dB", 10},
    {"MusicBalance", "0dB", 10},   {"SubwoofLpf", "100Hz", 100},   {"MicVolume", "30", 30},
    {"MusicVolume", "30", 30},     {"SubwoofVolume", "20", 20},    {"CenterVolume", "20", 20},
    {"SurroundVolume", "20", 20},  {"BgmVolume", "30", 30},        {"MicEQ100Hz", "0dB", 10},
    {"MicEQ300Hz", "0dB", 10},     {"MicEQ900Hz", "0dB", 10},      {"MicEQ2k7Hz", "0dB", 10},
    {"MicEQ8kHz", "0dB", 10},      {"MicExciter", "0", 0},         {"MicNoiseGate", "20", 20},
    {"SingSubwoofVolume", "0", 0}, {"FeedbackTime", "100ms", 100}, {"EchoDelay", "180", 180},
    {"EchoRepat", "20", 20},       {"ReverbTime", "20", 20},       {"ReverbVolume", "20", 20},
    {"EffectVolume", "20", 20},
};

struct OfflineTest : FormFixture
{
    void expectOfflinePanel()
    {
        for (const Default &d : kDefaults) {
            LevelSlider *s = slider(d.slider);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(caption((std::string(d.slider) + "Display").c_str()),
                      QString::fromLatin1(d.caption))
                << d.slider;
            EXPECT_EQ(s->minimum() + s->maximum() - s->value(), d.value) << d.slider;
        }
        EXPECT_EQ(slider("MusicVolume")->maximum(), 62);
        EXPECT_EQ(slider("MicVolume")->maximum(), 42);
        EXPECT_EQ(caption("MaxMusicVolumeDisplay"), QStringLiteral("62"));
        EXPECT_EQ(caption("MaxMicVolumeDisplay"), QStringLiteral("42"));
        EXPECT_EQ(find<SpinButton>(QStringLiteral("MaxMusicVolume"))->value(), 62);
        EXPECT_EQ(find<SpinButton>(QStringLiteral("MaxMicVolume"))->value(), 42);
        EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
        EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SubwoofPhase"))->isChecked());
        EXPECT_TRUE(find<QRadioButton>(QStringLiteral("SurroundMode1"))->isChecked());
        EXPECT_FALSE(find<QRadioButton>(QStringLiteral("SurroundMode2"))->isChecked());

        const std::set<QString> red{"MusicSelect_5", "MusicVocal_0", "FeedbackClass_0",
                                    "KaraokeMode_0", "EchoMode_0"};
        for (CommandButton *b : view().findChildren<CommandButton *>()) {
            const QString name = b->objectName();
            const ButtonColour expected = red.count(name) ? ButtonColour::Red
                                          : name == QStringLiteral("MusicPitch_5")
                                              ? ButtonColour::Green
                                              : ButtonColour::Face;
            EXPECT_EQ(b->backColour(), expected) << qPrintable(name);
        }
        EXPECT_FALSE(view().mute()->isEnabled());
        EXPECT_FALSE(form->link().online());
        EXPECT_EQ(view().statusDisplay()->text(), QStringLiteral("当前状态：脱机"));
        EXPECT_TRUE(form->isEnabled());
        EXPECT_EQ(cmd().CmdId, 0);
        EXPECT_EQ(cmd().CmdValue, 0);
        EXPECT_EQ(cmd().ReplyTicks, 0);
        EXPECT_EQ(cmd().RetryLeft, 0);
    }
};

TEST_F(OfflineTest, StartUpLeavesThePanelOffline)
{
    expectOfflinePanel();
    EXPECT_TRUE(connectOffered());
    EXPECT_TRUE(port.writes.empty()); // the surround option's command went into a closed port
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OfflineTest, ASecondCallRestoresTheSamePanelAndForgetsItsOwnCommands)
{
    goOnline();
    key("EchoDelay", Qt::Key_End);
    key("MusicVolume", Qt::Key_Home);
    click(QStringLiteral("EchoMode_2"));
    click(QStringLiteral("MusicPitch_9"));
    click(QStringLiteral("RunMode_3"));
    click(QStringLiteral("SaveMode_1"));
    click(QStringLiteral("SuperBass"));
    click(QStringLiteral("SurroundMode2"));
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(find<SpinButton>(QStringLiteral("MaxMicVolume"))->downArrow(),
                          Qt::LeftButton);
    ASSERT_EQ(slider("MicVolume")->maximum(), 37);
    port.writes.clear();

    form->link().OffLineStatus();
    expectOfflinePanel();
    // With Mute still enabled, clearing SuperBass and selecting L/R issued their commands,
    // which the last steps forgot.
    EXPECT_EQ(port.writes,
              (std::vector<Bytes>{{0xAA, 0x16, 0x00, 0x3F}, {0xAA, 0x18, 0x00, 0x3D}}));

    const QImage once = form->grab().toImage();
    form->link().OffLineStatus();
    expectOfflinePanel();
    EXPECT_EQ(form->grab().toImage(), once);
    EXPECT_EQ(port.writes.size(), 2u); // nothing changed state, so nothing was issued
}

TEST_F(OfflineTest, KeyboardFocusSurvivesTheDisabledWindow)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const char *name : {"EchoDelay", "Text1", "MaxMicVolume", "EchoMode_3"}) {
        QWidget *w = find(QString::fromLatin1(name));
        w->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), w);
        form->link().OffLineStatus();
        EXPECT_EQ(QApplication::focusWidget(), w) << name;
    }
}

TEST_F(OfflineTest, AGiveUpShowsTheFailureOnceAndTakesThePanelOffline)
{
    goOnline();
    click(QStringLiteral("KaraokeMode_4"));
    tick(1899);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(port.writes.size(), 10u);
    tick();
    EXPECT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
    expectOfflinePanel();
    EXPECT_FALSE(connectOffered()); // a completed connection stays spent
    tick(3000);
    EXPECT_EQ(port.writes.size(), 10u);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(OfflineTest, TextsFollowTheCaptionsAtEveryCall)
{
    QAction *openFile = form->menu().action(MenuEntry::OpenFile);
    for (const bool chinese : {true, false, true}) {
        ASSERT_TRUE(form->menuActions().switchLanguage(!chinese));
        // The texts are English exactly when the open-file entry does not read "打开文件".
        EXPECT_EQ(openFile->text() == QStringLiteral("打开文件"), chinese);
        EXPECT_EQ(form->link().language(), chinese ? Language::Chinese : Language::English);
        form->link().disconnect();
        messages.clear();
        goOnline();
        EXPECT_EQ(view().statusDisplay()->text(),
                  chinese ? QStringLiteral("当前状态：联机") : QStringLiteral("State：Connect"));
        form->link().OffLineStatus();
        EXPECT_EQ(view().statusDisplay()->text(),
                  chinese ? QStringLiteral("当前状态：脱机") : QStringLiteral("Status：offline"));
        form->showMessage(Message::SendFailed);
        form->showMessage(Message::DeviceOffline);
        EXPECT_EQ(messages, (chinese ? QStringList{"数据发送失败！！！", "设备已脱机！！！"}
                                     : QStringList{"The data sends out failure！！！",
                                                   "The equipments is off-line already!!!"}));
    }
}

TEST_F(OfflineTest, ConnectFailuresSpeakChineseWhateverTheLanguage)
{
    ASSERT_TRUE(form->menuActions().switchLanguage(true));
    port.open = false;
    port.openError = PortError::AlreadyOpen;
    form->menu().action(MenuEntry::Connect)->trigger();
    EXPECT_EQ(messages, QStringList{QStringLiteral("端口已打开！！！")});
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(OfflineTest, TheMessageBoxHasTheTextOneOkNoIconAndTitleQJ)
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    qsizetype buttons = -1;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons().size();
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_TRUE(box->button(QMessageBox::Ok)->icon().isNull());
        EXPECT_TRUE(box->isModal());
        box->button(QMessageBox::Ok)->click();
    });
    WidgetPanel::showMessageBox(form.get(), QStringLiteral("数据发送失败！！！"));
    EXPECT_EQ(title, QStringLiteral("QJ"));
    EXPECT_EQ(text, QStringLiteral("数据发送失败！！！"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, 1);
}

// The modal message lets the tick run; a presenter that ticks stands in for that.
struct FailureTest : OfflineTest
{
    void SetUp() override
    {
        OfflineTest::SetUp();
        form->setMessagePresenter([this](const QString &text) {
            messages << text;
            tick(2500); // longer than a whole resend schedule
        });
        goOnline();
    }
};

TEST_F(FailureTest, AFailedWriteReportsOnceAndGoesOffline)
{
    port.writeError = PortError::DeviceLost;
    click(QStringLiteral("EchoMode_1"));
    EXPECT_EQ(messages, QStringList{QStringLiteral("数据发送失败！！！")});
    port.writeError = PortError::None;
    expectOfflinePanel();
    EXPECT_TRUE(connectOffered()); // the user may connect again
}

TEST_F(FailureTest, ALostDeviceReportsOnceAndGoesOffline)
{
    key("ReverbTime", Qt::Key_Up); // a command pending when the device goes
    port.open = false;
    form->link().deviceLost();
    EXPECT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
    expectOfflinePanel();
    EXPECT_TRUE(connectOffered());
}

TEST_F(OfflineTest, ConnectingThroughTheMenuAndTheReportsBringsThePanelOnline)
{
    port.open = false;
    view().text1()->setText(QStringLiteral(" 7"));
    form->menu().action(MenuEntry::Connect)->trigger();
    EXPECT_EQ(port.number, 7);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0xAA, 0x00, 0x01, 0x54}}));
    EXPECT_EQ(cmd().CmdId, 1);
    EXPECT_EQ(cmd().ReplyTicks, 100);
    EXPECT_EQ(cmd().RetryLeft, 10);

    acknowledge();
    EXPECT_EQ(cmd().CmdId, 0);
    port.arrive({0xAA, 0x24, 0x1E, 0x13}); // BgmVolume reports 30
    tick(2);
    EXPECT_EQ(port.writes.back(), (Bytes{0xAA}));
    EXPECT_TRUE(view().mute()->isEnabled());
    EXPECT_FALSE(connectOffered());
    EXPECT_EQ(view().statusDisplay()->text(), QStringLiteral("当前状态：联机"));
}

// The whole road on a real pseudo-terminal and the window's own serial port and timer.
TEST(RealPortTest, ConnectReportCommandAndUnplug)
{
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    Form1 form;
    QStringList messages;
    form.setMessagePresenter([&](const QString &text) { messages << text; });
    form.serialPort()->bindings().bind(5, QString::fromStdString(pty.path()));
    form.show();

    form.menu().action(MenuEntry::Connect)->trigger(); // Text1 holds "5"
    EXPECT_EQ(pty.read(4), (Bytes{0xAA, 0x00, 0x01, 0x54}));
    pty.write({0xAA});
    test::spin(30);
    EXPECT_EQ(form.link().command().CmdId, 0);

    pty.write({0xAA, 0x25, 0x02, 0x2E}); // RunMode reports User3
    EXPECT_EQ(pty.read(1), (Bytes{0xAA}));
    EXPECT_TRUE(form.view().mute()->isEnabled());
    EXPECT_EQ(form.view().button(Group::RunMode, 2)->backColour(), ButtonColour::Red);

    QTest::mouseClick(form.view().button(Group::MusicSelect, 5), Qt::LeftButton);
    EXPECT_EQ(pty.read(4), (Bytes{0xAA, 0x1A, 0x08, 0x33}));

    pty.closeMaster(); // unplugged
    for (int i = 0; i < 100 && messages.isEmpty(); ++i)
        test::spin(10);
    EXPECT_EQ(messages, QStringList{QStringLiteral("设备已脱机！！！")});
    EXPECT_FALSE(form.view().mute()->isEnabled());
    EXPECT_TRUE(form.menu().action(MenuEntry::Connect)->isEnabled());
}

} // namespace
} // namespace qj
