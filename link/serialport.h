#pragma once

#include "link/devicewatch.h"
#include "link/networkdevice.h"
#include "link/port.h"
#include "link/portbindings.h"

#include <QObject>
#include <QSerialPort>

namespace qj {

// The port on whatever device a number is bound to: a real serial device (or a
// pseudo-terminal) at 28800 baud, 8N1, no flow control, raw bytes; or a network device
// (socket:// or rfc2217://, see NetworkDevice), whose open pends (Port::setOpenHandler). A
// device that goes away while open is closed here and reported once by lost(); a write that
// finds it gone says so (DeviceGone). Asked to, it then watches for the device (the path, or
// the server with back-off) and says deviceBack() whenever it may be openable again.
// readyRead() says that bytes arrived, from either kind.
class SerialPort : public QObject, public Port
{
    Q_OBJECT

public:
    static constexpr qint32 kBaudRate = 28800;
    static constexpr int kMaxCount = 32767; // the tick compares counts as signed 16-bit
    static constexpr char kPseudoTerminals[] = "/dev/pts/"; // never watched for a return

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    PortBindings &bindings() { return m_bindings; }
    const PortBindings &bindings() const { return m_bindings; }

    // The device of the current port number, and why the last open or write failed (for a
    // device locked by another program, the program and its process as its lock file names
    // them: "qjd, process 1234").
    QString deviceName() const;
    QString lastErrorText() const { return m_lastErrorText; }

    PortError setCommPort(int number) override;
    int commPort() const override { return m_commPort; }
    PortError setPortOpen(bool open) override;
    bool portOpen() const override { return m_serial.isOpen() || m_network.isOpen(); }
    bool portOpening() const override { return m_network.opening(); }
    void setOpenHandler(OpenHandler handler) override { m_openHandler = std::move(handler); }
    int inBufferCount() override;
    void discardInput() override;
    void discardOutput() override;
    void input(std::vector<std::uint8_t> &into) override;
    void unread(std::span<const std::uint8_t> bytes) override;
    PortError output(std::span<const std::uint8_t> bytes) override;
    void setWatching(bool on) override;
    // A message box of the window is open (true) or has closed: the watch's looks wait.
    void holdWatch(bool held) { m_watch.setHeld(held); }

    // How a failed write is told: the device gone (an unplugged device's errors, or its path no
    // longer there; a bare name such as ttyUSB0 is under /dev) or the device refusing.
    // `osError` is errno after the write, `error` what Qt made of it.
    static PortError writeFailure(const QString &device, int osError,
                                  QSerialPort::SerialPortError error);
    bool watching() const { return m_watch.active() || m_network.watching(); }
    const DeviceWatch &watch() const { return m_watch; }

    // Whether the current number names a network device, and why its last open failed.
    bool isNetworkDevice() const;
    const NetworkProblem &networkProblem() const { return m_network.problem(); }
    NetworkDevice &network() { return m_network; }

    QSerialPort &device() { return m_serial; }

signals:
    void lost();
    void deviceBack();
    void readyRead(); // for the idle tick: bytes arrived

private slots:
    void handleError(QSerialPort::SerialPortError error);

private:
    void closeAfterLoss();
    void takeWhatArrived();

    QSerialPort m_serial;
    NetworkDevice m_network;
    OpenHandler m_openHandler;
    PortBindings m_bindings;
    DeviceWatch m_watch;
    int m_commPort = 1; // the port number before anyone sets one
    QString m_lastErrorText;
    bool m_writing = false;
    int m_writeErrno = 0;
};

} // namespace qj
