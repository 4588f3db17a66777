#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qj {
namespace {

// The program itself, offscreen, with settings of its own in a scratch folder.
class ScreenshotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral(QJ_TEST_PLATFORM));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_program.setProgram(QStringLiteral(QJ_PANEL_PROGRAM));
        m_program.setProcessEnvironment(env);
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    QString settingsFile() const { return path("config/QJ/QJ.conf"); }
    void setEnv(const char *name, const QString &value)
    {
        QProcessEnvironment env = m_program.processEnvironment();
        env.insert(QLatin1String(name), value);
        m_program.setProcessEnvironment(env);
    }
    // The desktop's language as the program reads it.
    void setDesktopLanguage(const char *lang)
    {
        QProcessEnvironment env = m_program.processEnvironment();
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LANG"), QLatin1String(lang));
        m_program.setProcessEnvironment(env);
    }
    // A picture of the window as the program opens it; null when it could not be taken.
    QImage shot(const char *name, const QStringList &more = {})
    {
        const QString file = path(name);
        if (!run(QStringList{QStringLiteral("--screenshot"), file} + more) ||
            m_program.exitCode() != 0)
            return {};
        return QImage(file, "PNG");
    }

    // Runs the program; false when it has not ended by itself within 30 s.
    bool run(const QStringList &arguments)
    {
        m_program.setArguments(arguments);
        m_program.start();
        if (m_program.waitForFinished(30000))
            return true;
        m_program.kill();
        m_program.waitForFinished();
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_program;
};

TEST_F(ScreenshotTest, TheOptionIsOffered)
{
    ASSERT_TRUE(run({QStringLiteral("--help")}));
    EXPECT_EQ(m_program.exitCode(), 0);
    EXPECT_TRUE(m_program.readAllStandardOutput().contains("--screenshot <FILE>"));
}

// The window opens, its picture is written and the program ends by itself.
TEST_F(ScreenshotTest, WritesTheWindowAndEnds)
{
    const QString file = path("panel.png");
    ASSERT_TRUE(run({QStringLiteral("--screenshot"), file}));
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 0) << m_program.readAllStandardError().constData();
    const QImage picture(file, "PNG");
    ASSERT_FALSE(picture.isNull());
    // The client area is 1009 x 652, with the menu bar above it.
    EXPECT_EQ(picture.width(), 1009);
    EXPECT_GT(picture.height(), 652);
}

TEST_F(ScreenshotTest, AFileThatCannotBeWrittenEndsWithAMessage)
{
    const QString file = path("no-such-folder/panel.png");
    ASSERT_TRUE(run({QStringLiteral("--screenshot"), file}));
    EXPECT_EQ(m_program.exitCode(), 2);
    EXPECT_TRUE(m_program.readAllStandardError().contains(file.toLocal8Bit()));
}

// A 1366 x 768 laptop at 125 %: the window fits the screen, the client area scrolling.
TEST_F(ScreenshotTest, OnASmallScreenTheWindowFitsIt)
{
    setEnv("QT_QPA_PLATFORM", QStringLiteral("offscreen:configfile=" QJ_SMALL_SCREEN));
    const QImage picture = shot("small.png");
    ASSERT_FALSE(picture.isNull()) << m_program.readAllStandardError().constData();
    EXPECT_LE(picture.width(), 1093);
    EXPECT_LE(picture.height(), 614);
    EXPECT_GE(picture.width(), 1009); // as wide as the panel, with a scroll bar beside it
}

// With no language remembered the first start speaks the desktop's language; a remembered one
// stands over it. Each picture is compared with one taken under the same desktop language, which
// also picks the fonts.
TEST_F(ScreenshotTest, AFirstStartFollowsTheDesktopsLanguage)
{
    const auto remember = [this](const char *language) {
        QFile::remove(settingsFile());
        if (!language)
            return;
        QDir().mkpath(path("config/QJ"));
        QSettings(settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("language"), QLatin1String(language));
    };
    const struct
    {
        const char *lang;
        const char *speaks; // the remembered language the first start looks like
        const char *other;
    } cases[] = {
        {"C.UTF-8", "zh_CN", "en"}, // the neutral locale stays Chinese
        {"zh_CN.UTF-8", "zh_CN", "en"},
        {"en_US.UTF-8", "en", "zh_CN"},
    };
    for (const auto &c : cases) {
        setDesktopLanguage(c.lang);
        remember(nullptr);
        const QImage first = shot("first.png");
        ASSERT_FALSE(first.isNull()) << c.lang;
        EXPECT_FALSE(
            QSettings(settingsFile(), QSettings::IniFormat).contains(QStringLiteral("language")))
            << "following the desktop is not a choice to remember";
        remember(c.speaks);
        EXPECT_EQ(shot("same.png"), first) << c.lang;
        remember(c.other);
        EXPECT_NE(shot("other.png"), first) << c.lang;
    }
}

// The window's place is remembered on closing, but not in the demo mode.
TEST_F(ScreenshotTest, TheDemoModeRemembersNothing)
{
    ASSERT_FALSE(shot("demo.png", {QStringLiteral("--simulate")}).isNull())
        << m_program.readAllStandardError().constData();
    EXPECT_FALSE(QFile::exists(settingsFile()));
    ASSERT_FALSE(shot("plain.png").isNull());
    EXPECT_TRUE(QSettings(settingsFile(), QSettings::IniFormat)
                    .contains(QStringLiteral("window/position")));
}

} // namespace
} // namespace qj
