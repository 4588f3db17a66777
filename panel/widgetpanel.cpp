#include "panel/widgetpanel.h"

#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "panel/spinbutton.h"
#include "panel/valueaccessible.h"
#include "params/parametermap.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

namespace qj {

WidgetPanel::WidgetPanel(QWidget &window, PanelView &view)
    : m_window(window), m_view(view),
      m_present([this](const QString &text) { showMessageBox(&m_window, text); })
{}

void WidgetPanel::setMessagePresenter(MessagePresenter presenter)
{
    m_present = std::move(presenter);
}

LevelSlider &WidgetPanel::slider(int wireId) const
{
    LevelSlider *s = m_view.slider(wireId);
    Q_ASSERT_X(s, "WidgetPanel", "no slider under this wire id");
    return *s;
}

int WidgetPanel::sliderMin(int wireId) const
{
    return slider(wireId).minimum();
}

int WidgetPanel::sliderMax(int wireId) const
{
    return slider(wireId).maximum();
}

int WidgetPanel::sliderValue(int wireId) const
{
    // During a user movement the thumb is already where the user put it, value() not yet.
    return slider(wireId).sliderPosition();
}

void WidgetPanel::setSliderMax(int wireId, int max)
{
    slider(wireId).setMaximum(max); // Value follows into the new range; scrolled() stays quiet
}

void WidgetPanel::setSliderValue(int wireId, int value)
{
    slider(wireId).setValue(value); // kept within Min..Max
}

QString WidgetPanel::sliderTip(int wireId) const
{
    return slider(wireId).tipText();
}

void WidgetPanel::setSliderTip(int wireId, const QString &text)
{
    slider(wireId).setTipText(text);
}

QString WidgetPanel::displayCaption(int wireId) const
{
    const QLabel *label = m_view.display(wireId);
    return label ? label->text() : QString();
}

void WidgetPanel::setDisplayCaption(int wireId, const QString &text)
{
    QLabel *label = m_view.display(wireId);
    if (!label)
        return;
    label->setText(text);
    // A screen reader tells the label's text as the control's value.
    if (LevelSlider *s = m_view.slider(wireId))
        ValueAccessible::announce(s);
    else if (SpinButton *spinner = m_view.spinner(
                 wireId == wire::kMaxMusicVolume ? Control::MaxMusicVolume : Control::MaxMicVolume);
             spinner && spinner->valueLabel() == label)
        ValueAccessible::announce(spinner);
}

ButtonColour WidgetPanel::buttonColour(Group group, int index) const
{
    const CommandButton *button = m_view.button(group, index);
    return button ? button->backColour() : ButtonColour::Face;
}

void WidgetPanel::setButtonColour(Group group, int index, ButtonColour colour)
{
    if (CommandButton *button = m_view.button(group, index))
        button->setBackColour(colour);
}

ButtonColour WidgetPanel::muteColour() const
{
    return m_view.mute()->backColour();
}

void WidgetPanel::setMuteColour(ButtonColour colour)
{
    m_view.mute()->setBackColour(colour);
}

bool WidgetPanel::isEnabled(Control control) const
{
    // The control's own flag: the offline state disables the whole window around its steps,
    // while the handlers it sets off still look at their own control.
    return m_view.widget(control)->isEnabledTo(&m_window);
}

void WidgetPanel::setEnabled(Control control, bool enabled)
{
    m_view.widget(control)->setEnabled(enabled);
}

int WidgetPanel::value(Control control) const
{
    if (const QCheckBox *box = m_view.checkBox(control))
        return box->isChecked() ? 1 : 0;
    if (const QRadioButton *option = m_view.option(control))
        return option->isChecked() ? 1 : 0;
    if (const SpinButton *spinner = m_view.spinner(control))
        return spinner->value();
    return 0;
}

void WidgetPanel::setValue(Control control, int value)
{
    // Each widget raises its own change signal before this returns, and only on a change.
    if (QCheckBox *box = m_view.checkBox(control))
        box->setChecked(value != 0);
    else if (QRadioButton *option = m_view.option(control)) {
        if (value != 0)
            option->setChecked(true); // an option is cleared only by selecting its partner
    } else if (SpinButton *spinner = m_view.spinner(control))
        spinner->setValue(value);
}

void WidgetPanel::setWindowEnabled(bool enabled)
{
    // Disabling the window takes the keyboard focus away; give it back afterwards.
    if (!enabled && m_window.isEnabled())
        m_focusBeforeDisable = m_window.focusWidget();
    m_window.setEnabled(enabled);
    if (!enabled || !m_focusBeforeDisable)
        return;
    QWidget *focus = m_focusBeforeDisable;
    m_focusBeforeDisable = nullptr;
    if (focus->isEnabled() && focus->isVisibleTo(&m_window))
        focus->setFocus(Qt::OtherFocusReason);
}

QString WidgetPanel::statusCaption() const
{
    return m_view.statusDisplay()->text();
}

void WidgetPanel::setStatusCaption(const QString &text)
{
    m_view.statusDisplay()->setText(text);
}

void WidgetPanel::showMessage(const QString &text)
{
    whileBoxOpen([&] { m_present(text); });
}

void WidgetPanel::whileBoxOpen(const std::function<void()> &run)
{
    if (m_messagesOpen++ == 0 && m_boxHook)
        m_boxHook(true);
    run();
    if (--m_messagesOpen == 0 && m_boxHook)
        m_boxHook(false);
}

void WidgetPanel::showMessageBox(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QJ"), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setIcon(QIcon()); // some styles decorate it; the box has none
    box.exec();
}

} // namespace qj
