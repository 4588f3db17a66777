#include "linkrig.h"
#include "params/fileproblem.h"
#include "params/offlinedefaults.h"
#include "params/texts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace qj {
namespace {

using test::LinkRig;

void expectOffline(const LinkRig &rig)
{
    for (const Parameter &p : parameters()) {
        if (p.kind != ControlKind::Slider)
            continue;
        const int d = offlineDefault(p.wireId);
        ASSERT_GE(d, p.min) << p.control;
        EXPECT_EQ(rig.panel.shown(p.wireId), d) << p.control;
        EXPECT_EQ(rig.panel.displayCaption(p.wireId), labelText(p.style, d)) << p.control;
    }
    EXPECT_EQ(rig.panel.displayCaption(36), QStringLiteral("30"));
    EXPECT_EQ(rig.panel.displayCaption(29), QStringLiteral("62"));
    EXPECT_EQ(rig.panel.displayCaption(30), QStringLiteral("42"));
    EXPECT_EQ(rig.panel.value(Control::MaxMusicVolume), 62);
    EXPECT_EQ(rig.panel.value(Control::MaxMicVolume), 42);
    EXPECT_EQ(rig.panel.sliderMax(31), 62);
    EXPECT_EQ(rig.panel.sliderMax(32), 42);
    EXPECT_EQ(rig.panel.value(Control::SuperBass), 0);
    EXPECT_EQ(rig.panel.value(Control::SubwoofPhase), 0);
    EXPECT_EQ(rig.panel.value(Control::SurroundMode1), 1);
    EXPECT_EQ(rig.panel.value(Control::SurroundMode2), 0);
    for (const ButtonGroup &g : buttonGroups()) {
        for (int i = 0; i < g.count; ++i) {
            ButtonColour want = ButtonColour::Face;
            if (i == g.offlineChoice)
                want = g.group == Group::MusicPitch ? ButtonColour::Green : ButtonColour::Red;
            EXPECT_EQ(rig.panel.buttonColour(g.group, i), want) << g.name << " " << i;
        }
    }
    EXPECT_FALSE(rig.link.online());
    EXPECT_EQ(rig.panel.muteColour(), ButtonColour::Face);
    EXPECT_TRUE(rig.panel.windowEnabled());
    EXPECT_EQ(rig.cmd.CmdId, 0);
    EXPECT_EQ(rig.cmd.CmdValue, 0);
    EXPECT_EQ(rig.cmd.ReplyTicks, 0);
    EXPECT_EQ(rig.cmd.RetryLeft, 0);
}

TEST(OffLineStatus, StartUpShowsTheDefaults)
{
    LinkRig rig;
    expectOffline(rig);
    EXPECT_EQ(rig.status, QStringLiteral("当前状态：脱机"));
    EXPECT_EQ(rig.link.state(), LinkState::Closed);
    EXPECT_TRUE(rig.connectOffered());
    // The box and option changes ran their handlers with the window disabled.
    EXPECT_FALSE(rig.windowEnabledWhenChanged.empty());
    for (bool enabled : rig.windowEnabledWhenChanged)
        EXPECT_FALSE(enabled);
}

TEST(OffLineStatus, TwiceIsTheSameAsOnce)
{
    LinkRig rig;
    rig.OffLineStatus();
    expectOffline(rig);
}

TEST(OffLineStatus, GivingUpWhileOnlineForgetsTheCommandsItsOwnStepsIssue)
{
    LinkRig rig;
    rig.goOnline();
    // Everything away from its default, the way a session leaves it.
    rig.panel.setValue(Control::SuperBass, 1);
    rig.panel.setValue(Control::SurroundMode2, 1);
    rig.panel.setValue(Control::MaxMusicVolume, 20);
    rig.panel.setValue(Control::MaxMicVolume, 10);
    rig.buttons.GroupClick(Group::RunMode, 3);
    rig.buttons.GroupClick(Group::SaveMode, 1);
    rig.panel.setSliderValue(1, 0);
    rig.sliders.Scroll(1);
    rig.panel.setMuteColour(ButtonColour::Red);
    const std::size_t before = rig.frames().size();
    rig.tick(1900); // unanswered: give up
    EXPECT_EQ(rig.errors, 1);
    // The surround and super-bass steps sent their commands on the way down...
    const auto frames = rig.frames();
    ASSERT_GT(frames.size(), before + 9);
    EXPECT_EQ(frames.back(), (std::vector<std::uint8_t>{0xAA, 0x18, 0x00, 0x3D}));
    // ...and the state forgot them.
    expectOffline(rig);
    rig.tick(5000);
    EXPECT_EQ(rig.frames().size(), frames.size());
}

TEST(OffLineStatus, TheStatusTextIsInTheLinksLanguageOfTheMoment)
{
    LinkRig rig;
    rig.link.setLanguage(Language::English);
    rig.OffLineStatus();
    EXPECT_EQ(rig.status, QStringLiteral("Status：offline"));
    rig.link.setLanguage(Language::Chinese);
    rig.OffLineStatus();
    EXPECT_EQ(rig.status, QStringLiteral("当前状态：脱机"));
}

TEST(Texts, EveryTextInBothLanguages)
{
    const struct
    {
        Message message;
        const char16_t *chinese;
        const char16_t *english;
    } cases[] = {
        {Message::SendFailed, u"数据发送失败！！！", u"The data sends out failure！！！"},
        {Message::NoPort, u"   找不到有效的\r\n串行通讯端口！！！",
         u"  Can not find a valid\r\nCom port！！！"},
        {Message::SelectPort, u"   请选择有效的\r\n串行通讯端口！！！",
         u"  Please select a valid\r\nCom port！！！"},
        {Message::DeviceOffline, u"设备已脱机！！！", u"The equipments is off-line already!!!"},
        // The port's own refusals are always Chinese.
        {Message::PortInvalid, u"端口无效！！！", u"端口无效！！！"},
        {Message::PortAlreadyOpen, u"端口已打开！！！", u"端口已打开！！！"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(messageText(c.message, Language::Chinese), QString::fromUtf16(c.chinese));
        EXPECT_EQ(messageText(c.message, Language::English), QString::fromUtf16(c.english));
    }
    EXPECT_EQ(statusText(Status::Offline, Language::Chinese), QStringLiteral("当前状态：脱机"));
    EXPECT_EQ(statusText(Status::Offline, Language::English), QStringLiteral("Status：offline"));
    EXPECT_EQ(statusText(Status::Connected, Language::Chinese), QStringLiteral("当前状态：联机"));
    EXPECT_EQ(statusText(Status::Connected, Language::English), QStringLiteral("State：Connect"));
    for (Language language : {Language::Chinese, Language::English}) {
        const QString denied =
            messageText(Message::AccessDenied, language, QStringLiteral("/dev/ttyUSB0"));
        EXPECT_TRUE(denied.contains(QStringLiteral("/dev/ttyUSB0")));
        EXPECT_TRUE(denied.contains(QStringLiteral("dialout")));
    }
    // A device another program holds: which device, and the holder when its lock names it.
    const QString device = QStringLiteral("/dev/ttyUSB0"),
                  holder = QStringLiteral("qjd, process 7");
    EXPECT_EQ(messageText(Message::PortInUse, Language::Chinese, device, holder),
              QStringLiteral("无法打开串口 /dev/ttyUSB0：它正被其他程序占用（qjd, process 7）。"));
    EXPECT_EQ(messageText(Message::PortInUse, Language::English, device, holder),
              QStringLiteral("Cannot open the serial port /dev/ttyUSB0: it is in use by another "
                             "program (qjd, process 7)."));
    EXPECT_EQ(messageText(Message::PortInUse, Language::English, device),
              QStringLiteral("Cannot open the serial port /dev/ttyUSB0: it is in use by another "
                             "program."));
}

// The system's reason for a failed read or write, in the person's language: the common errors
// as sentences of their own, the rare ones with their number and the system's words.
TEST(Texts, FileProblemsFromTheSystemsErrors)
{
    const struct
    {
        int error;
        bool writing;
        FileProblem::Kind kind;
        const char *chinese;
        const char *english;
    } cases[] = {
        {ENOENT, false, FileProblem::NotFound, "文件不存在。", "the file does not exist."},
        {ENOTDIR, false, FileProblem::NotFound, "文件不存在。", "the file does not exist."},
        {ENOENT, true, FileProblem::NotFound, "文件夹不存在。", "the folder does not exist."},
        {EPERM, false, FileProblem::PermissionDenied, "没有读取这个文件的权限。",
         "you have no permission to read this file."},
        {EACCES, true, FileProblem::PermissionDenied, "没有在这里写入的权限。",
         "you have no permission to write there."},
        {EISDIR, true, FileProblem::IsADirectory, "这是一个文件夹，不是文件。",
         "this is a folder, not a file."},
        {EDQUOT, true, FileProblem::DiskFull, "磁盘已满。", "the disk is full."},
        {ENOSPC, true, FileProblem::DiskFull, "磁盘已满。", "the disk is full."},
    };
    for (const auto &c : cases) {
        const FileProblem problem = FileProblem::fromErrno(c.error, c.writing);
        EXPECT_TRUE(problem) << c.error;
        EXPECT_EQ(problem.kind, c.kind) << c.error;
        EXPECT_EQ(fileProblemText(problem, Language::Chinese), QString::fromUtf8(c.chinese));
        EXPECT_EQ(fileProblemText(problem, Language::English), QString::fromUtf8(c.english));
    }
    EXPECT_FALSE(FileProblem::fromErrno(0, false));

    const FileProblem rare = FileProblem::fromErrno(EIO, false);
    const QString words = QString::fromLocal8Bit(std::strerror(EIO));
    EXPECT_EQ(fileProblemText(rare, Language::Chinese),
              QStringLiteral("系统错误 %1（%2）。").arg(EIO).arg(words));
    EXPECT_EQ(fileProblemText(rare, Language::English),
              QStringLiteral("system error %1 (%2).").arg(EIO).arg(words));
}

} // namespace
} // namespace qj
