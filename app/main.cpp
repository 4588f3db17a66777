#include "app/form1.h"
#include "app/tracefile.h"
#include "link/serialport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

#include <cstdio>
#include <optional>

namespace {

struct Options
{
    qj::PortBindings bindings;
    QString tracePath; // empty: no trace
};

// Reads the command line without a display, so --help and --version work anywhere.
// Returns an exit code when the program should end here.
std::optional<int> parseCommandLine(int argc, char *argv[], Options &options)
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
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QCoreApplication::translate("main", "Writes every byte sent and received, with its time "
                                            "and direction, to FILE (for service)."),
        QStringLiteral("FILE"));
    parser.addOption(traceOption);
    parser.process(app); // --help, --version and unknown options end the program here

    for (const QString &binding : parser.values(portOption)) {
        if (!options.bindings.parseAndBind(binding)) {
            std::fprintf(
                stderr, "%s\n",
                qPrintable(QCoreApplication::translate(
                               "main", "Invalid --port %1: use N=DEVICE with N from 1 to 99.")
                               .arg(binding)));
            return 2;
        }
    }
    options.tracePath = parser.value(traceOption);
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("QJ"));
    QCoreApplication::setApplicationName(QStringLiteral("QJ"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));
    Options options;
    if (const std::optional<int> exitCode = parseCommandLine(argc, argv, options))
        return *exitCode;

    qj::TraceFile trace;
    if (!options.tracePath.isEmpty() && !trace.open(options.tracePath)) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate("main", "Cannot write the trace %1: %2")
                                    .arg(options.tracePath, trace.errorString())));
        return 2;
    }

    QApplication app(argc, argv);
    QSettings settings; // outlives the window, which writes to it
    qj::SerialPort serial;
    qj::Form1 form(serial, options.tracePath.isEmpty() ? serial : trace.wrap(serial));
    form.menuActions().useSettings(&settings);
    // Bindings given on the command line stand over the remembered ones.
    for (auto it = options.bindings.all().constBegin(); it != options.bindings.all().constEnd();
         ++it)
        serial.bindings().bind(it.key(), *it);
    form.show();
    return app.exec();
}
