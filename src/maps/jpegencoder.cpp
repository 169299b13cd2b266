#include "jpegencoder.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The library's own handler ends the process; ours gives up the image.
[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

J_COLOR_SPACE colourSpace(int components)
{
    switch (components) {
    case 1:
        return JCS_GRAYSCALE;
    case 4:
        return JCS_CMYK;
    default:
        return JCS_RGB;
    }
}

// Compresses into a destination the caller has set on `cinfo`. The rows are
// filled before setjmp's frame is left, so nothing of C++ lives across it
// but the plain buffer.
bool compress(jpeg_compress_struct &cinfo, ErrorManager &errors, const JpegEncoding &encoding,
              const JpegRowSource &rows, unsigned char *row)
{
    if (setjmp(errors.jump))
        return false;
    cinfo.image_width = JDIMENSION(encoding.width);
    cinfo.image_height = JDIMENSION(encoding.height);
    cinfo.input_components = encoding.components;
    cinfo.in_color_space = colourSpace(encoding.components);
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, encoding.quality, TRUE);
    cinfo.write_JFIF_header = encoding.jfif ? TRUE : FALSE;
    cinfo.density_unit = encoding.units;
    cinfo.X_density = encoding.xdens;
    cinfo.Y_density = encoding.ydens;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        rows(int(cinfo.next_scanline), row);
        JSAMPROW rowPointers[1] = {row};
        jpeg_write_scanlines(&cinfo, rowPointers, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

bool validSize(const JpegEncoding &encoding)
{
    return encoding.width > 0 && encoding.height > 0 &&
           (encoding.components == 1 || encoding.components == 3 || encoding.components == 4);
}

} // namespace

QByteArray encodeJpeg(const JpegEncoding &encoding, const JpegRowSource &rows)
{
    if (!validSize(encoding))
        return {};
    std::vector<unsigned char> row(size_t(encoding.width) * size_t(encoding.components));
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = errorExit;
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    const bool done = compress(cinfo, errors, encoding, rows, row.data());
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes;
    if (done)
        bytes = QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

bool encodeJpegFile(const QString &path, const JpegEncoding &encoding, const JpegRowSource &rows)
{
    if (!validSize(encoding))
        return false;
    FILE *out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    std::vector<unsigned char> row(size_t(encoding.width) * size_t(encoding.components));
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = errorExit;
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    const bool done = compress(cinfo, errors, encoding, rows, row.data());
    jpeg_destroy_compress(&cinfo);
    const bool closed = std::fclose(out) == 0;
    return done && closed;
}

QByteArray encodeJpegImage(const QImage &image, quint16 dotsPerInch, int quality)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    JpegEncoding encoding;
    encoding.width = rgb.width();
    encoding.height = rgb.height();
    encoding.xdens = dotsPerInch;
    encoding.ydens = dotsPerInch;
    encoding.quality = quality;
    const size_t rowBytes = size_t(rgb.width()) * 3;
    return encodeJpeg(encoding, [&rgb, rowBytes](int y, unsigned char *row) {
        std::memcpy(row, rgb.constScanLine(y), rowBytes);
    });
}
