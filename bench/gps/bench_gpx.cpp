// Reading a GPX track of a million points (the most a file may hold), then
// bringing it onto a calibrated map; and a file whose one name is 250 MB. Each
// case reports its peak memory over what the process held before.
// Run: bench_gpx [--benchmark_repetitions=N]

#include "data/gpxfile.h"
#include "data/moduleloader.h"
#include "gps/gpximport.h"

#include "common/benchmemory.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr qsizetype kPoints = Gpx::kMaxPoints;
constexpr qint64 kNameBytes = 250LL * 1000 * 1000;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

// A 4000 x 3000 picture at 2.5 m a pixel, ED50 31T, west of Toulouse; the
// track winds over most of it.
constexpr qint32 kWest = 370000;
constexpr qint32 kNorth = 4835000;
constexpr int kMapWidth = 4000;
constexpr int kMapHeight = 3000;
constexpr double kCentreLatitude = 43.612;
constexpr double kCentreLongitude = 1.452;
constexpr double kLatitudeSwing = 0.02;
constexpr double kLongitudeSwing = 0.04;

QString g_trackPath;
QString g_namePath;

using BenchMemory::resetPeak;
using BenchMemory::statusMegabytes;

// Written line by line, so that the file is never in this process's memory.
void writeTrack(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx "
            "xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"bench\">\n"
            "<trk><name>Boucles</name><trkseg>\n");
    for (qsizetype i = 0; i < kPoints; ++i) {
        const double t = i * 1e-4;
        char line[200];
        const int n = std::snprintf(line, sizeof line,
                                    "<trkpt lat=\"%.9f\" lon=\"%.9f\"><ele>%.1f</ele>"
                                    "<time>2025-07-12T%02d:%02d:%02dZ</time></trkpt>\n",
                                    kCentreLatitude + kLatitudeSwing * std::sin(t * 7.0),
                                    kCentreLongitude + kLongitudeSwing * std::sin(t * 5.3),
                                    150 + 50 * std::sin(t), int(i / 3600 % 24), int(i / 60 % 60),
                                    int(i % 60));
        f.write(line, n);
    }
    f.write("</trkseg></trk>\n</gpx>\n");
}

void writeLongName(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">"
            "<wpt lat=\"43.6\" lon=\"1.45\"><name>");
    const QByteArray block(1000 * 1000, 'n');
    for (qint64 written = 0; written < kNameBytes; written += block.size())
        f.write(block);
    f.write("</name></wpt></gpx>\n");
}

MapFrame toulouseFrame()
{
    MapFrame frame;
    ComputeTransform(frame.transform, {0, 0, kWest, kNorth}, {kMapWidth, 0, kWest + 10000, kNorth},
                     {0, kMapHeight, kWest, kNorth - 7500});
    frame.zone = 31;
    frame.letter = QLatin1Char('T');
    frame.datum = QStringLiteral("ED50");
    frame.width = kMapWidth;
    frame.height = kMapHeight;
    return frame;
}

void reportMemory(benchmark::State &state, double before, double peak)
{
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peak;
    state.counters["peak_over_before_MB"] = peak - before;
}

void BM_ReadTrack(benchmark::State &state)
{
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    qsizetype points = 0;
    for (auto _ : state) {
        resetPeak();
        const GpxDocument doc = Gpx::read(g_trackPath);
        points = doc.tracks.first().points.size();
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["points"] = double(points);
    state.counters["file_MB"] = QFile(g_trackPath).size() / kBytesPerMegabyte;
    reportMemory(state, before, peak);
}

void BM_ReadAndImportTrack(benchmark::State &state)
{
    const MapFrame frame = toulouseFrame();
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    GpxImportResult result;
    for (auto _ : state) {
        resetPeak();
        const GpxDocument doc = Gpx::read(g_trackPath);
        result = GpxImport::importChoice(doc, GpxImport::choices(doc).first(), frame);
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["kept"] = double(result.points.size());
    state.counters["outside"] = result.outside;
    reportMemory(state, before, peak);
}

void BM_ReadLongName(benchmark::State &state)
{
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    qsizetype kept = 0;
    for (auto _ : state) {
        resetPeak();
        kept = Gpx::read(g_namePath).waypoints.first().name.size();
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["name_kept"] = double(kept);
    state.counters["file_MB"] = QFile(g_namePath).size() / kBytesPerMegabyte;
    reportMemory(state, before, peak);
}

} // namespace

BENCHMARK(BM_ReadTrack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ReadAndImportTrack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ReadLongName)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    g_trackPath = dir.filePath(QStringLiteral("trace.gpx"));
    g_namePath = dir.filePath(QStringLiteral("nom.gpx"));
    writeTrack(g_trackPath);
    writeLongName(g_namePath);
    QCoreApplication app(argc, argv);
    ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_BENCH_MODULE_DIR));
    benchmark::Initialize(&argc, argv);
    std::printf("track: %lld points; name: %lld bytes\n", static_cast<long long>(kPoints),
                static_cast<long long>(kNameBytes));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
