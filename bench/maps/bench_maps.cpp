// Map opening speed. Run: bench_maps [--benchmark_repetitions=N]
// The djpeg program of libjpeg-turbo (package libjpeg-turbo-progs) must be on
// the path; its decode of the same file, written to /dev/null, is the yardstick.

#include "data/appstate.h"
#include "data/filelayer.h"
#include "maps/calibration.h"
#include "maps/jpegdecoder.h"
#include "maps/tquorpla.h"
#include "platform/fakeplatform.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

extern char **environ;

namespace {

constexpr int kWidth = 12000;
constexpr int kHeight = 9000;
constexpr int kDotsPerInch = 300;
constexpr int kQuality = 85;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

QString g_mapPath;

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

double residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / kBytesPerMegabyte;
}

// A topographic-looking scan: paper white, contour lines, a kilometre grid,
// roads and some texture, so that it compresses like a real map.
void mapRow(int y, std::vector<JSAMPLE> &row)
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
        row[3 * x] = JSAMPLE(qMax(0, r - int(noise)));
        row[3 * x + 1] = JSAMPLE(qMax(0, g - int(noise)));
        row[3 * x + 2] = JSAMPLE(qMax(0, b - int(noise)));
    }
}

void writeMap(const QString &path)
{
    FILE *out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        qFatal("cannot write %s", qPrintable(path));
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = kDotsPerInch;
    cinfo.Y_density = kDotsPerInch;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(kWidth) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        mapRow(int(cinfo.next_scanline), row);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
}

// The map is written by a child process, so that its buffers do not count
// in this process's peak memory.
void writeMapInChild(const QString &path)
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

// Large pages backing this process's memory.
double largePageMegabytes()
{
    QFile smaps(QStringLiteral("/proc/self/smaps_rollup"));
    if (!smaps.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.startsWith("AnonHugePages:"))
            return line.mid(14).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void BM_FirstOpening(benchmark::State &state)
{
    const double before = residentMegabytes();
    double largePages = 0;
    for (auto _ : state) {
        MapImageCache cache;
        QImage image = cache.load(g_mapPath);
        benchmark::DoNotOptimize(image.constBits());
        largePages = largePageMegabytes();
    }
    state.counters["large_pages_MB"] = largePages;
    state.counters["image_MB"] = double(qsizetype(kWidth) * kHeight * 3) / kBytesPerMegabyte;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

// The decoder alone, on the file already in memory.
void BM_DecodeOnly(benchmark::State &state)
{
    QFile file(g_mapPath);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        QImage image = decodeJpegData(bytes);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Reading the file whole, as the program's file layer does.
void BM_ReadFile(benchmark::State &state)
{
    for (auto _ : state) {
        QByteArray bytes = FileLayer::readAll(g_mapPath);
        benchmark::DoNotOptimize(bytes.constData());
    }
}

void BM_Djpeg(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(g_mapPath);
    char *argv[] = {const_cast<char *>("djpeg"), const_cast<char *>("-outfile"),
                    const_cast<char *>("/dev/null"), const_cast<char *>(path.constData()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("djpeg not found (package libjpeg-turbo-progs)");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("djpeg failed");
            return;
        }
    }
}

// The whole window: first opening of a calibrated map, then coming back to
// it from the main window while the file is unchanged.
struct WindowFixture
{
    AppState state;
    FakePlatform platform;
    QMainWindow main;
    std::unique_ptr<TQuorpla> map;

    WindowFixture()
    {
        QFile cal(calibrationFileName(g_mapPath));
        cal.open(QIODevice::WriteOnly);
        cal.write("31\r\nU\r\nED50\r\n0\r\n500000\r\n0\r\n5000000\r\n12000\r\n525400\r\n"
                  "9000\r\n4980950\r\n0\r\n500000\r\n9000\r\n4980950\r\n");
        cal.close();
        main.show();
        map = std::make_unique<TQuorpla>(state, platform);
    }
};

void BM_FirstOpeningInTheWindow(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        WindowFixture f;
        state.ResumeTiming();
        f.map->showMap(g_mapPath);
        QApplication::setActiveWindow(f.map.get());
        state.PauseTiming();
        if (!f.platform.errors.isEmpty())
            state.SkipWithError(qPrintable(f.platform.errors.first()));
        f.map.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

void BM_Reactivation(benchmark::State &state)
{
    WindowFixture f;
    f.map->showMap(g_mapPath);
    QApplication::setActiveWindow(f.map.get());
    f.map->C_Bonne->click(); // the labels make the displayed picture a copy
    for (auto _ : state) {
        QApplication::setActiveWindow(&f.main);
        QApplication::setActiveWindow(f.map.get());
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    state.counters["decodes"] = f.map->imageCache().decodeCount();
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

} // namespace

BENCHMARK(BM_FirstOpening)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Djpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FirstOpeningInTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Reactivation)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    g_mapPath = dir.filePath(QStringLiteral("carte.jpg"));
    writeMapInChild(g_mapPath);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("map: %d x %d at %d dpi, %.1f MB of JPEG\n", kWidth, kHeight, kDotsPerInch,
                QFile(g_mapPath).size() / kBytesPerMegabyte);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
