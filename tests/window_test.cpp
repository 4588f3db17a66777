#include "formfixture.h"
#include "menufixture.h"
#include "panel/controltable.h"
#include "panel/helpwindow.h"
#include "panel/windowplace.h"

#include "link/serialport.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QLineEdit>
#include <QMenuBar>
#include <QRawFont>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>

#include <set>

namespace qj {
namespace {

using test::FormFixture;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0); // menu text on this desktop

// ---- Design-time state: the bare client area before the window's load runs ---------------

struct DesignSlider
{
    const char *name;
    int min, max, value;
    const char *caption;
    QColor text, background;
    const char *nameLabel;
    const char *nameCaption;
};

const DesignSlider kDesignSliders[] = {
    {"MusicTreble", 0, 20, 0, "0dB", kGreen, kBlack, "Label5", "高音"},
    {"MusicMid", 0, 20, 0, "0dB", kGreen, kBlack, "Label6", "中音"},
    {"MusicBass", 0, 20, 0, "0dB", kGreen, kBlack, "Label7", "低音"},
    {"MusicBalance", 0, 20, 0, "0dB", kWhite, kBlack, "Label8", "平衡"},
    {"SubwoofLpf", 40, 160, 40, "100Hz", kWhite, kBlack, "Label9", "超低选频"},
    {"MicVolume", 0, 42, 0, "42", kWhite, kBlue, "Label27", "话筒音量"},
    {"MusicVolume", 0, 62, 0, "62", kWhite, kBlue, "Label29", "音乐音量"},
    {"SubwoofVolume", 0, 20, 0, "20", kWhite, kBlue, "Label38", "超低音量"},
    {"CenterVolume", 0, 20, 0, "20", kWhite, kBlue, "Label39", "中置音量"},
    {"SurroundVolume", 0, 20, 0, "20", kWhite, kBlue, "Label40", "环绕音量"},
    {"BgmVolume", 0, 62, 27, "20", kWhite, kBlue, "Label41", "背景音量"},
    {"MicEQ100Hz", 0, 20, 0, "0dB", kGreen, kBlack, "Label12", "100Hz"},
    {"MicEQ300Hz", 0, 20, 0, "0dB", kGreen, kBlack, "Label13", "300Hz"},
    {"MicEQ900Hz", 0, 20, 0, "0dB", kGreen, kBlack, "Label14", "900Hz"},
    {"MicEQ2k7Hz", 0, 20, 0, "0dB", kGreen, kBlack, "Label15", "2.7kHz"},
    {"MicEQ8kHz", 0, 20, 0, "0dB", kGreen, kBlack, "Label16", "8kHz"},
    {"MicExciter", 0, 40, 0, "0", kWhite, kBlack, "Label22", "激励"},
    {"MicNoiseGate", 0, 40, 0, "20", kWhite, kBlack, "Label23", "噪声门"},
    {"SingSubwoofVolume", 0, 20, 0, "0", kWhite, kBlack, "Label24", "演唱超低量"},
    {"FeedbackTime", 80, 120, 80, "0", kWhite, kBlack, "Label25", "抑制时间"},
    {"EchoDelay", 0, 250, 70, "180", kWhite, kBlack, "Label32", "回声延时"},
    {"EchoRepat", 0, 40, 20, "20", kWhite, kBlack, "Label33", "回声次数"},
    {"ReverbTime", 0, 40, 20, "20", kWhite, kBlack, "Label34", "残响延时"},
    {"ReverbVolume", 0, 40, 20, "20", kWhite, kBlack, "Label35", "残响电平"},
    {"EffectVolume", 0, 40, 20, "20", kWhite, kBlue, "Label36", "效果电平"},
};

struct DesignTest : ::testing::Test
{
    PanelView view;

