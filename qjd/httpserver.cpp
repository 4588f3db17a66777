#include "qjd/httpserver.h"

#include "qjd/api.h"
#include "qjd/eventhub.h"
#include "qjd/outqueue.h"
#include "qjd/webpage.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

namespace qj::qjd {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

constexpr auto kReadTimeout = std::chrono::seconds(30); // a request that stalls mid-way
// The kernel's own buffer for an event stream: small, so a client that stops reading shows in
// the backlog, which closes it, rather than in megabytes held by the kernel.
constexpr int kEventSendBuffer = 64 * 1024;

} // namespace

struct HttpServer::Impl
{
    Impl(Api &a, EventHub &h, ToEngine t) : api(a), hub(h), toEngine(std::move(t)) {}

    Api &api;
    EventHub &hub;
    ToEngine toEngine;
    // Declared before the I/O context: they outlive the connections it still holds at the end.
    AccessPolicy access;
    FailureThrottle throttle; // I/O thread only
    HttpServer::Limits limits;
    int connections = 0; // I/O thread only
    asio::io_context ioc{1};
    // Keeps the I/O thread running while it has nothing of its own to wait for: once the
    // acceptor is closed, connections waiting for the engine's answers hold no operation.
    asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(ioc);
    tcp::acceptor acceptor{ioc};
    asio::signal_set stopSignals{ioc, SIGINT, SIGTERM};
    std::function<void()> onSignal;
    std::thread thread;
    std::uint64_t nextStream = 1;
    std::set<std::shared_ptr<class EventStream>> streams; // I/O thread only
    int answersPending = 0;                               // I/O thread only
    std::set<std::shared_ptr<void>> owed; // sessions owed an answer (I/O thread only)
    std::atomic<bool> running{false};

    void accept();
};

// One open connection, counted while any part of it lives (the HTTP session, then its event
// stream).
class ConnectionSlot
{
public:
    explicit ConnectionSlot(HttpServer::Impl &server) : m_server(server) { ++m_server.connections; }
    ~ConnectionSlot() { --m_server.connections; }
    ConnectionSlot(const ConnectionSlot &) = delete;
    ConnectionSlot &operator=(const ConnectionSlot &) = delete;

private:
    HttpServer::Impl &m_server;
};

namespace {

// The connection's own address and port, and its peer's address, for the access rules.
template<typename Socket>
Arrival arrivalOf(const Socket &socket, std::string &peer)
{
    beast::error_code ec;
    const tcp::endpoint local = socket.local_endpoint(ec);
    const tcp::endpoint remote = socket.remote_endpoint(ec);
    peer = remote.address().to_string();
    auto address = local.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    return {address.to_string(), local.port(), false};
}

} // namespace

// One client of GET /api/v1/events.
class EventStream : public std::enable_shared_from_this<EventStream>
{
public:
    EventStream(HttpServer::Impl &server, tcp::socket socket, std::shared_ptr<ConnectionSlot> slot,
                std::string peer)
        : m_server(server), m_ws(std::move(socket)), m_id(server.nextStream++),
          m_slot(std::move(slot)), m_peer(std::move(peer)), m_pinger(server.ioc)
    {}

    void accept(http::request<http::empty_body> request)
    {
        // The handshake's own time limit; the heartbeat below watches the rest.
        websocket::stream_base::timeout timeouts =
            websocket::stream_base::timeout::suggested(beast::role_type::server);
        timeouts.idle_timeout = websocket::stream_base::none();
        timeouts.keep_alive_pings = false;
        m_ws.set_option(timeouts);
        m_ws.read_message_max(4096); // the client says nothing but its token
        m_ws.control_callback([this](websocket::frame_type, beast::string_view) {
            m_heardAt = std::chrono::steady_clock::now();
        });
        m_ws.async_accept(
            request, [self = shared_from_this()](beast::error_code ec) { self->accepted(ec); });
    }

