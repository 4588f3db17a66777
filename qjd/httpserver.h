#pragma once

#include "qjd/access.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qj::qjd {

class Api;
class EventHub;

// The HTTP and WebSocket edge: Boost.Beast on one I/O thread of its own. Requests are read with
// Beast's limits (request line and headers 8 KiB, a body over 64 KiB refused from its
// Content-Length before it is read, timeouts), over TLS when it has a certificate, let in or
// refused by the access rules (access.h), turned into ApiRequest and handed to the engine's thread,
// where the Api and the EventHub live; their answers come back to this thread to be written.
// Nothing here touches the engine.
class HttpServer
{
public:
    // Runs a call on the engine's thread, in the order given.
    using ToEngine = std::function<void(std::function<void()>)>;

    // What one client may take.
    struct Limits
    {
        std::uint32_t headerBytes = 8 * 1024; // request line and headers
        // Open at once; more are closed at once. Twice a room's queue, so that a client beyond
        // a full queue is told 503 and when to come back, not shut out.
        int connections = 128;
        std::chrono::milliseconds idle{60'000};     // an HTTP connection with nothing to do,
                                                    // and a TLS handshake
        std::chrono::milliseconds tokenWait{5'000}; // the WebSocket's token message
        std::chrono::milliseconds pingEvery{20'000};
        std::chrono::milliseconds pongWithin{60'000}; // a WebSocket heard from no longer: closed
    };

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

    // Before start: HTTPS and WSS with this certificate (PEM, the chain after it) and its key
    // (PEM, readable by its owner alone, no passphrase); TLS 1.2 at least. Why they cannot be
    // used, naming the file, when they cannot.
    std::optional<std::string> setTls(const std::string &certFile, const std::string &keyFile);

    // Before start: who gets in, and the limits.
    void setAccess(AccessPolicy policy);
    void setLimits(const Limits &limits);

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
