// qjd under load and loss, through real HTTP and WebSocket against qj-sim on pseudo-terminals.
#include "params/parametermap.h"
#include "qjdfixture.h"

#include <atomic>
#include <map>

namespace qj::test {
namespace {

constexpr int kEchoDelay = 1; // wire id: a level with a wide range, 0..250

// The events after `seq` (the snapshot of the latest subscriber), in order.
std::vector<std::string> after(const std::vector<std::string> &messages, int seq)
{
    std::vector<std::string> out;
    for (const std::string &m : messages)
        if (jsonOf(m)["seq"].toInt() > seq && !jsonOf(m).contains(QStringLiteral("rooms")))
            out.push_back(m);
    return out;
}

// 20 clients with 50 changes each over two rooms, and three event streams watching.
TEST_F(QjdOnSims, TwentyClientsOfFiftyChangesAreAllAnsweredInOrderOnEachLine)
{
    constexpr int kClients = 20;
    constexpr int kChanges = 50;
    std::vector<std::unique_ptr<EventClient>> watchers;
    for (int i = 0; i < 3; ++i) {
        watchers.push_back(std::make_unique<EventClient>(qjd.port));
        ASSERT_TRUE(watchers.back()->connected());
        ASSERT_TRUE(watchers.back()->waitFor([](const auto &m) { return !m.empty(); }));
    }
    int lastSnapshot = 0;
    for (const auto &w : watchers)
        lastSnapshot = std::max(lastSnapshot, jsonOf(w->messages()[0])["seq"].toInt());

    std::atomic<int> answered{0};
    std::atomic<int> failures{0};
    std::mutex mutex;
    std::vector<std::string> problems;
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            HttpClient http(qjd.port);
            const std::string room = i % 2 == 0 ? "a" : "b";
            for (int k = 0; k < kChanges; ++k) {
                const int value = (i * kChanges + k) % 251;
                const HttpReply r = http.request("PATCH", "/api/v1/rooms/" + room + "/settings",
                                                 "{\"EchoDelay\": " + std::to_string(value) + "}");
                ++answered;
                if (r.status != 200) {
                    ++failures;
                    std::lock_guard lock(mutex);
                    problems.push_back(std::to_string(r.status) + " " + r.body);
                }
            }
        });
    for (std::thread &t : clients)
        t.join();
    EXPECT_EQ(answered.load(), kClients * kChanges);
    EXPECT_EQ(failures.load(), 0) << (problems.empty() ? "" : problems.front());

    // Never two commands in flight on either line.
    EXPECT_EQ(a.twoInFlight().toStdString(), "");
    EXPECT_EQ(b.twoInFlight().toStdString(), "");

    // Each room ends at the last acknowledged change: the processor, the API and the events
    // agree.
    HttpClient http(qjd.port);
    const int lastSeq = static_cast<int>(jsonOf(watchers[0]->messages().back())["seq"].toInt());
    for (const auto &w : watchers)
        ASSERT_TRUE(
            w->waitFor([&](const auto &m) { return jsonOf(m.back())["seq"].toInt() >= lastSeq; }));
    std::map<QString, int> lastEvent;
    int acknowledged = 0;
    for (const std::string &m : after(watchers[0]->messages(), lastSnapshot)) {
        const QJsonObject e = jsonOf(m);
        if (e["settings"].toObject().contains(QStringLiteral("EchoDelay"))) {
            lastEvent[e["room"].toString()] = e["settings"][QStringLiteral("EchoDelay")].toInt();
            ++acknowledged;
        }
    }
    EXPECT_EQ(acknowledged, kClients * kChanges);
    for (auto [name, processor] : {std::pair{"a", &a}, std::pair{"b", &b}}) {
        const int shown = jsonOf(http.request("GET", std::string("/api/v1/rooms/") + name)
                                     .body)["settings"][QStringLiteral("EchoDelay")]
                              .toInt();
        EXPECT_EQ(shown, lastEvent[QString::fromLatin1(name)]) << name;
        EXPECT_EQ(processor->state()[kEchoDelay], shown) << name;
    }

    // Every event stream saw the same sequence, numbered without a gap.
    const std::vector<std::string> reference = after(watchers[0]->messages(), lastSnapshot);
    for (const auto &w : watchers)
        EXPECT_EQ(after(w->messages(), lastSnapshot), reference);
    for (std::size_t i = 1; i < reference.size(); ++i)
        ASSERT_EQ(jsonOf(reference[i])["seq"].toInt(), jsonOf(reference[i - 1])["seq"].toInt() + 1);
}

// Room a unplugged while its clients wait: each is answered (409 listing nothing
// acknowledged, or 200), room b never notices, and a comes back by itself.
TEST_F(QjdOnSims, ARoomUnpluggedWhileClientsWaitIsAnsweredAndComesBack)
{
    std::atomic<bool> stop{false};
    std::map<int, int> statusesA;
    std::map<int, int> statusesB;
    std::mutex mutex;
    std::vector<std::thread> clients;
    for (int i = 0; i < 6; ++i)
        clients.emplace_back([&, i] {
            HttpClient http(qjd.port);
            const bool onA = i % 2 == 0;
            for (int k = 0; !stop; ++k) {
                const HttpReply r = http.request(
                    "PATCH", onA ? "/api/v1/rooms/a/settings" : "/api/v1/rooms/b/settings",
                    "{\"EchoDelay\": " + std::to_string((i * 37 + k) % 251) + "}");
                std::lock_guard lock(mutex);
                ++(onA ? statusesA : statusesB)[r.status];
                if (r.status == 409)
                    spin(0), std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    spin(300);
    a.sim.sendLine(QStringLiteral("unplug"));
    HttpClient http(qjd.port);
    ASSERT_TRUE(waitUntil([&] {
        return jsonOf(http.request("GET", "/api/v1/rooms/a").body)["state"] ==
               QStringLiteral("waiting");
    }));
    spin(500);
    a.sim.sendLine(QStringLiteral("plug"));
    ASSERT_TRUE(online("a"));
    spin(300);
    stop = true;
    for (std::thread &t : clients)
        t.join();
    std::lock_guard lock(mutex);
    for (const auto &[status, count] : statusesA)
        EXPECT_TRUE(status == 200 || status == 409) << status << " x" << count;
    EXPECT_GT(statusesA[409], 0);
    EXPECT_GT(statusesA[200], 0);
    EXPECT_EQ(statusesB.size(), 1u);
    EXPECT_GT(statusesB[200], 0);
    EXPECT_EQ(b.twoInFlight().toStdString(), "");
}

} // namespace
} // namespace qj::test
