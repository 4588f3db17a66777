#pragma once

#include "params/texts.h"

#include <QString>

namespace qj::sim {

// Why qj-sim did not come up, with its own words where it gave any, for the person who asked
// for the demo mode.
struct SimStartFailure
{
    enum Kind {
        None,
        AlreadyRunning,
        NotFound,      // no program at that path
        NotExecutable, // there, but the system will not run it
        NotStarted,    // the system's other reasons; detail holds Qt's text
        Ended,         // it ran and ended before naming its pseudo-terminal
        Crashed,       // it ran and was killed by a signal
        Silent,        // still running, but named no pseudo-terminal in time
    };

    Kind kind = None;
    QString program;
    int exitCode = 0;
    QString output; // what it wrote on its standard error, trimmed
    QString detail;

    explicit operator bool() const { return kind != None; }
    // The whole message, in the person's language; qj-sim's own words stay as it wrote them.
    QString text(Language language) const;
};

} // namespace qj::sim
