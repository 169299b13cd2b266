#include "mapfile.h"

#include "filelayer.h"
#include "quorerror.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

MapFile::OpenHook &openHook()
{
    static MapFile::OpenHook hook;
    return hook;
}

} // namespace

MapFile::MapFile(QString path) : m_path(std::move(path)) {}

MapFile::~MapFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void MapFile::setOpenHook(OpenHook hook)
{
    openHook() = std::move(hook);
}

int MapFile::open()
{
    constexpr int kFlags = O_RDONLY | O_CLOEXEC;
    if (openHook()) {
        if (const int err = openHook()(m_path, kFlags))
            return ioCodeFromErrno(err);
    }
    const int fd = FileLayer::openRegular(m_path, kFlags);
    if (fd < 0)
        return ioCodeFromErrno(errno);
    m_fd = fd;
    return 0;
}

qsizetype MapFile::read(char *buffer, qsizetype size, int &code)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            code = ioCodeFromErrno(errno);
            return -1;
        }
    }
}
