#include "app/form1.h"
#include "app/tracefile.h"
#include "link/connection.h"
#include "link/deviceurl.h"
#include "link/panelsettings.h"
#include "link/serialport.h"
#include "panel/panelview.h"
#include "tools/simlauncher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

#include <sys/prctl.h>

#include <cstdio>
#include <optional>

namespace {

struct Options
{
    qj::PortBindings bindings;
    QString tracePath; // empty: no trace
    bool simulate = false;
    QStringList simArguments;
    QString screenshotPath; // empty: the window stays until closed
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
        QCoreApplication::translate("main", "Binds port number N (1 to 99) to DEVICE: a serial "
                                            "device, socket://HOST:PORT or rfc2217://HOST:PORT; "
                                            "repeatable."),
        QStringLiteral("N=DEVICE"));
    parser.addOption(portOption);
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QCoreApplication::translate("main", "Writes every byte sent and received, with its time "
                                            "and direction, to FILE (for service)."),
        QStringLiteral("FILE"));
    parser.addOption(traceOption);
    const QCommandLineOption simulateOption(
        QStringLiteral("simulate"),
        QCoreApplication::translate("main", "Starts the virtual processor (qj-sim) and binds its "
                                            "pseudo-terminal to the port number in the box; "
                                            "then choose the connect entry as with a device. "
                                            "Settings are neither read nor saved."));
    parser.addOption(simulateOption);
    const QCommandLineOption simArgOption(
        QStringLiteral("sim-arg"),
        QCoreApplication::translate("main", "Passes ARG to the virtual processor, for instance "
                                            "--sim-arg=--fault=noise; repeatable."),
        QStringLiteral("ARG"));
    parser.addOption(simArgOption);
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QCoreApplication::translate("main", "Opens the window as usual, writes a picture of it to "
                                            "FILE (PNG) and ends; for documentation, bug reports "
                                            "and checking an installation."),
        QStringLiteral("FILE"));
    parser.addOption(screenshotOption);
    parser.process(app); // --help, --version and unknown options end the program here

    for (const QString &binding : parser.values(portOption)) {
        const QString device = binding.mid(binding.indexOf(u'=') + 1).trimmed();
        if (const qj::UrlProblem problem = qj::DeviceUrl::check(device);
            binding.contains(u'=') && problem != qj::UrlProblem::None) {
            std::fprintf(stderr, "%s\n",
                         qPrintable(qj::urlProblemText(device, problem, qj::Language::English)));
            return 2;
        }
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
    options.simulate = parser.isSet(simulateOption);
    options.simArguments = parser.values(simArgOption);
    options.screenshotPath = parser.value(screenshotOption);
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    // The link counts its waits in 1 ms ticks: ask the kernel to wake the timer on time rather
    // than up to 50 us late (the default slack), which stretched 1900 ticks by a tenth.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // QSettings: ~/.config/QJ/QJ.conf, which qj-ctl reads as well.
    QCoreApplication::setOrganizationName(QLatin1String(qj::PanelSettings::kOrganization));
    QCoreApplication::setApplicationName(QLatin1String(qj::PanelSettings::kApplication));
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("qj-panel"));
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
    qj::Port &port = options.tracePath.isEmpty() ? serial : trace.wrap(serial);
    // Before the window: its loss is traced ahead of what the window does about it.
    if (!options.tracePath.isEmpty())
        trace.follow(serial);
    qj::Form1 form(serial, port);
    // The demo binds a pseudo-terminal that will not exist next time: it must not be remembered.
    if (!options.simulate)
        form.useSettings(&settings);
    else
        form.menuActions().followDesktopLanguage(); // nothing remembered: as on a first start
    // Bindings given on the command line stand over the remembered ones.
    for (auto it = options.bindings.all().constBegin(); it != options.bindings.all().constEnd();
         ++it)
        serial.bindings().bind(it.key(), *it);

    // Demo mode: the virtual processor stands behind the number in the box, as a device would.
    qj::sim::SimLauncher simulator;
    if (options.simulate) {
        const int number = qj::Connection::portNumberFrom(form.view().text1()->text());
        auto bindSimulator = [&serial, number](const QString &path) {
            serial.bindings().bind(number, path);
        };
        QObject::connect(&simulator, &qj::sim::SimLauncher::ptyReady, &form, bindSimulator);
        if (!simulator.start(options.simArguments)) {
            // Told like every other message of the panel, in the language it speaks; qj-sim's
            // own words have gone to standard error as well.
            form.panel().showMessage(simulator.failure().text(form.link().language()));
            return 1;
        }
        bindSimulator(simulator.ptyPath());
    }

    form.show();
    if (!options.screenshotPath.isEmpty()) {
        // Once the window is laid out and the first events are handled, as a person would see it.
        QTimer::singleShot(0, &form, [&form, &app, &options] {
            if (form.grab().save(options.screenshotPath, "PNG")) {
                form.close(); // the way out a person takes, disconnecting first
                app.quit();
                return;
            }
            std::fprintf(stderr, "%s\n",
                         qPrintable(QCoreApplication::translate("main", "Cannot write %1.")
                                        .arg(options.screenshotPath)));
            app.exit(2);
        });
    }
    return app.exec();
}