    void close()
    {
        if (m_closed)
            return;
        m_closed = true;
        beast::error_code ignored;
        m_pinger.cancel();
        beast::get_lowest_layer(m_ws).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(m_ws).socket().close(ignored);
        m_server.streams.erase(shared_from_this());
        const std::uint64_t id = m_id;
        EventHub &hub = m_server.hub;
        m_server.toEngine([&hub, id] { hub.unsubscribe(id); });
    }

private:
    void accepted(beast::error_code ec)
    {
        if (ec)
            return;
        m_server.streams.insert(shared_from_this());
        beast::error_code ignored;
        beast::get_lowest_layer(m_ws).socket().set_option(
            asio::socket_base::send_buffer_size(kEventSendBuffer), ignored);
        m_ws.text(true);
        m_heardAt = std::chrono::steady_clock::now();
        if (!m_server.access.token) {
            heartbeat();
            return subscribe();
        }
        // A browser cannot give the WebSocket a header: the token comes as the first message,
        // within the time allowed, or the stream is closed before any event.
        m_pinger.expires_after(m_server.limits.tokenWait);
        m_pinger.async_wait([self = shared_from_this()](beast::error_code e) {
            if (!e && !self->m_subscribed)
                self->refuse();
        });
        m_ws.async_read(m_input, [self = shared_from_this()](beast::error_code e, std::size_t) {
            if (e || self->m_closed)
                return self->close();
            const std::string message = beast::buffers_to_string(self->m_input.data());
            self->m_input.clear();
            if (!tokenMessageMatches(self->m_server.access, message)) {
                const auto wait =
                    self->m_server.throttle.failed(self->m_peer, std::chrono::steady_clock::now());
                self->m_pinger.expires_after(wait);
                self->m_pinger.async_wait([self](beast::error_code) { self->refuse(); });
                return;
            }
            self->m_server.throttle.succeeded(self->m_peer);
            self->heartbeat();
            self->subscribe();
        });
    }

    // Closed with 1008 (policy violation), no event sent.
    void refuse()
    {
        if (m_closed || m_subscribed)
            return;
        m_ws.async_close(websocket::close_reason(websocket::close_code::policy_error),
                         [self = shared_from_this()](beast::error_code) { self->close(); });
    }

    // A ping every pingEvery; closed when nothing (a pong, a message) has come for pongWithin.
    void heartbeat()
    {
        m_pinger.expires_after(m_server.limits.pingEvery);
        m_pinger.async_wait([self = shared_from_this()](beast::error_code ec) {
            if (ec || self->m_closed)
                return;
            if (!self->m_subscribed && self->m_server.access.token)
                return; // still waiting for the token: its own deadline
            if (std::chrono::steady_clock::now() - self->m_heardAt >=
                self->m_server.limits.pongWithin)
                return self->close();
            self->m_ws.async_ping({}, [self](beast::error_code e) {
                if (e)
                    self->close();
            });
            self->heartbeat();
        });
    }

    void subscribe()
    {
        m_subscribed = true;
        std::weak_ptr<EventStream> weak = shared_from_this();
        asio::io_context &ioc = m_server.ioc;
        EventHub &hub = m_server.hub;
        Api &api = m_server.api;
        const std::uint64_t id = m_id;
        m_server.toEngine([&hub, &api, &ioc, weak, id] {
            hub.subscribe(
                id,
                [&ioc, weak](EventHub::Message message) {
                    asio::post(ioc, [weak, message] {
                        if (const auto self = weak.lock())
                            self->send(message);
                    });
                },
                api.snapshot());
        });
        read();
    }

    void send(const EventHub::Message &message)
    {
        if (m_closed)
            return;
        if (!m_out.push(message)) {
            close(); // fallen behind by more than the backlog's limit
            return;
        }
        if (!m_writing)
            writeNext();
    }

    void writeNext()
    {
        m_writing = true;
        m_ws.async_write(asio::buffer(*m_out.front()),
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             self->m_writing = false;
                             if (ec || self->m_closed)
                                 return self->close();
                             self->m_out.pop();
                             if (!self->m_out.empty())
                                 self->writeNext();
                         });
    }

    // The client says nothing the service needs; reading notices its close.
    void read()
    {
        m_ws.async_read(m_input, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec)
                return self->close();
            self->m_heardAt = std::chrono::steady_clock::now();
            self->m_input.clear();
            self->read();
        });
    }

    HttpServer::Impl &m_server;
    websocket::stream<beast::tcp_stream> m_ws;
    std::uint64_t m_id;
    std::shared_ptr<ConnectionSlot> m_slot;
    std::string m_peer;
    asio::steady_timer m_pinger;
    std::chrono::steady_clock::time_point m_heardAt;
    bool m_subscribed = false;
    OutQueue m_out;
    beast::flat_buffer m_input;
    bool m_writing = false;
    bool m_closed = false;
};

namespace {

// One HTTP connection: a request at a time, each answered before the next is read.
class HttpSession : public std::enable_shared_from_this<HttpSession>
{
public:
    HttpSession(HttpServer::Impl &server, tcp::socket socket)
        : m_server(server), m_stream(std::move(socket)),
          m_slot(std::make_shared<ConnectionSlot>(server)), m_delay(server.ioc)
    {
        m_arrival = arrivalOf(m_stream.socket(), m_peer);
    }

