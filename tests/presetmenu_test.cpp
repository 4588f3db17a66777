#include "menufixture.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QToolButton>

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
        {"empty.json", "", "文件格式错误"},
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
        {"huge.json", QByteArray(Preset::kMaxFileSize + 10, ' '), "文件太大"},
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

TEST_F(PresetMenuTest, AFileThatCannotBeReadOrWrittenIsReported)
{
    applyPreset(panel(), farPreset());
    const Preset before = shown();
    const struct
    {
        const char *what;
        QString path;
    } unreadable[] = {{"missing", file("nowhere.json")}, {"a folder", dir.path()}};
    for (const auto &u : unreadable) {
        messages.clear();
        open(u.path);
        ASSERT_EQ(messages.size(), 1) << u.what;
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法打开预设文件“%1”：").arg(u.path)))
            << u.what << ": " << qPrintable(messages[0]);
        EXPECT_EQ(shown(), before) << u.what;
    }

    messages.clear();
    const QString unwritable = file("no-such-folder/preset.json");
    save(unwritable);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法保存预设文件“%1”：").arg(unwritable)))
        << qPrintable(messages[0]);
    EXPECT_FALSE(QFile::exists(unwritable));
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

TEST_F(PresetMenuTest, ALinkFailureStopsThePushAndSaysHowFarItGot)
{
    const struct
    {
        bool english;
        QStringList said; // %1 total
        const char *lamp;
    } cases[] = {
        {false, {"数据发送失败！！！", "预设发送中断：%1 项设置中已发送 2 项。"}, "当前状态：脱机"},
        {true,
         {"The data sends out failure！！！",
          "Sending the preset stopped: 2 of %1 settings were sent."},
         "Status：offline"},
    };
    writeFile(file("far.json"), writePreset(farPreset()));
    for (const auto &c : cases) {
        form->link().OffLineStatus();
        if (c.english)
            choose(MenuEntry::ChineseEnglish);
        goOnline();
        messages.clear();
        const int n = static_cast<int>(presetChanges(shown(), farPreset()).size());
        open(file("far.json"));
        for (int i = 0; i < 2; ++i) {
            port.arrive({0xAA});
            run();
        }
        EXPECT_EQ(
            status(),
            (c.english ? QStringLiteral("Sending 3/%1") : QStringLiteral("发送 3/%1")).arg(n));
        run(2000); // the third is never answered
        EXPECT_EQ(messages, (QStringList{c.said[0], c.said[1].arg(n)})) << c.english;
        EXPECT_EQ(status(), QString::fromUtf8(c.lamp));
        EXPECT_FALSE(form->menuActions().presets().pushing());
        EXPECT_FALSE(view().mute()->isEnabled());
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
