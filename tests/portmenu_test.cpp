#include "link/panelsettings.h"
#include "link/portscan.h"
#include "link/serialport.h"
#include "menufixture.h"
#include "pty.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>

namespace qj {
namespace {

using test::Bytes;
using test::MenuFixture;

const QString kNotCom = QStringLiteral("   找不到有效的\r\n串行通讯端口！！！");
const QString kSelectCom = QStringLiteral("   请选择有效的\r\n串行通讯端口！！！");

FoundPort adapter(const char *device, const char *description, const char *maker, quint16 vid,
                  quint16 pid)
{
    return {QString::fromLatin1(device), QString::fromLatin1(description),
            QString::fromLatin1(maker), vid, pid};
}

struct PortMenuTest : MenuFixture
{
    QString cell(PortDialog &d, int row, int column)
    {
        const QTableWidgetItem *item = d.table()->item(row, column);
        return item ? item->text() : QString();
    }
    QString text1() { return view().text1()->text(); }
};

TEST_F(PortMenuTest, NoPortFoundSaysSoWithoutADialog)
{
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(messages, QStringList{kNotCom});
    EXPECT_TRUE(dialogs->asked.isEmpty());
    EXPECT_EQ(text1(), QStringLiteral("5"));
}

TEST_F(PortMenuTest, ConfirmingWithoutAChoiceSaysSoAndKeepsTheDialogOpen)
{
    devices = {adapter("/dev/ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001)};
    QStringList seenBeforeChoosing;
    dialogs->portAnswer = [&](PortDialog &d) {
        d.show();
        EXPECT_TRUE(d.table()->selectedItems().isEmpty()); // "5" names none of the rows
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        seenBeforeChoosing = messages;
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.choice().has_value());
        d.selectRow(0);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        return d.result() == QDialog::Accepted;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(seenBeforeChoosing, QStringList{kSelectCom});
    EXPECT_EQ(messages, QStringList{kSelectCom});
    EXPECT_EQ(text1(), QStringLiteral("1"));
    EXPECT_EQ(form->bindings().deviceFor(1), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(PortMenuTest, TheListShowsEachPortAndRefreshFindsAnAdapterPluggedInMeanwhile)
{
    devices = {adapter("/dev/ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001),
               {QStringLiteral("/dev/ttyS4"), QStringLiteral("16550A"), {}, {}, {}}};
    form->bindings().bind(3, QStringLiteral("/dev/ttyUSB0"));
    view().text1()->setText(QStringLiteral("3"));
    dialogs->portAnswer = [&](PortDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("串口选择"));
        EXPECT_EQ(d.table()->horizontalHeaderItem(0)->text(), QStringLiteral("端口号"));
        EXPECT_EQ(d.refreshButton()->text(), QStringLiteral("刷新"));
        EXPECT_EQ(d.table()->rowCount(), 2);
        const QStringList first{"3", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "0403:6001"};
        const QStringList second{"5", "/dev/ttyS4", "16550A", "", ""};
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(cell(d, 0, c), first[c]) << c;
            EXPECT_EQ(cell(d, 1, c), second[c]) << c;
        }
        EXPECT_EQ(d.table()->selectedItems().first()->row(), 0); // the port in the box
        EXPECT_EQ(d.numberBox()->value(), 3);

        devices.push_back(adapter("/dev/ttyACM0", "USB Serial", "Maker", 0x1a86, 0x7523));
        QTest::mouseClick(d.refreshButton(), Qt::LeftButton);
        EXPECT_EQ(d.table()->rowCount(), 3);
        // The newcomer takes the lowest free number and goes first; the choice stays with
        // the same device.
        EXPECT_EQ(cell(d, 0, 1), QStringLiteral("/dev/ttyACM0"));
        EXPECT_EQ(cell(d, 0, 0), QStringLiteral("1"));
        EXPECT_EQ(d.table()->selectedItems().first()->row(), 1);
        EXPECT_EQ(cell(d, 1, 1), QStringLiteral("/dev/ttyUSB0"));

        d.selectRow(0);
        EXPECT_EQ(d.numberBox()->value(), 1);
        d.numberBox()->setValue(9); // the user picks a number of their own
        d.accept();
        return true;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(text1(), QStringLiteral("9"));
    EXPECT_EQ(form->bindings().deviceFor(9), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(form->bindings().deviceFor(3), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(PortMenuTest, CancellingChangesNothing)
{
    devices = {adapter("/dev/ttyUSB0", "", "", 1, 2)};
    dialogs->portAnswer = [](PortDialog &d) {
        d.selectRow(0);
        d.reject();
        return false;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(dialogs->asked, QStringList{"port"});
    EXPECT_EQ(text1(), QStringLiteral("5"));
    EXPECT_TRUE(form->bindings().all().isEmpty());
}

TEST_F(PortMenuTest, TheDialogSpeaksEnglishAfterTheSwitch)
{
    choose(MenuEntry::ChineseEnglish);
    devices = {adapter("/dev/ttyUSB0", "", "", 1, 2)};
    dialogs->portAnswer = [](PortDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Select Port"));
        EXPECT_EQ(d.table()->horizontalHeaderItem(1)->text(), QStringLiteral("Device"));
        EXPECT_EQ(d.okButton()->text(), QStringLiteral("OK"));
        EXPECT_EQ(d.cancelButton()->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(d.refreshButton()->text(), QStringLiteral("Refresh"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton); // nothing chosen
        return false;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(messages, QStringList{"  Please select a valid\r\nCom port！！！"});
}

TEST_F(PortMenuTest, BindingsAreRememberedBetweenRuns)
{
    const QString ini = file("settings.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        form->menuActions().useSettings(&settings);
        devices = {adapter("/dev/ttyUSB0", "", "", 1, 2), adapter("/dev/ttyUSB1", "", "", 1, 3)};
        dialogs->portAnswer = [](PortDialog &d) {
            d.selectRow(1);
            d.numberBox()->setValue(12);
            d.accept();
            return true;
        };
        choose(MenuEntry::SelectCom);
        EXPECT_EQ(settings.value(QStringLiteral("ports/12")).toString(),
                  QStringLiteral("/dev/ttyUSB1"));
        EXPECT_EQ(settings.childGroups(), QStringList{"ports"});
        form->menuActions().useSettings(nullptr); // these settings end here
    }
    {
        QSettings settings(ini, QSettings::IniFormat);
        test::FakePort otherPort;
        Form1 next(otherPort);
        next.setMessagePresenter([&](const QString &text) { messages << text; });
        next.menuActions().useSettings(&settings);
        EXPECT_EQ(next.bindings().deviceFor(12), QStringLiteral("/dev/ttyUSB1"));
        EXPECT_EQ(next.bindings().all().size(), 1);
    }
    EXPECT_TRUE(messages.isEmpty());
}

// A network device is typed in the dialog: refused with the reason while it is not valid (the
// dialog stays open), bound and remembered once it is, and shown again for its number, even on
// a machine without a serial port.
TEST_F(PortMenuTest, ANetworkDeviceIsTypedCheckedBoundAndShownAgain)
{
    const QString ini = file("settings.ini");
    QSettings settings(ini, QSettings::IniFormat);
    form->menuActions().useSettings(&settings);
    devices = {adapter("/dev/ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001)};
    QStringList seenWhileOpen;
    dialogs->portAnswer = [&](PortDialog &d) {
        d.show();
        d.selectRow(0); // the typed device wins over the list
        d.networkDevice()->setText(QStringLiteral("socket://rack-a"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        seenWhileOpen = messages;
        d.networkDevice()->setText(QStringLiteral(" rfc2217://rack-a.venue.lan:4003 "));
        d.numberBox()->setValue(7);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        return d.result() == QDialog::Accepted;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(seenWhileOpen,
              QStringList{QStringLiteral("设备“socket://rack-a”无效：缺少端口号（主机:端口）。")});
    EXPECT_EQ(text1(), QStringLiteral("7"));
    EXPECT_EQ(form->bindings().deviceFor(7), QStringLiteral("rfc2217://rack-a.venue.lan:4003"));
    EXPECT_EQ(settings.value(QStringLiteral("ports/7")).toString(),
              QStringLiteral("rfc2217://rack-a.venue.lan:4003"));

    devices.clear(); // no serial port at all
    QString shown;
    dialogs->portAnswer = [&](PortDialog &d) {
        shown = d.networkDevice()->text();
        EXPECT_EQ(d.numberBox()->value(), 7);
        return false;
    };
    choose(MenuEntry::SelectCom);
    EXPECT_EQ(shown, QStringLiteral("rfc2217://rack-a.venue.lan:4003"));
    EXPECT_EQ(messages.size(), 1); // no "no port" message
    form->menuActions().useSettings(nullptr);
}

TEST(PanelSettingsTest, UnusableRememberedBindingsAreSkipped)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    const std::pair<const char *, const char *> stored[] = {
        {"ports/4", "/dev/ttyUSB0"},
        {"ports/0", "/dev/ttyUSB1"},
        {"ports/100", "/dev/ttyUSB2"},
        {"ports/x", "/dev/ttyUSB3"},
        {"ports/7", ""},
        {"ports/8", "socket://rack-a:4008"},
        {"ports/9", "socket://rack-a"},     // no port
        {"ports/10", "telnet://rack-a:23"}, // no such scheme
    };
    for (const auto &[key, value] : stored)
        settings.setValue(QLatin1String(key), QLatin1String(value));
    PortBindings bindings;
    PanelSettings(settings).loadBindings(bindings);
    EXPECT_EQ(bindings.all(), (QMap<int, QString>{{4, QStringLiteral("/dev/ttyUSB0")},
                                                  {8, QStringLiteral("socket://rack-a:4008")}}));

    EXPECT_EQ(PanelSettings(settings).english(), std::nullopt); // nothing stored
    PanelSettings(settings).setEnglish(true);
    EXPECT_EQ(settings.value(QStringLiteral("language")).toString(), QStringLiteral("en"));
    EXPECT_EQ(PanelSettings(settings).english(), true);
}

// A pseudo-terminal is no device the system lists, but bound to a number it is offered, and
// choosing it is enough to connect.
TEST(PortMenuRealTest, ABoundPseudoTerminalIsListedAndChoosingItConnects)
{
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    const QString path = QString::fromStdString(pty.path());
    Form1 form;
    QStringList messages;
    form.setMessagePresenter([&](const QString &text) { messages << text; });
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    int listedAs = -1;
    scripted->portAnswer = [&](PortDialog &d) {
        for (int r = 0; r < d.table()->rowCount(); ++r)
            if (d.table()->item(r, 1)->text() == path) {
                listedAs = d.table()->item(r, 0)->text().toInt();
                d.selectRow(r);
            }
        d.accept();
        return d.result() == QDialog::Accepted;
    };
    form.menuActions().setDialogs(std::move(scripted));
    form.menuActions().setPortScanner(&scanPorts); // the system's own list
    form.serialPort()->bindings().bind(7, path);
    form.show();

    form.menu().action(MenuEntry::SelectCom)->trigger();
    EXPECT_EQ(listedAs, 7);
    EXPECT_EQ(form.view().text1()->text(), QStringLiteral("7"));
    form.menu().action(MenuEntry::Connect)->trigger();
    EXPECT_EQ(pty.read(4), (Bytes{0xAA, 0x00, 0x01, 0x54}));
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
} // namespace qj
