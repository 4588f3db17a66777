// Whatever the port-number box holds, connecting gives a connection or a clear message.
#include "formfixture.h"
#include "link/connection.h"

#include <QAction>
#include <QLineEdit>

namespace qj::test {
namespace {

const QString kInvalid = QStringLiteral("端口无效！！！");

struct Text1Test : FormFixture
{
    QLineEdit *box() { return view().text1(); }

    // Types `text` into the box, chooses the connect entry and says what came of it.
    void connectWith(const QString &text)
    {
        form->link().disconnect();
        port = FakePort();
        messages.clear();
        box()->setText(text);
        form->menu().action(MenuEntry::Connect)->trigger();
    }
};

TEST_F(Text1Test, EveryShortTextConnectsOrSaysWhy)
{
    const QStringList alphabet = {
        QStringLiteral("0"),  QStringLiteral("1"),  QStringLiteral("5"),     QStringLiteral("9"),
        QStringLiteral(" "),  QStringLiteral("\t"), QStringLiteral("-"),     QStringLiteral("+"),
        QStringLiteral("."),  QStringLiteral("x"),  QStringLiteral("e"),     QStringLiteral("五"),
        QStringLiteral("９"), QStringLiteral("é"),  QStringLiteral("\u00A0")};
    QStringList texts{QString(), QStringLiteral("-1"), QStringLiteral("99"), QStringLiteral("5x"),
                      QStringLiteral("😀")};
    for (const QString &a : alphabet) {
        texts << a;
        for (const QString &b : alphabet)
            texts << a + b;
    }
    for (const QString &text : texts) {
        connectWith(text);
        const int number = Connection::portNumberFrom(text);
        const bool valid = number >= 1 && number <= 99;
        const std::string shown = "'" + text.toStdString() + "'";
        // The port opens either way: under the number typed, or the one it had.
        EXPECT_TRUE(port.open) << shown;
        EXPECT_EQ(port.number, valid ? number : 1) << shown;
        ASSERT_EQ(port.writes.size(), 1u) << shown;
        EXPECT_EQ(port.writes[0], (Bytes{0xAA, 0x00, 0x01, 0x54})) << shown;
        EXPECT_EQ(messages, valid ? QStringList{} : QStringList{kInvalid}) << shown;
        EXPECT_EQ(cmd().CmdId, 1) << shown;
    }
}

TEST_F(Text1Test, TheBoxTakesTwoCharacters)
{
    box()->clear();
    QTest::keyClicks(box(), QStringLiteral("123"));
    EXPECT_EQ(box()->text(), QStringLiteral("12"));
    box()->setText(QStringLiteral("4567"));
    EXPECT_EQ(box()->text(), QStringLiteral("45"));
}

TEST_F(Text1Test, APortHeldElsewhereIsSaidOnce)
{
    form->link().disconnect();
    port = FakePort();
    port.openError = PortError::AlreadyOpen;
    box()->setText(QStringLiteral("5"));
    form->menu().action(MenuEntry::Connect)->trigger();
    EXPECT_EQ(messages, QStringList{QStringLiteral("端口已打开！！！")});
    EXPECT_TRUE(port.writes.empty());
    EXPECT_FALSE(form->view().mute()->isEnabled());
}

} // namespace
} // namespace qj::test
