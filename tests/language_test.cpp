#include "menufixture.h"
#include "panel/helpwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>

#include <map>

namespace qj {
namespace {

using test::MenuFixture;

bool hasChinese(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

struct LanguageTest : MenuFixture
{
    // Every caption of the window by object name: labels, buttons, boxes, options, menu.
    std::map<QString, QString> captions()
    {
        std::map<QString, QString> out;
        for (QLabel *l : view().findChildren<QLabel *>())
            if (l != view().statusDisplay())
                out[l->objectName()] = l->text();
        for (QAbstractButton *b : view().findChildren<QAbstractButton *>())
            if (!b->objectName().isEmpty())
                out[b->objectName()] = b->text();
        for (QAction *a : form->menuBar()->actions())
            out[a->objectName()] = a->text();
        return out;
    }
    void switchLanguage() { choose(MenuEntry::ChineseEnglish); }
};

TEST_F(LanguageTest, EveryCaptionTurnsEnglishAndBackToTheSameChinese)
{
    const std::map<QString, QString> chinese = captions();
    ASSERT_GT(chinese.size(), 120u);
    switchLanguage();
    const std::map<QString, QString> english = captions();
    ASSERT_EQ(english.size(), chinese.size());

    const std::pair<const char *, const char *> expected[] = {
        {"MenuOpenFile", "Open File"},
        {"MenuSaveFile", "Save File"},
        {"MenuSelectCom", "Select Port"},
        {"MenuConnect", "Connect"},
        {"MenuOffline", "Disconnect"},
        {"MenuReset", "Reset"},
        {"MenuChineseEnglish", "中文/English"}, // findable whichever language one reads
        {"MenuHelpFile", "Help"},
        {"MenuExit", "Exit"},
        {"Label2", "Source:"},
        {"Label4", "Music EQ"},
        {"Label18", "Karaoke:"},
        {"Label29", "Music"},
        {"Label15", "2.7kHz"},
        {"SuperBass", "Bass+"},
        {"SubwoofPhase", "Phase"},
        {"Mute", "Mute"},
        {"SurroundMode2", "L-R"},
        {"MusicPitch_5", "#b"},
        {"KaraokeMode_5", "L-SL-C-SR-R"},
    };
    for (const auto &[name, text] : expected)
        EXPECT_EQ(english.at(QString::fromLatin1(name)), QString::fromUtf8(text)) << name;
    for (const auto &[name, text] : english) {
        if (name != QStringLiteral("MenuChineseEnglish")) {
            EXPECT_FALSE(hasChinese(text)) << qPrintable(name) << ' ' << qPrintable(text);
        }
        if (!hasChinese(chinese.at(name))) {
            EXPECT_EQ(text, chinese.at(name)) << qPrintable(name) << ": Latin captions stay";
        }
    }

    switchLanguage();
    EXPECT_EQ(captions(), chinese);
    EXPECT_EQ(entry(MenuEntry::OpenFile)->text(), QStringLiteral("打开文件"));
}

TEST_F(LanguageTest, StatusAndMessagesFollowTheSwitchInEveryState)
{
    struct Case
    {
        const char *state;
        std::function<void()> enter;
        const char *chinese;
        const char *english;
    };
    const Case cases[] = {
        {"offline", [] {}, "当前状态：脱机", "Status：offline"},
        {"online", [this] { goOnline(); }, "当前状态：联机", "State：Connect"},
        {"connecting", [this] { choose(MenuEntry::Connect); }, "当前状态：脱机", "Status：offline"},
    };
    for (const Case &c : cases) {
        form->link().disconnect(); // closed, connecting offered again
        c.enter();
        ASSERT_EQ(status(), QString::fromUtf8(c.chinese)) << c.state;

        switchLanguage();
        EXPECT_EQ(entry(MenuEntry::OpenFile)->text(), QStringLiteral("Open File"));
        EXPECT_EQ(form->link().language(), Language::English);
        EXPECT_EQ(status(), QString::fromUtf8(c.english)) << c.state;
        messages.clear();
        form->showMessage(Message::SendFailed);
        choose(MenuEntry::SelectCom); // no ports here
        EXPECT_EQ(messages, (QStringList{"The data sends out failure！！！",
                                         "  Can not find a valid\r\nCom port！！！"}))
            << c.state;

        switchLanguage();
        EXPECT_EQ(form->link().language(), Language::Chinese);
        EXPECT_EQ(status(), QString::fromUtf8(c.chinese)) << c.state;
        messages.clear();
        form->showMessage(Message::SendFailed);
        EXPECT_EQ(messages, QStringList{"数据发送失败！！！"}) << c.state;
    }
}

// How wide a box's or an option's caption may be: what the style leaves beside the mark.
int textRoom(QAbstractButton *b)
{
    QStyleOptionButton option;
    option.initFrom(b);
    const bool box = qobject_cast<QCheckBox *>(b) != nullptr;
    return b->style()
        ->subElementRect(box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents,
                         &option, b)
        .width();
}

// Where a caption's text is drawn on the client area, a little wider than its glyphs so that
// two captions that touch count as colliding.
QRect textArea(QWidget *w)
{
    constexpr int kGap = 2; // pixels that keep two words apart
    QString text;
    QRect room;
    if (auto *l = qobject_cast<QLabel *>(w)) {
        text = l->text();
        room = l->contentsRect();
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (!qobject_cast<QCheckBox *>(b) && !qobject_cast<QRadioButton *>(b))
            return w->geometry(); // a push button is solid all over
        text = b->text();
        room = QRect(b->width() - textRoom(b), 0, textRoom(b), b->height());
    } else {
        return w->geometry();
    }
    const int width = w->fontMetrics().horizontalAdvance(text) + 2 * kGap;
    QRect area(0, 0, width, room.height());
    area.moveCenter(room.center());
    if (!qobject_cast<QLabel *>(w))
        area.moveLeft(room.left() - kGap); // box and option captions start beside the mark
    return area.translated(w->pos());
}

// How far each caption runs into another control or caption, by pair, in pixels.
std::map<std::pair<QString, QString>, int> collisions(PanelView &view)
{
    std::map<std::pair<QString, QString>, int> out;
    const QList<QWidget *> all = view.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *w : all) {
        const auto *l = qobject_cast<QLabel *>(w);
        const auto *b = qobject_cast<QAbstractButton *>(w);
        if (!w->isVisible() || (!l && !b) || (l && l->text().isEmpty()))
            continue;
        const QRect mine = textArea(w);
        for (QWidget *other : all) {
            if (other == w || !other->isVisible() || other->geometry().contains(w->geometry()))
                continue; // the lamp lies under the status text by design
            const QRect overlap = mine.intersected(textArea(other));
            if (!overlap.isEmpty())
                out[{w->objectName(), other->objectName()}] = overlap.width();
        }
    }
    return out;
}

// Some Chinese captions touch their neighbours already; an English one may not go further.
TEST_F(LanguageTest, EnglishCaptionsRunIntoNothingFurtherThanTheChinese)
{
    const auto chinese = collisions(view());
    switchLanguage();
    for (const auto &[pair, width] : collisions(view())) {
        const auto it = chinese.find(pair);
        EXPECT_LE(width, it == chinese.end() ? 0 : it->second)
            << qPrintable(pair.first) << " runs into " << qPrintable(pair.second);
    }
}

TEST_F(LanguageTest, CaptionsFitTheirControlsInBothLanguages)
{
    for (int language = 0; language < 2; ++language) {
        const char *which = language == 0 ? "Chinese" : "English";
        for (QLabel *l : view().findChildren<QLabel *>()) {
            if (l == view().statusDisplay() || l->text().isEmpty())
                continue;
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
                << which << ' ' << qPrintable(l->objectName()) << ' ' << qPrintable(l->text());
        }
        for (QAbstractButton *b : view().findChildren<QAbstractButton *>()) {
            if (!qobject_cast<QCheckBox *>(b) && !qobject_cast<QRadioButton *>(b))
                continue;
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), textRoom(b))
                << which << ' ' << qPrintable(b->objectName()) << ' ' << qPrintable(b->text());
        }
        // All nine entries stay in one row of the menu bar.
        QMenuBar *bar = form->menuBar();
        const QRect last = bar->actionGeometry(entry(MenuEntry::Exit));
        EXPECT_EQ(last.top(), bar->actionGeometry(entry(MenuEntry::OpenFile)).top()) << which;
        EXPECT_LE(last.right(), bar->width()) << which;
        switchLanguage();
    }

