#pragma once

#include "jpegdecoder.h"

#include <QImage>
#include <QString>
#include <QtGlobal>

// What identifies a file's content without reading it.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp &other) const = default;
};

FileStamp fileStamp(const QString &path);

// Keeps the decoded picture of the last map, so that coming back to the map
// window does not decode an unchanged file again. A file whose size, times or
// identity changed is decoded again, so the picture is always the file's
// content.
class MapImageCache
{
public:
    // The picture of the file, decoded unless the cached one is current.
    // On failure the cache keeps what it had.
    QImage load(const QString &path);
    // Whether load() would answer without decoding.
    bool isCurrent(const QString &path) const;

    const QImage &image() const { return m_image; }
    const QString &path() const { return m_path; }
    void clear();

    // Keeps a picture decoded elsewhere, from the file as `stamp` found it
    // before the decoding began.
    void store(const QString &path, const FileStamp &stamp, const QImage &image);

    // How many times a file was decoded.
    int decodeCount() const { return m_decodeCount; }

private:
    QString m_path;
    FileStamp m_stamp;
    QImage m_image;
    int m_decodeCount = 0;
};
