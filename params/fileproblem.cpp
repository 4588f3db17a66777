#include "params/fileproblem.h"

#include <cerrno>

namespace qj {

FileProblem FileProblem::fromErrno(int error, bool writing)
{
    Kind kind = Other;
    switch (error) {
    case 0:
        kind = None;
        break;
    case ENOENT:
    case ENOTDIR: // a part of the path that should be a folder is a file
        kind = NotFound;
        break;
    case EACCES:
    case EPERM:
        kind = PermissionDenied;
        break;
    case EISDIR:
        kind = IsADirectory;
        break;
    case ENOSPC:
    case EDQUOT: // the person's share of the disk is used up: full, as far as they can tell
        kind = DiskFull;
        break;
    default:
        break;
    }
    return {kind, writing, error};
}

} // namespace qj
