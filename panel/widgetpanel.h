#pragma once

#include "params/panelaccess.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace qj {

class LevelSlider;
class PanelView;

// The panel as the link and the handlers see it, over the real widgets; and the window's status
// lamp and message boxes, which the window fills with the texts of the link's language.
class WidgetPanel : public PanelAccess
{
public:
    // Shows a message to the user and returns when it has been read.
    using MessagePresenter = std::function<void(const QString &text)>;

    WidgetPanel(QWidget &window, PanelView &view);

    // Tests put a recorder here instead of the modal box.
    void setMessagePresenter(MessagePresenter presenter);

    int sliderMin(int wireId) const override;
    int sliderMax(int wireId) const override;
    int sliderValue(int wireId) const override;
    void setSliderMax(int wireId, int max) override;
    void setSliderValue(int wireId, int value) override;
    QString sliderTip(int wireId) const override;
    void setSliderTip(int wireId, const QString &text) override;

    QString displayCaption(int wireId) const override;
    void setDisplayCaption(int wireId, const QString &text) override;

    ButtonColour buttonColour(Group group, int index) const override;
    void setButtonColour(Group group, int index, ButtonColour colour) override;
    ButtonColour muteColour() const override;
    void setMuteColour(ButtonColour colour) override;

    bool isEnabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;

    int value(Control control) const override;
    void setValue(Control control, int value) override;

    void setWindowEnabled(bool enabled) override;

    QString statusCaption() const;
    void setStatusCaption(const QString &text);
    // A message for the user; returns when it has been read.
    void showMessage(const QString &text);
    // Any other modal box of the window (a question): counted as a message box while `run`
    // runs.
    void whileBoxOpen(const std::function<void()> &run);
    // Message boxes open now: a modal box's event loop lets timers through meanwhile.
    int messagesOpen() const { return m_messagesOpen; }
    // Called with true when the first box opens and with false when the last has closed.
    void setBoxHook(std::function<void(bool open)> hook) { m_boxHook = std::move(hook); }

    // The modal box itself: the text, one OK button, no icon, title "QJ".
    static void showMessageBox(QWidget *parent, const QString &text);

private:
    LevelSlider &slider(int wireId) const;

    QWidget &m_window;
    PanelView &m_view;
    MessagePresenter m_present;
    int m_messagesOpen = 0;
    std::function<void(bool)> m_boxHook;
    QPointer<QWidget> m_focusBeforeDisable;
};

} // namespace qj