    template<typename T = QWidget>
    T *find(const QString &name)
    {
        T *w = view.findChild<T *>(name, Qt::FindDirectChildrenOnly);
        EXPECT_NE(w, nullptr) << qPrintable(name);
        return w;
    }
};

TEST_F(DesignTest, SlidersAndTheirLabelsAsDesigned)
{
    for (const DesignSlider &d : kDesignSliders) {
        const QString name = QString::fromLatin1(d.name);
        auto *s = find<LevelSlider>(name);
        auto *display = find<QLabel>(name + QStringLiteral("Display"));
        auto *nameLabel = find<QLabel>(QString::fromLatin1(d.nameLabel));
        ASSERT_TRUE(s && display && nameLabel) << d.name;
        EXPECT_EQ(s->orientation(), Qt::Vertical);
        EXPECT_EQ(s->minimum(), d.min) << d.name;
        EXPECT_EQ(s->maximum(), d.max) << d.name;
        EXPECT_EQ(s->value(), d.value) << d.name;
        EXPECT_EQ(display->text(), QString::fromUtf8(d.caption)) << d.name;
        EXPECT_EQ(display->alignment(), Qt::AlignCenter);
        EXPECT_NE(display->frameShape(), QFrame::NoFrame) << d.name;
        EXPECT_TRUE(display->autoFillBackground());
        EXPECT_EQ(display->palette().color(QPalette::WindowText), d.text) << d.name;
        EXPECT_EQ(display->palette().color(QPalette::Window), d.background) << d.name;
        EXPECT_EQ(nameLabel->text(), QString::fromUtf8(d.nameCaption)) << d.name;
        EXPECT_FALSE(nameLabel->autoFillBackground()) << d.name; // transparent
        EXPECT_EQ(nameLabel->alignment(), Qt::AlignCenter);
    }
}

TEST_F(DesignTest, OtherControlsAsDesigned)
{
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("5"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("Text1"))->maxLength(), 2);
    for (const char *name : {"MaxMusicVolume", "MaxMicVolume"})
        EXPECT_EQ(find<SpinButton>(QString::fromLatin1(name))->value(), 1) << name;
    EXPECT_EQ(find<SpinButton>(QStringLiteral("MaxMusicVolume"))->maximum(), 62);
    EXPECT_EQ(find<SpinButton>(QStringLiteral("MaxMicVolume"))->maximum(), 42);
    EXPECT_EQ(find<QLabel>(QStringLiteral("MaxMusicVolumeDisplay"))->text(), QStringLiteral("62"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("MaxMicVolumeDisplay"))->text(), QStringLiteral("42"));
    EXPECT_EQ(find<QCheckBox>(QStringLiteral("SuperBass"))->text(), QStringLiteral("超重低音"));
    EXPECT_EQ(find<QCheckBox>(QStringLiteral("SubwoofPhase"))->text(), QStringLiteral("超低反相"));
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SuperBass"))->isChecked());
    EXPECT_FALSE(find<QCheckBox>(QStringLiteral("SubwoofPhase"))->isChecked());
    EXPECT_EQ(find<QRadioButton>(QStringLiteral("SurroundMode1"))->text(), QStringLiteral("L/R"));
    EXPECT_EQ(find<QRadioButton>(QStringLiteral("SurroundMode2"))->text(), QStringLiteral("L-R"));
    EXPECT_FALSE(find<QRadioButton>(QStringLiteral("SurroundMode1"))->isChecked());
    EXPECT_FALSE(find<QRadioButton>(QStringLiteral("SurroundMode2"))->isChecked());
    EXPECT_EQ(find<CommandButton>(QStringLiteral("Mute"))->text(), QStringLiteral("Mute"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusDisplay"))->text(),
              QStringLiteral("当前状态：脱机"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label1"))->text(), QString());
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label18"))->text(), QStringLiteral("Karaoke模式："));
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label42"))->text(), QStringLiteral("音乐其它功能调整"));

    // Every control enabled; two never shown; every button in button face.
    for (QWidget *w : view.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(w->isEnabled()) << qPrintable(w->objectName());
        const bool hidden = w->objectName() == QStringLiteral("MusicSelect_4") ||
                            w->objectName() == QStringLiteral("SubwoofPhase");
        EXPECT_EQ(w->isHidden(), hidden) << qPrintable(w->objectName());
        if (auto *b = qobject_cast<CommandButton *>(w)) {
            EXPECT_EQ(b->backColour(), ButtonColour::Face) << qPrintable(w->objectName());
        }
    }
}

TEST_F(DesignTest, GroupButtonsCarryTheirCaptionsInIndexOrder)
{
    const struct
    {
        const char *group;
        QStringList captions;
    } groups[] = {
        {"MusicSelect", {"BGM", "CD", "VCR", "DVD", "SD\\USB", "Auto"}},
        {"MusicVocal", {"L+R", "L+L", "R+R", "L-R"}},
        {"MusicPitch", {"b5", "b4", "b3", "b2", "b1", "#b", "#1", "#2", "#3", "#4", "#5"}},
        {"FeedbackClass", {"OFF", "Class1", "Class2", "Class3"}},
        {"KaraokeMode", {"L-C-R-AUTO", "L-R", "C", "L-C-R", "SL-C-SR", "L-SL-C-SR-R"}},
        {"EchoMode", {"Single", "Single+", "Stereo", "Stereo+"}},
        {"RunMode", {"User1", "User2", "User3", "User4", "User5"}},
        {"SaveMode", {"User1", "User2", "User3", "User4", "User5"}},
    };
    for (const auto &g : groups)
        for (int i = 0; i < g.captions.size(); ++i) {
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(g.group)).arg(i);
            EXPECT_EQ(find<CommandButton>(name)->text(), g.captions[i]) << qPrintable(name);
        }
    // Left to right the source buttons read Auto, DVD, VCR, CD, BGM.
    QList<QWidget *> shown;
    for (int i = 0; i < 6; ++i)
        if (i != 4)
            shown << find(QStringLiteral("MusicSelect_%1").arg(i));
    std::sort(shown.begin(), shown.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
    QStringList order;
    for (QWidget *w : shown)
        order << static_cast<CommandButton *>(w)->text();
    EXPECT_EQ(order, QStringList({"Auto", "DVD", "VCR", "CD", "BGM"}));
}

TEST_F(DesignTest, HundredAndFiftyNamedWidgets)
{
    // 152 controls less the timer and the serial port, which are not widgets.
    const QList<QWidget *> all =
        view.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    std::set<QString> names;
    for (QWidget *w : all) {
        EXPECT_FALSE(w->objectName().isEmpty());
        names.insert(w->objectName());
    }
    EXPECT_EQ(all.size(), 150);
    EXPECT_EQ(names.size(), 150u);
}

// ---- The window ---------------------------------------------------------------------------

using WindowTest = FormFixture;

TEST_F(WindowTest, FixedWindowWithItsCaptionIconTimerAndPort)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("QJ Karaoke V1.0"));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->size(), form->minimumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowIcon().pixmap(32, 32).isNull());
    EXPECT_EQ(form->runTimer().objectName(), QStringLiteral("RunTimer"));
    EXPECT_EQ(form->runTimer().interval(), 1);
    EXPECT_EQ(form->runTimer().timerType(), Qt::PreciseTimer);

