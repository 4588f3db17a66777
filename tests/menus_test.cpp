#include "menufixture.h"
#include "panel/helpwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>

namespace qj {
namespace {

using test::Bytes;
using test::farPreset;
using test::MenuFixture;
using test::writeFile;

using LinkMenuTest = MenuFixture;

TEST_F(LinkMenuTest, AfterALinkFailureDisconnectThenConnectBringsThePanelBackOnline)
{
    goOnline();
    click(QStringLiteral("EchoMode_1"));
    run(1900); // ten transmissions, none answered
    ASSERT_EQ(messages, QStringList{"数据发送失败！！！"});
    // Offline after the failure: the port is still open and connecting is spent.
    EXPECT_TRUE(port.open);
    EXPECT_FALSE(entry(MenuEntry::Connect)->isEnabled());
    EXPECT_FALSE(view().mute()->isEnabled());

    choose(MenuEntry::Offline);
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(entry(MenuEntry::Connect)->isEnabled());
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));
    EXPECT_EQ(shown(), offlinePreset());

    port.writes.clear();
    choose(MenuEntry::Connect);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0xAA, 0x00, 0x01, 0x54}}));
    acknowledge();
    port.arrive({0xAA, 0x25, 0x00, 0x30}); // RunMode reports User1
    run(2);
    EXPECT_TRUE(view().mute()->isEnabled());
    EXPECT_FALSE(entry(MenuEntry::Connect)->isEnabled());
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(LinkMenuTest, DisconnectWhileOnlineClosesThePortAndForgetsThePendingCommand)
{
    goOnline();
    key("MusicVolume", Qt::Key_Up);
    ASSERT_NE(cmd().CmdId, 0);
    choose(MenuEntry::Offline);
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(entry(MenuEntry::Connect)->isEnabled());
    EXPECT_FALSE(view().mute()->isEnabled());
    EXPECT_EQ(cmd().CmdId, 0);
    EXPECT_EQ(cmd().RetryLeft, 0);
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));
    const std::size_t written = port.writes.size();
    run(3000);
    EXPECT_EQ(port.writes.size(), written); // nothing resent into the closed port
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LinkMenuTest, DisconnectingDuringAPushSaysHowFarItGot)
{
    goOnline();
    writeFile(file("far.json"), writePreset(farPreset()));
    const int n = static_cast<int>(presetChanges(shown(), farPreset()).size());
    dialogs->openPath = file("far.json");
    choose(MenuEntry::OpenFile);
    port.arrive({0xAA});
    run();
    choose(MenuEntry::Offline);
    run();
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("预设发送中断：%1 项设置中已发送 1 项。").arg(n)});
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));
}

