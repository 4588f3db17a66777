#pragma once

#include "app/menudialogs.h"
#include "formfixture.h"
#include "panel/portdialog.h"
#include "params/preset.h"

#include <QAction>
#include <QTemporaryDir>

#include <functional>

namespace qj::test {

// Answers the menu's dialogs from the test's script instead of waiting for a person.
struct ScriptedDialogs : MenuDialogs
{
    QString openPath; // empty: the user cancels
    QString savePath; // empty: the user cancels
    bool resetConfirmed = false;
    std::function<bool(PortDialog &)> portAnswer; // unset: the user cancels
    bool sendOffline = false;                     // the answer to the offline-work question
    std::function<void()> whileAsked;             // runs while that question is open
    QStringList asked;                            // which dialogs came up, in order
    QStringList folders;                          // the folder each file dialog opened in

    QString openPresetFile(QWidget *, const QString &folder) override
    {
        asked << QStringLiteral("open");
        folders << folder;
        return openPath;
    }
    QString savePresetFile(QWidget *, const QString &folder) override
    {
        asked << QStringLiteral("save");
        folders << folder;
        return savePath;
    }
    bool confirmReset(QWidget *) override
    {
        asked << QStringLiteral("reset");
        return resetConfirmed;
    }
    bool runPortDialog(PortDialog &dialog) override
    {
        asked << QStringLiteral("port");
        return portAnswer && portAnswer(dialog);
    }
    bool sendOfflineSettings(QWidget *) override
    {
        asked << QStringLiteral("offline");
        if (whileAsked)
            whileAsked();
        return sendOffline;
    }
};

// The window with scripted dialogs, a folder for files and a scripted list of serial devices.
struct MenuFixture : FormFixture
{
    ScriptedDialogs *dialogs = nullptr;
    QTemporaryDir dir;
    std::vector<FoundPort> devices;

    void SetUp() override
    {
        FormFixture::SetUp();
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        form->menuActions().setDialogs(std::move(scripted));
        form->menuActions().setPortScanner([this] { return devices; });
        ASSERT_TRUE(dir.isValid());
    }

    QAction *entry(MenuEntry e) { return form->menu().action(e); }
    void choose(MenuEntry e) { entry(e)->trigger(); }
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    Preset shown() { return capturePreset(panel()); }
    QString status() { return view().statusDisplay()->text(); }

    // Ticks as the window's timer does: the link, then the menu's preset push.
    void run(int ticks = 1)
    {
        for (int i = 0; i < ticks; ++i)
            form->RunTimer_Timer();
    }
    // Command frames written, reply bytes left out.
    std::vector<Bytes> frames() const
    {
        std::vector<Bytes> out;
        for (const Bytes &w : port.writes)
            if (w.size() == 4)
                out.push_back(w);
        return out;
    }
    // Runs until the push ends, acknowledging each frame a few ticks after it went out and
    // checking that never more than one command is in flight. Returns the frames from the
    // one in flight when called.
    std::vector<Bytes> acknowledgeAll(int maxTicks = 5000)
    {
        const std::size_t before = frames().size() - (form->menuActions().presets().pushing());
        std::size_t answered = before;
        for (int t = 0; t < maxTicks && form->menuActions().presets().pushing(); ++t) {
            EXPECT_LE(frames().size(), answered + 1) << "two commands in flight";
            if (t % 4 == 3 && frames().size() == answered + 1) {
                port.arrive({0xAA});
                ++answered;
            }
            run();
        }
        const std::vector<Bytes> all = frames();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }
};

} // namespace qj::test

#include "params/offlinedefaults.h"
#include "params/parametermap.h"

#include <QFile>

namespace qj::test {

// A preset far from the offline defaults in every kind of control.
inline Preset farPreset()
{
    Preset p = offlinePreset();
    const std::pair<int, int> settings[] = {
        {wire::kMaxMusicVolume, 50},
        {wire::kMaxMicVolume, 33},
        {wire::kMusicVolume, 45},
        {wire::kMicVolume, 20},
        {1, 100},
        {2, 7},
        {6, 3},
        {11, 12},
        {12, 2},
        {13, 3},
        {14, 90},
        {15, 17},
        {18, 9},
        {19, 3},
        {20, 130},
        {21, 4},
        {22, 1},
        {24, 1},
        {26, 2},
        {27, 4},
        {28, 1},
        {36, 55},
    };
    for (const auto &[id, value] : settings)
        p.values[static_cast<std::size_t>(id)] = value;
    return p;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The command frame for a parameter: AA, wire id, value, and the byte that makes the sum FF.
inline Bytes frameFor(int wireId, int value)
{
    const auto id = static_cast<std::uint8_t>(wireId);
    const auto v = static_cast<std::uint8_t>(value);
    return {0xAA, id, v, static_cast<std::uint8_t>(0x55 - id - v)};
}

} // namespace qj::test