    // The client area lies right below the menu bar and is 15135 x 9780 twips.
    EXPECT_EQ(view().size(), QSize(1009, 652));
    EXPECT_EQ(view().mapTo(form.get(), QPoint(0, 0)).y(), form->menuBar()->height());
    EXPECT_EQ(form->height(), form->menuBar()->height() + 652);
    EXPECT_EQ(form->width(), 1009);

    // It opens in the middle of its screen, give or take the frame added when it is shown.
    const QPoint offCentre =
        form->frameGeometry().center() - form->screen()->availableGeometry().center();
    const QSize frame = form->frameGeometry().size() - form->size();
    EXPECT_LE(std::abs(offCentre.x()), frame.width() + 1);
    EXPECT_LE(std::abs(offCentre.y()), frame.height() + 1);

    // Trying to stretch it changes nothing.
    form->resize(1400, 900);
    QApplication::processEvents();
    EXPECT_EQ(form->size(), form->minimumSize());
}

TEST(OwnPortWindowTest, RunsOnItsOwnSerialPortNamedAfterTheControl)
{
    Form1 form;
    ASSERT_NE(form.serialPort(), nullptr);
    EXPECT_EQ(form.serialPort()->objectName(), QStringLiteral("MSComm1"));
    EXPECT_EQ(&form.port(), static_cast<Port *>(form.serialPort()));
    EXPECT_TRUE(form.runTimer().isActive());
    EXPECT_FALSE(form.port().portOpen()); // start-up opens no port
}

