#include "params/presetfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qj {

namespace {

constexpr int kTempNameTries = 16;    // a random name is taken only by a race; give up eventually
constexpr mode_t kNewFileMode = 0666; // as any editor creates a file; the umask narrows it

// A descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }
    // Closes now; a late write error (NFS, a full disk) shows here.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// errno of the first failure, 0 when all was written.
int writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC; // a device that takes nothing more
        done += n;
    }
    return 0;
}

// The file a path names, through any symbolic links, so that replacing it keeps the link.
QString resolvedTarget(const QString &path)
{
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops) // 40: the kernel's own limit
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

FileProblem writeStraight(const QString &path, const QByteArray &bytes)
{
    // Without O_NONBLOCK a pipe nobody reads would hold the window until someone does.
    Descriptor fd(::open(nativePath(path).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.ok())
        return FileProblem::fromErrno(errno, true);
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    if (const int error = writeAll(fd.get(), bytes))
        return FileProblem::fromErrno(error, true);
    if (fd.close() != 0)
        return FileProblem::fromErrno(errno, true);
    return {};
}

FileProblem replaceWhole(const QString &target, const struct stat *old, const QByteArray &bytes)
{
    QString temp;
    int fdNumber = -1;
    for (int i = 0; i < kTempNameTries && fdNumber < 0; ++i) {
        temp = target + QStringLiteral(".%1~").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                   QLatin1Char('0'));
        fdNumber = ::open(nativePath(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          kNewFileMode);
        if (fdNumber < 0 && errno != EEXIST)
            return FileProblem::fromErrno(errno, true);
    }
    if (fdNumber < 0)
        return FileProblem::fromErrno(EEXIST, true);
    Descriptor fd(fdNumber);
    const QByteArray tempPath = nativePath(temp);
    const auto fail = [&tempPath](int error) {
        ::unlink(tempPath.constData());
        return FileProblem::fromErrno(error, true);
    };
    if (old)
        ::fchmod(fd.get(),
                 old->st_mode & 07777); // the old file's permissions, as a save keeps them
    if (const int error = writeAll(fd.get(), bytes))
        return fail(error);
    if (::fsync(fd.get()) != 0)
        return fail(errno);
    if (fd.close() != 0)
        return fail(errno);
    if (::rename(tempPath.constData(), nativePath(target).constData()) != 0)
        return fail(errno);
    return {};
}

} // namespace

PresetFile::Contents PresetFile::read(const QString &path, qint64 limit)
{
    Contents out;
    // O_NONBLOCK: opening a pipe waits for a writer otherwise.
    Descriptor fd(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.ok()) {
        out.problem = FileProblem::fromErrno(errno, false);
        return out;
    }
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0) {
        out.problem = FileProblem::fromErrno(errno, false);
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.problem = FileProblem::fromErrno(EISDIR, false);
        return out;
    }
    if (S_ISREG(st.st_mode))
        out.size = st.st_size;
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

    const qint64 wanted = limit + 1;
    out.bytes.resize(static_cast<qsizetype>(wanted));
    qint64 got = 0;
    while (got < wanted) {
        const ssize_t n =
            ::read(fd.get(), out.bytes.data() + got, static_cast<size_t>(wanted - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.problem = FileProblem::fromErrno(errno, false);
            out.bytes.clear();
            return out;
        }
        if (n == 0)
            break;
        got += n;
    }
    out.bytes.resize(static_cast<qsizetype>(got));
    return out;
}

FileProblem PresetFile::write(const QString &path, const QByteArray &bytes)
{
    const QString target = resolvedTarget(path);
    struct stat st
    {
    };
    if (::stat(nativePath(target).constData(), &st) != 0)
        return errno == ENOENT ? replaceWhole(target, nullptr, bytes)
                               : FileProblem::fromErrno(errno, true);
    if (S_ISDIR(st.st_mode))
        return FileProblem::fromErrno(EISDIR, true);
    if (!S_ISREG(st.st_mode))
        return writeStraight(target, bytes);
    return replaceWhole(target, &st, bytes);
}

} // namespace qj
