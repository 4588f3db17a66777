#include "menufixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QToolButton>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qj {
namespace {

using test::Bytes;
using test::farPreset;
using test::frameFor;
using test::MenuFixture;
using test::writeFile;

struct PresetMenuTest : MenuFixture
{
    void save(const QString &path)
    {
        dialogs->savePath = path;
        choose(MenuEntry::SaveFile);
    }
    void open(const QString &path)
    {
        dialogs->openPath = path;
        choose(MenuEntry::OpenFile);
    }
    // The whole window as the user sees it, with the focus parked in one place.
    QImage look()
    {
        view().text1()->setFocus();
        QApplication::processEvents();
        return form->grab().toImage();
    }
    std::vector<Bytes> framesOf(const std::vector<std::pair<int, int>> &changes)
    {
        std::vector<Bytes> out;
        for (const auto &[id, value] : changes)
            out.push_back(frameFor(id, value));
        return out;
    }
};

TEST_F(PresetMenuTest, SaveChangeOpenGivesBackTheSamePanel)
{
    // A session's worth of changes, offline, by mouse and keyboard.
    for (const char *button : {"EchoMode_2", "MusicPitch_8", "FeedbackClass_3", "KaraokeMode_4",
                               "MusicSelect_3", "MusicVocal_1", "SuperBass", "SurroundMode2"})
        click(QString::fromLatin1(button));
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(find<SpinButton>(QStringLiteral("MaxMicVolume"))->downArrow(),
                          Qt::LeftButton);
    key("MusicVolume", Qt::Key_Home);
    key("EchoDelay", Qt::Key_End);
    key("MicEQ8kHz", Qt::Key_Up);
    key("SubwoofLpf", Qt::Key_PageUp);
    const Preset saved = shown();
    ASSERT_NE(saved, offlinePreset());
    const QImage before = look();

    save(file("session.json"));
    QFile f(file("session.json"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("\"name\": \"MusicVolume\"")) << text.constData();
    EXPECT_TRUE(text.contains("\"version\": 1"));
    EXPECT_EQ(readPreset(text), saved);

    form->link().OffLineStatus();
    ASSERT_NE(shown(), saved);
    open(file("session.json"));
    EXPECT_EQ(shown(), saved);
    EXPECT_EQ(look(), before);
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));
    EXPECT_TRUE(port.writes.empty()); // offline: the panel alone
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(dialogs->asked, (QStringList{"save", "open"}));
}

// A valid file's JSON, changed by `edit`.
QByteArray edited(const std::function<void(QJsonObject &root, QJsonArray &entries)> &edit)
{
    QJsonObject root = QJsonDocument::fromJson(writePreset(farPreset())).object();
    QJsonArray entries = root.value(QStringLiteral("parameters")).toArray();
    edit(root, entries);
    root.insert(QStringLiteral("parameters"), entries);
    return QJsonDocument(root).toJson();
}

void setEntry(QJsonArray &entries, const char *name, const char *key, const QJsonValue &v)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QJsonObject e = entries[i].toObject();
        if (e.value(QStringLiteral("name")).toString() == QLatin1String(name)) {
            e.insert(QLatin1String(key), v);
            entries[i] = e;
        }
    }
}

