#include "menufixture.h"
#include "panel/controltable.h"
#include "params/labeltext.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QToolButton>

namespace qj {
namespace {

using test::Bytes;
using test::frameOf;
using test::MenuFixture;

// The panel as a screen reader reads it: through Qt's accessibility interfaces only.
struct AccessibilityTest : MenuFixture
{
    QAccessibleInterface *reader(const QString &name)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(find(name));
        EXPECT_NE(iface, nullptr) << qPrintable(name);
        return iface;
    }
    QString name(const char *control)
    {
        QAccessibleInterface *iface = reader(QString::fromLatin1(control));
        return iface ? iface->text(QAccessible::Name) : QString();
    }
    // The number and the text a screen reader is told as the value.
    std::pair<int, QString> value(const char *control)
    {
        QAccessibleInterface *iface = reader(QString::fromLatin1(control));
        if (!iface || !iface->valueInterface())
            return {-1, QStringLiteral("(no value)")};
        return {iface->valueInterface()->currentValue().toInt(), iface->text(QAccessible::Value)};
    }
    void report(int wireId, int value)
    {
        const Bytes f = frameOf(wireId, value);
        port.arrive({f[0], f[1], f[2], f[3]});
        tick(2);
    }
};

TEST_F(AccessibilityTest, EveryControlIsNamedByItsCaptionInThePanelsLanguage)
{
    const struct
    {
        const char *control;
        const char *chinese;
        const char *english;
    } cases[] = {
        {"MusicVolume", "音乐音量", "Music"},
        {"MicEQ2k7Hz", "2.7kHz", "2.7kHz"},
        {"FeedbackTime", "抑制时间", "Suppress"},
        {"MusicSelect_3", "音乐输入：DVD", "Source: DVD"},
        {"MusicSelect_5", "音乐输入：Auto", "Source: Auto"},
        {"MusicPitch_0", "音乐变调：b5", "Key shift: b5"},
        {"FeedbackClass_1", "反馈抑制：Class1", "Feedback: Class1"},
        {"KaraokeMode_1", "Karaoke模式：L-R", "Karaoke: L-R"},
        {"RunMode_0", "运行模式：User1", "Recall: User1"},
        {"SaveMode_4", "保存模式：User5", "Save to: User5"},
        {"SurroundMode1", "环绕模式：L/R", "Surround: L/R"},
        {"MaxMusicVolume", "最大音乐", "Max music"},
        {"Mute", "Mute", "Mute"},
        {"SuperBass", "超重低音", "Bass+"},
        {"Text1", "端口号", "Port number"},
    };
    for (const bool english : {false, true, false}) {
        for (const auto &c : cases)
            EXPECT_EQ(name(c.control), QString::fromUtf8(english ? c.english : c.chinese))
                << c.control;
        // Every slider by the caption under it, every control by some name, its tip as the
        // description.
        for (const SliderRow &row : sliderRows()) {
            const QString slider = QString::fromLatin1(row.name.data());
            const QString nameLabel = QString::fromLatin1(row.nameLabel.data());
            EXPECT_EQ(reader(slider.left(int(row.name.size())))->text(QAccessible::Name),
                      find<QLabel>(nameLabel.left(int(row.nameLabel.size())))->text());
        }
        for (QWidget *w : view().focusChain()) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
            EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << qPrintable(w->objectName());
            EXPECT_EQ(iface->text(QAccessible::Description), w->toolTip())
                << qPrintable(w->objectName());
        }
        choose(MenuEntry::ChineseEnglish);
    }
}

TEST_F(AccessibilityTest, SlidersAndSpinnersTellTheValueTheirLabelShows)
{
    goOnline();
    report(wire::kMusicVolume, 40);
    report(6, 13); // MicEQ100Hz +3dB
    report(21, 7); // MusicBalance, 3 dB to one side
    report(wire::kSubwoofLpf, 130);
    report(wire::kFeedbackTime, 95);
    const struct
    {
        const char *control;
        int value;
        const char *text;
    } cases[] = {
        {"MusicVolume", 40, "40"},    {"MicEQ100Hz", 13, "+3dB"},   {"MusicBalance", 7, "+3dB"},
        {"SubwoofLpf", 130, "130Hz"}, {"FeedbackTime", 95, "95ms"}, {"MaxMusicVolume", 62, "62"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(value(c.control), std::make_pair(c.value, QString::fromUtf8(c.text)))
            << c.control;

    // The person's own moves, by key and by the spinner's arrow.
    key("MusicVolume", Qt::Key_Up);
    EXPECT_EQ(value("MusicVolume"), std::make_pair(41, QStringLiteral("41")));
    for (int i = 0; i < 12; ++i)
        QTest::mouseClick(find<SpinButton>(QStringLiteral("MaxMicVolume"))->downArrow(),
                          Qt::LeftButton);
    EXPECT_EQ(value("MaxMicVolume"), std::make_pair(30, QStringLiteral("30")));
    EXPECT_EQ(value("MicVolume").first, 30); // its level dropped to the new limit

    // Every slider, whatever its style, tells its label's text and the number behind it.
    form->link().OffLineStatus();
    for (const SliderRow &row : sliderRows()) {
        const std::string slider(row.name);
        const int wireId = wireIdOf(row.name).value();
        const auto [number, text] = value(slider.c_str());
        EXPECT_EQ(text, panel().displayCaption(wireId)) << slider;
        const Parameter &p = parameter(wireId);
        EXPECT_EQ(labelText(p.style, number), text) << slider;
        QAccessibleValueInterface *v = reader(QString::fromStdString(slider))->valueInterface();
        EXPECT_EQ(v->minimumValue().toInt(), p.min) << slider;
        EXPECT_EQ(v->maximumValue().toInt(), p.max) << slider;
    }
}

TEST_F(AccessibilityTest, AValueSetByAScreenReaderActsAsThePersonsOwnMove)
{
    QAccessibleValueInterface *level = reader(QStringLiteral("MusicVolume"))->valueInterface();
    ASSERT_NE(level, nullptr);

    level->setCurrentValue(40); // offline: the panel alone
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("40"));
    EXPECT_TRUE(port.writes.empty());

    goOnline();
    level->setCurrentValue(45);
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("45"));
    EXPECT_EQ(port.writes, std::vector<Bytes>{frameOf(wire::kMusicVolume, 45)});
    EXPECT_EQ(value("MusicVolume"), std::make_pair(45, QStringLiteral("45")));

    QAccessibleValueInterface *limit = reader(QStringLiteral("MaxMusicVolume"))->valueInterface();
    ASSERT_NE(limit, nullptr);
    limit->setCurrentValue(30); // limits the slider and sends nothing
    EXPECT_EQ(slider("MusicVolume")->maximum(), 30);
    EXPECT_EQ(value("MusicVolume"), std::make_pair(30, QStringLiteral("30")));
    EXPECT_EQ(port.writes.size(), 1u);
}

} // namespace
} // namespace qj
