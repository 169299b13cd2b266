#pragma once

// JPEG maps made for the tests with libjpeg itself, so that the JFIF header
// (present or not, its units and densities) is exactly what a test needs.

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

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

inline QByteArray makeJpeg(const JpegParams &spec, Painter paint = {})
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = spec.width;
    cinfo.image_height = spec.height;
    cinfo.input_components = spec.grey ? 1 : 3;
    cinfo.in_color_space = spec.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, spec.quality, TRUE);
    cinfo.write_JFIF_header = spec.jfif ? TRUE : FALSE;
    cinfo.density_unit = spec.units;
    cinfo.X_density = spec.xdens;
    cinfo.Y_density = spec.ydens;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(spec.width) * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < spec.width; ++x) {
            const QColor c = paint ? paint(x, y) : quadrants(x, y, spec.width, spec.height);
            if (spec.grey) {
                row[x] = JSAMPLE(qGray(c.rgb()));
            } else {
                row[3 * x] = JSAMPLE(c.red());
                row[3 * x + 1] = JSAMPLE(c.green());
                row[3 * x + 2] = JSAMPLE(c.blue());
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

// Whether two colours differ by at most `tolerance` in every channel.
inline bool near(QColor a, QColor b, int tolerance = 8)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace MapFixtures
