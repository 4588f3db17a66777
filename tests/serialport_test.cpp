#include "child.h"
#include "link/serialport.h"
#include "link/transmitter.h"
#include "pty.h"

#include <QDir>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace qj {
namespace {

using test::Pty;
using test::spin;

constexpr int kPort = 5;

struct SerialPortTest : ::testing::Test
{
    Pty pty;
    SerialPort port;

    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        port.bindings().bind(kPort, QString::fromStdString(pty.path()));
    }
    void open()
    {
        ASSERT_EQ(port.setCommPort(kPort), PortError::None);
        ASSERT_EQ(port.setPortOpen(true), PortError::None);
    }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto seconds = u.ru_utime.tv_sec + u.ru_stime.tv_sec;
    const auto micros = u.ru_utime.tv_usec + u.ru_stime.tv_usec;
    return static_cast<double>(seconds) + static_cast<double>(micros) / 1e6;
}

TEST_F(SerialPortTest, AFrameArrivesByteExactAtOnce)
{
    open();
    CommandState state;
    Transmitter tx(port, state);
    tx.issue(1, 1);
    // No event loop between the write and the read: the frame left in the same call.
    std::vector<std::uint8_t> got;
    for (int i = 0; i < 100 && got.size() < 4; ++i) {
        std::uint8_t buf[8];
        const ssize_t n = ::read(pty.master(), buf, sizeof buf);
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
        else
            usleep(1000);
    }
    EXPECT_EQ(got, (std::vector<std::uint8_t>{0xAA, 0x00, 0x01, 0x54}));
}

TEST_F(SerialPortTest, AllByteValuesPassUnchanged)
{
    open();
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = std::uint8_t(i);
    pty.write(all);
    for (int i = 0; i < 200 && port.inBufferCount() < 256; ++i)
        spin(2);
    std::vector<std::uint8_t> in;
    port.input(in);
    EXPECT_EQ(in, all);
    EXPECT_EQ(port.inBufferCount(), 0);
}

