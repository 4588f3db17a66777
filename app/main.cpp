#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QJ"));
    QApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("QJ Karaoke V1.0"));
    window.show();
    return app.exec();
}
