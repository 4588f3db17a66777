#include "formfixture.h"
#include "params/buttongroups.h"
#include "params/labeltext.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QWindow>

#include <algorithm>
#include <map>

namespace qj {
namespace {

using test::Bytes;
using test::FormFixture;
using test::frameOf;

constexpr int kInset = 3;       // presses land this far inside an edge
constexpr int kDragPixels = 40; // a grabbed thumb is pulled this far

// A place on a control, in its own coordinates, and a name for it in failure messages.
struct Spot
{
    std::string where;
    QPoint at;
};

// The middle of each edge, kInset pixels inside.
std::vector<Spot> edgeSpots(const QSize &size)
{
    const int w = size.width(), h = size.height();
    return {{"top edge", {w / 2, kInset}},
            {"bottom edge", {w / 2, h - 1 - kInset}},
            {"left edge", {kInset, h / 2}},
            {"right edge", {w - 1 - kInset, h / 2}}};
}

// Across a slider at 10 %, 50 % and 90 % of its width: on the thumb's top and bottom rows,
// one pixel clear of it, and half way between it and either end of the slider.
std::vector<Spot> sliderSpots(const QSize &size, const QRect &thumb)
{
    std::vector<Spot> spots;
    const struct
    {
        const char *where;
        int y;
    } rows[] = {
        {"thumb's top row", thumb.top()},
        {"thumb's bottom row", thumb.bottom()},
        {"just above the thumb", thumb.top() - 1},
        {"just below the thumb", thumb.bottom() + 1},
        {"above the thumb", thumb.top() / 2},
        {"below the thumb", (thumb.bottom() + size.height()) / 2},
    };
    for (const int percent : {10, 50, 90})
        for (const auto &row : rows)
            spots.push_back({std::string(row.where) + " at " + std::to_string(percent) + " %",
                             {size.width() * percent / 100, row.y}});
    return spots;
}

// The real window on the fake port, offline (false) or online (true). Presses go to the
// window itself at a point of it, the way the platform delivers them, so whatever lies on top
// there takes the press.
struct PressTest : FormFixture, ::testing::WithParamInterface<bool>
{
    std::map<QWidget *, std::pair<Group, int>> groupOf;
    std::map<QWidget *, int> wireIdOfSlider;

    void SetUp() override
    {
        FormFixture::SetUp();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        if (online())
            goOnline();
        for (const ButtonGroup &g : buttonGroups())
            for (int i = 0; i < g.count; ++i)
                groupOf[view().button(g.group, i)] = {g.group, i};
        for (int wireId = 0; wireId < kParameterCount; ++wireId)
            if (LevelSlider *s = view().slider(wireId))
                wireIdOfSlider[s] = wireId;
    }

    bool online() const { return GetParam(); }

    QPoint inWindow(QWidget *control, QPoint at) { return control->mapTo(form.get(), at); }
    void press(QWidget *control, QPoint at)
    {
        QTest::mousePress(form->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          inWindow(control, at));
    }
    void release(QWidget *control, QPoint at)
    {
        QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                            inWindow(control, at));
    }
    void move(QWidget *control, QPoint at)
    {
        QTest::mouseMove(form->windowHandle(), inWindow(control, at));
    }
    void click(QWidget *control, QPoint at)
    {
        press(control, at);
        release(control, at);
    }

    // The visible controls a person can press: everything on the panel but its captions.
    QList<QWidget *> controls()
    {
        QList<QWidget *> all;
        for (QWidget *w : view().findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible() && !qobject_cast<QLabel *>(w))
                all << w;
        return all;
    }

