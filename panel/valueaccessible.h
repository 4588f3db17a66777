#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace qj {

class LevelSlider;
class SpinButton;

// A level slider or a limit spinner as a screen reader meets it. Qt's own slider reports its
// position, which runs opposite to the parameter (a label reading 40 would be told as 22), and
// a spinner without a text field has no value at all. Here the value is the parameter value
// the label shows, the label's text is the value's text ("+3dB", "100Hz"), and setting a value
// acts as the person's own move would, sending it while online.
class ValueAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ValueAccessible(LevelSlider *slider);
    explicit ValueAccessible(SpinButton *spinner);

    // Puts these in place of Qt's own for every level slider and spinner created from now on.
    static void install();
    // Tells a screen reader that the value (or its text) of `control` changed.
    static void announce(QWidget *control);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    LevelSlider *slider() const;
    SpinButton *spinner() const;
};

} // namespace qj
