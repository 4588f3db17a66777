#pragma once

#include <QLabel>
#include <QPointer>
#include <QSlider>

namespace qj {

// A vertical level slider. Value = Min sits at the top end of the track, so the top stands for
// the largest parameter value; Up, PageUp, Home and the wheel turned up move the thumb toward
// the top. scrolled() is emitted only for the user's own movements (mouse, keys, wheel), at a
// moment when value() still holds the old position: read sliderPosition() then. The program's
// setValue() and setMaximum() emit nothing of ours.
//
// The whole rectangle takes the mouse, not only the style's narrow groove and thumb: a left
// press at the thumb's height, anywhere across the width, grabs the thumb; a press above or
// below it pages one page toward the press, and holding the button pages on until the thumb
// reaches the pointer.
class LevelSlider : public QSlider
{
    Q_OBJECT

public:
    static constexpr int kPageStep = 5;   // a click beside the thumb moves it five steps
    static constexpr int kTickCount = 10; // tick marks along the track, whatever its range

    explicit LevelSlider(QWidget *parent = nullptr);

    // The slider's tip text: the same text as its value label, shown beside the thumb while
    // the user moves it.
    QString tipText() const { return m_tipText; }
    void setTipText(const QString &text) { m_tipText = text; }

    // Where the thumb stands now, in the slider's own coordinates.
    QRect thumbRect() const;

    // The value label beside it: what a screen reader is told as the value's text.
    QLabel *valueLabel() const { return m_valueLabel; }
    void setValueLabel(QLabel *label) { m_valueLabel = label; }
    // The parameter value the position stands for, Min + Max - position: the top is the largest.
    int parameterValue() const { return minimum() + maximum() - sliderPosition(); }
    // The left button holds the thumb or pages beside it: one movement, until let go.
    bool held() const { return isSliderDown() || m_paging != SliderNoAction; }

signals:
    void scrolled();
    void letGo(); // a held movement ended: the button came up, or the slider was disabled

protected:
    void paintEvent(QPaintEvent *event) override;
    void sliderChange(SliderChange change) override; // spaces the ticks over the range
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void handleAction(int action);
    void showTip();
    bool thumbReachedPointer() const;

    QString m_tipText;
    QPointer<QLabel> m_valueLabel;
    SliderAction m_paging = SliderNoAction; // while a press beside the thumb is held
    int m_pointerY = 0;                     // where that press is now
};

} // namespace qj
