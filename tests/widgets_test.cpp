#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/spinbutton.h"
#include "panel/wholeareabutton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace qj {
namespace {

// ---- LevelSlider -------------------------------------------------------------------------

struct LevelSliderTest : ::testing::Test
{
    LevelSlider slider;
    std::vector<int> positionsSeen, valuesSeen;

    void SetUp() override
    {
        slider.setRange(0, 20);
        slider.setValue(10);
        slider.resize(42, 181);
        QObject::connect(&slider, &LevelSlider::scrolled, [this] {
            positionsSeen.push_back(slider.sliderPosition());
            valuesSeen.push_back(slider.value());
        });
    }

    QRect thumb()
    {
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = Qt::Vertical;
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = slider.sliderPosition();
        option.upsideDown = !slider.invertedAppearance();
        option.tickPosition = slider.tickPosition();
        option.tickInterval = slider.tickInterval();
        return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                              &slider);
    }
};

TEST_F(LevelSliderTest, KeysMoveTowardTheTopForUpPageUpAndHome)
{
    // Value = Min is the top: keys that mean "up" lower Value, the page step is 5.
    struct Case
    {
        Qt::Key key;
        int after;
    } cases[] = {{Qt::Key_Up, 9},        {Qt::Key_Down, 11}, {Qt::Key_PageUp, 5},
                 {Qt::Key_PageDown, 15}, {Qt::Key_Home, 0},  {Qt::Key_End, 20}};
    for (const Case &c : cases) {
        slider.setValue(10);
        positionsSeen.clear();
        valuesSeen.clear();
        QTest::keyClick(&slider, c.key);
        EXPECT_EQ(slider.value(), c.after) << c.key;
        ASSERT_EQ(positionsSeen.size(), 1u) << c.key;
        // When scrolled() arrives the thumb is already there while value() still lags.
        EXPECT_EQ(positionsSeen[0], c.after) << c.key;
        EXPECT_EQ(valuesSeen[0], 10) << c.key;
    }
}

TEST_F(LevelSliderTest, TheWheelTurnedUpMovesTowardTheTop)
{
    const QPoint centre = slider.rect().center();
    QWheelEvent up(centre, slider.mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &up);
    EXPECT_LT(slider.value(), 10);
    ASSERT_EQ(positionsSeen.size(), 1u);
    EXPECT_EQ(positionsSeen[0], slider.value());
}

TEST_F(LevelSliderTest, ProgramChangesAndStillKeysEmitNothing)
{
    slider.setValue(3);
    slider.setMaximum(5);
    slider.setRange(0, 40);
    slider.setValue(0);
    QTest::keyClick(&slider, Qt::Key_Home); // already at the top: nothing moves
    QTest::keyClick(&slider, Qt::Key_Up);
    slider.setValue(40);
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_TRUE(positionsSeen.empty());
}

TEST_F(LevelSliderTest, ADragReportsEveryStepOnTheWay)
{
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    const QPoint grab = thumb().center();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, grab);
    for (int y = grab.y() - 10; y >= 0; y -= 10)
        QTest::mouseMove(&slider, QPoint(grab.x(), y));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(grab.x(), 0));
    ASSERT_GE(positionsSeen.size(), 3u);
    EXPECT_EQ(positionsSeen.back(), 0);
    EXPECT_EQ(slider.value(), 0);
    for (std::size_t i = 1; i < positionsSeen.size(); ++i)
        EXPECT_LT(positionsSeen[i], positionsSeen[i - 1]);
}

TEST_F(LevelSliderTest, TheTipTextShowsBesideTheThumbWhileMoved)
{
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    QObject::connect(&slider, &LevelSlider::scrolled,
                     [this] { slider.setTipText(QString::number(slider.sliderPosition())); });
    QTest::keyClick(&slider, Qt::Key_PageUp);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("5"));
    QToolTip::hideText();
}

TEST_F(LevelSliderTest, APressBesideTheThumbPagesTowardItWhateverTheRange)
{
    // Just clear of the thumb, on ranges down to a single step, where a page is the whole way.
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    const struct
    {
        int max, value;
        bool above;
        int after;
    } cases[] = {
        {1, 1, true, 0},     {1, 0, false, 1}, {20, 10, true, 5},
        {20, 10, false, 15}, {20, 3, true, 0}, {250, 125, false, 130},
    };
    for (const auto &c : cases) {
        slider.setRange(0, c.max);
        slider.setValue(c.value);
        positionsSeen.clear();
        const QRect thumb = slider.thumbRect();
        const QPoint at(slider.width() - 2, c.above ? thumb.top() - 1 : thumb.bottom() + 1);
        QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, at);
        EXPECT_EQ(slider.value(), c.after) << c.max << " " << c.value << " " << c.above;
        EXPECT_EQ(positionsSeen, std::vector<int>{c.after}) << c.max << " " << c.value;
    }
}