    void readHeader()
    {
        m_header.emplace();
        m_header->header_limit(m_server.limits.headerBytes);
        m_stream.expires_after(m_server.limits.idle);
        http::async_read_header(m_stream, m_buffer, *m_header,
                                [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                    self->headerRead(ec);
                                });
    }

private:
    void headerRead(beast::error_code ec)
    {
        if (ec == http::error::header_limit)
            return answer(error(431, "the request line and headers are over 8 KiB"), false);
        if (ec)
            return shutdown();
        const auto &request = m_header->get();
        m_version = request.version();
        m_keepAlive = request.keep_alive();
        const bool upgrade = websocket::is_upgrade(request);
        std::vector<std::pair<std::string, std::string>> headers;
        for (const auto &field : request)
            headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        const Verdict verdict = checkRequest(m_server.access, m_arrival,
                                             std::string_view(request.target()), upgrade, headers);
        if (verdict.status == 401) {
            // Nothing but the status; repeated failures from one address wait longer and longer.
            const auto wait = m_server.throttle.failed(m_peer, std::chrono::steady_clock::now());
            m_delay.expires_after(wait);
            m_delay.async_wait([self = shared_from_this()](beast::error_code) {
                self->answer(error(401, "unauthorized"), false);
            });
            return;
        }
        if (!verdict.allowed())
            return answer(error(verdict.status, verdict.why), false);
        if (m_server.access.token && !upgrade)
            m_server.throttle.succeeded(m_peer);
        if (upgrade) {
            if (!Api::isEventsPath(std::string(request.target())))
                return answer(error(404, "no event stream here: /api/v1/events"), false);
            m_stream.expires_never();
            auto stream =
                std::make_shared<EventStream>(m_server, m_stream.release_socket(), m_slot, m_peer);
            stream->accept(m_header->release());
            return;
        }
        const auto length = m_header->content_length();
        if (length && *length > Api::kMaxBody)
            return answer(error(413, "the body is over 64 KiB"), false);
        if (request[http::field::expect] == "100-continue") {
            auto go = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                         m_version);
            http::async_write(m_stream, *go,
                              [self = shared_from_this(), go](beast::error_code e, std::size_t) {
                                  if (e)
                                      return self->shutdown();
                                  self->readBody();
                              });
            return;
        }
        readBody();
    }

    void readBody()
    {
        m_body.emplace(std::move(*m_header));
        m_body->body_limit(Api::kMaxBody);
        m_stream.expires_after(kReadTimeout);
        http::async_read(
            m_stream, m_buffer, *m_body,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->bodyRead(ec); });
    }

    void bodyRead(beast::error_code ec)
    {
        if (ec == http::error::body_limit)
            return answer(error(413, "the body is over 64 KiB"), false);
        if (ec)
            return shutdown();
        auto request = std::make_shared<ApiRequest>();
        const auto &in = m_body->get();
        request->method = std::string(in.method_string());
        request->target = std::string(in.target());
        for (const auto &field : in)
            request->headers.emplace_back(std::string(field.name_string()),
                                          std::string(field.value()));
        request->body = in.body();
        // The page's files are the same for everyone and need nothing of the engine.
        if (const std::optional<WebAnswer> page =
                webPage(request->method, request->target, request->header("host")))
            return answerPage(*page, request->method == "HEAD");
        m_stream.expires_never(); // the processor's acknowledgements take what they take
        ++m_server.answersPending;
        std::weak_ptr<HttpSession> weak = shared_from_this();
        asio::io_context &ioc = m_server.ioc;
        Api &api = m_server.api;
        m_server.toEngine([&api, &ioc, weak, request] {
            api.handle(*request, [&ioc, weak](ApiResponse response) {
                asio::post(ioc, [weak, response = std::move(response)]() mutable {
                    if (const auto self = weak.lock())
                        self->answer(std::move(response), self->m_keepAlive, true);
                });
            });
        });
        // Held by the server until the answer is written: the engine's callback owns only a
        // weak reference. Not by the session itself: a stop before the answer would leave it.
        m_server.owed.insert(shared_from_this());
    }

    static ApiResponse error(int status, const std::string &why)
    {
        return {status, "{\"error\":\"" + why + "\"}", 0, {}};
    }

    // `counted`: an answer the stop waits for.
    void answer(ApiResponse response, bool keepAlive, bool counted = false)
    {
        auto out = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(response.status), m_version);
        out->set(http::field::server, "qjd");
        out->set(http::field::content_type, "application/json");
        if (response.status == 401)
            out->set(http::field::www_authenticate, "Bearer");
        if (response.retryAfter > 0)
            out->set(http::field::retry_after, std::to_string(response.retryAfter));
        if (!response.allow.empty())
            out->set(http::field::allow, response.allow);
        out->body() = std::move(response.body);
        out->keep_alive(keepAlive);
        out->prepare_payload();
        m_stream.expires_after(kReadTimeout);
        http::async_write(
            m_stream, *out,
            [self = shared_from_this(), out, counted](beast::error_code ec, std::size_t) {
                if (counted)
                    --self->m_server.answersPending;
                self->m_server.owed.erase(self);
                if (ec || !out->keep_alive())
                    return self->shutdown();
                self->readHeader();
            });
    }

    void answerPage(const WebAnswer &page, bool head)
    {
        auto out = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(page.status), m_version);
        out->set(http::field::server, "qjd");
        for (const auto &[name, value] : page.headers)
            out->set(name, value);
        out->keep_alive(m_keepAlive);
        if (head) {
            out->content_length(page.body.size()); // the length a GET gets, without the body
        } else {
            out->body() = std::string(page.body);
            out->prepare_payload();
        }
        m_stream.expires_after(kReadTimeout);
        http::async_write(m_stream, *out,
                          [self = shared_from_this(), out](beast::error_code ec, std::size_t) {
                              if (ec || !out->keep_alive())
                                  return self->shutdown();
                              self->readHeader();
                          });
    }

    void shutdown()
    {
        m_server.owed.erase(shared_from_this());
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }

    HttpServer::Impl &m_server;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::empty_body>> m_header;
    std::optional<http::request_parser<http::string_body>> m_body;
    std::shared_ptr<ConnectionSlot> m_slot;
    asio::steady_timer m_delay;
    Arrival m_arrival;
    std::string m_peer;
    unsigned m_version = 11;
    bool m_keepAlive = true;
};

} // namespace

