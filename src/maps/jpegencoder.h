#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

// Maps written as JPEG with libjpeg-turbo, the JFIF header (or its absence)
// set exactly: the example project's map, and the maps of the tests and
// benchmarks.

struct JpegEncoding
{
    int width = 0;
    int height = 0;
    // 1 grey, 3 RGB, 4 CMYK (stored with the Adobe marker's inverted inks).
    int components = 3;
    bool jfif = true;
    // 0 no units, 1 dots per inch, 2 dots per centimetre.
    quint8 units = 1;
    quint16 xdens = 300;
    quint16 ydens = 300;
    int quality = 95;
};

// Fills row `y`: width × components samples. Rows come in order, one at a
// time, so that a large map never needs to be held whole.
using JpegRowSource = std::function<void(int y, unsigned char *row)>;

// The JPEG bytes; empty when the encoder refuses the parameters.
QByteArray encodeJpeg(const JpegEncoding &encoding, const JpegRowSource &rows);
// Streams the JPEG into a file; false when it cannot be written.
bool encodeJpegFile(const QString &path, const JpegEncoding &encoding, const JpegRowSource &rows);
// A picture in RGB, at the same density both ways in dots per inch.
QByteArray encodeJpegImage(const QImage &image, quint16 dotsPerInch, int quality);
