// A recorded walk of 100,000 points, one a second (a watch's day and night in
// the hills, with climbs, descents and stops): reading it as a walk and
// learning the walking rates from it, then finding when it passed each of 30
// stages of an itinerary. Each case reports its peak memory over what the
// process held before.
// Run: bench_walks [--benchmark_repetitions=N]

#include "data/itinerary.h"
#include "data/moduleloader.h"
#include "data/stringgrid.h"
#include "walks/recordedwalk.h"
#include "walks/speedlearning.h"
#include "walks/trackcomparison.h"
#include "walks/walker.h"

#include "common/benchmemory.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype kPoints = 100'000;
constexpr int kStepSeconds = 1;
constexpr int kStages = 30;
// Away from the equator, where the geodesic between two points of it is a
// shortcut of the library rather than the general case every walk takes.
constexpr double kLatitude = 43.0;
constexpr double kLongitude = 1.0;
constexpr double kStartAltitude = 800;
// The stages lie this far north of the track, as a waypoint placed by hand
// beside the path.
constexpr double kStageOffsetMetres = 20;
constexpr double kMetresPerDegreeOfLatitude = 111'000;
const QTime kDeparture(8, 0);
const WalkingRates kTableRates{300, 4000, 500};

constexpr double kMsPerSecond = 1000.0;
constexpr double kMsPerHour = 3600.0 * kMsPerSecond;
constexpr double kMetresPerKm = 1000.0;

GpxPath g_track;
RecordedWalk g_walk;
StringGrid g_stages(Itinerary::kColumns, Itinerary::kGridRows);
QHash<int, Coordinates::LatLon> g_positions;

using BenchMemory::resetPeak;
using BenchMemory::statusMegabytes;

void reportMemory(benchmark::State &state, double before, double peak)
{
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peak;
    state.counters["peak_over_before_MB"] = peak - before;
}

// A day in the hills, again and again until the watch has kPoints points:
// long climbs and descents, rolling stretches, a short halt, a rest and a
// meal.
GpxPath walkedTrack()
{
    Walker w(kLongitude, kStartAltitude, kStepSeconds, kLatitude);
    while (w.path().points.size() < kPoints) {
        w.walk(2000, 300);
        w.stop(300);
        w.walk(1500, 0);
        w.walk(1800, -350);
        w.stop(1200);
        w.walk(2500, 40);
        w.walk(1200, -150);
        w.stop(2700);
    }
    GpxPath track = w.path();
    track.points.resize(kPoints);
    track.name = QStringLiteral("Traversée");
    return track;
}

// kStages stages spread evenly over the track's points, each beside it, with
// the times at which the walker passed there as planned times.
void fillStages(const GpxPath &track)
{
    const qint64 startMs = track.points.first().time.toMSecsSinceEpoch();
    for (int k = 0; k < kStages; ++k) {
        const int row = k + 1;
        const GpxPoint &p = track.points.at(k * (kPoints - 1) / (kStages - 1));
        g_stages.setCell(Itinerary::Place, row, QStringLiteral("Étape %1").arg(row));
        const double seconds = double(p.time.toMSecsSinceEpoch() - startMs) / kMsPerSecond;
        g_stages.setCell(Itinerary::Time, row,
                         kDeparture.addSecs(int(seconds)).toString(QStringLiteral("HH:mm")));
        g_positions.insert(
            row, {p.latitude + kStageOffsetMetres / kMetresPerDegreeOfLatitude, p.longitude});
    }
}

RecordedWalk readWalk(const GpxPath &track)
{
    return RecordedWalks::fromTrack(track, track.name, RecordedWalks::Altitudes::Recorded, {});
}

void BM_ReadAndLearn(benchmark::State &state)
{
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    LearningReport report;
    for (auto _ : state) {
        resetPeak();
        const RecordedWalk walk = readWalk(g_track);
        report = SpeedLearning::learn({walk}, kTableRates);
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["km"] = report.metres / kMetresPerKm;
    state.counters["legs"] = report.legs;
    state.counters["stops"] = report.stops;
    state.counters["climb_m_h"] = report.learned.climb;
    state.counters["flat_m_h"] = report.learned.flat;
    state.counters["descent_m_h"] = report.learned.descent;
    reportMemory(state, before, peak);
}

void BM_Compare(benchmark::State &state)
{
    // Read here rather than at the start, so that the first case finds the
    // heap as the program finds it before its first walk.
    if (g_walk.points.empty())
        g_walk = readWalk(g_track);
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    TrackComparison comparison;
    for (auto _ : state) {
        resetPeak();
        comparison =
            TrackComparisons::compare(g_stages, QStringLiteral("Traversée"), g_positions, g_walk);
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    const auto passed = std::count_if(comparison.stages.cbegin(), comparison.stages.cend(),
                                      [](const StagePass &s) { return s.passedMs.has_value(); });
    state.counters["stages_passed"] = double(passed);
    state.counters["legs"] = double(comparison.legs.size());
    reportMemory(state, before, peak);
}

} // namespace

BENCHMARK(BM_ReadAndLearn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Compare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_BENCH_MODULE_DIR));
    g_track = walkedTrack();
    fillStages(g_track);
    benchmark::Initialize(&argc, argv);
    std::printf("track: %lld points over %.1f h; %d stages\n",
                static_cast<long long>(g_track.points.size()),
                double(g_track.points.first().time.msecsTo(g_track.points.last().time)) /
                    kMsPerHour,
                kStages);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
