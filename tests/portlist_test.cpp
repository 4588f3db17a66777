#include "link/portlist.h"

#include <gtest/gtest.h>

#include <set>

namespace qj {
namespace {

FoundPort found(const char *device, const char *description = "", const char *maker = "",
                std::optional<quint16> vid = {}, std::optional<quint16> pid = {})
{
    return {QString::fromLatin1(device), QString::fromLatin1(description),
            QString::fromLatin1(maker), vid, pid};
}

struct Expected
{
    const char *device;
    int number;
    bool bound;
    bool found;
};

struct RowsCase
{
    const char *what;
    std::vector<FoundPort> found;
    std::vector<std::pair<int, const char *>> bindings;
    std::set<QString> existing; // devices on the file system besides the found ones
    std::vector<Expected> rows; // in the order listed
};

const RowsCase kRowsCases[] = {
    {"nothing found, nothing bound", {}, {}, {}, {}},
    {"a built-in port is offered under the number its name stands for",
     {found("/dev/ttyS4")},
     {},
     {},
     {{"/dev/ttyS4", 5, false, true}}},
    {"an adapter is offered the lowest number nobody uses",
     {found("/dev/ttyS0"), found("/dev/ttyUSB0")},
     {{2, "/dev/ttyACM0"}},
     {},
     {{"/dev/ttyS0", 1, false, true}, {"/dev/ttyUSB0", 3, false, true}}},
    {"a bound device shows its own number",
     {found("/dev/ttyUSB0"), found("/dev/ttyUSB1")},
     {{7, "/dev/ttyUSB1"}},
     {},
     {{"/dev/ttyUSB0", 1, false, true}, {"/dev/ttyUSB1", 7, true, true}}},
    {"a built-in port whose number went to another device gets a free one",
     {found("/dev/ttyS0"), found("/dev/ttyUSB0")},
     {{1, "/dev/ttyUSB0"}},
     {},
     {{"/dev/ttyUSB0", 1, true, true}, {"/dev/ttyS0", 2, false, true}}},
    {"two adapters are offered different numbers",
     {found("/dev/ttyUSB0"), found("/dev/ttyUSB1")},
     {},
     {},
     {{"/dev/ttyUSB0", 1, false, true}, {"/dev/ttyUSB1", 2, false, true}}},
    {"a bound pseudo-terminal that exists is listed; a vanished binding is not",
     {},
     {{5, "/dev/pts/3"}, {6, "/dev/ttyUSB9"}},
     {"/dev/pts/3"},
     {{"/dev/pts/3", 5, true, false}}},
    {"a device reported twice is listed once",
     {found("/dev/ttyUSB0"), found("/dev/ttyUSB0")},
     {},
     {},
     {{"/dev/ttyUSB0", 1, false, true}}},
};

TEST(PortList, RowsNumberEveryPortOnce)
{
    for (const RowsCase &c : kRowsCases) {
        PortBindings bindings;
        for (const auto &[number, device] : c.bindings)
            ASSERT_TRUE(bindings.bind(number, QString::fromLatin1(device)));
        const std::vector<PortRow> rows = portRows(
            c.found, bindings, [&](const QString &device) { return c.existing.count(device) > 0; });
        ASSERT_EQ(rows.size(), c.rows.size()) << c.what;
        std::set<int> numbers;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].port.device, QString::fromLatin1(c.rows[i].device)) << c.what;
            EXPECT_EQ(rows[i].number, c.rows[i].number) << c.what << ' ' << c.rows[i].device;
            EXPECT_EQ(rows[i].bound, c.rows[i].bound) << c.what << ' ' << c.rows[i].device;
            EXPECT_EQ(rows[i].found, c.rows[i].found) << c.what << ' ' << c.rows[i].device;
            EXPECT_TRUE(numbers.insert(rows[i].number).second) << c.what << ": number twice";
        }
    }
}

TEST(PortList, WhenEveryNumberIsBoundANewAdapterWaitsForTheUsersChoice)
{
    PortBindings bindings;
    for (int n = PortBindings::kFirstPort; n <= PortBindings::kLastPort; ++n)
        bindings.bind(n, QStringLiteral("/dev/gone%1").arg(n));
    const auto rows =
        portRows({found("/dev/ttyUSB0")}, bindings, [](const QString &) { return false; });
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, 0);
    EXPECT_FALSE(rows[0].bound);
}

TEST(PortList, UsbIdsAreFourHexDigitsEach)
{
    PortRow usb{1, false, true, found("/dev/ttyUSB0", "FT232R", "FTDI", 0x0403, 0x6001)};
    PortRow small{1, false, true, found("/dev/ttyACM0", "", "", 0x1a, 0x2)};
    PortRow builtIn{1, false, true, found("/dev/ttyS0")};
    EXPECT_EQ(usb.usbId(), QStringLiteral("0403:6001"));
    EXPECT_EQ(small.usbId(), QStringLiteral("001a:0002"));
    EXPECT_EQ(builtIn.usbId(), QString());
}

TEST(PortList, ChoosingBindsTheNumberAsTheDevicesOnlyOne)
{
    PortBindings bindings;
    bindings.bind(3, QStringLiteral("/dev/ttyUSB0"));
    bindings.bind(4, QStringLiteral("/dev/ttyUSB1"));

    EXPECT_TRUE(bindChosen(bindings, 7, QStringLiteral("/dev/ttyUSB0")));
    EXPECT_EQ(bindings.numberBoundTo(QStringLiteral("/dev/ttyUSB0")), 7);
    EXPECT_FALSE(bindings.all().contains(3)); // its old number is free again

    EXPECT_TRUE(bindChosen(bindings, 4, QStringLiteral("/dev/ttyUSB0"))); // takes 4 over
    EXPECT_EQ(bindings.deviceFor(4), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_FALSE(bindings.numberBoundTo(QStringLiteral("/dev/ttyUSB1")).has_value());
    EXPECT_EQ(bindings.all().size(), 1);

    const PortBindings before = bindings;
    for (int bad : {0, -1, 100})
        EXPECT_FALSE(bindChosen(bindings, bad, QStringLiteral("/dev/ttyUSB2"))) << bad;
    EXPECT_FALSE(bindChosen(bindings, 5, QString()));
    EXPECT_EQ(bindings.all(), before.all());
}

} // namespace
} // namespace qj
