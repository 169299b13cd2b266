#include "recordfile.h"

#include "filelayer.h"
#include "quorerror.h"

QByteArray load_record_file(const QString &path, int blockSize, const QByteArray &defaults)
{
    Q_ASSERT(defaults.size() == blockSize);
    if (FileLayer::probeReadWrite(path) != 0)
        save_record_file_create(path, defaults);

    const QByteArray content = FileLayer::readAll(path, /*openForWriting=*/true);
    if (content.size() < blockSize)
        throwIoError(IoCode::ReadBeyondEnd);
    return content.left(blockSize);
}

void save_record_file_overwrite(const QString &path, const QByteArray &block)
{
    QByteArray content = FileLayer::readAll(path, /*openForWriting=*/true);
    if (content.size() < block.size())
        content.resize(block.size());
    content.replace(0, block.size(), block);
    FileLayer::writeAtomic(path, content);
}

void save_record_file_create(const QString &path, const QByteArray &block)
{
    // The system refuses to truncate a read-only or locked file; an atomic
    // rename would replace it anyway, so ask first.
    if (FileLayer::fileExists(path)) {
        if (const int code = FileLayer::probeReadWrite(path))
            throwIoError(code);
    }
    FileLayer::writeAtomic(path, block);
}
