#pragma once

#include <QObject>

class QWidget;

namespace qj {

// Where a person's input enters the panel's controls. Every mouse, key and wheel event on a
// control passes through here on its way in, so "is this change the person's gesture" is decided
// once: a change made while such an event is being delivered is the person's, anything else
// (a report, the offline procedure, undo, a preset push) is not.
//
// It also knows whether the person is in the middle of something: a mouse button held down on
// a control (a drag) or a key repeating on one.
class GestureWatch : public QObject
{
    Q_OBJECT

public:
    // Watches every control under `controls` (the view), and controls added there later are not
    // watched: the view makes its controls once.
    explicit GestureWatch(QWidget &controls, QObject *parent = nullptr);

    // An input event is being delivered to a control now.
    bool inGesture() const { return m_depth > 0; }
    // A mouse button is down on a control, or a key repeats on one.
    bool busy() const;

signals:
    // busy() has just become false: the button came up, the repeating key was let go.
    void settled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void track(const QEvent &event);
    bool holding() const; // as the events so far tell it

    int m_depth = 0;
    bool m_buttonDown = false;
    bool m_repeating = false;
};

} // namespace qj
