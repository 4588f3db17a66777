// qjd's HTTP and WebSocket edge in this process, on an event hub the test feeds itself: a
// client that stops reading is closed once it has fallen 256 KiB behind, and the others go on.
#include "pty.h"
#include "qjd/api.h"
#include "qjd/eventhub.h"
#include "qjd/httpserver.h"
#include "qjd/outqueue.h"
#include "qjdclient.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace qj::test {

// Runs the engine's queued calls until the hub has `count` subscribers.
bool waitUntilSubscribed(const qjd::EventHub &hub, std::size_t count)
{
    for (int i = 0; i < 5000 && hub.subscribers() < count; ++i)
        spin(1);
    return hub.subscribers() >= count;
}

} // namespace qj::test

namespace qj::qjd {
namespace {

TEST(Edge, AnEventClientThatStopsReadingIsClosedAndTheOthersGoOn)
{
    EventHub hub;
    Api api({});
    QObject engine;
    HttpServer server(api, hub, [&engine](std::function<void()> call) {
        QMetaObject::invokeMethod(&engine, std::move(call), Qt::QueuedConnection);
    });
    ASSERT_FALSE(server.listen("127.0.0.1", 0));
    server.start();
    const std::string bound = server.boundAddress();
    const auto port = static_cast<unsigned short>(std::stoi(bound.substr(bound.rfind(':') + 1)));

    test::EventClient stalled(port, false);
    test::EventClient reader(port);
    ASSERT_TRUE(stalled.connected());
    ASSERT_TRUE(reader.connected());
    // Both subscribed: each has had its snapshot.
    ASSERT_TRUE(test::waitUntilSubscribed(hub, 2));

    // 4 MiB of events in 4 KiB pieces: far more than the backlog and every buffer between.
    const QString filler(4096, u'x');
    constexpr int kEvents = 1024;
    // Published at the pace the reader takes them (16 at a time): a burst of more than the
    // backlog at once would leave every client behind.
    for (int i = 1; i <= kEvents; ++i) {
        hub.publish(
            {{QStringLiteral("room"), QStringLiteral("a")}, {QStringLiteral("note"), filler}});
        if (i % 16 == 0) {
            ASSERT_TRUE(reader.waitFor([&](const auto &m) { return int(m.size()) == i + 1; }))
                << reader.messages().size();
            test::spin(0); // the edge's unsubscribe may arrive meanwhile
        }
    }
    EXPECT_TRUE(stalled.drainUntilClosed(10000));
    EXPECT_TRUE(reader.waitFor([](const auto &m) { return m.size() == kEvents + 1; }))
        << reader.messages().size();
    EXPECT_FALSE(reader.closed());
    test::spin(50);
    EXPECT_EQ(hub.subscribers(), 1u) << "the closed client is no longer fed";
    server.stop(100);
}

} // namespace
} // namespace qj::qjd