TEST_F(LevelSliderTest, HoldingBesideTheThumbPagesOnUntilItReachesThePointer)
{
    slider.setRange(0, 40);
    slider.setValue(0);
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    std::vector<int> thumbBottoms;
    QObject::connect(&slider, &LevelSlider::scrolled,
                     [&] { thumbBottoms.push_back(slider.thumbRect().bottom()); });
    const QPoint at(slider.width() * 9 / 10, slider.height() * 2 / 3);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_EQ(positionsSeen, std::vector<int>{5}); // the first page at once
    // Then Qt's repeat, one page at a time, until the thumb is under the pointer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider.thumbRect().bottom() >= at.y(); }, 5000));
    QTest::qWait(400); // long enough for several more repeats, were any still coming
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_GE(positionsSeen.size(), 3u);
    for (std::size_t i = 0; i < positionsSeen.size(); ++i)
        EXPECT_EQ(positionsSeen[i], 5 * static_cast<int>(i + 1));
    EXPECT_GE(thumbBottoms.back(), at.y());
    EXPECT_LT(thumbBottoms[thumbBottoms.size() - 2], at.y()); // it stopped at the first that did
    EXPECT_LT(slider.value(), 40);
}

TEST_F(LevelSliderTest, APageHeldWhileTheSliderIsDisabledStopsAndTheNextPressIsFresh)
{
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    const QPoint below(slider.width() / 2, slider.height() - 2);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, below);
    slider.setEnabled(false); // a message box takes the window while the button is down
    QTest::qWait(800);        // past the repeat delay and several repeats
    EXPECT_EQ(positionsSeen, std::vector<int>{15});
    slider.setEnabled(true);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, below);

    // The release never came to it; a grab and a drag afterwards still work.
    positionsSeen.clear();
    const QRect thumb = slider.thumbRect();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(1, thumb.center().y()));
    QTest::mouseMove(&slider, QPoint(1, thumb.center().y() - 40));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier,
                        QPoint(1, thumb.center().y() - 40));
    ASSERT_FALSE(positionsSeen.empty());
    EXPECT_LT(slider.value(), 15);
}

// ---- Check box and option button --------------------------------------------------------

// Pressed at its corners and the middle of its far edge, then by the keyboard.
template<typename Button>
void expectWholeAreaActs(Button &button)
{
    button.resize(53, 25); // wider than its mark and caption
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    const QPoint inside[] = {{0, 0}, {52, 0}, {0, 24}, {52, 24}, {52, 12}, {26, 12}};
    for (const QPoint p : inside) {
        const qsizetype before = clicked.count();
        QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, p);
        EXPECT_EQ(clicked.count(), before + 1) << p.x() << "," << p.y();
    }
    for (const QPoint p : {QPoint(53, 12), QPoint(26, 25)}) { // one pixel outside
        const qsizetype before = clicked.count();
        QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, p);
        EXPECT_EQ(clicked.count(), before) << p.x() << "," << p.y();
    }
    const qsizetype before = clicked.count();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), before + 1);
}

TEST(WholeAreaButtonTest, TheWholeRectangleOfACheckBoxActs)
{
    CheckBox box(QStringLiteral("超重低音"));
    expectWholeAreaActs(box);
    EXPECT_TRUE(box.isChecked()); // toggled seven times: six presses inside, then Space
}

TEST(WholeAreaButtonTest, TheWholeRectangleOfAnOptionActs)
{
    QWidget parent;
    auto *first = new OptionButton(QStringLiteral("L/R"), &parent);
    auto *second = new OptionButton(QStringLiteral("L-R"), &parent);
    second->move(0, 30);
    parent.show();
    expectWholeAreaActs(*first);
    EXPECT_TRUE(first->isChecked());
    // The arrow keys still move the choice within the group.
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_TRUE(second->isChecked());
    EXPECT_FALSE(first->isChecked());
}

// ---- CommandButton -----------------------------------------------------------------------