    // A press at `at` on `control` (its own coordinates) acts on it: online its frame goes
    // out, offline the panel changes, as a press in the middle of it would do.
    void expectPressActs(QWidget *control, QPoint at, const std::string &where)
    {
        SCOPED_TRACE(control->objectName().toStdString() + ", " + where);
        acknowledge(); // nothing left pending: Mute acts only then
        if (auto *s = qobject_cast<LevelSlider *>(control))
            expectSliderActs(s, at);
        else if (groupOf.count(control))
            expectGroupButtonActs(static_cast<CommandButton *>(control), at);
        else if (control == view().mute())
            expectMuteActs(at);
        else if (auto *box = qobject_cast<QCheckBox *>(control))
            expectCheckBoxActs(box, at);
        else if (auto *option = qobject_cast<QRadioButton *>(control))
            expectOptionActs(option, at);
        else if (auto *spinner = qobject_cast<SpinButton *>(control))
            expectSpinnerActs(spinner, at);
        else if (auto *text = qobject_cast<QLineEdit *>(control))
            expectTextActs(text, at);
        else
            ADD_FAILURE() << "no way to tell whether this control acted";
    }

    void expectSliderActs(LevelSlider *s, QPoint at)
    {
        const int wireId = wireIdOfSlider.at(s);
        const int mid = (s->minimum() + s->maximum()) / 2;
        panel().setSliderValue(wireId, mid); // the program's move sends nothing
        const QRect thumb = s->thumbRect();
        const std::size_t before = port.writes.size();
        std::size_t frames = 0; // online: a page is one step, a drag at least one
        if (at.y() >= thumb.top() && at.y() <= thumb.bottom()) {
            // At the thumb's height the press grabs it, and dragging moves it.
            press(s, at);
            EXPECT_TRUE(s->isSliderDown());
            EXPECT_EQ(port.writes.size(), before); // holding it still moves nothing
            const QPoint to = at + QPoint(0, at.y() < s->height() / 2 ? kDragPixels : -kDragPixels);
            move(s, to);
            release(s, to);
            EXPECT_FALSE(s->isSliderDown());
            EXPECT_NE(s->value(), mid);
            frames = std::max<std::size_t>(port.writes.size() - before, 1);
        } else {
            // Beside the thumb it pages one page toward the press; the top is the lower Value.
            click(s, at);
            const int step = at.y() < thumb.top() ? -s->pageStep() : s->pageStep();
            EXPECT_EQ(s->value(), std::clamp(mid + step, s->minimum(), s->maximum()));
            frames = 1;
        }
        const int p = s->minimum() + s->maximum() - s->value();
        const QString text = labelText(parameter(wireId).style, p);
        EXPECT_EQ(view().display(wireId)->text(), text);
        EXPECT_EQ(s->tipText(), text);
        if (!online()) {
            EXPECT_EQ(port.writes.size(), before);
            return;
        }
        ASSERT_EQ(port.writes.size(), before + frames);
        EXPECT_EQ(port.writes.back(), frameOf(wireId, p));
    }

    void expectGroupButtonActs(CommandButton *button, QPoint at)
    {
        const auto [group, index] = groupOf.at(button);
        const ButtonGroup &g = buttonGroup(group);
        for (int i = 0; i < g.count; ++i)
            panel().setButtonColour(group, i, ButtonColour::Face);
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        const std::size_t before = port.writes.size();
        click(button, at);
        EXPECT_EQ(clicked.count(), 1);
        // Offline the run mode is the one group that does not even light up.
        const bool lights = online() || group != Group::RunMode;
        EXPECT_EQ(button->backColour() != ButtonColour::Face, lights);
        if (online() && g.wireId >= 0) {
            ASSERT_EQ(port.writes.size(), before + 1);
            EXPECT_EQ(port.writes.back(), frameOf(g.wireId, groupValue(group, index)));
        } else {
            EXPECT_EQ(port.writes.size(), before);
        }
    }

    void expectMuteActs(QPoint at)
    {
        CommandButton *mute = view().mute();
        const ButtonColour colour = mute->backColour();
        const std::size_t before = port.writes.size();
        click(mute, at);
        if (!online()) {
            // Disabled while offline: the press is swallowed and nothing happens.
            EXPECT_EQ(mute->backColour(), colour);
            EXPECT_EQ(port.writes.size(), before);
            return;
        }
        EXPECT_NE(mute->backColour(), colour);
        ASSERT_EQ(port.writes.size(), before + 1);
        EXPECT_EQ(port.writes.back(), frameOf(wire::kStatus, wire::kMuteValue));
    }

