#include "panel/fileproblem.h"

#include <cerrno>
#include <cstring>

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

QString FileProblem::text(bool chinese) const
{
    switch (kind) {
    case None:
        break;
    case NotFound:
        if (writing)
            return chinese ? QStringLiteral("文件夹不存在。")
                           : QStringLiteral("the folder does not exist.");
        return chinese ? QStringLiteral("文件不存在。")
                       : QStringLiteral("the file does not exist.");
    case PermissionDenied:
        if (writing)
            return chinese ? QStringLiteral("没有在这里写入的权限。")
                           : QStringLiteral("you have no permission to write there.");
        return chinese ? QStringLiteral("没有读取这个文件的权限。")
                       : QStringLiteral("you have no permission to read this file.");
    case IsADirectory:
        return chinese ? QStringLiteral("这是一个文件夹，不是文件。")
                       : QStringLiteral("this is a folder, not a file.");
    case DiskFull:
        return chinese ? QStringLiteral("磁盘已满。") : QStringLiteral("the disk is full.");
    case Other:
        // Rare enough to leave in the system's words, with the number to look up.
        return (chinese ? QStringLiteral("系统错误 %1（%2）。")
                        : QStringLiteral("system error %1 (%2)."))
            .arg(systemError)
            .arg(QString::fromLocal8Bit(std::strerror(systemError)));
    }
    return {};
}

} // namespace qj