TEST_F(PresetMenuTest, ABadFileIsRefusedWithItsReasonAndThePanelStaysAsItWas)
{
    struct Case
    {
        const char *file;
        QByteArray bytes;
        const char *reason; // the Chinese sentence, or its start
    };
    const Case cases[] = {
        {"empty.json", "", "文件是空的。"},
        {"blank.json", "  \r\n\t\n", "文件是空的。"}, // as an editor shows it
        {"garbage.json", "volume=30\n", "文件格式错误"},
        {"cut.json", writePreset(farPreset()).left(300), "文件格式错误"},
        {"other.json", R"({"format": "something else", "version": 1, "parameters": []})",
         "这不是 QJ 预设文件。"},
        {"version.json", edited([](QJsonObject &root, QJsonArray &) { root.insert("version", 2); }),
         "不支持的预设文件版本：2。"},
        {"missing.json", edited([](QJsonObject &, QJsonArray &e) {
             for (qsizetype i = 0; i < e.size(); ++i)
                 if (e[i].toObject().value("name").toString() == "ReverbTime")
                     e.removeAt(i);
         }),
         "缺少参数：ReverbTime。"},
        {"range.json",
         edited([](QJsonObject &, QJsonArray &e) { setEntry(e, "EchoDelay", "value", 251); }),
         "参数 EchoDelay 的值 251 超出范围。"},
        {"fraction.json",
         edited([](QJsonObject &, QJsonArray &e) { setEntry(e, "MicEQ8kHz", "value", 2.5); }),
         "预设文件中有一项格式错误（MicEQ8kHz）。"},
        {"limit.json",
         edited([](QJsonObject &, QJsonArray &e) { setEntry(e, "MusicVolume", "value", 60); }),
         "MusicVolume 的值 60 高于它的上限。"},
        {"name.json",
         edited([](QJsonObject &, QJsonArray &e) { setEntry(e, "MusicMid", "wireId", 17); }),
         "参数名称与编号不符：MusicMid（编号 17）。"},
        {"huge.json", QByteArray(Preset::kMaxFileSize + 10, ' '),
         "文件有 65546 字节，超过预设文件的上限 65536 字节。"},
    };
    goOnline(); // so a half-taken file would also show as frames
    applyPreset(panel(), farPreset());
    const Preset before = shown();
    const QImage image = look();
    for (const Case &c : cases) {
        writeFile(file(c.file), c.bytes);
        messages.clear();
        open(file(c.file));
        ASSERT_EQ(messages.size(), 1) << c.file;
        EXPECT_TRUE(messages[0].startsWith(
            QStringLiteral("预设文件“%1”没有载入，面板未改变。\r\n").arg(file(c.file))))
            << c.file << ": " << qPrintable(messages[0]);
        EXPECT_TRUE(messages[0].contains(QString::fromUtf8(c.reason)))
            << c.file << ": " << qPrintable(messages[0]);
        EXPECT_EQ(shown(), before) << c.file;
        EXPECT_EQ(look(), image) << c.file;
        EXPECT_TRUE(port.writes.empty()) << c.file;
    }

    choose(MenuEntry::ChineseEnglish);
    messages.clear();
    open(file("range.json"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("The preset file \"%1\" was not loaded; the panel is "
                                          "unchanged.\r\nValue 251 of EchoDelay is out of range.")
                               .arg(file("range.json")));
    EXPECT_EQ(shown(), before);
}

// Permission checks do not hold back root. A test running as root takes the file-system user
// of an ordinary one for the call, which also drops root's power over permissions there.
class AsOrdinaryUser
{
public:
    static constexpr uid_t kNobody = 65534;

    AsOrdinaryUser() : m_root(::geteuid() == 0)
    {
        if (m_root)
            ::setfsuid(kNobody);
    }
    ~AsOrdinaryUser()
    {
        if (m_root)
            ::setfsuid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

    // Whether permissions are checked now; -1 is no user, so setfsuid only reports.
    bool checked() const { return !m_root || ::setfsuid(static_cast<uid_t>(-1)) == int(kNobody); }

private:
    bool m_root;
};

TEST_F(PresetMenuTest, FileSystemErrorsAreToldInThePanelsLanguage)
{
    ASSERT_TRUE(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                        QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    writeFile(file("locked.json"), writePreset(farPreset()));
    ASSERT_TRUE(QFile::setPermissions(file("locked.json"), {}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("readonly"));
    ASSERT_TRUE(QFile::setPermissions(file("readonly"), QFile::ReadOwner | QFile::ExeOwner |
                                                            QFile::ReadOther | QFile::ExeOther));
    const struct
    {
        const char *what;
        bool saving;
        QString path;
        bool asOrdinaryUser;
        const char *chinese;
        const char *english;
    } cases[] = {
        {"missing", false, file("nowhere.json"), false, "文件不存在。", "the file does not exist."},
        {"missing folder", false, file("nowhere/p.json"), false, "文件不存在。",
         "the file does not exist."},
        {"a folder", false, file("folder"), false, "这是一个文件夹，不是文件。",
         "this is a folder, not a file."},
        {"unreadable", false, file("locked.json"), true, "没有读取这个文件的权限。",
         "you have no permission to read this file."},
        {"into a missing folder", true, file("nowhere/p.json"), false, "文件夹不存在。",
         "the folder does not exist."},
        {"onto a folder", true, file("folder"), false, "这是一个文件夹，不是文件。",
         "this is a folder, not a file."},
        {"into a read-only folder", true, file("readonly/p.json"), true, "没有在这里写入的权限。",
         "you have no permission to write there."},
        {"onto a full disk", true, QStringLiteral("/dev/full"), false, "磁盘已满。",
         "the disk is full."},
    };
    applyPreset(panel(), farPreset());
    const Preset before = shown();
    for (const bool english : {false, true}) {
        if (english)
            choose(MenuEntry::ChineseEnglish);
        for (const auto &c : cases) {
            messages.clear();
            {
                const AsOrdinaryUser user;
                if (c.asOrdinaryUser && !user.checked())
                    GTEST_SKIP() << "root here cannot take an ordinary user's file access";
                if (c.saving)
                    save(c.path);
                else
                    open(c.path);
            }
            const QString expected =
                english ? (c.saving ? QStringLiteral("Cannot save the preset file \"%1\": %2")
                                    : QStringLiteral("Cannot open the preset file \"%1\": %2"))
                              .arg(c.path, QString::fromUtf8(c.english))
                        : (c.saving ? QStringLiteral("无法保存预设文件“%1”：%2")
                                    : QStringLiteral("无法打开预设文件“%1”：%2"))
                              .arg(c.path, QString::fromUtf8(c.chinese));
            EXPECT_EQ(messages, QStringList{expected}) << c.what << (english ? " (English)" : "");
            EXPECT_EQ(shown(), before) << c.what;
        }
    }
    // Nothing was left behind, and the device is still the device.
    EXPECT_EQ(QDir(file("readonly")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{});
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/dev/full")));
}

TEST_F(PresetMenuTest, AnOversizedFileGivesItsRealSizeAndTheLimit)
{
    writeFile(file("big.json"), QByteArray(200000, ' '));
    const struct
    {
        QString path;
        const char *chinese;
        const char *english;
    } cases[] = {
        {file("big.json"), "文件有 200000 字节，超过预设文件的上限 65536 字节。",
         "The file has 200000 bytes, more than the 65536 bytes a preset may have."},
        // A device has no size: it is only known to be larger than a preset may be.
        {QStringLiteral("/dev/zero"), "文件超过预设文件的上限 65536 字节。",
         "The file is larger than the 65536 bytes a preset may have."},
    };
    for (const bool english : {false, true}) {
        if (english)
            choose(MenuEntry::ChineseEnglish);
        for (const auto &c : cases) {
            messages.clear();
            open(c.path);
            ASSERT_EQ(messages.size(), 1) << qPrintable(c.path);
            EXPECT_TRUE(messages[0].endsWith(QString::fromUtf8(english ? c.english : c.chinese)))
                << qPrintable(messages[0]);
        }
    }
}

TEST_F(PresetMenuTest, APipeWithoutAWriterReadsAsEmptyAndDoesNotHoldTheWindow)
{
    const QByteArray fifo = QFile::encodeName(file("pipe.json"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    open(file("pipe.json"));
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("预设文件“%1”没有载入，面板未改变。\r\n文件是空的。")
                              .arg(file("pipe.json"))});
}

TEST_F(PresetMenuTest, SavingReplacesTheFileWholeKeepingItsLinkAndPermissions)
{
    applyPreset(panel(), farPreset());
    writeFile(file("old.json"), "old settings");
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(file("old.json"), mode));
    ASSERT_TRUE(QFile::link(file("old.json"), file("link.json")));

    save(file("link.json"));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));
    EXPECT_TRUE(QFileInfo(file("link.json")).isSymLink());
    QFile saved(file("old.json"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(readPreset(saved.readAll()), farPreset());
    constexpr int kOwnerGroupOther = 0x7077; // leaves out the "user" bits, which repeat one of them
    EXPECT_EQ(QFile::permissions(file("old.json")) & kOwnerGroupOther, mode);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2)
        << "a temporary file was left behind";

    save(file("fresh.json")); // a new file is created
    EXPECT_TRUE(messages.isEmpty());
    dialogs->openPath = file("fresh.json");
    form->link().OffLineStatus();
    choose(MenuEntry::OpenFile);
    EXPECT_EQ(shown(), farPreset());
}

TEST_F(PresetMenuTest, OnlineEachDifferenceGoesOutOneCommandAtATimeWithProgress)
{
    goOnline();
    writeFile(file("far.json"), writePreset(farPreset()));
    const auto changes = presetChanges(shown(), farPreset());
    const int n = static_cast<int>(changes.size());
    ASSERT_GT(n, 15);

    open(file("far.json"));
    EXPECT_EQ(shown(), farPreset()); // the panel at once
    EXPECT_EQ(frames().size(), 1u);  // the processor one by one
    EXPECT_EQ(status(), QStringLiteral("发送 1/%1").arg(n));
    // The progress moves on with each acknowledgement.
    port.arrive({0xAA});
    run();
    EXPECT_EQ(frames().size(), 2u);
    EXPECT_EQ(status(), QStringLiteral("发送 2/%1").arg(n));

    // The first was taken; from the one in flight on, the push runs to its end.
    const std::vector<Bytes> rest = acknowledgeAll();
    std::vector<Bytes> all{frames()[0]};
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all, framesOf(changes)); // ascending wire ids, the limits never among them
    EXPECT_FALSE(form->menuActions().presets().pushing());
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(shown(), farPreset());
}

// One failure, one box: the failure's own text, then how far the push got. The third setting is
// never answered (the give-up), or its write fails (the device is gone).
TEST_F(PresetMenuTest, ALinkFailureStopsThePushAndSaysHowFarItGot)
{
    const struct
    {
        bool english;
        bool writeFails;
        const char *said; // %1: the total
        const char *lamp;
    } cases[] = {
        {false, false, "数据发送失败！！！\n预设发送中断：%1 项设置中已发送 2 项。",
         "当前状态：脱机"},
        {false, true, "数据发送失败！！！\n预设发送中断：%1 项设置中已发送 2 项。",
         "当前状态：脱机"},
        {true, false,
         "The data sends out failure！！！\nSending the preset stopped: 2 of %1 settings were "
         "sent.",
         "Status：offline"},
    };
    writeFile(file("far.json"), writePreset(farPreset()));
    std::size_t framesAtMessage = 0;
    form->setMessagePresenter([&](const QString &text) {
        messages << text;
        framesAtMessage = frames().size();
    });
    for (const auto &c : cases) {
        form->link().disconnect();
        if (c.english != (form->link().language() == Language::English))
            choose(MenuEntry::ChineseEnglish);
        goOnline();
        messages.clear();
        const int n = static_cast<int>(presetChanges(shown(), farPreset()).size());
        open(file("far.json"));
        port.arrive({0xAA});
        run();
        port.writeError = c.writeFails ? PortError::DeviceLost : PortError::None;
        port.arrive({0xAA});
        run();
        port.writeError = PortError::None;
        const std::size_t sent = frames().size();
        run(2000); // the third is never answered
        EXPECT_EQ(messages, QStringList{QString::fromUtf8(c.said).arg(n)}) << c.english;
        // The given-up setting went out ten times in all; a failed write is the last. (After a
        // give-up the offline procedure's own changes still go out, as it resets the controls.)
        EXPECT_EQ(framesAtMessage, sent + (c.writeFails ? 0 : 9)) << c.english;
        if (c.writeFails) {
            EXPECT_EQ(frames().size(), sent);
        }
        EXPECT_EQ(status(), QString::fromUtf8(c.lamp));
        EXPECT_FALSE(form->menuActions().presets().pushing());
        EXPECT_FALSE(view().mute()->isEnabled());
        EXPECT_EQ(port.open, !c.writeFails); // a give-up leaves the port open
    }
}

TEST_F(PresetMenuTest, OpeningDuringAPushStillSendsWhatWasNotAcknowledged)
{
    goOnline();
    writeFile(file("far.json"), writePreset(farPreset()));
    const auto changes = presetChanges(shown(), farPreset());
    open(file("far.json"));
    port.arrive({0xAA}); // the first is taken, the second goes out
    run();
    ASSERT_EQ(frames().size(), 2u);

    open(file("far.json")); // the panel shows it all already, the processor does not
    EXPECT_EQ(frames().size(), 3u);
    EXPECT_EQ(frames()[2], frameFor(changes[1].first, changes[1].second)); // in flight again
    // From the one in flight on, each exactly once.
    EXPECT_EQ(acknowledgeAll(), framesOf({changes.begin() + 1, changes.end()}));
}

TEST_F(PresetMenuTest, AUserCommandThatTheFirstSendReplacesIsSentAgain)
{
    goOnline();
    key("ReverbTime", Qt::Key_Up); // pending: its acknowledgement has not come
    ASSERT_NE(cmd().CmdId, 0);
    Preset wanted = farPreset();
    wanted.values[3] = shown().values[3]; // the file agrees with what the panel now shows
    writeFile(file("agree.json"), writePreset(wanted));
    const std::size_t before = frames().size();

    open(file("agree.json"));
    const std::vector<Bytes> sent = acknowledgeAll();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(frames().size(), before + sent.size());
    EXPECT_NE(std::find(sent.begin(), sent.end(), frameFor(3, wanted.values[3])), sent.end())
        << "the replaced reverb time never reached the processor";
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
}

TEST_F(PresetMenuTest, ResetAsksFirstThenRestoresTheDefaults)
{
    applyPreset(panel(), farPreset());
    panel().setButtonColour(Group::RunMode, 2, ButtonColour::Red); // the processor's memory

    choose(MenuEntry::Reset); // declined
    EXPECT_EQ(dialogs->asked, QStringList{"reset"});
    EXPECT_EQ(shown(), farPreset());

    dialogs->resetConfirmed = true;
    choose(MenuEntry::Reset); // offline: the panel alone
    EXPECT_EQ(shown(), offlinePreset());
    EXPECT_EQ(caption("MusicVolumeDisplay"), QStringLiteral("30"));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(view().button(Group::RunMode, 2)->backColour(), ButtonColour::Red);
    EXPECT_FALSE(view().mute()->isEnabled());
    EXPECT_EQ(status(), QStringLiteral("当前状态：脱机"));

    applyPreset(panel(), farPreset());
    goOnline();
    choose(MenuEntry::Reset); // online: the processor too, one at a time
    EXPECT_EQ(shown(), offlinePreset());
    EXPECT_EQ(acknowledgeAll(), framesOf(presetChanges(farPreset(), offlinePreset())));
    EXPECT_EQ(status(), QStringLiteral("当前状态：联机"));
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
} // namespace qj
