#include "panel/spinbutton.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolButton>

#include <algorithm>

namespace qj {

namespace {
constexpr int kFocusMargin = 1; // room around the arrows for the focus frame
} // namespace

SpinButton::SpinButton(QWidget *parent)
    : QWidget(parent), m_up(makeArrow(Qt::UpArrow, 1)), m_down(makeArrow(Qt::DownArrow, -1))
{
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
}

QToolButton *SpinButton::makeArrow(Qt::ArrowType type, int step)
{
    auto *arrow = new QToolButton(this);
    arrow->setArrowType(type);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setAutoRepeat(true);
    arrow->setAutoRepeatDelay(kRepeatDelayMs);
    arrow->setAutoRepeatInterval(kRepeatIntervalMs);
    // A held arrow sends clicked() again at every repeat.
    connect(arrow, &QToolButton::clicked, this, [this, step] { setValue(m_value + step); });
    return arrow;
}

void SpinButton::setRange(int min, int max)
{
    m_min = min;
    m_max = std::max(min, max);
    setValue(m_value);
}

void SpinButton::setValue(int value)
{
    value = std::clamp(value, m_min, m_max);
    if (value == m_value)
        return;
    m_value = value;
    QAccessibleValueChangeEvent event(this, m_value);
    QAccessible::updateAccessibility(&event);
    emit changed();
}

void SpinButton::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        setValue(m_value + 1);
        break;
    case Qt::Key_Down:
        setValue(m_value - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QRect inner = contentsRect();
    const int upHeight = inner.height() / 2;
    m_up->setGeometry(inner.left(), inner.top(), inner.width(), upHeight);
    m_down->setGeometry(inner.left(), inner.top() + upHeight, inner.width(),
                        inner.height() - upHeight);
}

void SpinButton::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void SpinButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void SpinButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace qj