    // The status lamp holds its longest texts in both languages.
    QLabel *lamp = view().statusDisplay();
    for (const Language language : {Language::Chinese, Language::English}) {
        for (const QString &text :
             {statusText(Status::Offline, language), statusText(Status::Connected, language),
              sendingText(36, 36, language)})
            EXPECT_LE(lamp->fontMetrics().horizontalAdvance(text), lamp->contentsRect().width())
                << qPrintable(text);
        switchLanguage();
    }
}

// Qt's own texts (file dialogs, standard buttons, the overwrite question) follow the switch.
TEST_F(LanguageTest, QtsOwnDialogsAndButtonsFollowTheSwitch)
{
    ASSERT_TRUE(QFileInfo::exists(Translation::qtDirectory() + QStringLiteral("/qtbase_zh_CN.qm")))
        << "Qt's translations are missing: install qt6-translations-l10n";
    const auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    };
    const auto fileDialogTexts = [] {
        QFileDialog dialog(nullptr, QString(), QDir::tempPath());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QStringList texts;
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            texts << label->text();
        return texts.join(u'|');
    };
    EXPECT_TRUE(form->menuActions().translation().qtTranslated());
    EXPECT_EQ(cancelText(), QStringLiteral("取消"));
    EXPECT_TRUE(hasChinese(fileDialogTexts())) << qPrintable(fileDialogTexts());
    EXPECT_TRUE(hasChinese(QCoreApplication::translate(
        "QFileDialog", "%1 already exists.\nDo you want to replace it?")));

    switchLanguage();
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
    EXPECT_FALSE(hasChinese(fileDialogTexts())) << qPrintable(fileDialogTexts());
    switchLanguage();
    EXPECT_EQ(cancelText(), QStringLiteral("取消"));
}

