#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>

// Map images are decoded with libjpeg-turbo itself: its own error number
// goes into "Erreur JPEG #%d", and a hundred-megapixel scan is decoded
// straight into the rows of the image with no intermediate copy.

// The decoded picture in Format_RGB888, of the image's own width and height.
// Fails with "Erreur JPEG #%d" (the decoder's message number) when the data
// is not a complete JPEG image; the decoder never ends the process.
QImage decodeJpegData(const QByteArray &data);

// Fails with "Impossible d'ouvrir le fichier %s" when the file cannot be read.
QImage decodeJpegFile(const QString &path);

struct JpegDecodeOptions
{
    // Looked at between rows: once set, the decoding stops and answers a
    // null picture. It may be set from another thread.
    const std::atomic<bool> *cancel = nullptr;
    // Only the header is read: the answer is a null picture, and `fullSize`
    // the picture's size.
    bool headerOnly = false;
    // Called on the decoding thread once the picture's memory is there,
    // before its first row: a copy that shares the pixels, for another
    // thread to show the rows already decoded. Nothing but reading those
    // rows may be done with it while the decoding goes on.
    std::function<void(const QImage &picture)> started;
    // Called on the decoding thread after each step with how many rows, from
    // the top, are complete and will not be written again.
    std::function<void(int rows)> rowsDone;
};

// As above, with the options; `fullSize` gets the picture's size.
QImage decodeJpegFile(const QString &path, const JpegDecodeOptions &options,
                      QSize *fullSize = nullptr);
