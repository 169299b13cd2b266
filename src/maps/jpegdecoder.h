#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <atomic>

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
    // 1 for the full picture; 2, 4 or 8 for one that many times smaller on
    // each side (rounded up), decoded in a fraction of the time.
    int scaleDenominator = 1;
    // Looked at between rows: once set, the decoding stops and answers a
    // null picture. It may be set from another thread.
    const std::atomic<bool> *cancel = nullptr;
    // Only the header is read: the answer is a null picture, and `fullSize`
    // the picture's size.
    bool headerOnly = false;
};

// As above, with the options; `fullSize` gets the size of the full picture
// whatever the scale.
QImage decodeJpegFile(const QString &path, const JpegDecodeOptions &options,
                      QSize *fullSize = nullptr);
