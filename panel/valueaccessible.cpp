#include "panel/valueaccessible.h"

#include "panel/levelslider.h"
#include "panel/spinbutton.h"

#include <QLabel>

#include <algorithm>

namespace qj {

namespace {

QAccessibleInterface *makeInterface(const QString &className, QObject *object)
{
    // Asked for each class up the object's chain, most derived first.
    if (className == QLatin1String(LevelSlider::staticMetaObject.className()))
        return new ValueAccessible(static_cast<LevelSlider *>(object));
    if (className == QLatin1String(SpinButton::staticMetaObject.className()))
        return new ValueAccessible(static_cast<SpinButton *>(object));
    return nullptr;
}

} // namespace

ValueAccessible::ValueAccessible(LevelSlider *slider)
    : QAccessibleWidget(slider, QAccessible::Slider)
{}

ValueAccessible::ValueAccessible(SpinButton *spinner)
    : QAccessibleWidget(spinner, QAccessible::SpinBox)
{}

void ValueAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&makeInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

void ValueAccessible::announce(QWidget *control)
{
    if (!QAccessible::isActive())
        return; // nobody listens: spare every slider step the look-up
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
    if (!iface || !iface->valueInterface())
        return;
    QAccessibleValueChangeEvent event(control, iface->valueInterface()->currentValue());
    QAccessible::updateAccessibility(&event);
}

LevelSlider *ValueAccessible::slider() const
{
    return qobject_cast<LevelSlider *>(object());
}

SpinButton *ValueAccessible::spinner() const
{
    return qobject_cast<SpinButton *>(object());
}

void *ValueAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString ValueAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Value) {
        const QLabel *label = slider() ? slider()->valueLabel() : spinner()->valueLabel();
        if (label)
            return label->text().trimmed();
        return currentValue().toString();
    }
    return QAccessibleWidget::text(kind);
}

QVariant ValueAccessible::currentValue() const
{
    if (const LevelSlider *s = slider())
        return s->parameterValue();
    return spinner()->value();
}

void ValueAccessible::setCurrentValue(const QVariant &value)
{
    if (!widget()->isEnabled())
        return;
    // As the person's own move: the slider's handler updates its label and sends while online;
    // the spinner's limits its slider.
    if (LevelSlider *s = slider()) {
        const int target = std::clamp(value.toInt(), s->minimum(), s->maximum());
        s->setSliderPosition(s->minimum() + s->maximum() - target);
    } else {
        spinner()->setValue(value.toInt());
    }
}

QVariant ValueAccessible::maximumValue() const
{
    if (const LevelSlider *s = slider())
        return s->maximum();
    return spinner()->maximum();
}

QVariant ValueAccessible::minimumValue() const
{
    if (const LevelSlider *s = slider())
        return s->minimum();
    return spinner()->minimum();
}

QVariant ValueAccessible::minimumStepSize() const
{
    return 1;
}

} // namespace qj
