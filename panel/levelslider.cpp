#include "panel/levelslider.h"

#include <QMouseEvent>
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
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
        QToolTip::hideText();
        emit letGo();
    });
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

void LevelSlider::mousePressEvent(QMouseEvent *event)
{
    m_paging = SliderNoAction; // a page whose release never came is over
    // Other buttons, a second button and an empty range are QSlider's to refuse or handle.
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton ||
        minimum() == maximum()) {
        QSlider::mousePressEvent(event);
        return;
    }
    const QRect thumb = thumbRect();
    const int y = qRound(event->position().y());
    if (y >= thumb.top() && y <= thumb.bottom()) {
        // QSlider grabs only inside the style's thumb, which is narrower than the slider: hand
        // it the same press moved across onto the thumb. Dragging reads only the height.
        QMouseEvent onThumb(event->type(), QPointF(thumb.center().x(), event->position().y()),
                            event->scenePosition(), event->globalPosition(), event->button(),
                            event->buttons(), event->modifiers(), event->pointingDevice());
        QSlider::mousePressEvent(&onThumb);
        event->setAccepted(onThumb.isAccepted());
        return;
    }
    // Beside the thumb: one page toward the press, as PgUp and PgDn, then Qt's repeat. The
    // direction comes from where the thumb is drawn, so it holds for any range, however few
    // its steps. Min is at the top, so toward the top is toward the lower Value.
    event->accept();
    m_pointerY = y;
    m_paging = y < thumb.top() ? SliderPageStepSub : SliderPageStepAdd;
    triggerAction(m_paging);
    if (!thumbReachedPointer())
        setRepeatAction(m_paging);
}

void LevelSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (m_paging == SliderNoAction) {
        QSlider::mouseMoveEvent(event);
        return;
    }
    event->accept();
    m_pointerY = qRound(event->position().y());
}

void LevelSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_paging == SliderNoAction) {
        QSlider::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    m_paging = SliderNoAction;
    setRepeatAction(SliderNoAction);
    emit letGo();
}

void LevelSlider::changeEvent(QEvent *event)
{
    // Disabled while held (the window gives way to a message): QSlider stops its repeat, and
    // the release will not come here.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && m_paging != SliderNoAction) {
        m_paging = SliderNoAction;
        emit letGo();
    }
    QSlider::changeEvent(event);
}

bool LevelSlider::thumbReachedPointer() const
{
    const QRect thumb = thumbRect();
    return m_paging == SliderPageStepSub ? thumb.top() <= m_pointerY : thumb.bottom() >= m_pointerY;
}

void LevelSlider::handleAction(int)
{
    // Every user movement passes here before value() follows the thumb. A key pressed at the
    // end of the track moves nothing and is not a movement.
    const bool moved = sliderPosition() != value();
    // A held page stops once the thumb is under the pointer, so it never pages away from it,
    // or once it can go no further.
    if (m_paging != SliderNoAction && repeatAction() != SliderNoAction &&
        (!moved || thumbReachedPointer()))
        setRepeatAction(SliderNoAction);
    if (!moved)
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
