#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/stagetimes.h"

#include <benchmark/benchmark.h>

namespace {

// A full 50-stage itinerary that uses every kind of leg: walking up, flat and
// down (the code chosen anew at each run), car, transfer, bicycle and stops.
void fillItinerary(StringGrid &stages, StringGrid &catalogue)
{
    catalogue.setCell(3, 0, QStringLiteral("07:15"));
    const char *codes[] = {"M ", "MP", "MD", "VA", "VN", "VD", "TN", "TD",
                           "TF", "OM", "OP", "OD", "PA", "PC", "PR"};
    for (int r = 1; r <= 50; ++r) {
        stages.setCell(0, r, QStringLiteral("Etape %1").arg(r));
        stages.setCell(1, r, QString::fromLatin1(codes[(r - 1) % 15]));
        stages.setCell(4, r, QString::number(800 + (r * 137) % 900));
        stages.setCell(5, r, QString::number(r % 15 < 3 ? 1500 + r * 10 : 12 + r));
    }
}

void BM_ComputeStageTimes(benchmark::State &state)
{
    StringGrid stages(7, 51);
    StringGrid catalogue(5, 50);
    SpeedTable speeds;
    fillItinerary(stages, catalogue);
    for (auto _ : state) {
        // Restore the open walking codes so that every run chooses them again.
        for (int r = 1; r <= 50; r += 15)
            stages.setCell(1, r, QStringLiteral("M "));
        compute_stage_times(stages, catalogue, 0, speeds);
        benchmark::DoNotOptimize(stages.cell(6, 50));
    }
}
BENCHMARK(BM_ComputeStageTimes)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
