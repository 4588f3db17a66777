#include "ctl/output.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <cerrno>

namespace qj::ctl {

void takeBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

Written writeOut(std::FILE *to, const QByteArray &bytes)
{
    errno = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    const bool ok = std::fwrite(bytes.constData(), 1, size, to) == size && std::fflush(to) == 0;
    if (ok)
        return {};
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(to);
    return {error == EPIPE ? Written::ReaderGone : Written::Failed, error};
}

QString unwrittenText(const QString &what, int error)
{
    return QStringLiteral("cannot write %1: %2")
        .arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

void endAsReaderGone()
{
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
    std::raise(SIGPIPE);
    std::_Exit(128 + SIGPIPE); // the shell's status for it, should the signal not end us
}

} // namespace qj::ctl
