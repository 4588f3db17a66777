#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// Every test binary runs headless unless a display is asked for explicitly.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QJ_TEST_PLATFORM);
    // A neutral desktop language, whatever the person running the tests speaks: a first start
    // then shows the Chinese captions.
    qputenv("LANG", "C.UTF-8");
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    // Nothing a test does may reach the settings of the person running it.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    // A text cursor blinks every half second: pictures of a window with the focus in a text
    // box, taken further apart than that on a slow or busy machine, would differ by it.
    QApplication::setCursorFlashTime(0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
