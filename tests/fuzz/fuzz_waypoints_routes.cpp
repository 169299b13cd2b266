// The routes file and a route's waypoint file as found in a project: the
// route names and codes, the stages a route inserts into an itinerary (with
// the time computation running at every move, as in the main window) and
// the lines of its Waypoint+ export.

#include "data/catalogue.h"
#include "data/cp1252.h"
#include "data/itinerary.h"
#include "data/linelist.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/stagetimes.h"
#include "fuzzcheck.h"
#include "data/routefiles.h"
#include "gps/routeinsertion.h"
#include "gps/waypointplus.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr size_t kLongestRoutesFile = 512;
constexpr size_t kLongestName = 40;
constexpr int kLastCatalogueRow = Catalogue::kRows - 1;

QString textOf(const std::string &bytes)
{
    return fromCp1252(bytes.data(), qsizetype(bytes.size()));
}

void routes(const QStringList &lines, const QString &name)
{
    const QStringList names = RouteFiles::routeNames(lines);
    FUZZ_CHECK(names.size() == lines.size() / RouteFiles::kLinesPerRoute);
    const std::optional<QString> code = RouteFiles::routeCode(lines, name);
    const qsizetype at = RouteFiles::findLine(lines, name);
    if (code) {
        FUZZ_CHECK(at >= 0 && at + 1 < lines.size());
        FUZZ_CHECK(*code == lines.at(at + 1));
    } else {
        FUZZ_CHECK(at < 0 || at + 1 == lines.size());
    }
}

void exportLines(const QStringList &waypoints, const QString &name, int catalogueRow)
{
    const int number = WaypointPlus::routeNumberForCatalogueRow(catalogueRow);
    FUZZ_CHECK(number >= WaypointPlus::kFirstRouteNumber &&
               number <= WaypointPlus::kLastRouteNumber);
    const QStringList out = WaypointPlus::lines(number, name, waypoints);
    const int count = RouteFiles::waypointCount(waypoints);
    FUZZ_CHECK(out.size() == count + 1 || out.size() == count + 2);
    // The lines are written as a line list; none may break into two.
    for (const QString &line : out)
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    FUZZ_CHECK(LineList::splitLines(LineList::joinLines(out)) == out);
}

void insertion(const QStringList &waypoints, const QString &departure, int catalogueRow,
               int startRow)
{
    StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
    StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
    catalogue.setCell(Catalogue::Departure, catalogueRow, departure);
    const SpeedTable speeds;
    stages.moveTo(Itinerary::Place, startRow);
    stages.setSelectHandler(
        [&](int, int) { compute_stage_times(stages, catalogue, catalogueRow, speeds); });
    int enables = 0;
    RouteInsertion::Result result;
    const bool refused = Fuzz::refuses([&] {
        result = RouteInsertion::insert_route(stages, waypoints,
                                              [&](bool enabled) { enables += enabled ? 1 : -1; });
    });
    // The grid is given back to the user however the insertion ends.
    FUZZ_CHECK(enables == 0);
    const int count = RouteFiles::waypointCount(waypoints);
    FUZZ_CHECK(result.stagesWritten + result.waypointsLeftOut <= count);
    if (!refused)
        FUZZ_CHECK(result.stagesWritten + result.waypointsLeftOut == count);
    FUZZ_CHECK(stages.row() >= 0 && stages.row() <= Itinerary::kStages);
    if (result.stagesWritten > 0)
        FUZZ_CHECK(stages.row() >= 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int catalogueRow = input.ConsumeIntegralInRange(0, kLastCatalogueRow);
    const int startRow = input.ConsumeIntegralInRange(0, Itinerary::kStages);
    // A route name is one line of the routes file.
    QString name = textOf(input.ConsumeRandomLengthString(kLongestName));
    name.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    const QString departure = textOf(input.ConsumeRandomLengthString(kLongestName));
    const std::string routesFile = input.ConsumeRandomLengthString(kLongestRoutesFile);
    const std::string waypointFile = input.ConsumeRemainingBytesAsString();
    const QStringList routeLines =
        LineList::splitLines(QByteArray(routesFile.data(), qsizetype(routesFile.size())));
    const QStringList waypointLines =
        LineList::splitLines(QByteArray(waypointFile.data(), qsizetype(waypointFile.size())));

    routes(routeLines, name);
    exportLines(waypointLines, name, catalogueRow);
    insertion(waypointLines, departure, catalogueRow, startRow);
    return 0;
}