TEST_F(WindowTest, NineMenuEntriesDirectlyInTheBar)
{
    const QList<QAction *> actions = form->menuBar()->actions();
    const QStringList names{"MenuOpenFile",       "MenuSaveFile", "MenuSelectCom",
                            "MenuConnect",        "MenuOffline",  "MenuReset",
                            "MenuChineseEnglish", "MenuHelpFile", "MenuExit"};
    const QStringList captions{"打开文件", "保存文件", "串口选择", "连接设备", "脱开设备",
                               "设备复位", "中/英文",  "帮助文件", "退出"};
    ASSERT_EQ(actions.size(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(actions[i]->objectName(), names[i]);
        EXPECT_EQ(actions[i]->text(), captions[i]);
        EXPECT_EQ(actions[i]->menu(), nullptr);
        EXPECT_TRUE(actions[i]->isEnabled());
        EXPECT_TRUE(actions[i]->isVisible());
        EXPECT_FALSE(actions[i]->isChecked());
    }
}

TEST_F(WindowTest, EntriesWhoseDialogIsCancelledLeaveThePanelAlone)
{
    // Every dialog is cancelled: no file, no reset, no port chosen from the one listed.
    auto dialogs = std::make_unique<test::ScriptedDialogs>();
    test::ScriptedDialogs *asked = dialogs.get();
    form->menuActions().setDialogs(std::move(dialogs));
    form->menuActions().setPortScanner([] {
        return std::vector<FoundPort>{{QStringLiteral("/dev/ttyUSB0"), {}, {}, {}, {}}};
    });
    port.open = false;

    const QImage before = form->grab().toImage();
    const QStringList quiet{"MenuOpenFile", "MenuSaveFile", "MenuSelectCom",
                            "MenuOffline",  "MenuReset",    "MenuHelpFile"};
    for (QAction *a : form->menuBar()->actions())
        if (quiet.contains(a->objectName()))
            a->trigger();
    QApplication::processEvents();
    EXPECT_EQ(asked->asked, (QStringList{"open", "save", "port", "reset"}));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form->grab().toImage(), before);
    EXPECT_TRUE(form->menuActions().helpWindow()->isVisible()); // a window of its own
}

// Where a widget's pixel (dx, dy) from its own top-left lies in a grab of the window.
QColor pixelOf(const QImage &grab, QWidget *w, int dx, int dy, QWidget *window)
{
    return grab.pixelColor(w->mapTo(window, QPoint(dx, dy)));
}

TEST_F(WindowTest, LitButtonsAndTheLampArePureColours)
{
    const QImage grab = form->grab().toImage();
    const std::set<QString> red{"MusicSelect_5", "MusicVocal_0", "FeedbackClass_0", "KaraokeMode_0",
                                "EchoMode_0"};
    const QColor face = view().palette().color(QPalette::Active, QPalette::Button);
    ASSERT_NE(face, kRed);
    ASSERT_NE(face, kGreen);
    int checked = 0;
    for (CommandButton *b : view().findChildren<CommandButton *>()) {
        if (b->isHidden())
            continue;
        const QString name = b->objectName();
        const QColor expected = red.count(name)                          ? kRed
                                : name == QStringLiteral("MusicPitch_5") ? kGreen
                                                                         : face;
        const int right = b->width() - 4, bottom = b->height() - 4;
        for (const QPoint p :
             {QPoint(3, 3), QPoint(right, 3), QPoint(3, bottom), QPoint(right, bottom)})
            EXPECT_EQ(pixelOf(grab, b, p.x(), p.y(), form.get()), expected) << qPrintable(name);
        ++checked;
    }
    EXPECT_EQ(checked, 45); // 44 group buttons shown, and Mute

    QLabel *lamp = view().lamp();
    EXPECT_EQ(pixelOf(grab, lamp, 3, 3, form.get()), QColor(0, 192, 0));
    EXPECT_EQ(pixelOf(grab, lamp, lamp->width() - 4, lamp->height() - 4, form.get()),
              QColor(0, 192, 0));
    // The status text lies on the lamp, drawn in red.
    QLabel *status = view().statusDisplay();
    EXPECT_EQ(status->palette().color(QPalette::WindowText), kRed);
    EXPECT_FALSE(status->autoFillBackground());
    int redPixels = 0;
    for (int y = 0; y < status->height(); ++y)
        for (int x = 0; x < status->width(); ++x)
            if (pixelOf(grab, status, x, y, form.get()) == kRed)
                ++redPixels;
    EXPECT_GT(redPixels, 5);
}