TEST_F(LinkMenuTest, ExitClosesTheWindowAndThePort)
{
    choose(MenuEntry::HelpFile);
    ASSERT_TRUE(port.open);
    choose(MenuEntry::Exit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(form->menuActions().helpWindow()->isVisible());
}

TEST_F(LinkMenuTest, ClosingTheWindowClosesThePortWhateverTheState)
{
    const struct
    {
        const char *state;
        bool online;
    } cases[] = {{"connecting", false}, {"online", true}};
    for (const auto &c : cases) {
        form->show();
        port.open = true;
        if (c.online)
            goOnline();
        EXPECT_TRUE(form->close()) << c.state;
        EXPECT_FALSE(port.open) << c.state;
    }
    form->close(); // closed already: nothing to close twice
    EXPECT_FALSE(port.open);
}

TEST_F(LinkMenuTest, ClosingDuringAPushEndsItWithoutAWord)
{
    goOnline();
    writeFile(file("far.json"), writePreset(farPreset()));
    dialogs->openPath = file("far.json");
    choose(MenuEntry::OpenFile);
    ASSERT_TRUE(form->menuActions().presets().pushing());
    const std::size_t sent = port.writes.size();
    form->close();
    run(3000); // the timer may still tick while the program ends
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(form->menuActions().presets().pushing());
    EXPECT_EQ(port.writes.size(), sent);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LinkMenuTest, TheLanguageIsRememberedBetweenRuns)
{
    const QString ini = file("settings.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        form->menuActions().useSettings(&settings);
        EXPECT_EQ(entry(MenuEntry::OpenFile)->text(), QStringLiteral("打开文件"));
        choose(MenuEntry::ChineseEnglish);
        EXPECT_EQ(settings.value(QStringLiteral("language")).toString(), QStringLiteral("en"));
        // Without settings the window keeps its language to itself.
        form->menuActions().useSettings(nullptr);
        choose(MenuEntry::ChineseEnglish);
        EXPECT_EQ(settings.value(QStringLiteral("language")).toString(), QStringLiteral("en"));
    }
    {
        QSettings settings(ini, QSettings::IniFormat);
        test::FakePort otherPort;
        Form1 next(otherPort);
        next.setMessagePresenter([&](const QString &text) { messages << text; });
        next.menuActions().useSettings(&settings);
        EXPECT_EQ(next.menu().action(MenuEntry::OpenFile)->text(), QStringLiteral("Open File"));
        EXPECT_EQ(next.view().statusDisplay()->text(), QStringLiteral("Status：offline"));
        next.menu().action(MenuEntry::ChineseEnglish)->trigger();
        EXPECT_EQ(next.menu().action(MenuEntry::OpenFile)->text(), QStringLiteral("打开文件"));
        EXPECT_EQ(settings.value(QStringLiteral("language")).toString(), QStringLiteral("zh_CN"));
    }
    EXPECT_TRUE(messages.isEmpty());
}

// The window opens where it was left when that place is wholly on a screen now, centred
// otherwise; its place is remembered when it closes.
TEST_F(LinkMenuTest, TheWindowOpensWhereItWasLeft)
{
    const QString ini = file("settings.ini");
    const QRect screen = form->screen()->availableGeometry();
    const auto centred = [&screen](const Form1 &w) {
        const QPoint off = w.frameGeometry().center() - screen.center();
        return std::abs(off.x()) <= 20 && std::abs(off.y()) <= 40;
    };
    {
        QSettings settings(ini, QSettings::IniFormat);
        form->useSettings(&settings); // a first start: centred
        EXPECT_TRUE(centred(*form));
        form->move(QPoint(40, 30));
        form->close();
        EXPECT_EQ(settings.value(QStringLiteral("window/position")).toPoint(), QPoint(40, 30));
    }
    const struct
    {
        QPoint remembered;
        bool kept;
    } cases[] = {
        {{40, 30}, true},
        {{screen.right() - 1100, screen.bottom() - 760}, true},
        {{screen.right() - 500, 30}, false},  // partly beyond the right edge
        {{40, screen.bottom() - 200}, false}, // the bottom row off the screen
        {{-3000, -3000}, false},              // a screen that is gone
    };
    for (const auto &c : cases) {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue(QStringLiteral("window/position"), c.remembered);
        test::FakePort otherPort;
        Form1 next(otherPort);
        next.useSettings(&settings);
        if (c.kept)
            EXPECT_EQ(next.pos(), c.remembered);
        else
            EXPECT_TRUE(centred(next)) << next.pos().x() << ',' << next.pos().y();
    }
}

TEST_F(LinkMenuTest, TheFileDialogsOpenInTheLastPresetFolder)
{
    const QString ini = file("settings.ini");
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    const QString sub = dir.filePath(QStringLiteral("sub"));
    writeFile(sub + QStringLiteral("/p.json"), writePreset(farPreset()));
    {
        QSettings settings(ini, QSettings::IniFormat);
        form->useSettings(&settings);
        dialogs->openPath = sub + QStringLiteral("/p.json");
        choose(MenuEntry::OpenFile);
        dialogs->savePath = file("saved.json");
        choose(MenuEntry::SaveFile);
        EXPECT_EQ(dialogs->folders, (QStringList{QString(), sub}));
    }
    QSettings settings(ini, QSettings::IniFormat);
    test::FakePort otherPort;
    Form1 next(otherPort);
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    test::ScriptedDialogs *nextDialogs = scripted.get();
    next.menuActions().setDialogs(std::move(scripted));
    next.useSettings(&settings);
    next.menu().action(MenuEntry::OpenFile)->trigger(); // cancelled
    next.menu().action(MenuEntry::SaveFile)->trigger();
    EXPECT_EQ(nextDialogs->folders, (QStringList{dir.path(), dir.path()}));
}

} // namespace
} // namespace qj