TEST_F(SerialPortTest, TheCountHoldsWhatArrivedBeforeTheEventLoopRanAndNoLossFollows)
{
    // A tick can come before the read notice: the end of a burst already here must count, or
    // the burst looks quiet and half a frame is decoded.
    open();
    QSignalSpy lost(&port, &SerialPort::lost);
    pty.write({0xAA, 0x01});
    for (int i = 0; i < 200 && port.inBufferCount() < 2; ++i)
        spin(2);
    ASSERT_EQ(port.inBufferCount(), 2);
    pty.write({0x64, 0xF0});
    const int look = ::open(pty.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(look, 0);
    int queued = 0;
    for (int i = 0; i < 200 && queued < 2; ++i) { // no event loop: only the kernel has them
        ::ioctl(look, FIONREAD, &queued);
        if (queued < 2)
            usleep(1000);
    }
    ::close(look);
    EXPECT_EQ(port.inBufferCount(), 4);
    std::vector<std::uint8_t> in;
    port.input(in);
    EXPECT_EQ(in, (std::vector<std::uint8_t>{0xAA, 0x01, 0x64, 0xF0}));
    spin(20); // a read notice that finds the bytes taken is no loss
    EXPECT_EQ(lost.count(), 0);
    EXPECT_TRUE(port.portOpen());
}

TEST_F(SerialPortTest, BytesWaitingBeforeASendAreDiscarded)
{
    open();
    pty.write({0x11, 0x22, 0x33});
    for (int i = 0; i < 200 && port.inBufferCount() < 3; ++i)
        spin(2);
    ASSERT_EQ(port.inBufferCount(), 3);
    CommandState state;
    Transmitter tx(port, state);
    tx.issue(32, 40);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_EQ(pty.read(4), (std::vector<std::uint8_t>{0xAA, 0x1F, 0x28, 0x0E}));
    pty.write({0xAA});
    for (int i = 0; i < 200 && port.inBufferCount() < 1; ++i)
        spin(2);
    std::vector<std::uint8_t> in;
    port.input(in);
    EXPECT_EQ(in, std::vector<std::uint8_t>{0xAA}); // only what came after the frame
}

TEST_F(SerialPortTest, AClosedPortCountsZeroAndIgnoresEverything)
{
    EXPECT_FALSE(port.portOpen());
    EXPECT_EQ(port.inBufferCount(), 0);
    port.discardInput();
    port.discardOutput();
    const std::uint8_t b[] = {0xAA};
    EXPECT_EQ(port.output(b), PortError::None);
    std::vector<std::uint8_t> in{1, 2};
    port.input(in);
    EXPECT_TRUE(in.empty());
}

TEST_F(SerialPortTest, InvalidNumbersAndMissingDevicesAre8002)
{
    EXPECT_EQ(port.setCommPort(0), PortError::InvalidPort);
    EXPECT_EQ(port.setCommPort(-1), PortError::InvalidPort);
    EXPECT_EQ(port.setCommPort(100), PortError::InvalidPort);
    EXPECT_EQ(port.commPort(), 1); // a refused number leaves the old one
    port.bindings().bind(7, QStringLiteral("/dev/qj-no-such-device"));
    EXPECT_EQ(port.setCommPort(7), PortError::None);
    EXPECT_EQ(port.setPortOpen(true), PortError::InvalidPort);
    EXPECT_FALSE(port.portOpen());
}

TEST_F(SerialPortTest, APortOpenHereIs8005)
{
    open();
    EXPECT_EQ(port.setPortOpen(true), PortError::AlreadyOpen);
    EXPECT_EQ(port.setCommPort(kPort), PortError::None); // the same number again is harmless
    EXPECT_EQ(port.setCommPort(6), PortError::AlreadyOpen);
    EXPECT_EQ(port.commPort(), kPort);
    EXPECT_TRUE(port.portOpen());
}

TEST_F(SerialPortTest, APortAnotherProgramHoldsIs8005)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    test::Child child; // ended even when an assertion below returns early
    if (child.fork()) {
        QSerialPort holder(QString::fromStdString(pty.path()));
        const char ok = holder.open(QIODevice::ReadWrite) ? '1' : '0';
        if (::write(ready[1], &ok, 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]); // the read below then ends if the child ends without a word
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    ASSERT_EQ(port.setCommPort(kPort), PortError::None);
    EXPECT_EQ(port.setPortOpen(true), PortError::InUse);
    EXPECT_FALSE(port.portOpen());
    child.end();
    close(ready[0]);
}

TEST_F(SerialPortTest, ADeviceThisUserMayNotOpenIsNotReportedAsHeld)
{
    // The device is made one this user may not open: root (whom no mode stops) tries as nobody
    // on a device only its owner may use; anyone else tries on a device nobody may use.
    const bool root = getuid() == 0;
    ASSERT_EQ(chmod(pty.path().c_str(), root ? 0600 : 0000), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (root && setuid(65534) != 0)
            _exit(100);
        SerialPort other;
        other.bindings().bind(kPort, QString::fromStdString(pty.path()));
        other.setCommPort(kPort);
        const PortError e = other.setPortOpen(true);
        _exit(e == PortError::AccessDenied ? 0 : 1 + (static_cast<int>(e) % 50));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SerialPortTest, UnplugIsReportedOnceAndDoesNotSpin)
{
    open();
    QSignalSpy lost(&port, &SerialPort::lost);
    pty.closeMaster();
    const double before = cpuSeconds();
    spin(300);
    const double used = cpuSeconds() - before;
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(port.portOpen());
    EXPECT_LT(used, 0.15) << "the event loop kept spinning after the loss";
    const std::uint8_t b[] = {0xAA};
    EXPECT_EQ(port.output(b), PortError::None); // closed: ignored
}

// The watch's looks wait while a message box is open, and look once it has closed.
TEST(DeviceWatchHeld, LooksWaitForTheBoxAndComeAfterIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile device(dir.filePath(QStringLiteral("ttyQJ0")));
    ASSERT_TRUE(device.open(QIODevice::WriteOnly)); // there already
    DeviceWatch watch;
    QSignalSpy back(&watch, &DeviceWatch::mayBeBack);
    watch.setHeld(true);
    watch.start(device.fileName());
    spin(3 * int(DeviceWatch::kRetryInterval.count()));
    EXPECT_EQ(back.count(), 0);
    EXPECT_TRUE(watch.looking());
    watch.setHeld(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return back.count() > 0; }, 1000));
    // Held again in the middle of its looks: none while held.
    watch.setHeld(true);
    const qsizetype seen = back.count();
    spin(3 * int(DeviceWatch::kRetryInterval.count()));
    EXPECT_EQ(back.count(), seen);
    watch.setHeld(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return back.count() > seen; }, 1000));
}

// A failed write is a loss when the device went away: the kernel's answer tells at once (udev
// removes the node a moment later), and otherwise whether the node is gone. A bare name is
// looked for under /dev, as Qt opens it, never in the working folder.
TEST(SerialPortWrite, AFailedWriteIsTheDeviceGoneOrARefusal)
{
    QTemporaryDir here;
    ASSERT_TRUE(here.isValid());
    QFile decoy(here.filePath(QStringLiteral("qj-no-such-device")));
    ASSERT_TRUE(decoy.open(QIODevice::WriteOnly)); // in the working folder only
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(here.path())); // "null" is not here: /dev/null is
    const struct
    {
        const char *device;
        int osError;
        QSerialPort::SerialPortError error;
        PortError told;
    } rows[] = {
        {"/dev/null", EINVAL, QSerialPort::WriteError, PortError::DeviceLost},
        {"null", EINVAL, QSerialPort::WriteError, PortError::DeviceLost},
        {"qj-no-such-device", EINVAL, QSerialPort::WriteError, PortError::DeviceGone},
        {"/dev/qj-no-such-device", EINVAL, QSerialPort::WriteError, PortError::DeviceGone},
        {"null", EIO, QSerialPort::WriteError, PortError::DeviceGone},
        {"/dev/null", ENXIO, QSerialPort::WriteError, PortError::DeviceGone},
        {"/dev/null", ENODEV, QSerialPort::WriteError, PortError::DeviceGone},
        {"/dev/null", 0, QSerialPort::ResourceError, PortError::DeviceGone},
    };
    for (const auto &r : rows)
        EXPECT_EQ(SerialPort::writeFailure(QLatin1String(r.device), r.osError, r.error), r.told)
            << r.device << " errno " << r.osError;
    QDir::setCurrent(before);
}

} // namespace
} // namespace qj
