#include "filelayer.h"

#include "quorerror.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileLayer {

namespace {

// The longest file name the filesystems hold, in bytes, and what the
// temporary name of an atomic write adds to the target's: a dot before it,
// a dot and six random characters after.
constexpr qsizetype kNameBytes = 255;
constexpr qsizetype kTempAdds = 8;

FaultHook &faultHook()
{
    static FaultHook hook;
    return hook;
}

int injected(Op op, const QString &path)
{
    const FaultHook &hook = faultHook();
    return hook ? hook(op, path) : 0;
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString directoryOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

// A missing directory on the way to a file is "path not found", as on the
// system the file formats come from; a missing file itself is "file not found".
int codeForMissing(const QString &path)
{
    struct stat st;
    const QByteArray dir = native(directoryOf(path));
    if (::stat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return IoCode::PathNotFound;
    return IoCode::FileNotFound;
}

int codeFor(int err, const QString &path)
{
    if (err == ENOENT)
        return codeForMissing(path);
    return ioCodeFromErrno(err);
}

int openFile(const QString &path, int flags, Op op)
{
    if (const int err = injected(op, path)) {
        errno = err;
        return -1;
    }
    return openRegular(path, flags);
}

bool writeFully(int fd, const char *data, qsizetype size, const QString &path)
{
    if (const int err = injected(Op::Write, path)) {
        errno = err;
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

void setFaultHook(FaultHook hook)
{
    faultHook() = std::move(hook);
}

int probeReadWrite(const QString &path)
{
    const int fd = openFile(path, O_RDWR, Op::OpenReadWrite);
    if (fd < 0)
        return codeFor(errno, path);
    ::close(fd);
    return 0;
}

int tryReadAll(const QString &path, QByteArray &out, bool openForWriting)
{
    return tryReadAtMost(path, out, -1, openForWriting);
}

int tryReadAtMost(const QString &path, QByteArray &out, qint64 maxBytes, bool openForWriting)
{
    const int fd = openFile(path, openForWriting ? O_RDWR : O_RDONLY,
                            openForWriting ? Op::OpenReadWrite : Op::OpenRead);
    if (fd < 0)
        return codeFor(errno, path);
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = ioCodeFromErrno(errno);
            ::close(fd);
            return code;
        }
        if (n == 0)
            break;
        data.append(buffer, n);
        if (maxBytes >= 0 && data.size() > maxBytes)
            break;
    }
    ::close(fd);
    out = std::move(data);
    return 0;
}

int tryOpenRead(const QString &path, QFile &file, qint64 &size)
{
    const int fd = openFile(path, O_RDONLY, Op::OpenRead);
    if (fd < 0)
        return codeFor(errno, path);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int code = ioCodeFromErrno(errno);
        ::close(fd);
        return code;
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return ioCodeFromErrno(EIO);
    }
    size = st.st_size;
    return 0;
}

QByteArray readAll(const QString &path, bool openForWriting)
{
    QByteArray data;
    if (const int code = tryReadAll(path, data, openForWriting))
        throwIoError(code);
    return data;
}

void writeAtomic(const QString &path, const QByteArray &content)
{
    const QString dir = directoryOf(path);
    // The temporary name must fit where the target's does: a name of 250
    // bytes, legal on its own, would pass the 255 of the filesystem once
    // the dot and the random suffix are added.
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    while (native(name).size() > kNameBytes - kTempAdds)
        name.chop(1);
    // Half an emoji would become a '?' of its own.
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    QByteArray tmpl = native(dir + QStringLiteral("/.") + name + QStringLiteral(".XXXXXX"));

    int fd = -1;
    if (const int err = injected(Op::CreateTemp, path))
        errno = err;
    else
        fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        throwIoError(codeFor(errno, path));

    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmpl.constData());
        throwIoError(codeFor(err, path));
    };

    if (!writeFully(fd, content.constData(), content.size(), path))
        fail(errno);
    if (::fsync(fd) != 0 && errno != EINVAL)
        fail(errno);

    // Keep the permissions of the file being replaced; a new file gets the
    // usual ones.
    struct stat st;
    mode_t mode;
    if (::stat(native(path).constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.constData());
        throwIoError(codeFor(err, path));
    }

    int err = injected(Op::Rename, path);
    if (err == 0 && ::rename(tmpl.constData(), native(path).constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmpl.constData());
        throwIoError(codeFor(err, path));
    }
}

int removeFile(const QString &path)
{
    if (const int err = injected(Op::Remove, path))
        return codeFor(err, path);
    if (::unlink(native(path).constData()) != 0)
        return codeFor(errno, path);
    return 0;
}

int renameFile(const QString &from, const QString &to)
{
    if (const int err = injected(Op::Rename, from))
        return codeFor(err, from);
    struct stat st;
    if (::lstat(native(to).constData(), &st) == 0)
        return IoCode::AccessDenied;
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        return codeFor(errno, from);
    return 0;
}

int makeDir(const QString &path)
{
    if (const int err = injected(Op::MakeDir, path))
        return codeFor(err, path);
    if (::mkdir(native(path).constData(), 0777) != 0)
        return codeFor(errno, path);
    return 0;
}

bool fileExists(const QString &path)
{
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

int openRegular(const QString &path, int flags)
{
    int fd;
    do {
        fd = ::open(native(path).constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A socket cannot be opened at all; it is refused as the other
        // special files are.
        if (errno == ENXIO)
            errno = EACCES;
        return -1;
    }
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = EACCES;
    // Reads of a regular file never wait anyway; the flag goes so that the
    // descriptor behaves as an ordinary one for whoever reads it.
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        err = errno;
    if (err != 0) {
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

} // namespace FileLayer
