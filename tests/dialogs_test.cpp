#include "app/standarddialogs.h"
#include "menufixture.h"
#include "panel/helpwindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace qj {
namespace {

using test::MenuFixture;

// The standard dialogs are modal: each test answers the one that comes up from a timer.
template<typename Dialog>
void whenShown(const std::function<void(Dialog *)> &answer)
{
    QTimer::singleShot(0, [answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

struct StandardDialogsTest : ::testing::Test
{
    QWidget parent;
    StandardDialogs dialogs;
    QTemporaryDir dir;
};

TEST_F(StandardDialogsTest, ResetIsConfirmedOnlyByItsOwnButton)
{
    const struct
    {
        const char *press; // the button's caption, or "Escape"
        bool confirmed;
    } cases[] = {{"复位", true}, {"取消", false}, {"Escape", false}};
    for (const auto &c : cases) {
        QString title, text;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            title = box->windowTitle();
            text = box->text();
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->buttons().size(), 2);
            EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("取消")); // the safe one
            if (QString::fromUtf8(c.press) == QStringLiteral("Escape")) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QString::fromUtf8(c.press))
                    b->click();
        });
        EXPECT_EQ(dialogs.confirmReset(&parent), c.confirmed) << c.press;
        EXPECT_EQ(title, QStringLiteral("QJ"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("把面板上的全部设置恢复为默认值吗？")));
    }
}

TEST_F(StandardDialogsTest, OfflineWorkIsSentOnlyByItsOwnButtonAndKeepingIsTheDefault)
{
    const struct
    {
        const char *press; // the button's caption, "Return" or "Escape"
        bool send;
    } cases[] = {
        {"发送面板设置", true}, {"保留处理器设置", false}, {"Return", false}, {"Escape", false}};
    for (const auto &c : cases) {
        QString title, text;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            title = box->windowTitle();
            text = box->text();
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->buttons().size(), 2);
            EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("保留处理器设置"));
            const QString press = QString::fromUtf8(c.press);
            if (press == QStringLiteral("Return") || press == QStringLiteral("Escape")) {
                QTest::keyClick(box, press == QStringLiteral("Return") ? Qt::Key_Return
                                                                       : Qt::Key_Escape);
                return;
            }
            for (QAbstractButton *b : box->buttons())
                if (b->text() == press)
                    b->click();
        });
        EXPECT_EQ(dialogs.sendOfflineSettings(&parent), c.send) << c.press;
        EXPECT_EQ(title, QStringLiteral("QJ"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("脱机时面板上的设置改动过"))) << c.press;
    }
}

TEST_F(StandardDialogsTest, FileDialogsOfferPresetsAndSaveAddsTheSuffix)
{
    QString title;
    QStringList filters;
    whenShown<QFileDialog>([&](QFileDialog *d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        d->reject();
    });
    EXPECT_EQ(dialogs.openPresetFile(&parent, dir.path()), QString());
    EXPECT_EQ(title, QStringLiteral("打开文件"));
    EXPECT_EQ(filters, (QStringList{"QJ 预设文件 (*.json)", "所有文件 (*)"}));

    whenShown<QFileDialog>([&](QFileDialog *d) {
        title = d->windowTitle();
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d->directory().absolutePath(), dir.path());
        d->selectFile(QStringLiteral("evening"));
        static_cast<QDialog *>(d)->accept(); // as the Save button does
    });
    EXPECT_EQ(dialogs.savePresetFile(&parent, dir.path()), dir.filePath("evening.json"));
    EXPECT_EQ(title, QStringLiteral("保存文件"));
}

TEST_F(StandardDialogsTest, ThePortDialogRunsModally)
{
    const std::vector<PortRow> rows{{1, false, true, {"/dev/ttyUSB0", {}, {}, {}, {}}}};
    PortDialog dialog([&] { return rows; }, nullptr, &parent);
    whenShown<PortDialog>([](PortDialog *d) {
        EXPECT_TRUE(d->isModal());
        d->selectRow(0);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(dialogs.runPortDialog(dialog));
    ASSERT_TRUE(dialog.choice().has_value());
    EXPECT_EQ(dialog.choice()->number, 1);

    whenShown<PortDialog>([](PortDialog *d) { QTest::keyClick(d, Qt::Key_Escape); });
    EXPECT_FALSE(dialogs.runPortDialog(dialog));
}

TEST_F(StandardDialogsTest, InEnglishTheyAskInEnglish)
{
    Translation translation;
    ASSERT_TRUE(translation.setEnglish(true));
    QString text;
    QStringList buttons;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        box->defaultButton()->click();
    });
    EXPECT_FALSE(dialogs.confirmReset(&parent));
    EXPECT_EQ(text, QStringLiteral("Put every setting on the panel back to its default?\nWhile "
                                   "online the processor receives them too."));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancel", "Reset"}));

    QString title;
    QStringList filters;
    whenShown<QFileDialog>([&](QFileDialog *d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        d->reject();
    });
    dialogs.savePresetFile(&parent, dir.path());
    EXPECT_EQ(title, QStringLiteral("Save File"));
    EXPECT_EQ(filters, (QStringList{"QJ presets (*.json)", "All files (*)"}));

    QString defaultButton;
    buttons.clear();
    whenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        defaultButton = box->defaultButton()->text();
        box->defaultButton()->click();
    });
    EXPECT_FALSE(dialogs.sendOfflineSettings(&parent));
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("The settings on the panel were changed while offline")));
    EXPECT_EQ(defaultButton, QStringLiteral("Keep the processor's"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Keep the processor's", "Send the panel's settings"}));
}

using ShortcutTest = MenuFixture;

TEST_F(ShortcutTest, TheUsualKeysReachTheirEntries)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs->asked, (QStringList{"open", "save"}));
    QTest::keyClick(form.get(), Qt::Key_F1);
    ASSERT_NE(form->menuActions().helpWindow(), nullptr);
    EXPECT_TRUE(form->menuActions().helpWindow()->isVisible());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(port.open);
}

TEST_F(ShortcutTest, MissingEnglishCaptionsAreReportedAndNothingChanges)
{
    QSettings settings(file("settings.ini"), QSettings::IniFormat);
    form->menuActions().useSettings(&settings);
    form->menuActions().translation().setDirectories({dir.path()}); // no translation file there
    choose(MenuEntry::ChineseEnglish);
    EXPECT_EQ(messages, QStringList{"找不到英文界面文件 qj-panel_en.qm。\r\nEnglish captions not "
                                    "found."});
    EXPECT_EQ(entry(MenuEntry::OpenFile)->text(), QStringLiteral("打开文件"));
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));
    EXPECT_FALSE(settings.contains(QStringLiteral("language")));
    form->menuActions().useSettings(nullptr);
}

} // namespace
} // namespace qj
