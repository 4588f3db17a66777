#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qj::qjd {

class Api;
class EventHub;

// The HTTP and WebSocket edge: Boost.Beast on one I/O thread of its own. Requests are read with
// Beast's limits (headers 16 KiB, a body over 64 KiB refused from its Content-Length before it
// is read, timeouts), turned into ApiRequest and handed to the engine's thread, where the Api
// and the EventHub live; their answers come back to this thread to be written. Nothing here
// touches the engine.
class HttpServer
{
public:
    // Runs a call on the engine's thread, in the order given.
    using ToEngine = std::function<void(std::function<void()>)>;

    HttpServer(Api &api, EventHub &hub, ToEngine toEngine);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and listens; the reason when it cannot. Port 0 takes a free one.
    std::optional<std::string> listen(const std::string &address, std::uint16_t port);
    // "ADDR:PORT" as bound ("[::1]:8390" for IPv6).
    std::string boundAddress() const;

    // SIGTERM or SIGINT: `handler` runs on the I/O thread.
    void onStopSignal(std::function<void()> handler);

    // Starts the I/O thread.
    void start();
    // Stops accepting; the connections open go on.
    void stopAccepting();
    // Closes the event streams, waits up to `graceMs` for the answers on their way to be
    // written, then ends the I/O thread.
    void stop(int graceMs);

    // The edge's state and its connections, all in httpserver.cpp.
    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace qj::qjd
