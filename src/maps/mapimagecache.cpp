#include "mapimagecache.h"

#include <QFile>

#include <sys/stat.h>

namespace {

qint64 nanoseconds(const struct timespec &t)
{
    constexpr qint64 kNsPerSecond = 1'000'000'000;
    return static_cast<qint64>(t.tv_sec) * kNsPerSecond + t.tv_nsec;
}

} // namespace

FileStamp fileStamp(const QString &path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.size = st.st_size;
    stamp.modifiedNs = nanoseconds(st.st_mtim);
    stamp.changedNs = nanoseconds(st.st_ctim);
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}

bool MapImageCache::isCurrent(const QString &path) const
{
    if (m_image.isNull() || path != m_path)
        return false;
    const FileStamp now = fileStamp(path);
    return now.isValid() && now == m_stamp;
}

QImage MapImageCache::load(const QString &path)
{
    if (isCurrent(path))
        return m_image;
    // The stamp is taken before reading, so a file changed meanwhile is read
    // again next time.
    const FileStamp stamp = fileStamp(path);
    QImage image = decodeJpegFile(path);
    ++m_decodeCount;
    m_path = path;
    m_stamp = stamp;
    m_image = image;
    return image;
}

void MapImageCache::store(const QString &path, const FileStamp &stamp, const QImage &image)
{
    ++m_decodeCount;
    m_path = path;
    m_stamp = stamp;
    m_image = image;
}

void MapImageCache::clear()
{
    m_path.clear();
    m_stamp = FileStamp();
    m_image = QImage();
}
