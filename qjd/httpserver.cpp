#include "qjd/httpserver.h"

#include "qjd/api.h"
#include "qjd/eventhub.h"
#include "qjd/outqueue.h"
#include "qjd/webpage.h"

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>

#include <openssl/ssl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <set>
#include <thread>
#include <type_traits>

namespace qj::qjd {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

namespace {

constexpr auto kReadTimeout = std::chrono::seconds(30); // a request that stalls mid-way
// The kernel's own buffer for an event stream: small, so a client that stops reading shows in
// the backlog, which closes it, rather than in megabytes held by the kernel.
constexpr int kEventSendBuffer = 64 * 1024;
constexpr auto kTlsCloseTimeout = std::chrono::seconds(5); // the peer's close_notify
constexpr std::size_t kMaxPemFile = 1024 * 1024;

} // namespace

// An event stream as the server holds it, whatever it runs on.
class OpenStream
{
public:
    virtual ~OpenStream() = default;
    virtual void close() = 0;
};

namespace {

template<typename Stream>
constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

// A PEM file read whole into `text`; why not, naming it. `secret`: readable by its owner alone.
std::optional<std::string> readPem(const std::string &path, bool secret, std::string &text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return path + ": " + std::strerror(errno);
    std::optional<std::string> why;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        why = path + ": " + std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = path + ": not a file";
    else if (secret)
        why = secretModeProblem(path, st.st_mode);
    std::array<char, 4096> buffer{};
    while (!why) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            why = path + ": " + std::strerror(errno);
        if (got <= 0)
            break;
        text.append(buffer.data(), static_cast<std::size_t>(got));
        if (text.size() > kMaxPemFile)
            why = path + ": over 1 MiB, no PEM file";
    }
    ::close(fd);
    return why;
}

} // namespace

struct HttpServer::Impl
{
    Impl(Api &a, EventHub &h, ToEngine t) : api(a), hub(h), toEngine(std::move(t)) {}

    Api &api;
    EventHub &hub;
    ToEngine toEngine;
    // Declared before the I/O context: they outlive the connections it still holds at the end.
    AccessPolicy access;
    std::optional<ssl::context> tls; // HTTPS and WSS when set
    FailureThrottle throttle;        // I/O thread only
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
    std::set<std::shared_ptr<OpenStream>> streams; // I/O thread only
    int answersPending = 0;                        // I/O thread only
    std::set<std::shared_ptr<void>> owed;          // sessions owed an answer (I/O thread only)
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

// One client of GET /api/v1/events, on the HTTP session's stream (TCP, or TLS over it).
template<typename Stream>
class EventStream : public OpenStream, public std::enable_shared_from_this<EventStream<Stream>>
{
public:
    using std::enable_shared_from_this<EventStream<Stream>>::shared_from_this;

    EventStream(HttpServer::Impl &server, Stream stream, std::shared_ptr<ConnectionSlot> slot,
                std::string peer)
        : m_server(server), m_ws(std::move(stream)), m_id(server.nextStream++),
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

    void close() override
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
    websocket::stream<Stream> m_ws;
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

// One HTTP connection: a request at a time, each answered before the next is read. Over TLS
// the handshake comes first, in the time an idle connection is given; a client that speaks
// plain HTTP to it, or fails or stalls the handshake, is closed.
template<typename Stream>
class HttpSession : public std::enable_shared_from_this<HttpSession<Stream>>
{
public:
    using std::enable_shared_from_this<HttpSession<Stream>>::shared_from_this;

    template<typename... Args>
    HttpSession(HttpServer::Impl &server, tcp::socket socket, Args &...tlsContext)
        : m_server(server), m_stream(std::move(socket), tlsContext...),
          m_slot(std::make_shared<ConnectionSlot>(server)), m_delay(server.ioc)
    {
        m_arrival = arrivalOf(lowest().socket(), m_peer);
        m_arrival.tls = kTls<Stream>;
    }

    void start()
    {
        if constexpr (kTls<Stream>) {
            lowest().expires_after(m_server.limits.idle);
            m_stream.async_handshake(ssl::stream_base::server,
                                     [self = shared_from_this()](beast::error_code ec) {
                                         if (ec)
                                             return self->drop();
                                         self->readHeader();
                                     });
        } else {
            readHeader();
        }
    }

    void readHeader()
    {
        m_header.emplace();
        m_header->header_limit(m_server.limits.headerBytes);
        lowest().expires_after(m_server.limits.idle);
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
            lowest().expires_never();
            auto stream = std::make_shared<EventStream<Stream>>(m_server, std::move(m_stream),
                                                                m_slot, m_peer);
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
        lowest().expires_after(kReadTimeout);
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
        lowest().expires_never(); // the processor's acknowledgements take what they take
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
        lowest().expires_after(kReadTimeout);
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
        lowest().expires_after(kReadTimeout);
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
        if constexpr (kTls<Stream>) {
            // close_notify, then the connection closed whatever the peer says (or does not).
            lowest().expires_after(kTlsCloseTimeout);
            m_stream.async_shutdown(
                [self = shared_from_this()](beast::error_code) { self->drop(); });
        } else {
            beast::error_code ignored;
            m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        }
    }

    // Closed at once, nothing more said.
    void drop()
    {
        beast::error_code ignored;
        lowest().socket().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().socket().close(ignored);
    }

    beast::tcp_stream &lowest() { return beast::get_lowest_layer(m_stream); }

    HttpServer::Impl &m_server;
    Stream m_stream;
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
        } else if (!ec && tls) {
            std::make_shared<HttpSession<TlsStream>>(*this, std::move(s), *tls)->start();
        } else if (!ec) {
            std::make_shared<HttpSession<PlainStream>>(*this, std::move(s))->start();
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

std::optional<std::string> HttpServer::setTls(const std::string &certFile,
                                              const std::string &keyFile)
{
    std::string cert;
    std::string key;
    if (auto why = readPem(certFile, false, cert))
        return why;
    if (auto why = readPem(keyFile, true, key))
        return why;
    ssl::context context(ssl::context::tls_server);
    // TLS 1.2 and 1.3 alone; no compression, no renegotiation, a fresh key exchange each time.
    context.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                        ssl::context::no_sslv3 | ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 |
                        ssl::context::no_compression | ssl::context::single_dh_use);
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
    SSL_CTX_set_options(context.native_handle(),
                        SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    // A key with a passphrase is refused rather than asked for on a terminal there is none of.
    context.set_password_callback(
        [](std::size_t, ssl::context::password_purpose) { return std::string(); });
    // The key first: a certificate it does not match then leaves the context without a key,
    // which the last check names as such.
    beast::error_code ec;
    context.use_private_key(asio::buffer(key), ssl::context::pem, ec);
    if (ec)
        return keyFile + ": not a PEM private key without a passphrase (" + ec.message() + ")";
    context.use_certificate_chain(asio::buffer(cert), ec);
    if (ec)
        return certFile + ": not a PEM certificate (" + ec.message() + ")";
    if (SSL_CTX_check_private_key(context.native_handle()) != 1)
        return keyFile + ": not the key of the certificate " + certFile;
    m_impl->tls.emplace(std::move(context));
    return std::nullopt;
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
