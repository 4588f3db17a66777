#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
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
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_program.setProgram(QStringLiteral(QJ_PANEL_PROGRAM));
        m_program.setProcessEnvironment(env);
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

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

} // namespace
} // namespace qj