// The rows of a label's own picture that its text inks, top and bottom, inside its frame.
std::pair<int, int> inkRows(QLabel *label)
{
    const QImage image = label->grab().toImage();
    const QRect inside = label->contentsRect();
    const QColor background = image.pixelColor(inside.topLeft());
    int top = -1, bottom = -1;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixelColor(x, y) != background) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
    return {top, bottom};
}

TEST_F(WindowTest, HeadingsSitAtTheTopLevelWithTheirRowOtherLabelsCentre)
{
    // A heading's text stands at the top of its rectangle, however tall it was drawn, so
    // every heading inks from the same row of its own.
    std::set<int> headingInkTops;
    for (const LabelRow &row : headingRows()) {
        const QString name = QString::fromLatin1(row.name.data(), std::ssize(row.name));
        QLabel *heading = find<QLabel>(name);
        EXPECT_EQ(heading->alignment(), Qt::AlignHCenter | Qt::AlignTop) << qPrintable(name);
        const auto [top, bottom] = inkRows(heading);
        ASSERT_GE(top, 0) << qPrintable(name);
        headingInkTops.insert(top);

        // Where a row of controls starts right beside it, the text lies within that row.
        const QRect own = heading->geometry();
        for (QWidget *w : view().findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect c = w->geometry();
            const bool beside = std::abs(c.left() - (own.right() + 1)) <= 12 &&
                                c.top() <= own.bottom() && c.bottom() >= own.top();
            if (!beside || !w->isVisible() || qobject_cast<QLabel *>(w))
                continue;
            EXPECT_GE(own.top() + top, c.top())
                << qPrintable(name) << " beside " << qPrintable(w->objectName());
            EXPECT_LE(own.top() + bottom, c.bottom())
                << qPrintable(name) << " beside " << qPrintable(w->objectName());
        }
    }
    EXPECT_EQ(headingInkTops.size(), 1u);

    // Value labels and the name labels under the sliders centre their text both ways.
    QList<QLabel *> centred;
    for (const SliderRow &row : sliderRows()) {
        centred << find<QLabel>(QString::fromLatin1(row.name.data(), std::ssize(row.name)) +
                                QStringLiteral("Display"));
        centred << find<QLabel>(
            QString::fromLatin1(row.nameLabel.data(), std::ssize(row.nameLabel)));
    }
    centred << find<QLabel>(QStringLiteral("MaxMusicVolumeDisplay"))
            << find<QLabel>(QStringLiteral("MaxMicVolumeDisplay"));
    for (QLabel *label : centred) {
        EXPECT_EQ(label->alignment(), Qt::AlignCenter) << qPrintable(label->objectName());
        const auto [top, bottom] = inkRows(label);
        ASSERT_GE(top, 0) << qPrintable(label->objectName());
        const QRect inside = label->contentsRect();
        const int above = top - inside.top(), below = inside.bottom() - bottom;
        EXPECT_LE(std::abs(above - below), 3) << qPrintable(label->objectName());
    }
}

// The family the text engine really draws each character of `text` with in `font`.
QStringList familiesUsed(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        for (const quint32 glyph : run.glyphIndexes())
            if (glyph == 0)
                families << QStringLiteral("(missing glyph)");
        families << run.rawFont().familyName();
    }
    return families;
}

