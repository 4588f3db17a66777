#pragma once

#include "link/deviceurl.h"
#include "link/telnetcodec.h"
#include "params/texts.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace qj {

// A processor behind a serial device server: socket://HOST:PORT (raw TCP) or
// rfc2217://HOST:PORT (Telnet, the line set to 28800 8N1 by the COM port option). The open
// takes time: opened() once TCP (and the line settings) are through, openFailed() with
// problem() when it fails within kOpenTime, or when the server closes the connection before the
// processor has said anything (its text then tells why: busy, no device). After that a close,
// a reset or keep-alive finding the server gone is lost().
//
// Bytes are handed on as a serial line brings them: a burst whole. TCP may split a report
// across segments a few ms apart, while a line brings a byte every 0.35 ms; bytes that arrive
// within kBurstGap of the previous ones are handed over together, so that the engine's rule of
// one quiet tick after a burst keeps its meaning. The one exception is the first byte after a
// command frame, the acknowledgement, which a line brings alone, ahead of any report.
class NetworkDevice : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kOpenTime{3000}; // refused, unreachable, no answer
    static constexpr std::chrono::milliseconds kBurstGap{8};    // a LAN's jitter
    static constexpr std::chrono::milliseconds kBurstMost{50};  // a stream that never pauses
    static constexpr std::chrono::milliseconds kLateRead{1};    // bytes waiting when the gap ended
    // Keep-alive on the socket: a server gone without a word is found within 5 + 3 x 2 s.
    static constexpr int kKeepIdleSeconds = 5;
    static constexpr int kKeepIntervalSeconds = 2;
    static constexpr int kKeepProbes = 3;
    // The watch after a loss tries again after 0.5 s, then after twice as long each time, at
    // most 10 s apart.
    static constexpr std::chrono::milliseconds kFirstRetry{500};
    static constexpr std::chrono::milliseconds kLastRetry{10000};
    static constexpr int kMaxServerText = 200;           // characters of a server's refusal kept
    static constexpr std::uint8_t kProcessorByte = 0xAA; // every answer and report starts so

    explicit NetworkDevice(QObject *parent = nullptr);
    ~NetworkDevice() override;

    void open(const DeviceUrl &url);
    void close();
    bool isOpen() const { return m_state == State::Open; }
    bool opening() const { return m_state == State::Connecting || m_state == State::Negotiating; }
    const NetworkProblem &problem() const { return m_problem; }

    // The bytes handed over, read and dropped as from a serial port.
    qint64 bytesAvailable() const { return static_cast<qint64>(m_ready.size()); }
    void take(std::vector<std::uint8_t> &into);
    void unread(std::span<const std::uint8_t> bytes); // back in front of what take() gives
    void clearInput();                                // also the bytes of a burst still coming
    // False when the connection can take no more: it is closed then, without lost().
    bool write(std::span<const std::uint8_t> bytes);

    // The watch after a loss: mayBeBack() after each back-off step until stopped.
    void startWatch();
    void stopWatch();
    bool watching() const { return m_retry.isActive(); }
    std::chrono::milliseconds nextRetry() const { return m_nextRetry; }

signals:
    void opened();
    void openFailed();
    void lost();
    void readyRead();
    void mayBeBack();

private:
    enum class State { Closed, Connecting, Negotiating, Open };

    void connected();
    void received();
    void ended(QAbstractSocket::SocketError error);
    void fail(NetworkProblem::Kind kind, const QString &detail = QString());
    void failFromServer();
    void gather(const std::vector<std::uint8_t> &data);
    void handOver();
    void later(void (NetworkDevice::*signal)());
    void retryFired();
    void setKeepAlive();
    void quickAck();

    QTcpSocket m_socket;
    DeviceUrl m_url;
    State m_state = State::Closed;
    TelnetCodec m_telnet;
    NetworkProblem m_problem;
    QTimer m_openTimer;
    QTimer m_burstTimer;
    QElapsedTimer m_burstStart;
    QTimer m_retry;
    std::chrono::milliseconds m_nextRetry = kFirstRetry;
    std::vector<std::uint8_t> m_gathering; // a burst still coming
    std::vector<std::uint8_t> m_ready;     // handed over
    std::vector<std::uint8_t> m_scratch;
    QByteArray m_serverText;   // printable bytes before the processor said anything
    bool m_heard = false;      // the processor said something on this connection
    bool m_ackAwaited = false; // a command went out: the next byte is handed over alone
    bool m_lateRead = false;   // the hand-over waits once for bytes already in the socket
    unsigned m_generation = 0;
};

} // namespace qj
