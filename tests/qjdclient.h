#pragma once

// A plain HTTP and WebSocket client for the tests of qjd and qj-bench, on Boost.Beast:
// blocking calls, one connection each, no Qt.
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <sys/socket.h>
#include <sys/time.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qj::test {

struct HttpReply
{
    int status = 0; // 0: no answer (the connection failed or closed)
    std::string body;
    std::string retryAfter;
    std::string allow;
    std::string wwwAuthenticate;
    std::map<std::string, std::string> headers; // every header, names in lower case
};

// One kept-alive connection to qjd.
class HttpClient
{
public:
    static constexpr int kAnswerSeconds = 30; // the longest a request waits for its answer

    explicit HttpClient(unsigned short port) : m_port(port) {}

    HttpReply request(const std::string &method, const std::string &target,
                      const std::string &body = {},
                      const std::string &contentType = "application/json",
                      const std::vector<std::pair<std::string, std::string>> &extra = {})
    {
        namespace http = boost::beast::http;
        HttpReply reply;
        for (int attempt = 0; attempt < 2; ++attempt) {
            boost::beast::error_code ec;
            if (!m_stream.socket().is_open()) {
                m_stream.connect(boost::asio::ip::tcp::endpoint(
                                     boost::asio::ip::make_address("127.0.0.1"), m_port),
                                 ec);
                if (ec)
                    return reply;
                // A blocking read knows no Beast timeout: the socket's own, so that a request
                // never answered fails instead of hanging.
                const timeval wait{kAnswerSeconds, 0};
                ::setsockopt(m_stream.socket().native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait,
                             sizeof wait);
            }
            http::request<http::string_body> req{http::string_to_verb(method), target, 11};
            if (req.method() == http::verb::unknown)
                req.method_string(method);
            req.set(http::field::host, "127.0.0.1:" + std::to_string(m_port));
            if (!body.empty() || method == "PATCH" || method == "PUT")
                req.set(http::field::content_type, contentType);
            for (const auto &[name, value] : extra)
                req.set(name, value);
            req.body() = body;
            req.prepare_payload();
            http::write(m_stream, req, ec);
            boost::beast::flat_buffer buffer;
            http::response_parser<http::string_body> parser;
            parser.skip(method == "HEAD"); // its Content-Length announces no body
            if (!ec)
                http::read(m_stream, buffer, parser, ec);
            auto &res = parser.get();
            if (ec == boost::asio::error::would_block || ec == boost::asio::error::try_again) {
                close();
                return reply; // no answer in time
            }
            if (ec) {
                close();
                continue; // a kept-alive connection the server had closed: once more
            }
            reply.status = static_cast<int>(res.result_int());
            reply.body = res.body();
            reply.retryAfter = std::string(res[http::field::retry_after]);
            reply.allow = std::string(res[http::field::allow]);
            reply.wwwAuthenticate = std::string(res[http::field::www_authenticate]);
            for (const auto &field : res) {
                std::string name(field.name_string());
                for (char &c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                reply.headers[name] = std::string(field.value());
            }
            if (!res.keep_alive())
                close();
            return reply;
        }
        return reply;
    }

    void close()
    {
        boost::beast::error_code ignored;
        m_stream.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

private:
    unsigned short m_port;
    boost::asio::io_context m_ioc;
    boost::beast::tcp_stream m_stream{m_ioc};
};

// A client of /api/v1/events that collects every message on a thread of its own.
class EventClient
{
public:
    // `reading` false: connects and never reads, as a client that has stopped. `token`: sent
    // as the first message, as the service asks when it has one; `headers` go with the
    // handshake (an Origin, another Host).
    explicit EventClient(unsigned short port, bool reading = true,
                         const std::optional<std::string> &token = std::nullopt,
                         const std::vector<std::pair<std::string, std::string>> &headers = {})
    {
        namespace websocket = boost::beast::websocket;
        boost::beast::error_code ec;
        boost::beast::get_lowest_layer(m_ws).connect(
            boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port), ec);
        if (!ec) {
            if (!reading)
                boost::beast::get_lowest_layer(m_ws).socket().set_option(
                    boost::asio::socket_base::receive_buffer_size(4096), ec);
            m_ws.set_option(
                websocket::stream_base::decorator([headers](websocket::request_type &request) {
                    for (const auto &[name, value] : headers)
                        request.set(name, value);
                }));
            m_ws.handshake("127.0.0.1:" + std::to_string(port), "/api/v1/events", ec);
        }
        if (!ec && token)
            m_ws.write(boost::asio::buffer("{\"token\":\"" + *token + "\"}"), ec);
        m_connected = !ec;
        if (m_connected && reading)
            m_thread = std::thread([this] { readAll(); });
    }
    ~EventClient()
    {
        boost::beast::error_code ignored;
        boost::beast::get_lowest_layer(m_ws).socket().shutdown(
            boost::asio::ip::tcp::socket::shutdown_both, ignored);
        if (m_thread.joinable())
            m_thread.join();
    }

    bool connected() const { return m_connected; }

    std::vector<std::string> messages()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    // When each message was read, on the monotonic clock.
    std::vector<std::chrono::steady_clock::time_point> readAt()
    {
        std::lock_guard lock(m_mutex);
        return m_readAt;
    }
    bool closed()
    {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }
    // The code the server closed with (0: none yet, or no close frame).
    int closeCode()
    {
        std::lock_guard lock(m_mutex);
        return m_closed ? static_cast<int>(m_ws.reason().code) : 0;
    }
    // Waits until `done` holds for the messages so far, or `ms` pass.
    template<typename Predicate>
    bool waitFor(Predicate done, int ms = 15000)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            return done(m_messages) || m_closed;
        }) && done(m_messages);
    }

    // For a client that does not read: reads whatever is waiting until the server's close or
    // `ms`; true when the server closed the connection.
    bool drainUntilClosed(int ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        // A blocking read knows no Beast timeout: the socket's own.
        const timeval wait{ms / 1000, (ms % 1000) * 1000};
        ::setsockopt(boost::beast::get_lowest_layer(m_ws).socket().native_handle(), SOL_SOCKET,
                     SO_RCVTIMEO, &wait, sizeof wait);
        while (std::chrono::steady_clock::now() < deadline) {
            boost::beast::flat_buffer buffer;
            boost::beast::error_code ec;
            m_ws.read(buffer, ec);
            if (ec)
                return ec != boost::asio::error::would_block && ec != boost::asio::error::try_again;
        }
        return false;
    }

private:
    void readAll()
    {
        for (;;) {
            boost::beast::flat_buffer buffer;
            boost::beast::error_code ec;
            m_ws.read(buffer, ec);
            std::lock_guard lock(m_mutex);
            if (ec) {
                m_closed = true;
                m_changed.notify_all();
                return;
            }
            m_messages.push_back(boost::beast::buffers_to_string(buffer.data()));
            m_readAt.push_back(std::chrono::steady_clock::now());
            m_changed.notify_all();
        }
    }

    boost::asio::io_context m_ioc;
    boost::beast::websocket::stream<boost::beast::tcp_stream> m_ws{m_ioc};
    bool m_connected = false;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_messages;
    std::vector<std::chrono::steady_clock::time_point> m_readAt;
    bool m_closed = false;
};

} // namespace qj::test