TEST_F(WindowTest, ChineseCaptionsAreDrawnInAChineseFont)
{
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    ASSERT_FALSE(chinese.isEmpty()) << "no Simplified Chinese font installed";
    for (const char *name :
         {"Label2", "Label42", "Label5", "Label41", "StatusDisplay", "SuperBass"}) {
        QWidget *w = find(QString::fromLatin1(name));
        const QString text = qobject_cast<QLabel *>(w) ? static_cast<QLabel *>(w)->text()
                                                       : static_cast<QCheckBox *>(w)->text();
        const QStringList used = familiesUsed(text, w->font());
        ASSERT_FALSE(used.isEmpty()) << name;
        for (const QString &family : used)
            EXPECT_TRUE(chinese.contains(family)) << name << " drawn in " << qPrintable(family);
    }

    // The lamp's text asks for 10.5 point 宋体 and gets it or a Chinese face.
    const QFont font = view().statusDisplay()->font();
    EXPECT_EQ(font.families().value(0), QStringLiteral("宋体"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 10.5);
    EXPECT_TRUE(chinese.contains(QFontInfo(font).family())) << qPrintable(QFontInfo(font).family());
}

// A 1366 x 768 laptop at 125 % leaves 1093 x 614: the window fits it, the menu bar whole above
// a scrolling client area, and every control, the bottom row included, can be brought into view.
// Back on a screen with room, the window is as designed again.
TEST_F(WindowTest, OnASmallScreenTheWholePanelStaysReachable)
{
    const QRect laptop(0, 0, 1093, 614);
    form->fitTo(laptop);
    QApplication::processEvents();
    QScrollArea *scroll = form->clientScroll();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(view().parentWidget(), scroll->viewport());
    EXPECT_EQ(view().size(), QSize(1009, 652)); // the layout inside is unchanged
    EXPECT_LE(form->frameGeometry().width(), laptop.width());
    EXPECT_LE(form->frameGeometry().height(), laptop.height());
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0); // wide enough: it scrolls down only
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);

    const auto inWindow = [this](QWidget *w) {
        return form->rect().contains(QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()));
    };
    const auto inViewport = [scroll](QWidget *w) {
        return scroll->viewport()->rect().contains(
            QRect(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size()));
    };
    for (QAction *a : form->menuBar()->actions()) {
        const QRect r = form->menuBar()->actionGeometry(a);
        EXPECT_TRUE(form->menuBar()->rect().contains(r)) << qPrintable(a->objectName());
    }
    EXPECT_TRUE(inWindow(form->menuBar()));
    for (QWidget *w : {static_cast<QWidget *>(view().statusDisplay()),
                       static_cast<QWidget *>(view().button(Group::SaveMode, 4)),
                       static_cast<QWidget *>(view().button(Group::KaraokeMode, 0)),
                       static_cast<QWidget *>(view().text1())}) {
        scroll->ensureWidgetVisible(w);
        EXPECT_TRUE(inViewport(w)) << qPrintable(w->objectName());
        EXPECT_TRUE(inWindow(w)) << qPrintable(w->objectName());
    }
    // The keyboard brings the focus into view: Tab to the last save slot.
    scroll->verticalScrollBar()->setValue(0);
    QWidget *last = view().button(Group::SaveMode, 4);
    ASSERT_TRUE(view().focusChain().contains(last));
    view().focusChain().first()->setFocus();
    for (int i = 0; i < 200 && QApplication::focusWidget() != last; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), last);
    EXPECT_TRUE(inViewport(last));

    form->fitTo(QRect(0, 0, 1920, 1080));
    QApplication::processEvents();
    EXPECT_EQ(form->clientScroll(), nullptr);
    EXPECT_EQ(view().parentWidget(), form.get());
    EXPECT_TRUE(view().isVisible());
    EXPECT_EQ(form->width(), 1009);
    EXPECT_EQ(form->height(), form->menuBar()->height() + 652);
    EXPECT_EQ(view().mapTo(form.get(), QPoint(0, 0)).y(), form->menuBar()->height());
}

// Which sizes need the scroll area, and how large the window then is.
TEST(WindowFitTest, ScrollsOnlyWhereTheScreenIsTooSmall)
{
    const QSize natural(1009, 677);
    const int bar = 15;
    const struct
    {
        QSize room;
        bool scrolls;
        QSize size;
    } cases[] = {
        {{1912, 1040}, false, natural},   {{1009, 677}, false, natural}, // exactly
        {{1085, 580}, true, {1024, 580}}, // too low: a bar down the side
        {{1015, 580}, true, {1015, 580}}, // ... which then needs one along the bottom too
        {{900, 1000}, true, {900, 692}},  // too narrow: a bar along the bottom
        {{900, 680}, true, {900, 680}},   // ... which makes it too low as well
        {{792, 560}, true, {792, 560}},   // too small both ways
    };
    for (const auto &c : cases) {
        const WindowFit fit = fitWindow(natural, c.room, bar);
        EXPECT_EQ(fit.scrolls, c.scrolls) << c.room.width() << 'x' << c.room.height();
        EXPECT_EQ(fit.size, c.size) << c.room.width() << 'x' << c.room.height();
    }
}

