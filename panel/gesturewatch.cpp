#include "panel/gesturewatch.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace qj {

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

} // namespace

GestureWatch::GestureWatch(QWidget &controls, QObject *parent) : QObject(parent)
{
    for (QWidget *w : controls.findChildren<QWidget *>())
        w->installEventFilter(this);
}

bool GestureWatch::busy() const
{
    // A release that went elsewhere (the control was disabled under the pointer) still ends it.
    return (m_buttonDown && QGuiApplication::mouseButtons() != Qt::NoButton) || m_repeating;
}

bool GestureWatch::holding() const
{
    return m_buttonDown || m_repeating;
}

bool GestureWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (!isInput(event->type()))
        return false;
    const bool wasHolding = holding();
    track(*event);
    // Delivered here, inside the scope, instead of after the filter: whatever the control does
    // with it, synchronously, is the person's gesture. The event's acceptance goes back to Qt as
    // it would from the control itself.
    ++m_depth;
    watched->event(event);
    --m_depth;
    if (wasHolding && !holding())
        emit settled();
    return true;
}

void GestureWatch::track(const QEvent &event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_buttonDown = true;
        return;
    case QEvent::MouseButtonRelease:
        m_buttonDown = static_cast<const QMouseEvent &>(event).buttons() != Qt::NoButton;
        return;
    case QEvent::KeyPress:
        m_repeating = static_cast<const QKeyEvent &>(event).isAutoRepeat();
        return;
    case QEvent::KeyRelease:
        if (!static_cast<const QKeyEvent &>(event).isAutoRepeat())
            m_repeating = false;
        return;
    default:
        return;
    }
}

} // namespace qj