// With no language remembered the captions follow the desktop's first UI language.
TEST(DesktopLanguageTest, EnglishOnlyWhenTheFirstUiLanguageIsEnglish)
{
    const struct
    {
        QStringList uiLanguages;
        bool english;
    } cases[] = {
        {{"en-US", "en-Latn-US", "en"}, true},
        {{"en"}, true},
        {{"en_GB"}, true},
        {{"EN-au"}, true},
        {{"C"}, false}, // the neutral locale stays Chinese
        {{"zh-CN", "zh-Hans-CN", "zh"}, false},
        {{"de-DE", "en-US"}, false}, // only the first counts
        {{"eo"}, false},
        {{"english"}, false},
        {{}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Translation::desktopIsEnglish(c.uiLanguages), c.english)
            << qPrintable(c.uiLanguages.join(u','));
}

TEST_F(LanguageTest, TheHelpSpeaksTheLanguageOfTheCaptions)
{
    ASSERT_EQ(form->menuActions().helpWindow(), nullptr);
    choose(MenuEntry::HelpFile);
    HelpWindow *help = form->menuActions().helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("QJ 帮助"));
    for (const char *topic :
         {"连接设备", "各组控件", "键盘", "状态与提示", "恢复联机", "当前状态：脱机",
          "当前状态：联机", "数据发送失败！！！", "设备已脱机！！！", "脱开设备", "Tab",
          "把鼠标停在", "Ctrl+Z 撤销", "Ctrl+Shift+Z"})
        EXPECT_TRUE(help->text().contains(QString::fromUtf8(topic))) << topic;

    switchLanguage();
    QApplication::processEvents(); // the language change reaches other windows as an event
    EXPECT_EQ(help->windowTitle(), QStringLiteral("QJ Help"));
    for (const char *topic :
         {"Connecting", "The controls", "Keyboard", "Status and messages", "Getting back online",
          "Status：offline", "State：Connect", "The data sends out failure！！！",
          "The equipments is off-line already!!!", "“Disconnect”", "Sending 3/12",
          "Rest the pointer", "Ctrl+Z undoes", "Ctrl+Shift+Z"})
        EXPECT_TRUE(help->text().contains(QString::fromUtf8(topic))) << topic;
    EXPECT_FALSE(help->text().contains(QStringLiteral("连接设备")));

    help->close();
    choose(MenuEntry::HelpFile); // the same window comes back
    EXPECT_EQ(form->menuActions().helpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    form->close();
    EXPECT_FALSE(help->isVisible()); // the help goes with the window
}

} // namespace
} // namespace qj