    void expectCheckBoxActs(QCheckBox *box, QPoint at)
    {
        const bool was = box->isChecked();
        const std::size_t before = port.writes.size();
        click(box, at);
        EXPECT_NE(box->isChecked(), was);
        if (online()) {
            ASSERT_EQ(port.writes.size(), before + 1);
            EXPECT_EQ(port.writes.back(), frameOf(wire::kSuperBass, was ? 0 : 1));
        } else {
            EXPECT_EQ(port.writes.size(), before);
        }
    }

    void expectOptionActs(QRadioButton *option, QPoint at)
    {
        const bool first = option == view().option(Control::SurroundMode1);
        const Control partner = first ? Control::SurroundMode2 : Control::SurroundMode1;
        // The partner selected as a report selects it, quietly, so the press is a change.
        panel().setEnabled(partner, false);
        panel().setValue(partner, 1);
        panel().setEnabled(partner, true);
        ASSERT_FALSE(option->isChecked());
        const std::size_t before = port.writes.size();
        click(option, at);
        EXPECT_TRUE(option->isChecked());
        if (online()) {
            ASSERT_EQ(port.writes.size(), before + 1);
            EXPECT_EQ(port.writes.back(), frameOf(wire::kSurround, first ? 0 : 1));
        } else {
            EXPECT_EQ(port.writes.size(), before);
        }
    }

    void expectSpinnerActs(SpinButton *spinner, QPoint at)
    {
        const int mid = (spinner->minimum() + spinner->maximum()) / 2;
        spinner->setValue(mid);
        const std::size_t before = port.writes.size();
        click(spinner, at);
        // The upper half steps up, the lower half down; the limits never reach the wire.
        EXPECT_EQ(spinner->value(), at.y() < spinner->height() / 2 ? mid + 1 : mid - 1);
        EXPECT_EQ(port.writes.size(), before);
    }

    void expectTextActs(QLineEdit *text, QPoint at)
    {
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        ASSERT_FALSE(text->hasFocus());
        click(text, at);
        EXPECT_TRUE(text->hasFocus()); // ready for the port number
    }
};

TEST_P(PressTest, EveryPressInsideAControlActsOnIt)
{
    const QList<QWidget *> all = controls();
    // 25 sliders, 44 shown group buttons, Mute, a check box, two options, two spinners, Text1.
    ASSERT_EQ(all.size(), 76);
    for (QWidget *control : all) {
        for (const Spot &spot : edgeSpots(control->size()))
            expectPressActs(control, spot.at, spot.where);
        if (auto *s = qobject_cast<LevelSlider *>(control)) {
            panel().setSliderValue(wireIdOfSlider.at(s), (s->minimum() + s->maximum()) / 2);
            for (const Spot &spot : sliderSpots(s->size(), s->thumbRect()))
                expectPressActs(control, spot.at, spot.where);
        }
    }
}

TEST_P(PressTest, ACaptionLyingOverAControlLetsThePressThrough)
{
    // Every overlap of a caption and a control the geometry makes, pressed in its middle.
    std::vector<std::string> overlaps;
    const QList<QWidget *> all = controls();
    for (QLabel *label : view().findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QWidget *control : all) {
            const QRect common = label->geometry() & control->geometry();
            if (common.isEmpty())
                continue;
            const std::string name =
                label->objectName().toStdString() + " over " + control->objectName().toStdString();
            overlaps.push_back(name);
            expectPressActs(control, common.center() - control->pos(), name);
        }
    }
    // The ones a person runs into first must be among those found.
    for (const char *known : {"Label37 over MusicVocal_0", "Label18 over KaraokeMode_0",
                              "Label19 over SaveMode_0", "Label21 over SurroundMode1"})
        EXPECT_NE(std::find(overlaps.begin(), overlaps.end(), known), overlaps.end()) << known;
}

INSTANTIATE_TEST_SUITE_P(OfflineAndOnline, PressTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &param) {
                             return param.param ? "Online" : "Offline";
                         });

} // namespace
} // namespace qj
