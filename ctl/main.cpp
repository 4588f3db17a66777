// qj-ctl: the processor from the command line, for jobs and scripts, on the panel's engine.
#include "ctl/output.h"
#include "ctl/request.h"
#include "ctl/session.h"
#include "link/panelsettings.h"

#include <QCoreApplication>
#include <QSettings>

#include <sys/prctl.h>

#include <cstdio>

namespace {

// The help and the version are results like the values: a full disk or a closed pipe ends
// them as it ends a get.
int show(const QByteArray &text, const QString &what)
{
    const qj::ctl::Written written = qj::ctl::writeOut(stdout, text);
    if (written.outcome == qj::ctl::Written::ReaderGone)
        qj::ctl::endAsReaderGone();
    if (written.outcome == qj::ctl::Written::Failed) {
        std::fprintf(stderr, "qj-ctl: %s\n",
                     qPrintable(qj::ctl::unwrittenText(
                         what + QStringLiteral(" to the standard output"), written.error)));
        return qj::ctl::kUnwritten;
    }
    return qj::ctl::kDone;
}

} // namespace

int main(int argc, char *argv[])
{
    // The link counts its waits in 1 ms ticks: wake the timer on time (see app/main.cpp).
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    qj::ctl::takeBrokenPipes();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QJ_VERSION));

    const qj::ctl::Parsed parsed = qj::ctl::parseRequest(app.arguments().mid(1));
    if (!parsed.request) {
        std::fprintf(stderr, "qj-ctl: %s\nTry 'qj-ctl --help'.\n", qPrintable(parsed.error));
        return qj::ctl::kBadInput;
    }
    const qj::ctl::Request &request = *parsed.request;
    if (request.command == qj::ctl::Request::Command::Help)
        return show(qj::ctl::usageText().toUtf8(), QStringLiteral("the help"));
    if (request.command == qj::ctl::Request::Command::Version)
        return show(QByteArrayLiteral("qj-ctl " QJ_VERSION "\n"), QStringLiteral("the version"));

    // The port numbers the panel has bound, read as the panel reads them.
    qj::PortBindings bindings;
    if (request.device.isEmpty()) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QLatin1String(qj::PanelSettings::kOrganization),
                           QLatin1String(qj::PanelSettings::kApplication));
        qj::PanelSettings(settings).loadBindings(bindings);
    }
    qj::ctl::Session session(request, std::move(bindings));
    const int status = session.run();
    if (session.readerGone())
        qj::ctl::endAsReaderGone();
    return status;
}
