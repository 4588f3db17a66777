#include "app/form1.h"
#include "link/serialport.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QJ"));
    QApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Control panel for the QJ karaoke processor."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QCoreApplication::translate("main", "Binds port number N (1 to 99) to DEVICE; repeatable."),
        QStringLiteral("N=DEVICE"));
    parser.addOption(portOption);
    parser.process(app);

    qj::PortBindings bindings;
    for (const QString &binding : parser.values(portOption)) {
        if (!bindings.parseAndBind(binding)) {
            std::fprintf(
                stderr, "%s\n",
                qPrintable(QCoreApplication::translate(
                               "main", "Invalid --port %1: use N=DEVICE with N from 1 to 99.")
                               .arg(binding)));
            return 2;
        }
    }

    qj::Form1 form;
    form.serialPort()->bindings() = bindings;
    form.show();
    return app.exec();
}
