// Decodes one map file the way the map window does, and nothing else: the
// whole-process counterpart of "djpeg -outfile /dev/null" for bench_maps.
// Run: decode_map FILE

#include "data/quorerror.h"
#include "maps/jpegdecoder.h"

#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_map FILE\n");
        return 2;
    }
    try {
        const QImage image = decodeJpegFile(QFile::decodeName(argv[1]));
        return image.isNull() ? 1 : 0;
    } catch (const QuorError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
