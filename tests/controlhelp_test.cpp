#include "menufixture.h"
#include "panel/controltable.h"

#include <QHelpEvent>
#include <QKeySequence>
#include <QMenuBar>
#include <QToolButton>
#include <QToolTip>

#include <set>

namespace qj {
namespace {

using test::frameOf;
using test::MenuFixture;

bool hasChinese(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

struct ControlHelpTest : MenuFixture
{
    QString tip(const char *name) { return find(QString::fromLatin1(name))->toolTip(); }
    void switchLanguage() { choose(MenuEntry::ChineseEnglish); }

    // What a person sees after resting the pointer on `widget` at `at`; empty for nothing new.
    // A tip that is hidden stays up for a moment, so a marker stands in for the one before.
    QString shownTip(QWidget *widget, QPoint at)
    {
        const QString marker = QStringLiteral("(nothing)");
        QToolTip::showText(widget->mapToGlobal(at), marker, widget);
        QHelpEvent rest(QEvent::ToolTip, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &rest);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        return text == marker ? QString() : text;
    }
};

TEST_F(ControlHelpTest, EachControlSaysWhatItSetsItsRangeAndUnit)
{
    const struct
    {
        const char *control;
        const char *chinese;
        const char *english;
    } cases[] = {
        {"MusicVolume", "音乐音量，0 到 62（上限由“最大音乐”设定）",
         "Music level, 0 to 62 (its limit is set by \"Max music\")"},
        {"BgmVolume", "背景音乐音量，0 到 62", "Background music level, 0 to 62"},
        {"EchoDelay", "回声延时，0 到 250", "Echo delay, 0 to 250"},
        {"MicEQ2k7Hz", "话筒均衡 2.7kHz，-10dB 到 +10dB", "Mic EQ 2.7kHz, -10dB to +10dB"},
        {"MusicBalance", "音乐平衡，中间 0dB，两侧最多 +10dB",
         "Music balance, 0dB at the centre, up to +10dB either side"},
        {"SubwoofLpf", "超低音选频，40Hz 到 160Hz", "Subwoofer cut-off, 40Hz to 160Hz"},
        {"FeedbackTime", "反馈抑制时间，80ms 到 120ms", "Feedback suppression time, 80ms to 120ms"},
        {"MaxMicVolume", "话筒音量上限，1 到 42：只限制“话筒音量”滑块的范围，不发送给处理器",
         "Mic level limit, 1 to 42: limits the range of the \"Mic\" slider; nothing is sent to "
         "the processor"},
        {"MusicSelect_3", "音乐输入：DVD", "Music source: DVD"},
        {"MusicPitch_5", "音乐变调：#b", "Music key shift: #b"},
        {"FeedbackClass_0", "反馈抑制：OFF", "Feedback suppression: OFF"},
        {"RunMode_0", "让处理器调出用户存储 User1（只在联机时）",
         "Makes the processor recall user memory User1 (online only)"},
        {"SaveMode_4", "选定 User5 作为保存位置；只在面板上标记，不发送给处理器",
         "Marks User5 as the place to save to; on the panel only, nothing is sent to the "
         "processor"},
        {"Mute", "静音：每按一次，切换处理器的静音；红色表示已静音",
         "Mute: each press switches the processor's mute; red while muted"},
        {"SuperBass", "超重低音：开或关", "Super bass: on or off"},
        {"SurroundMode2", "环绕模式：L-R", "Surround mode: L-R"},
        {"Text1", "端口号，1 到 99：“连接设备”打开这个编号的串口",
         "Port number, 1 to 99: \"Connect\" opens the serial port with this number"},
    };
    for (const bool english : {false, true, false}) {
        for (const auto &c : cases)
            EXPECT_EQ(tip(c.control), QString::fromUtf8(english ? c.english : c.chinese))
                << c.control;
        switchLanguage();
    }
}

TEST_F(ControlHelpTest, EveryControlHasATipOfItsOwnInBothLanguages)
{
    for (int language = 0; language < 2; ++language) {
        std::set<QString> seen;
        for (QWidget *w : view().focusChain()) {
            const QString text = w->toolTip();
            EXPECT_FALSE(text.isEmpty()) << qPrintable(w->objectName());
            EXPECT_TRUE(seen.insert(text).second)
                << qPrintable(w->objectName()) << " repeats " << qPrintable(text);
            if (language == 1) {
                EXPECT_FALSE(hasChinese(text))
                    << qPrintable(w->objectName()) << ' ' << qPrintable(text);
            }
        }
        switchLanguage();
    }
}

TEST_F(ControlHelpTest, ALevelsTipReachesAsFarAsItsSliderDoes)
{
    SpinButton *limit = find<SpinButton>(QStringLiteral("MaxMusicVolume"));
    for (int i = 0; i < 22; ++i)
        QTest::mouseClick(limit->downArrow(), Qt::LeftButton);
    EXPECT_EQ(tip("MusicVolume"), QStringLiteral("音乐音量，0 到 40（上限由“最大音乐”设定）"));
    switchLanguage();
    EXPECT_EQ(tip("MusicVolume"),
              QStringLiteral("Music level, 0 to 40 (its limit is set by \"Max music\")"));
    switchLanguage();

    // A reported limit moves the spinner but not the slider's reach, so not the tip either.
    goOnline();
    const test::Bytes f = frameOf(wire::kMaxMusicVolume, 20);
    port.arrive({f[0], f[1], f[2], f[3]});
    tick(2);
    ASSERT_EQ(limit->value(), 20);
    EXPECT_EQ(slider("MusicVolume")->maximum(), 40);
    EXPECT_EQ(tip("MusicVolume"), QStringLiteral("音乐音量，0 到 40（上限由“最大音乐”设定）"));

    form->link().OffLineStatus(); // the full range again
    EXPECT_EQ(tip("MusicVolume"), QStringLiteral("音乐音量，0 到 62（上限由“最大音乐”设定）"));
}

TEST_F(ControlHelpTest, RestingThePointerShowsTheTipAndLeavesTheValueTipAlone)
{
    LevelSlider *level = slider("MusicVolume");
    const QString valueTip = level->tipText();
    const struct
    {
        const char *what;
        QWidget *widget;
        QPoint at;
        QString expected;
    } cases[] = {
        {"beside a slider's line", level, QPoint(2, level->height() / 2), level->toolTip()},
        {"on a spinner's arrow", find<SpinButton>(QStringLiteral("MaxMicVolume"))->upArrow(),
         QPoint(3, 3), find(QStringLiteral("MaxMicVolume"))->toolTip()},
        {"on a group button", find(QStringLiteral("EchoMode_2")), QPoint(2, 2),
         QStringLiteral("回声模式：Stereo")},
        {"on the open-file entry", form->menuBar(),
         form->menuBar()->actionGeometry(entry(MenuEntry::OpenFile)).center(),
         QStringLiteral("打开文件（Ctrl+O）")},
        {"on the exit entry", form->menuBar(),
         form->menuBar()->actionGeometry(entry(MenuEntry::Exit)).center(),
         QStringLiteral("退出（Ctrl+Q）")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shownTip(c.widget, c.at), c.expected) << c.what;
    // Past the last entry of the menu bar there is nothing to tell.
    const QRect last = form->menuBar()->actionGeometry(entry(MenuEntry::Exit));
    EXPECT_EQ(shownTip(form->menuBar(), QPoint(last.right() + 20, last.center().y())), QString());
    EXPECT_EQ(level->tipText(), valueTip); // the value beside the thumb is another thing
    QToolTip::hideText();
}

TEST_F(ControlHelpTest, MenuEntriesWithKeysNameThemInTheirTips)
{
    const struct
    {
        MenuEntry entry;
        const char *chinese;
        const char *english;
    } cases[] = {
        {MenuEntry::OpenFile, "打开文件（Ctrl+O）", "Open File (Ctrl+O)"},
        {MenuEntry::SaveFile, "保存文件（Ctrl+S）", "Save File (Ctrl+S)"},
        {MenuEntry::HelpFile, "帮助文件（F1）", "Help (F1)"},
        {MenuEntry::Exit, "退出（Ctrl+Q）", "Exit (Ctrl+Q)"},
        {MenuEntry::Connect, "连接设备", "Connect"}, // no key, nothing to add
        {MenuEntry::ChineseEnglish, "中/英文", "中文/English"},
    };
    for (const bool english : {false, true}) {
        for (const auto &c : cases)
            EXPECT_EQ(entry(c.entry)->toolTip(), QString::fromUtf8(english ? c.english : c.chinese))
                << static_cast<int>(c.entry);
        switchLanguage();
    }
    // The key's text is the action's own: a key given later shows at once.
    form->menu().setKey(MenuEntry::Connect, QKeySequence(Qt::CTRL | Qt::Key_K));
    EXPECT_EQ(entry(MenuEntry::Connect)->toolTip(), QStringLiteral("连接设备（Ctrl+K）"));
}

} // namespace
} // namespace qj
