#include "menufixture.h"
#include "ptywindow.h"

#include <QElapsedTimer>

#include <optional>

namespace qj {
namespace {

using test::Bytes;

// A processor on the far end of a real pseudo-terminal: it takes each command frame, holds
// its value and acknowledges it a few milliseconds later. It notes any second, different
// command that arrives while one is still unanswered.
struct ScriptedProcessor
{
    static constexpr int kAckDelayMs = 3; // long enough for an eager panel to show itself

    explicit ScriptedProcessor(test::Pty &p) : pty(p) {}

    test::Pty &pty;
    std::array<int, kParameterCount> held{};
    std::vector<Bytes> frames;
    int badSums = 0;
    int overlaps = 0;

    void serve(const std::function<bool()> &done, int timeoutMs)
    {
        std::vector<std::uint8_t> pending;
        std::optional<Bytes> unanswered;
        QElapsedTimer clock, sinceFrame;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs) {
            std::uint8_t buf[64];
            const ssize_t n = ::read(pty.master(), buf, sizeof buf);
            if (n > 0)
                pending.insert(pending.end(), buf, buf + n);
            while (pending.size() >= 4) {
                const Bytes frame(pending.begin(), pending.begin() + 4);
                pending.erase(pending.begin(), pending.begin() + 4);
                if (std::uint8_t(frame[0] + frame[1] + frame[2] + frame[3]) != 0xFF)
                    ++badSums;
                if (unanswered && *unanswered != frame)
                    ++overlaps; // a resend of the same frame is allowed, another command not
                frames.push_back(frame);
                held[frame[1]] = frame[2];
                unanswered = frame;
                sinceFrame.start();
            }
            if (unanswered && sinceFrame.elapsed() >= kAckDelayMs) {
                pty.write({0xAA});
                unanswered.reset();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }
};

// The window with a far preset to open, its processor played on a pseudo-terminal.
struct PresetOnPty : test::PtyWindow
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("far.json"));

