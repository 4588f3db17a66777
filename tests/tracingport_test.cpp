#include "fakeport.h"
#include "link/tracingport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace qj {
namespace {

TEST(TracingPort, EveryByteEachWayWithTimeAndDirection)
{
    test::FakePort inner;
    QString text;
    QTextStream out(&text);
    TracingPort port(inner, out);
    port.setCommPort(5);
    port.setPortOpen(true);
    const std::uint8_t frame[] = {0xAA, 0x00, 0x01, 0x54};
    port.output(frame);
    inner.arrive({0x55, 0x01});
    port.discardInput(); // thrown away unread: still traced
    inner.arrive({0xAA, 0x01, 0x64, 0xF0});
    std::vector<std::uint8_t> got;
    port.input(got);
    EXPECT_EQ(got, (std::vector<std::uint8_t>{0xAA, 0x01, 0x64, 0xF0}));
    const std::uint8_t reply[] = {0xAA};
    port.output(reply);

    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    const QRegularExpression stamp(QStringLiteral("^ *\\d+\\.\\d{3} "));
    for (const QString &l : lines)
        EXPECT_TRUE(stamp.match(l).hasMatch()) << l.toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("TX AA 00 01 54")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("RX 55 01 (discarded)")));
    EXPECT_TRUE(lines[4].endsWith(QStringLiteral("RX AA 01 64 F0")));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("TX AA")));
    EXPECT_TRUE(inner.received.empty());
}

TEST(TracingPort, NothingIsTracedForAClosedPort)
{
    test::FakePort inner;
    QString text;
    QTextStream out(&text);
    TracingPort port(inner, out);
    const std::uint8_t frame[] = {0xAA, 0x18, 0x00, 0x3D};
    port.output(frame);
    port.discardInput();
    EXPECT_TRUE(text.isEmpty());
}

} // namespace
} // namespace qj
