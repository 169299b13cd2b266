// Map opening speed. Run: bench_maps [--benchmark_repetitions=N]
// The djpeg program of libjpeg-turbo (package libjpeg-turbo-progs) must be on
// the path; its decode of the same file, written to /dev/null, is the yardstick.

#include "data/appstate.h"
#include "data/filelayer.h"
#include "maps/calibration.h"
#include "maps/jpegdecoder.h"
#include "maps/mapprint.h"
#include "maps/mapsession.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "platform/fakeplatform.h"

#include "benchmap.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPrinter>
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

using namespace BenchMap;

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
        cal.write(kCalibration);
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
    f.map->VerifCalibra->C_Bonne->click(); // the labels make the displayed picture a copy
    for (auto _ : state) {
        QApplication::setActiveWindow(&f.main);
        QApplication::setActiveWindow(f.map.get());
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    state.counters["decodes"] = f.map->session().imageCache().decodeCount();
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

// The peak resident memory since the last reset of the mark, in megabytes.
double highWaterMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetHighWater()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// "Imprimer" on the map with its kilometre labels, into a PDF: the clean
// picture and the displayed one are in memory; printing may add at most
// 60 MB to them.
void BM_PrintMap(benchmark::State &state)
{
    WindowFixture f;
    f.map->showMap(g_mapPath);
    QApplication::setActiveWindow(f.map.get());
    f.map->VerifCalibra->C_Bonne->click();
    const MapSession &session = f.map->session();
    QTemporaryDir out;
    double added = 0;
    double before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out.filePath(QStringLiteral("carte.pdf")));
        f.platform.printAnswers.append(true);
        resetHighWater();
        before = residentMegabytes();
        state.ResumeTiming();
        printMap(f.platform, f.map.get(), printer, session.picture(), session.xdens(),
                 session.ydens());
        state.PauseTiming();
        added = std::max(added, highWaterMegabytes() - before);
        state.ResumeTiming();
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    const double picture = double(session.picture().sizeInBytes()) / kBytesPerMegabyte;
    state.counters["pictures_MB"] =
        picture + double(session.cleanImage().sizeInBytes()) / kBytesPerMegabyte;
    state.counters["rss_before_MB"] = before;
    state.counters["added_by_printing_MB"] = added;
}

} // namespace

BENCHMARK(BM_PrintMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
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
