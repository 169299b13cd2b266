#pragma once

// JPEG maps made for the tests with the program's own encoder, so that the
// JFIF header (present or not, its units and densities) is exactly what a
// test needs.

#include <QByteArray>
#include <QColor>
#include <QImage>

#include "maps/jpegencoder.h"

#include <functional>

namespace MapFixtures {

struct JpegParams
{
    int width = 64;
    int height = 48;
    bool jfif = true;
    quint8 units = 1;
    quint16 xdens = 300;
    quint16 ydens = 300;
    bool grey = false;
    int quality = 95;
};

using Painter = std::function<QColor(int x, int y)>;

// Quadrants of flat colours, which survive the compression nearly unchanged.
inline QColor quadrants(int x, int y, int width, int height)
{
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!right && !bottom)
        return QColor(255, 0, 0);
    if (right && !bottom)
        return QColor(0, 255, 0);
    if (!right && bottom)
        return QColor(0, 0, 255);
    return QColor(255, 255, 255);
}

inline QByteArray makeJpeg(const JpegParams &params, Painter paint = {})
{
    JpegEncoding encoding;
    encoding.width = params.width;
    encoding.height = params.height;
    encoding.components = params.grey ? 1 : 3;
    encoding.jfif = params.jfif;
    encoding.units = params.units;
    encoding.xdens = params.xdens;
    encoding.ydens = params.ydens;
    encoding.quality = params.quality;
    return encodeJpeg(encoding, [&](int y, unsigned char *row) {
        for (int x = 0; x < params.width; ++x) {
            const QColor c = paint ? paint(x, y) : quadrants(x, y, params.width, params.height);
            if (params.grey) {
                row[x] = static_cast<unsigned char>(qGray(c.rgb()));
            } else {
                unsigned char *pixel = row + 3 * qsizetype(x);
                pixel[0] = static_cast<unsigned char>(c.red());
                pixel[1] = static_cast<unsigned char>(c.green());
                pixel[2] = static_cast<unsigned char>(c.blue());
            }
        }
    });
}

// Whether two colours differ by at most `tolerance` in every channel.
inline bool near(QColor a, QColor b, int tolerance = 8)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace MapFixtures
