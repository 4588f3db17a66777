#pragma once

// HTTPS and WSS for the tests of qjd: a self-signed certificate made by the openssl program in a
// folder of the test's own, and blocking clients that trust that certificate alone and check
// that it names the address they reach.
#include "qjdclient.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>

#include <sys/stat.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qj::test {

// A certificate for localhost and 127.0.0.1 and its key (mode 0600), in `dir`.
struct SelfSigned
{
    std::string cert;
    std::string key;
    std::string error; // the openssl program's complaint when it failed

    explicit SelfSigned(const QString &dir, const QString &name = QStringLiteral("qjd"))
    {
        cert = (dir + u'/' + name + QStringLiteral(".crt")).toStdString();
        key = (dir + u'/' + name + QStringLiteral(".key")).toStdString();
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                       QStringLiteral("-keyout"), QString::fromStdString(key),
                       QStringLiteral("-out"), QString::fromStdString(cert)});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            error = "openssl: " + openssl.readAllStandardError().toStdString() +
                    openssl.errorString().toStdString();
        ::chmod(key.c_str(), 0600);
    }
    bool ok() const { return error.empty(); }
};

// A TLS connection to 127.0.0.1:`port` that trusts `cert` alone; nothing when the handshake
// fails. Reads give up after `seconds`.
class TlsConnection
{
public:
    TlsConnection(unsigned short port, const std::string &cert, int seconds = 15) : m_port(port)
    {
        namespace ssl = boost::asio::ssl;
        boost::beast::error_code ec;
        m_context.load_verify_file(cert, ec);
        auto &tcp = boost::beast::get_lowest_layer(m_ws);
        if (!ec)
            tcp.connect(
                boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port),
                ec);
        if (ec)
            return;
        const timeval wait{seconds, 0};
        ::setsockopt(tcp.socket().native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        // On the stream: the context's mode was copied when the stream was made.
        m_ws.next_layer().set_verify_mode(ssl::verify_peer);
        m_ws.next_layer().set_verify_callback(ssl::host_name_verification("127.0.0.1"));
        m_ws.next_layer().handshake(ssl::stream_base::client, ec);
        m_handshaken = !ec;
    }

    bool handshaken() const { return m_handshaken; }

    // One request; status 0 when no answer came.
    HttpReply request(const std::string &method, const std::string &target,
                      const std::vector<std::pair<std::string, std::string>> &headers = {})
    {
        namespace http = boost::beast::http;
        HttpReply reply;
        http::request<http::string_body> req{http::string_to_verb(method), target, 11};
        req.set(http::field::host, "127.0.0.1:" + std::to_string(m_port));
        for (const auto &[name, value] : headers)
            req.set(name, value);
        req.prepare_payload();
        boost::beast::error_code ec;
        http::write(m_ws.next_layer(), req, ec);
        boost::beast::flat_buffer buffer;
        http::response<http::string_body> res;
        if (!ec)
            http::read(m_ws.next_layer(), buffer, res, ec);
        if (ec)
            return reply;
        reply.status = static_cast<int>(res.result_int());
        reply.body = res.body();
        reply.wwwAuthenticate = std::string(res[http::field::www_authenticate]);
        return reply;
    }

    // WSS: the event stream's handshake, the token as its first message, then the first message
    // the service sends; nothing when any step fails.
    std::optional<std::string> firstEvent(const std::string &token)
    {
        boost::beast::error_code ec;
        m_ws.handshake("127.0.0.1:" + std::to_string(m_port), "/api/v1/events", ec);
        if (!ec)
            m_ws.write(boost::asio::buffer("{\"token\":\"" + token + "\"}"), ec);
        boost::beast::flat_buffer buffer;
        if (!ec)
            m_ws.read(buffer, ec);
        if (ec)
            return std::nullopt;
        return boost::beast::buffers_to_string(buffer.data());
    }

private:
    unsigned short m_port;
    boost::asio::io_context m_ioc;
    boost::asio::ssl::context m_context{boost::asio::ssl::context::tls_client};
    boost::beast::websocket::stream<boost::beast::ssl_stream<boost::beast::tcp_stream>> m_ws{
        m_ioc, m_context};
    bool m_handshaken = false;
};

// Plain bytes to 127.0.0.1:`port`, and whatever comes back until the server closes or
// `seconds` pass (then `closed` is false).
inline std::string plainExchange(unsigned short port, const std::string &bytes, bool &closed,
                                 int seconds = 15)
{
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::socket socket(ioc);
    boost::beast::error_code ec;
    closed = false;
    socket.connect({boost::asio::ip::make_address("127.0.0.1"), port}, ec);
    if (ec)
        return {};
    const timeval wait{seconds, 0};
    ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (!bytes.empty())
        boost::asio::write(socket, boost::asio::buffer(bytes), ec);
    std::string answer;
    std::array<char, 4096> buffer{};
    for (;;) {
        const std::size_t got = socket.read_some(boost::asio::buffer(buffer), ec);
        answer.append(buffer.data(), got);
        if (ec) {
            closed = ec != boost::asio::error::would_block && ec != boost::asio::error::try_again;
            return answer;
        }
    }
}

} // namespace qj::test