TEST(WindowFitTest, APlaceCountsWhenTheWindowLiesWhollyOnOneScreen)
{
    const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    const QSize window(1017, 708);
    EXPECT_TRUE(placeOnScreens(QRect(QPoint(100, 80), window), screens));
    EXPECT_TRUE(placeOnScreens(QRect(QPoint(2000, 300), window), screens));
    EXPECT_FALSE(placeOnScreens(QRect(QPoint(1500, 80), window), screens)); // across the seam
    EXPECT_FALSE(placeOnScreens(QRect(QPoint(100, 500), window), screens)); // off the bottom
    EXPECT_FALSE(placeOnScreens(QRect(QPoint(-5000, 80), window), screens));
    EXPECT_FALSE(placeOnScreens(QRect(QPoint(100, 80), window), {}));
}

TEST_F(WindowTest, EveryControlLiesInsideTheClientArea)
{
    const QRect client(QPoint(0, 0), QSize(1009, 652));
    for (QWidget *w : view().findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(client.contains(w->geometry())) << qPrintable(w->objectName());
        EXPECT_FALSE(w->geometry().isEmpty()) << qPrintable(w->objectName());
    }
}

TEST_F(WindowTest, ControlsStandWhereTheTwipsTablePutsThem)
{
    // Twips / 15, a sample of every kind, the invisible ones included.
    const struct
    {
        const char *name;
        QRect pixels;
    } samples[] = {
        {"Text1", {492, 0, 33, 21}},
        {"MusicSelect_5", {80, 20, 53, 25}},
        {"MusicSelect_4", {424, 20, 53, 25}},
        {"MusicVocal_3", {912, 16, 53, 25}},
        {"MusicPitch_10", {808, 56, 53, 25}},
        {"FeedbackClass_3", {608, 516, 61, 25}},
        {"KaraokeMode_0", {96, 584, 93, 21}},
        {"KaraokeMode_5", {476, 584, 77, 21}},
        {"EchoMode_0", {668, 584, 69, 21}},
        {"RunMode_4", {348, 616, 53, 21}},
        {"SaveMode_4", {776, 616, 57, 21}},
        {"Mute", {464, 220, 73, 29}},
        {"SuperBass", {372, 228, 73, 17}},
        {"SubwoofPhase", {252, 92, 73, 17}},
        {"SurroundMode2", {484, 268, 53, 25}},
        {"MaxMicVolume", {508, 168, 29, 33}},
        {"MaxMicVolumeDisplay", {456, 168, 49, 33}},
        {"StatusDisplay", {880, 616, 105, 21}},
        {"Label1", {872, 608, 125, 33}},
        {"Label19", {416, 616, 77, 33}},
        {"Label31", {736, 332, 141, 25}},
        {"MusicBalance", {244, 132, 42, 181}},
        {"MusicBalanceDisplay", {240, 108, 45, 21}},
        {"Label8", {232, 316, 65, 17}},
        {"EffectVolume", {944, 380, 42, 181}},
        {"EffectVolumeDisplay", {944, 352, 45, 21}},
        {"Label36", {932, 564, 65, 17}},
        {"FeedbackTime", {548, 376, 42, 181}},
        {"FeedbackTimeDisplay", {548, 348, 45, 21}},
        {"Label25", {532, 564, 65, 17}},
        {"MicVolume", {600, 124, 42, 181}},
        {"Label27", {588, 308, 65, 17}},
    };
    for (const auto &s : samples)
        EXPECT_EQ(find(QString::fromLatin1(s.name))->geometry(), s.pixels) << s.name;
}