TEST(CommandButtonTest, BackColourIsSolidOnEveryStyle)
{
    const QStringList styles = QStyleFactory::keys();
    ASSERT_FALSE(styles.isEmpty());
    for (const QString &name : styles) {
        std::unique_ptr<QStyle> style(QStyleFactory::create(name));
        CommandButton button(QStringLiteral("Auto"));
        button.setStyle(style.get());
        button.resize(53, 25);
        const QColor face = button.palette().color(QPalette::Active, QPalette::Button);
        struct Case
        {
            ButtonColour colour;
            QColor expected;
        } cases[] = {{ButtonColour::Red, QColor(255, 0, 0)},
                     {ButtonColour::Green, QColor(0, 255, 0)},
                     {ButtonColour::Face, face}};
        for (const Case &c : cases) {
            button.setBackColour(c.colour);
            EXPECT_EQ(button.backColour(), c.colour);
            const QImage image = button.grab().toImage();
            // Inside the bevel, clear of the caption, at all four corners.
            for (const QPoint p : {QPoint(3, 3), QPoint(49, 3), QPoint(3, 21), QPoint(49, 21)})
                EXPECT_EQ(image.pixelColor(p), c.expected) << qPrintable(name) << " " << p.x();
        }
    }
}

TEST(CommandButtonTest, PaintingAColourRaisesNoClick)
{
    CommandButton button(QStringLiteral("OFF"));
    QSignalSpy clicked(&button, &QPushButton::clicked);
    button.setBackColour(ButtonColour::Red);
    button.setBackColour(ButtonColour::Face);
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

// ---- SpinButton --------------------------------------------------------------------------

struct SpinButtonTest : ::testing::Test
{
    SpinButton spin;
    std::unique_ptr<QSignalSpy> changed;

    void SetUp() override
    {
        spin.setRange(1, 42);
        spin.setValue(20);
        spin.resize(29, 33);
        spin.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&spin));
        changed = std::make_unique<QSignalSpy>(&spin, &SpinButton::changed);
    }
};

TEST_F(SpinButtonTest, OneTabStopTheArrowsTakeNoFocus)
{
    EXPECT_EQ(spin.focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(spin.upArrow()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(spin.downArrow()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(spin.upArrow()->arrowType(), Qt::UpArrow);
    EXPECT_EQ(spin.downArrow()->arrowType(), Qt::DownArrow);
    // The up arrow sits above the down arrow.
    EXPECT_LT(spin.upArrow()->geometry().bottom(), spin.downArrow()->geometry().top());
}

TEST_F(SpinButtonTest, KeysAndArrowsStepByOneWithinTheRange)
{
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.value(), 21);
    QTest::keyClick(&spin, Qt::Key_Down);
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.value(), 19);
    QTest::mouseClick(spin.upArrow(), Qt::LeftButton);
    EXPECT_EQ(spin.value(), 20);
    QTest::mouseClick(spin.downArrow(), Qt::LeftButton);
    EXPECT_EQ(spin.value(), 19);
    EXPECT_EQ(changed->count(), 5);

    spin.setValue(42);
    changed->clear();
    QTest::mouseClick(spin.upArrow(), Qt::LeftButton);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.value(), 42);
    spin.setValue(1);
    changed->clear();
    QTest::mouseClick(spin.downArrow(), Qt::LeftButton);
    EXPECT_EQ(spin.value(), 1);
    EXPECT_EQ(changed->count(), 0); // stopping at an end is no change
}

TEST_F(SpinButtonTest, ProgramChangesAreReportedSynchronouslyOnlyWhenTheyChange)
{
    int seenInside = -1;
    QObject::connect(&spin, &SpinButton::changed, [&] { seenInside = spin.value(); });
    spin.setValue(30);
    EXPECT_EQ(seenInside, 30); // the handler ran before setValue returned
    EXPECT_EQ(changed->count(), 1);
    spin.setValue(30);
    EXPECT_EQ(changed->count(), 1);
    spin.setValue(500);
    EXPECT_EQ(spin.value(), 42);
    spin.setValue(-7);
    EXPECT_EQ(spin.value(), 1);
    EXPECT_EQ(changed->count(), 3);
}

TEST_F(SpinButtonTest, AHeldArrowRepeatsAfterADelay)
{
    QTest::mousePress(spin.upArrow(), Qt::LeftButton);
    QTest::qWait(SpinButton::kRepeatDelayMs / 2);
    EXPECT_EQ(spin.value(), 20); // nothing before the delay
    QTest::qWait(SpinButton::kRepeatDelayMs / 2 + 3 * SpinButton::kRepeatIntervalMs + 50);
    QTest::mouseRelease(spin.upArrow(), Qt::LeftButton);
    // Three or four repeats while held (timers may run late), and one on release.
    EXPECT_GE(spin.value(), 23);
    EXPECT_LE(spin.value(), 26);
    const int released = spin.value();
    QTest::qWait(3 * SpinButton::kRepeatIntervalMs);
    EXPECT_EQ(spin.value(), released);
}

} // namespace
} // namespace qj
