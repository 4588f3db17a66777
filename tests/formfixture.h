#pragma once

#include "app/form1.h"
#include "fakeport.h"
#include "panel/commandbutton.h"
#include "panel/levelslider.h"
#include "panel/panelview.h"
#include "panel/spinbutton.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace qj::test {

using Bytes = std::vector<std::uint8_t>;

// A frame with its check byte worked out here from the frame rule: the four bytes add up to
// 0xFF.
inline Bytes frameOf(int wireId, int value)
{
    const int check = 0xFF - ((0xAA + wireId + value) & 0xFF);
    return {0xAA, static_cast<std::uint8_t>(wireId), static_cast<std::uint8_t>(value),
            static_cast<std::uint8_t>(check)};
}

// The real window on a port in memory. The tick is stopped so a test drives time itself, and
// messages are recorded instead of shown. The port reads as open once the window stands
// (start-up itself wrote into a closed port, as it does on a real start).
struct FormFixture : ::testing::Test
{
    FakePort port;
    std::unique_ptr<Form1> form;
    QStringList messages;

    void SetUp() override
    {
        form = std::make_unique<Form1>(port);
        form->runTimer().stop();
        form->setMessagePresenter([this](const QString &text) { messages << text; });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        port.open = true;
    }

    PanelView &view() { return form->view(); }
    WidgetPanel &panel() { return form->panel(); }
    CommandState &cmd() { return form->link().command(); }

    // Online as after a completed connection: Mute enabled, the connect entry spent, the status
    // lamp connected. After a give-up the link is connected anew.
    void goOnline()
    {
        if (form->link().state() == LinkState::Offline)
            form->link().disconnect();
        port.open = true;
        form->link().goOnline();
    }
    bool connectOffered() { return form->menu().action(MenuEntry::Connect)->isEnabled(); }

    template<typename T = QWidget>
    T *find(const QString &name)
    {
        T *w = view().findChild<T *>(name);
        EXPECT_NE(w, nullptr) << qPrintable(name);
        return w;
    }

    LevelSlider *slider(const char *name) { return find<LevelSlider>(QString::fromLatin1(name)); }
    QString caption(const char *name) { return find<QLabel>(QString::fromLatin1(name))->text(); }
    void click(const QString &name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void key(const char *name, Qt::Key k) { QTest::keyClick(find(QString::fromLatin1(name)), k); }

    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            form->link().tick();
    }

    // The processor's acknowledgement of whatever is pending (nothing when nothing is).
    void acknowledge()
    {
        if (!cmd().pending())
            return;
        port.arrive({0xAA});
        tick();
    }
};

} // namespace qj::test

// Readable QStrings in test failures.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