// The controls the keyboard focus visits, in order (SubwoofPhase and "SD\USB" are invisible).
QStringList expectedFocusOrder()
{
    QStringList order;
    const auto group = [&](const char *name, int n, int skip = -1) {
        for (int i = 0; i < n; ++i)
            if (i != skip)
                order << QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
    };
    group("MusicSelect", 6, 4);
    group("MusicVocal", 4);
    group("MusicPitch", 11);
    order << "MusicTreble"
          << "MusicMid"
          << "MusicBass"
          << "MusicBalance"
          << "SubwoofLpf"
          << "MaxMusicVolume"
          << "MaxMicVolume"
          << "SuperBass"
          << "Mute"
          << "SurroundMode1"
          << "SurroundMode2"
          << "MicVolume"
          << "MusicVolume"
          << "SubwoofVolume"
          << "CenterVolume"
          << "SurroundVolume"
          << "BgmVolume"
          << "MicEQ100Hz"
          << "MicEQ300Hz"
          << "MicEQ900Hz"
          << "MicEQ2k7Hz"
          << "MicEQ8kHz"
          << "MicExciter"
          << "MicNoiseGate"
          << "SingSubwoofVolume"
          << "FeedbackTime";
    group("FeedbackClass", 4);
    order << "EchoDelay"
          << "EchoRepat"
          << "ReverbTime"
          << "ReverbVolume"
          << "EffectVolume";
    group("KaraokeMode", 6);
    group("EchoMode", 4);
    group("RunMode", 5);
    group("SaveMode", 5);
    order << "Text1";
    return order;
}

TEST_F(WindowTest, TheFocusChainRunsInTheDesignedOrder)
{
    goOnline(); // Mute takes part only while enabled
    QStringList chain;
    QWidget *start = find(QStringLiteral("MusicSelect_0"));
    QWidget *w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(form.get()) && w->isEnabled() &&
            view().isAncestorOf(w))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(chain, expectedFocusOrder());
}

TEST_F(WindowTest, TabVisitsTheControlsInOrderAndNeverTheInvisibleOnes)
{
    goOnline();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The options are one stop, on the selected one: SurroundMode1 after start-up.
    QStringList expected = expectedFocusOrder();
    expected.removeOne(QStringLiteral("SurroundMode2"));
    find(QStringLiteral("MusicSelect_0"))->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size() + 1; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // Around once, back to the start.
    EXPECT_EQ(visited.mid(0, expected.size()), expected);
    EXPECT_EQ(visited.last(), expected.first());
    EXPECT_FALSE(visited.contains(QStringLiteral("SubwoofPhase")));
    EXPECT_FALSE(visited.contains(QStringLiteral("MusicSelect_4")));

    // Asking the invisible ones for the focus does not give it to them either.
    find(QStringLiteral("SubwoofPhase"))->setFocus();
    EXPECT_NE(QApplication::focusWidget()->objectName(), QStringLiteral("SubwoofPhase"));
}

TEST_F(WindowTest, TheOptionsAreOneTabStopOnTheSelectedOne)
{
    goOnline();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const auto tab = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        return QApplication::focusWidget()->objectName();
    };
    for (const QString &selected :
         {QStringLiteral("SurroundMode1"), QStringLiteral("SurroundMode2")}) {
        find<QRadioButton>(selected)->setChecked(true);
        find(QStringLiteral("Mute"))->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(tab(Qt::Key_Tab), selected);
        EXPECT_EQ(tab(Qt::Key_Tab), QStringLiteral("MicVolume"));
        EXPECT_EQ(tab(Qt::Key_Backtab), selected);
        EXPECT_EQ(tab(Qt::Key_Backtab), QStringLiteral("Mute"));
    }
}

TEST_F(WindowTest, OfflineMuteIsSkippedByTab)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    find(QStringLiteral("SuperBass"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("SurroundMode1"));
}

// The window shown and closed before the desktop's activation of it arrives, as with a short
// --screenshot run: the activation hands a control the focus in the hidden window, and that
// focus leaves only when the control is destroyed. It must reach no part of the view already
// gone (UBSan watches this).
TEST(WindowEndTest, FocusArrivingAfterTheCloseLeavesCleanly)
{
    test::FakePort port;
    auto form = std::make_unique<Form1>(port);
    form->show();
    form->close();
    QCoreApplication::processEvents();
    form.reset();
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

} // namespace
} // namespace qj
