#include "panel/levelslider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <qdrawutil.h>

#include <algorithm>

namespace qj {

namespace {
constexpr int kTipGap = 4;       // pixels between the thumb and its tip
constexpr int kTipShowMs = 1500; // a key or wheel step leaves the tip up this long
constexpr int kGrooveWidth = 4;  // the channel the thumb runs in
} // namespace

LevelSlider::LevelSlider(QWidget *parent) : QSlider(Qt::Vertical, parent)
{
    // Min at the top; the keys and the wheel follow the picture, not the number.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setPageStep(kPageStep);
    setTracking(true);
    setTickPosition(QSlider::TicksRight);
    connect(this, &QAbstractSlider::actionTriggered, this, &LevelSlider::handleAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [] { QToolTip::hideText(); });
}

void LevelSlider::sliderChange(SliderChange change)
{
    if (change == SliderRangeChange)
        setTickInterval(std::max(1, (maximum() - minimum()) / kTickCount));
    QSlider::sliderChange(change);
}

void LevelSlider::paintEvent(QPaintEvent *)
{
    // Styles highlight the track between Min and the thumb, which here is the part above the
    // level, so the channel is drawn plain and the style draws only the ticks and the thumb.
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect channel(groove.center().x() - kGrooveWidth / 2 + 1, groove.top(), kGrooveWidth,
                        groove.height());
    qDrawShadePanel(&painter, channel, palette(), true, 1, &palette().brush(QPalette::Window));
    option.subControls = QStyle::SC_SliderHandle | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

void LevelSlider::handleAction(int)
{
    // Every user movement passes here before value() follows the thumb. A key pressed at the
    // end of the track moves nothing and is not a movement.
    if (sliderPosition() == value())
        return;
    emit scrolled();
    showTip();
}

QRect LevelSlider::thumbRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option); // carries sliderPosition, so the rectangle is the new thumb's
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void LevelSlider::showTip()
{
    if (m_tipText.isEmpty() || !isVisible())
        return; // a tip beside a slider nobody sees would only float on its own
    const QRect thumb = thumbRect();
    const QPoint beside(thumb.right() + kTipGap, thumb.top());
    // While the thumb is held the tip stays until it is let go.
    QToolTip::showText(mapToGlobal(beside), m_tipText, this, QRect(),
                       isSliderDown() ? -1 : kTipShowMs);
}

} // namespace qj
