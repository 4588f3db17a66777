// qj-ctl: the processor from the command line, for jobs and scripts, on the panel's engine.
#include "ctl/request.h"
#include "ctl/session.h"
#include "link/panelsettings.h"

#include <QCoreApplication>
#include <QSettings>

#include <sys/prctl.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The link counts its waits in 1 ms ticks: wake the timer on time (see app/main.cpp).
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));

    const qj::ctl::Parsed parsed = qj::ctl::parseRequest(app.arguments().mid(1));
    if (!parsed.request) {
        std::fprintf(stderr, "qj-ctl: %s\nTry 'qj-ctl --help'.\n", qPrintable(parsed.error));
        return qj::ctl::kBadInput;
    }
    const qj::ctl::Request &request = *parsed.request;
    if (request.command == qj::ctl::Request::Command::Help) {
        std::fputs(qPrintable(qj::ctl::usageText()), stdout);
        return qj::ctl::kDone;
    }
    if (request.command == qj::ctl::Request::Command::Version) {
        std::printf("qj-ctl %s\n", QJ_VERSION);
        return qj::ctl::kDone;
    }

    // The port numbers the panel has bound, read as the panel reads them.
    qj::PortBindings bindings;
    if (request.device.isEmpty()) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QLatin1String(qj::PanelSettings::kOrganization),
                           QLatin1String(qj::PanelSettings::kApplication));
        qj::PanelSettings(settings).loadBindings(bindings);
    }
    qj::ctl::Session session(request, std::move(bindings));
    return session.run();
}
