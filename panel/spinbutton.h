#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

class QToolButton;

namespace qj {

// A spin button: two stacked arrows and no text field. Integer Min, Max and Value, step 1,
// the up arrow raises Value. One Tab stop: the arrows take no focus, and while the control
// has the focus the Up and Down keys step it. Holding an arrow repeats after 300 ms every
// 100 ms. changed() is emitted for every change of Value, the program's included, before
// setValue() returns; setting the value it already has emits nothing.
class SpinButton : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRepeatDelayMs = 300;    // hold an arrow this long before it repeats
    static constexpr int kRepeatIntervalMs = 100; // then one step every this often

    explicit SpinButton(QWidget *parent = nullptr);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int value() const { return m_value; }
    void setRange(int min, int max);
    void setValue(int value); // kept within Min..Max

    QToolButton *upArrow() const { return m_up; }
    QToolButton *downArrow() const { return m_down; }

    // The value label beside it: what a screen reader is told as the value's text.
    QLabel *valueLabel() const { return m_valueLabel; }
    void setValueLabel(QLabel *label) { m_valueLabel = label; }

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QToolButton *makeArrow(Qt::ArrowType type, int step);

    QToolButton *m_up;
    QToolButton *m_down;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    QPointer<QLabel> m_valueLabel;
};

} // namespace qj
