#include "link/serialport.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <sys/ioctl.h>
#include <unistd.h>

namespace qj {

namespace {

// Where a device name leads, as QSerialPort resolves it: a bare name is under /dev.
QString systemLocation(const QString &name)
{
    if (name.startsWith(u'/') || name.startsWith(QLatin1String("./")) ||
        name.startsWith(QLatin1String("../")))
        return name;
    return QStringLiteral("/dev/") + name;
}

// A device has many names (a by-id link, the node it leads to): it is opened, and so locked,
// under the node's, so that a second program is refused it whichever name each one uses.
QString resolvedLocation(const QString &name)
{
    const QString real = QFileInfo(systemLocation(name)).canonicalFilePath();
    return real.isEmpty() ? name : real;
}

// Who holds the lock on the port named `portName` (as QSerialPort names it), from the lock file
// Qt's serial port writes ("PID\nPROGRAM\nHOST\n..."): "qjd, process 1234"; empty when there is
// none or it cannot be read.
QString lockHolder(const QString &portName)
{
    // The folders Qt's serial port looks in, in its order.
    static const char *const kLockFolders[] = {
        "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
        "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
    const QString fileName = QStringLiteral("/LCK..") + QString(portName).replace(u'/', u'_');
    for (const char *folder : kLockFolders) {
        QFile lock(QString::fromLatin1(folder) + fileName);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = lock.read(4096).split('\n');
        if (lines.size() < 2 || lines[0].trimmed().isEmpty())
            return {};
        const QString program = QString::fromUtf8(lines[1]).trimmed();
        const QString pid = QString::fromLatin1(lines[0]).trimmed();
        return program.isEmpty() ? QStringLiteral("process %1").arg(pid)
                                 : QStringLiteral("%1, process %2").arg(program, pid);
    }
    return {};
}

bool deniedToThisUser(const QString &path)
{
    const QByteArray local = QFile::encodeName(path);
    return ::access(local.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

} // namespace

SerialPort::SerialPort(QObject *parent) : QObject(parent), m_watch(this)
{
    connect(&m_serial, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
    connect(&m_serial, &QIODevice::readyRead, this, &SerialPort::readyRead);
    connect(&m_network, &NetworkDevice::readyRead, this, &SerialPort::readyRead);
    connect(&m_network, &NetworkDevice::lost, this, [this] {
        m_lastErrorText = QStringLiteral("the server closed the connection");
        emit lost();
    });
    const auto ended = [this](PortError error) {
        if (m_openHandler)
            m_openHandler(error);
    };
    connect(&m_network, &NetworkDevice::opened, this, [ended] { ended(PortError::None); });
    connect(&m_network, &NetworkDevice::openFailed, this,
            [ended] { ended(PortError::ConnectFailed); });
    connect(&m_network, &NetworkDevice::mayBeBack, this, [this] {
        if (!portOpen() && !portOpening())
            emit deviceBack();
    });
    connect(&m_watch, &DeviceWatch::mayBeBack, this, [this] {
        if (!m_serial.isOpen())
            emit deviceBack();
    });
}

SerialPort::~SerialPort()
{
    if (m_serial.isOpen())
        m_serial.close();
}

QString SerialPort::deviceName() const
{
    return m_bindings.deviceFor(m_commPort);
}

bool SerialPort::isNetworkDevice() const
{
    return DeviceUrl::looksLikeUrl(deviceName());
}

PortError SerialPort::setCommPort(int number)
{
    if (!PortBindings::isValidNumber(number))
        return PortError::InvalidPort;
    if ((portOpen() || portOpening()) && number != m_commPort)
        return PortError::AlreadyOpen;
    m_commPort = number;
    return PortError::None;
}

PortError SerialPort::setPortOpen(bool open)
{
    if (!open) {
        if (m_serial.isOpen())
            m_serial.close();
        m_network.close();
        return PortError::None;
    }
    if (portOpening())
        return PortError::OpenPending; // asked again while it goes on
    if (portOpen())
        return PortError::AlreadyOpen;

    const QString path = deviceName();
    if (DeviceUrl::looksLikeUrl(path)) {
        const std::optional<DeviceUrl> url = DeviceUrl::parse(path);
        if (!url) {
            m_lastErrorText = QStringLiteral("not a valid network device");
            return PortError::InvalidPort;
        }
        m_lastErrorText.clear();
        m_network.open(*url);
        return PortError::OpenPending;
    }
    m_serial.setPortName(resolvedLocation(path));
    m_serial.setBaudRate(kBaudRate);
    m_serial.setDataBits(QSerialPort::Data8);
    m_serial.setParity(QSerialPort::NoParity);
    m_serial.setStopBits(QSerialPort::OneStop);
    m_serial.setFlowControl(QSerialPort::NoFlowControl);
    if (m_serial.open(QIODevice::ReadWrite)) {
        m_lastErrorText.clear();
        return PortError::None;
    }

    m_lastErrorText = m_serial.errorString();
    switch (m_serial.error()) {
    case QSerialPort::DeviceNotFoundError:
        return PortError::InvalidPort;
    case QSerialPort::PermissionError:
        // Qt reports a lock held by another program and a device we may not open alike.
        if (QFileInfo::exists(path) && deniedToThisUser(path))
            return PortError::AccessDenied;
        if (const QString holder = lockHolder(m_serial.portName()); !holder.isEmpty())
            m_lastErrorText = holder;
        return PortError::InUse;
    default:
        if (!QFileInfo::exists(path))
            return PortError::InvalidPort;
        return PortError::OpenFailed;
    }
}

int SerialPort::inBufferCount()
{
    if (m_network.isOpen())
        return static_cast<int>(std::min<qint64>(m_network.bytesAvailable(), kMaxCount));
    if (!m_serial.isOpen())
        return 0;
    takeWhatArrived();
    return static_cast<int>(std::min<qint64>(m_serial.bytesAvailable(), kMaxCount));
}

void SerialPort::takeWhatArrived()
{
    // Bytes reach bytesAvailable() only when the event loop runs the port's read notice. A
    // panel kept off the CPU after the loop looked at the port would tick with the end of a
    // burst already here but not counted, find the count unchanged and decode half a frame.
    int queued = 0;
    if (::ioctl(static_cast<int>(m_serial.handle()), FIONREAD, &queued) == 0 && queued > 0)
        m_serial.waitForReadyRead(0); // reads at once: the kernel holds bytes
}

void SerialPort::discardInput()
{
    m_network.clearInput();
    if (m_serial.isOpen())
        m_serial.clear(QSerialPort::Input);
}

void SerialPort::discardOutput()
{
    if (m_serial.isOpen())
        m_serial.clear(QSerialPort::Output);
}

void SerialPort::input(std::vector<std::uint8_t> &into)
{
    into.clear();
    if (m_network.isOpen()) {
        m_network.take(into);
        return;
    }
    if (!m_serial.isOpen())
        return;
    const qint64 waiting = m_serial.bytesAvailable();
    if (waiting <= 0)
        return;
    into.resize(static_cast<std::size_t>(waiting));
    const qint64 got = m_serial.read(reinterpret_cast<char *>(into.data()), waiting);
    into.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
}

void SerialPort::unread(std::span<const std::uint8_t> bytes)
{
    if (m_network.isOpen()) {
        m_network.unread(bytes);
        return;
    }
    if (!m_serial.isOpen())
        return;
    for (auto b = bytes.rbegin(); b != bytes.rend(); ++b)
        m_serial.ungetChar(static_cast<char>(*b));
}

PortError SerialPort::output(std::span<const std::uint8_t> bytes)
{
    if (m_network.isOpen()) {
        if (m_network.write(bytes))
            return PortError::None;
        m_lastErrorText = QStringLiteral("the connection to the server broke");
        return PortError::DeviceGone;
    }
    if (!m_serial.isOpen())
        return PortError::None;
    m_serial.clearError(); // an earlier harmless error (a refused ioctl) is no failure now
    m_writing = true;
    m_writeErrno = 0;
    errno = 0;
    const auto size = static_cast<qint64>(bytes.size());
    const bool ok = m_serial.write(reinterpret_cast<const char *>(bytes.data()), size) == size &&
                    m_serial.flush() && m_serial.error() != QSerialPort::WriteError &&
                    m_serial.error() != QSerialPort::ResourceError;
    const int osError = m_writeErrno != 0 ? m_writeErrno : errno;
    m_writing = false;
    if (ok)
        return PortError::None;
    const QSerialPort::SerialPortError error = m_serial.error();
    if (m_serial.isOpen()) {
        m_lastErrorText = m_serial.errorString();
        m_serial.close();
    }
    return writeFailure(deviceName(), osError, error);
}

PortError SerialPort::writeFailure(const QString &device, int osError,
                                   QSerialPort::SerialPortError error)
{
    // The kernel fails writes to an unplugged device with these at once, while udev removes its
    // node (and the links to it) a moment later; a refusal with the device still there is not a
    // loss.
    const bool goneErrno = osError == EIO || osError == ENXIO || osError == ENODEV;
    if (goneErrno || error == QSerialPort::ResourceError)
        return PortError::DeviceGone;
    return QFileInfo::exists(systemLocation(device)) ? PortError::DeviceLost
                                                     : PortError::DeviceGone;
}

void SerialPort::setWatching(bool on)
{
    // A pseudo-terminal never comes back: its name goes to the next one any program opens.
    // Bound through a link (qj-sim --link), the link is what comes back.
    if (isNetworkDevice() || !on) {
        // A server is tried again with back-off: it tells nothing when it is back.
        if (on)
            m_network.startWatch();
        else
            m_network.stopWatch();
        if (on)
            return;
    }
    const QString path = systemLocation(deviceName());
    if (on && path.startsWith(QLatin1String(kPseudoTerminals)))
        return;
    if (on == m_watch.active())
        return;
    if (on)
        m_watch.start(path);
    else
        m_watch.stop();
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    const int osError = errno; // what the failed call found, before anything else runs
    if (m_writing) {
        m_writeErrno = osError;
        return; // output() reports its own failures
    }
    switch (error) {
    case QSerialPort::ReadError:
        if (osError == EAGAIN || osError == EINTR) { // EWOULDBLOCK is EAGAIN here
            // A read notice that found nothing: a tick took the bytes first. Not a loss.
            m_serial.clearError();
            return;
        }
        break;
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
        break;
    default:
        // A pseudo-terminal refuses the modem-line ioctls: that is not a failure.
        return;
    }
    if (!m_serial.isOpen())
        return;
    m_lastErrorText = m_serial.errorString();
    closeAfterLoss();
}

void SerialPort::closeAfterLoss()
{
    m_serial.close();
    m_serial.clearError();
    emit lost();
}

} // namespace qj
