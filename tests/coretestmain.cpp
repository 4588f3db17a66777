#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The main of the test binaries that build on the engine alone: no Qt Gui, no widgets, the way a
// program without a window runs it.
int main(int argc, char *argv[])
{
    // Nothing a test does may reach the settings of the person running it.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
