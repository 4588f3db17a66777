#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace qj::ctl {

// Results go where the caller sends them, and a result that cannot be written is a failure of
// its own (exit status 4), never a silent success. A reader that stops reading early
// (`qj-ctl get | head -1`) is no failure: qj-ctl then ends quietly, by SIGPIPE, as Unix tools
// end.
struct Written
{
    enum Outcome { Done, ReaderGone, Failed };
    Outcome outcome = Done;
    int error = 0; // errno of a failed write
};

// At start: a write into a pipe nobody reads returns EPIPE instead of ending the program in the
// middle of its work, so that the serial port is still closed as usual.
void takeBrokenPipes();

// Writes `bytes` whole and flushes them.
Written writeOut(std::FILE *to, const QByteArray &bytes);

// "cannot write WHAT: REASON", one line.
QString unwrittenText(const QString &what, int error);

// Ends the program by SIGPIPE, as a writer whose reader went away ends; whatever the
// disposition and mask the program inherited.
[[noreturn]] void endAsReaderGone();

} // namespace qj::ctl
