#include "app/form1.h"
#include "link/serialport.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {

// Reads the command line without a display, so --help and --version work anywhere.
// Returns an exit code when the program should end here.
std::optional<int> parseCommandLine(int argc, char *argv[], qj::PortBindings &bindings)
{
    QCoreApplication app(argc, argv);
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
    parser.process(app); // --help, --version and unknown options end the program here

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
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("QJ"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));
    qj::PortBindings bindings;
    if (const std::optional<int> exitCode = parseCommandLine(argc, argv, bindings))
        return *exitCode;

    QApplication app(argc, argv);
    qj::Form1 form;
    form.serialPort()->bindings() = bindings;
    form.show();
    return app.exec();
}
