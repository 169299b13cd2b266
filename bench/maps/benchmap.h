#pragma once

#include "common/benchmemory.h"

// The scan the map benchmarks work on: 12000 x 9000 pixels at 300 dots per
// inch (a 1:25 000 sheet), or the size QUOR_BENCH_MAP gives ("17000x12750"),
// written as a JPEG by a child process.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "maps/jpegencoder.h"

namespace BenchMap {

inline int kWidth = 12000;
inline int kHeight = 9000;
constexpr int kDotsPerInch = 300;
constexpr int kQuality = 85;
// 1:25 000 at 300 dots per inch: a pixel is 25400 / 12000 metres.
constexpr double kEastingPerPixel = 25400.0 / 12000;
constexpr double kNorthingPerPixel = 19050.0 / 9000;

// The size asked for by QUOR_BENCH_MAP, if any.
inline void chooseSize()
{
    const QByteArray size = qgetenv("QUOR_BENCH_MAP");
    const QList<QByteArray> sides = size.split('x');
    if (sides.size() == 2 && sides[0].toInt() > 0 && sides[1].toInt() > 0) {
        kWidth = sides[0].toInt();
        kHeight = sides[1].toInt();
    }
}

// Lets the window show the first `rows` rows of a scan decoding in the
// background.
template <typename Session>
void waitForRows(const Session &session, int rows)
{
    while (session.isDecoding() && session.picture().readyRows() < rows) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
}

// Its calibration, north up.
inline QByteArray calibration()
{
    const QByteArray right = QByteArray::number(500000 + std::lround(kWidth * kEastingPerPixel));
    const QByteArray bottom =
        QByteArray::number(5000000 - std::lround(kHeight * kNorthingPerPixel));
    const QByteArray w = QByteArray::number(kWidth), h = QByteArray::number(kHeight);
    return "31\r\nU\r\nED50\r\n0\r\n500000\r\n0\r\n5000000\r\n" + w + "\r\n" + right +
           "\r\n" + h + "\r\n" + bottom + "\r\n0\r\n500000\r\n" + h + "\r\n" + bottom + "\r\n";
}

// Lets the window take the full picture of a scan decoding in the background.
template <typename Session>
void waitForFullPicture(const Session &session)
{
    while (session.isDecoding()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        usleep(200);
    }
}

// A topographic-looking scan: paper white, contour lines, a kilometre grid,
// roads and some texture, so that it compresses like a real map.
inline void mapRow(int y, unsigned char *row)
{
    for (int x = 0; x < kWidth; ++x) {
        const double h = 400 * std::sin(x * 0.0011) * std::cos(y * 0.0013) +
                         150 * std::sin((x + 2 * y) * 0.0041);
        int r = 250, g = 248, b = 240;
        if (std::fmod(std::fabs(h), 20.0) < 1.2) {
            r = 170, g = 110, b = 60; // contour
        }
        if (x % 472 < 2 || y % 472 < 2) {
            r = 40, g = 60, b = 200; // kilometre grid at 300 dpi, 1:25 000
        }
        if (std::abs((x - y / 2) % 1500) < 5) {
            r = 220, g = 30, b = 30; // road
        }
        const unsigned noise = ((unsigned(x) * 1103515245u + unsigned(y) * 12345u) >> 16) & 7u;
        row[3 * x] = static_cast<unsigned char>(qMax(0, r - int(noise)));
        row[3 * x + 1] = static_cast<unsigned char>(qMax(0, g - int(noise)));
        row[3 * x + 2] = static_cast<unsigned char>(qMax(0, b - int(noise)));
    }
}

inline void writeMap(const QString &path)
{
    JpegEncoding encoding;
    encoding.width = kWidth;
    encoding.height = kHeight;
    encoding.xdens = kDotsPerInch;
    encoding.ydens = kDotsPerInch;
    encoding.quality = kQuality;
    if (!encodeJpegFile(path, encoding, mapRow))
        qFatal("cannot write %s", qPrintable(path));
}

// The map is written by a child process, so that its buffers do not count
// in this process's peak memory.
inline void writeMapInChild(const QString &path)
{
    const pid_t pid = fork();
    if (pid == 0) {
        writeMap(path);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("map generation failed");
}

using BenchMemory::resetPeak;
using BenchMemory::statusMegabytes;

} // namespace BenchMap
