// Exporting a 12000 x 9000 scan with a route drawn across it to GeoTIFF,
// MBTiles and KMZ, with the time and the peak memory of each over the
// displayed picture, GDAL's libraries included (loaded once beforehand).
// Run: bench_mapexport [--benchmark_repetitions=N]

#include "data/moduleloader.h"
#include "mapexport/mapexport.h"
#include "maps/jpegdecoder.h"

#include "benchmap.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace BenchMap;

constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
constexpr int kRouteWidth = 6;

QString g_mapPath;
// The resident size with the picture decoded, before GDAL is loaded, and
// once it is.
double g_baseline = 0;
double g_loaded = 0;
QString g_outputDir;

const QList<QPoint> kWaypoints = {{1000, 1000}, {4000, 3500}, {7000, 3000}, {11000, 8000}};

// The displayed picture: the scan with a route drawn across it.
const QImage &displayedPicture()
{
    static const QImage picture = [] {
        QImage decoded = decodeJpegFile(g_mapPath);
        QPainter painter(&decoded);
        painter.setPen(QPen(Qt::red, kRouteWidth));
        painter.drawPolyline(kWaypoints.constData(), int(kWaypoints.size()));
        return decoded;
    }();
    return picture;
}

MapExport::Request benchRequest(MapExport::Format format)
{
    MapExport::Request r;
    r.picture = displayedPicture();
    ComputeTransform(r.transform, {0, 0, 500000, 5000000}, {12000, 9000, 525400, 4980950},
                     {0, 9000, 500000, 4980950});
    r.grid = {31, QLatin1Char('U'), QStringLiteral("ED50")};
    r.format = format;
    r.destination = g_outputDir + QStringLiteral("/carte.") + MapExport::suffix(format);
    r.name = QStringLiteral("Traversée");
    return r;
}

void exportBench(benchmark::State &state, MapExport::Request request)
{
    double peak = 0;
    qint64 progressCalls = 0;
    for (auto _ : state) {
        QFile::remove(request.destination);
        resetPeak();
        MapExport::exportMap(request, [&](qint64, qint64) {
            ++progressCalls;
            return true;
        });
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["picture_MB"] = double(request.picture.sizeInBytes()) / kBytesPerMegabyte;
    state.counters["peak_over_picture_MB"] = peak - g_baseline;
    state.counters["peak_over_gdal_MB"] = peak - g_loaded;
    state.counters["file_MB"] = QFileInfo(request.destination).size() / kBytesPerMegabyte;
    state.counters["progress_calls"] =
        benchmark::Counter(double(progressCalls), benchmark::Counter::kAvgIterations);
}

void BM_GeoTiff(benchmark::State &state)
{
    exportBench(state, benchRequest(MapExport::Format::GeoTiff));
}

void BM_MBTiles(benchmark::State &state)
{
    exportBench(state, benchRequest(MapExport::Format::MBTiles));
}

// At full resolution the scan needs more tiles than receivers read: the
// first coarser resolution that fits, as the dialog offers it.
void BM_Kmz(benchmark::State &state)
{
    MapExport::Request request = benchRequest(MapExport::Format::Kmz);
    const int fullTiles = MapExport::kmzTiles(request);
    request.kmzReduction = MapExport::fittingKmzReduction(request);
    state.counters["tiles_at_full_resolution"] = fullTiles;
    state.counters["reduction"] = request.kmzReduction;
    state.counters["tiles"] = MapExport::kmzTiles(request);
    exportBench(state, request);
}

// The same at full resolution on the route's area with a margin of 1 km.
void BM_KmzRouteArea(benchmark::State &state)
{
    MapExport::Request request = benchRequest(MapExport::Format::Kmz);
    request.extent =
        MapExport::routeExtent(request.picture.size(), request.transform, kWaypoints, 1.0);
    state.counters["tiles"] = MapExport::kmzTiles(request);
    exportBench(state, request);
}

} // namespace

BENCHMARK(BM_GeoTiff)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_MBTiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Kmz)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_KmzRouteArea)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    g_mapPath = dir.filePath(QStringLiteral("carte.jpg"));
    g_outputDir = dir.path();
    writeMapInChild(g_mapPath);
    QGuiApplication app(argc, argv);
    ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_BENCH_MODULE_DIR));
    benchmark::Initialize(&argc, argv);
    // GDAL and PROJ's database are loaded before any peak is measured: what
    // they take stays for the rest of the run, whatever is exported.
    displayedPicture();
    g_baseline = statusMegabytes("VmRSS:");
    MapExport::kmzTiles(benchRequest(MapExport::Format::Kmz));
    g_loaded = statusMegabytes("VmRSS:");
    std::printf("map: %d x %d at %d dpi, route across it; picture %.0f MB; GDAL loaded: +%.0f MB\n",
                kWidth, kHeight, kDotsPerInch,
                double(displayedPicture().sizeInBytes()) / kBytesPerMegabyte,
                g_loaded - g_baseline);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