void HttpServer::Impl::accept()
{
    acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket s) {
        if (ec == asio::error::operation_aborted || !acceptor.is_open())
            return;
        if (!ec && connections >= limits.connections) {
            // Over the limit: closed at once, before a byte is read.
            beast::error_code ignored;
            s.close(ignored);
        } else if (!ec) {
            std::make_shared<HttpSession>(*this, std::move(s))->readHeader();
        }
        accept();
    });
}

HttpServer::HttpServer(Api &api, EventHub &hub, ToEngine toEngine)
    : m_impl(std::make_unique<Impl>(api, hub, std::move(toEngine)))
{}

HttpServer::~HttpServer()
{
    if (m_impl->thread.joinable())
        stop(0);
}

std::optional<std::string> HttpServer::listen(const std::string &address, std::uint16_t port)
{
    beast::error_code ec;
    const asio::ip::address ip = asio::ip::make_address(address, ec);
    if (ec)
        return address + " is not an IP address";
    const tcp::endpoint endpoint(ip, port);
    tcp::acceptor &a = m_impl->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec)
        a.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        a.bind(endpoint, ec);
    if (!ec)
        a.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        beast::error_code ignored;
        a.close(ignored);
        return ec.message();
    }
    return std::nullopt;
}

std::string HttpServer::boundAddress() const
{
    beast::error_code ec;
    const tcp::endpoint at = m_impl->acceptor.local_endpoint(ec);
    const std::string host = at.address().to_string();
    return (at.address().is_v6() ? "[" + host + "]" : host) + ":" + std::to_string(at.port());
}

void HttpServer::setAccess(AccessPolicy policy)
{
    m_impl->access = std::move(policy);
}

void HttpServer::setLimits(const Limits &limits)
{
    m_impl->limits = limits;
}

void HttpServer::onStopSignal(std::function<void()> handler)
{
    m_impl->onSignal = std::move(handler);
}

void HttpServer::start()
{
    Impl &impl = *m_impl;
    impl.stopSignals.async_wait([&impl](beast::error_code ec, int) {
        if (!ec && impl.onSignal)
            impl.onSignal();
    });
    impl.accept();
    impl.running = true;
    impl.thread = std::thread([&impl] { impl.ioc.run(); });
}

void HttpServer::stopAccepting()
{
    Impl &impl = *m_impl;
    asio::post(impl.ioc, [&impl] {
        beast::error_code ignored;
        impl.acceptor.close(ignored);
    });
}

void HttpServer::stop(int graceMs)
{
    Impl &impl = *m_impl;
    if (!impl.thread.joinable())
        return;
    asio::post(impl.ioc, [&impl] {
        beast::error_code ignored;
        impl.acceptor.close(ignored);
        impl.stopSignals.cancel(ignored);
        const auto streams = impl.streams;
        for (const auto &stream : streams)
            stream->close();
    });
    // The answers already given by the engine are on their way: let them be written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < deadline) {
        auto pending = std::make_shared<std::promise<int>>();
        auto result = pending->get_future();
        asio::post(impl.ioc, [&impl, pending] { pending->set_value(impl.answersPending); });
        if (result.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready &&
            result.get() == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    impl.work.reset();
    impl.ioc.stop();
    impl.thread.join();
}

} // namespace qj::qjd
