#include "app/tracefile.h"
#include "ptywindow.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace qj {
namespace {

TEST(TraceTest, EveryByteEachWayWithItsTimeAndDirection)
{
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    TraceFile trace;
    ASSERT_TRUE(trace.open(path)) << qPrintable(trace.errorString());
    SerialPort serial;
    serial.bindings().bind(5, QString::fromStdString(pty.path()));
    {
        Form1 form(serial, trace.wrap(serial));
        QStringList messages;
        form.setMessagePresenter([&](const QString &text) { messages << text; });
        form.show();
        EXPECT_EQ(form.serialPort(), &serial);

        form.menu().action(MenuEntry::Connect)->trigger(); // Text1 holds "5"
        ASSERT_TRUE(test::answerConnect(form, pty, 0x02)); // RunMode reports User3
        form.close();
        EXPECT_FALSE(serial.portOpen()); // closing the window closed the port
        EXPECT_TRUE(messages.isEmpty());
    }

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("# QJ Karaoke V1.0 protocol trace, started ")))
        << qPrintable(lines[0]);

    const QRegularExpression line(QStringLiteral("^ *(\\d+\\.\\d{3}) (.*)$"));
    QStringList events;
    double last = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = line.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << qPrintable(lines[i]);
        const double ms = m.captured(1).toDouble();
        EXPECT_GE(ms, last) << qPrintable(lines[i]);
        last = ms;
        events << m.captured(2);
    }
    EXPECT_EQ(events, (QStringList{"-- port 5", "-- open port 5", "TX AA 00 01 54", "RX AA",
                                   "RX AA 25 02 2E", "TX AA", "-- close port 5"}));
}

TEST(TraceTest, AFileThatCannotBeWrittenIsRefusedWithTheReason)
{
    TraceFile trace;
    EXPECT_FALSE(trace.open(QStringLiteral("/nonexistent-folder/trace.txt")));
    EXPECT_FALSE(trace.errorString().isEmpty());
}

// The program itself: the option is offered, and a trace that cannot be written stops it
// before any window opens.
TEST(TraceTest, TheProgramTakesTraceFileAndRefusesAnUnwritableOne)
{
    QProcess help;
    help.start(QStringLiteral(QJ_PANEL_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--trace <FILE>"));

    QProcess bad;
    bad.start(QStringLiteral(QJ_PANEL_PROGRAM),
              {QStringLiteral("--trace"), QStringLiteral("/nonexistent-folder/trace.txt")});
    ASSERT_TRUE(bad.waitForFinished(10000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("/nonexistent-folder/trace.txt"));
}

} // namespace
} // namespace qj
