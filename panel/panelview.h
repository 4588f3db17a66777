#pragma once

#include "params/buttongroups.h"
#include "params/panelaccess.h"
#include "params/parametermap.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace qj {

class CommandButton;
class LevelSlider;
class SpinButton;

// The window's client area: all its controls, built from the tables of controltable.h and
// placed by geometry.h, in their design-time state. It turns the widgets' own signals into
// the panel's events, each naming its control.
class PanelView : public QWidget
{
    Q_OBJECT

public:
    explicit PanelView(QWidget *parent = nullptr);
    ~PanelView() override;

    LevelSlider *slider(int wireId) const; // null where the wire id has no slider
    QLabel *display(int wireId) const;     // value labels; 29 and 30 are the spinners'
    CommandButton *button(Group group, int index) const;
    CommandButton *mute() const { return m_mute; }
    QCheckBox *checkBox(Control box) const;
    QRadioButton *option(Control option) const;
    SpinButton *spinner(Control spinner) const;
    QWidget *widget(Control control) const;
    QLineEdit *text1() const { return m_text1; }
    QLabel *statusDisplay() const { return m_status; }
    QLabel *lamp() const { return m_lamp; }

    // Every caption from the tables again, in the language now installed.
    void retranslate();

    // The widgets that take the keyboard focus, in Tab order.
    const QList<QWidget *> &focusChain() const { return m_focusChain; }

signals:
    void sliderScrolled(int wireId); // the user moved it
    void sliderLetGo(int wireId);    // the mouse let go of it after holding it
    void groupClicked(qj::Group group, int index);
    void muteClicked();
    void checkBoxChanged(qj::Control box);    // every change of the tick, the program's too
    void optionSelected(qj::Control option);  // the option that became selected
    void spinnerChanged(qj::Control spinner); // every change of its value

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void addSliders();
    void addGroups();
    void addControls();
    void addLabels();
    void orderFocus();
    void describeControls(); // accessible names and tips, in the language now installed
    void updateSliderTip(int wireId);
    QWidget *child(std::string_view name) const;
    QString labelCaption(std::string_view name) const;
    void place(QWidget *widget, const QString &name);
    QLabel *addLabel(const QString &name, const QString &text);

    std::array<LevelSlider *, kParameterCount> m_sliders{};
    std::array<QLabel *, kParameterCount> m_displays{};
    std::array<std::array<CommandButton *, kMaxGroupButtons>, kGroupCount> m_buttons{};
    CommandButton *m_mute = nullptr;
    QCheckBox *m_superBass = nullptr;
    QCheckBox *m_subwoofPhase = nullptr;
    QRadioButton *m_surround1 = nullptr;
    QRadioButton *m_surround2 = nullptr;
    SpinButton *m_maxMusic = nullptr;
    SpinButton *m_maxMic = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLabel *m_lamp = nullptr;
    QLabel *m_status = nullptr;
    QList<QWidget *> m_focusChain;
    QWidget *m_optionLeft = nullptr;      // the option the focus just left, if it left one
    QMetaObject::Connection m_focusWatch; // clears m_optionLeft on every focus change
};

} // namespace qj