    void SetUp() override
    {
        PtyWindow::SetUp();
        ASSERT_TRUE(pty.ok());
        test::writeFile(path, writePreset(test::farPreset()));
        auto dialogs = std::make_unique<test::ScriptedDialogs>();
        dialogs->openPath = path;
        form.menuActions().setDialogs(std::move(dialogs));
        bind(5, pty);
    }
    // Connected the usual way (the box holds 5); the processor holds what the offline panel
    // shows.
    ::testing::AssertionResult connectOnline()
    {
        form.menu().action(MenuEntry::Connect)->trigger();
        return test::answerConnect(form, pty);
    }
};
using PresetPushRealTest = PresetOnPty;
using UndoRealTest = PresetOnPty;

TEST_F(PresetPushRealTest, OneCommandInFlightAndTheProcessorEndsHoldingTheFile)
{
    form.show();
    ASSERT_TRUE(connectOnline());

    ScriptedProcessor processor{pty};
    const Preset start = offlinePreset();
    for (int id : presetIds())
        processor.held[static_cast<std::size_t>(id)] = start.values[static_cast<std::size_t>(id)];
    const auto changes = presetChanges(capturePreset(form.panel()), test::farPreset());

    form.menu().action(MenuEntry::OpenFile)->trigger();
    processor.serve(
        [&] {
            return !form.menuActions().presets().pushing() &&
                   form.view().statusDisplay()->text() == QStringLiteral("当前状态：联机");
        },
        10000);

    EXPECT_FALSE(form.menuActions().presets().pushing());
    EXPECT_EQ(form.view().statusDisplay()->text(), QStringLiteral("当前状态：联机"));
    EXPECT_EQ(processor.overlaps, 0);
    EXPECT_EQ(processor.badSums, 0);
    EXPECT_GE(processor.frames.size(), changes.size());
    const Preset far = test::farPreset();
    for (int id : presetIds()) {
        if (parameter(id).kind == ControlKind::Spinner)
            continue; // the limits stay on the panel
        EXPECT_EQ(processor.held[static_cast<std::size_t>(id)],
                  far.values[static_cast<std::size_t>(id)])
            << parameter(id).control;
    }
    EXPECT_EQ(capturePreset(form.panel()), far);
    EXPECT_TRUE(messages.isEmpty());
}

// Ctrl+Z and Ctrl+Shift+Z pressed on the window: the preset goes back and comes again on a real
// line, one command in flight, and a key step of a slider is taken back with one frame.
TEST_F(UndoRealTest, TheKeysTakeBackAndRedoOnTheLineOneCommandInFlight)
{
    form.show();
    ASSERT_TRUE(connectOnline());

    ScriptedProcessor processor{pty};
    const Preset start = capturePreset(form.panel());
    for (int id : presetIds())
        processor.held[static_cast<std::size_t>(id)] = start.values[static_cast<std::size_t>(id)];
    const auto settled = [&] {
        return !form.menuActions().presets().pushing() && !form.link().commandPending() &&
               form.view().statusDisplay()->text() == QStringLiteral("当前状态：联机");
    };
    const auto processorHolds = [&](const Preset &preset) {
        for (int id : presetIds())
            if (parameter(id).kind != ControlKind::Spinner &&
                processor.held[static_cast<std::size_t>(id)] !=
                    preset.values[static_cast<std::size_t>(id)])
                return false;
        return true;
    };

    form.menu().action(MenuEntry::OpenFile)->trigger();
    processor.serve(settled, 10000);
    ASSERT_TRUE(processorHolds(test::farPreset()));

    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(capturePreset(form.panel()), start); // the panel at once
    processor.serve(settled, 10000);
    EXPECT_TRUE(processorHolds(start));

    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(capturePreset(form.panel()), test::farPreset());
    processor.serve(settled, 10000);
    EXPECT_TRUE(processorHolds(test::farPreset()));

    // One key step of a slider, and back.
    LevelSlider *echo = form.view().slider(2);
    echo->setFocus();
    const int before = echo->parameterValue();
    QTest::keyClick(echo, Qt::Key_Up);
    processor.serve(settled, 2000);
    ASSERT_NE(processor.held[2], before);
    const std::size_t sent = processor.frames.size();
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    processor.serve(settled, 2000);
    EXPECT_EQ(processor.held[2], before);
    EXPECT_EQ(processor.frames.size(), sent + 1);
    EXPECT_EQ(echo->parameterValue(), before);

    EXPECT_EQ(processor.overlaps, 0);
    EXPECT_EQ(processor.badSums, 0);
    EXPECT_TRUE(messages.isEmpty());
}

// The device goes away in the middle of a push, and the failure's box stays open for longer than
// the link's whole resend schedule (1900 ticks): the push stops at once, nothing more is sent or
// resent, and the one box tells the failure and how far the push had got.
TEST_F(PresetPushRealTest, ALinkFailureEndsThePushWithOneMessage)
{
    std::optional<std::uint32_t> sentAtBox;
    std::uint32_t sentWhileBoxOpen = 0;
    form.setMessagePresenter([&](const QString &text) {
        messages << text;
        // A box the user leaves open: its event loop turns for 2.5 s.
        const std::uint32_t before = form.link().transmitter().transmissions();
        if (!sentAtBox)
            sentAtBox = before;
        test::spin(2500);
        sentWhileBoxOpen += form.link().transmitter().transmissions() - before;
    });
    ASSERT_TRUE(connectOnline());
    const int total =
        static_cast<int>(presetChanges(capturePreset(form.panel()), test::farPreset()).size());
    ASSERT_GT(total, 3);

    // Two settings acknowledged, the third sent and waiting; then the device is gone.
    ScriptedProcessor processor{pty};
    form.menu().action(MenuEntry::OpenFile)->trigger();
    processor.serve([&] { return processor.frames.size() >= 3; }, 10000);
    ASSERT_EQ(processor.frames.size(), 3u);
    ASSERT_TRUE(form.menuActions().presets().pushing());
    pty.closeMaster();

    QElapsedTimer clock;
    clock.start();
    while (messages.isEmpty() && clock.elapsed() < 10000)
        test::spin(5);
    test::spin(300); // the ticks after the box, in which a second message would come
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    const QStringList lines = messages.front().split(u'\n');
    ASSERT_EQ(lines.size(), 2) << messages.front().toStdString();
    EXPECT_TRUE(lines[0] == QStringLiteral("设备已脱机！！！") ||
                lines[0] == QStringLiteral("数据发送失败！！！"))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("预设发送中断：%1 项设置中已发送 2 项。").arg(total));
    EXPECT_EQ(sentWhileBoxOpen, 0u);
    ASSERT_TRUE(sentAtBox.has_value());
    EXPECT_EQ(form.link().transmitter().transmissions(), *sentAtBox);
    EXPECT_FALSE(form.menuActions().presets().pushing());
    EXPECT_FALSE(form.view().mute()->isEnabled());
    EXPECT_TRUE(form.menu().action(MenuEntry::Connect)->isEnabled());
    EXPECT_EQ(form.view().statusDisplay()->text(), QStringLiteral("当前状态：脱机"));
    EXPECT_EQ(form.link().command().CmdId, 0);
    EXPECT_EQ(form.link().command().ReplyTicks, 0);
}

} // namespace
} // namespace qj
