#pragma once

#include <QWidget>

class QTextBrowser;

namespace qj {

// The help: connecting, the groups of controls, the keyboard, the status texts and messages,
// and the way back online, in the language of the captions.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    QString text() const; // as shown, without markup

protected:
    void changeEvent(QEvent *event) override;

private:
    void render();

    QTextBrowser *m_browser;
};

} // namespace qj
