#pragma once

namespace qj {

// Why a file could not be read or written, as the system said it (errno). The common errors
// have a sentence of their own in both languages (fileProblemText in params/texts.h); any other
// keeps the system's text and number.
struct FileProblem
{
    enum Kind { None, NotFound, PermissionDenied, IsADirectory, DiskFull, Other };

    Kind kind = None;
    bool writing = false; // a missing folder or a denied write reads differently from a read
    int systemError = 0;  // errno, for Other

    static FileProblem fromErrno(int error, bool writing);

    explicit operator bool() const { return kind != None; }
};

} // namespace qj
