#pragma once

#include <QString>

namespace qj {

// Why a file could not be read or written, told in the person's language. The common system
// errors have their own sentence; any other keeps the system's text.
struct FileProblem
{
    enum Kind { None, NotFound, PermissionDenied, IsADirectory, DiskFull, Other };

    Kind kind = None;
    bool writing = false; // a missing folder or a denied write reads differently from a read
    int systemError = 0;  // errno, for Other

    static FileProblem fromErrno(int error, bool writing);

    explicit operator bool() const { return kind != None; }
    // A sentence that completes "Cannot open the preset file "…": ".
    QString text(bool chinese) const;
};

} // namespace qj
