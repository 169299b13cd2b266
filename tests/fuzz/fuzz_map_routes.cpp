// The routes file and a waypoint file as the map window's panels read them:
// the listed names and labels, the next free code and label, the files
// rebuilt from the lists, label moves, and the marks a route draws on a
// calibrated map.

#include "data/cp1252.h"
#include "data/linelist.h"
#include "fuzzcheck.h"
#include "data/routefiles.h"
#include "maps/mapconversion.h"
#include "maps/routedrawing.h"
#include "maps/routelist.h"
#include "maps/waypointlist.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr size_t kLongestRoutesFile = 1024;
constexpr int kLargestDelta = 1000;
constexpr int kFarAway = std::numeric_limits<int>::max() / 4;

bool isCode(const QString &code)
{
    return code.size() == 2 && code.at(0) >= QLatin1Char('A') && code.at(0) <= QLatin1Char('Z') &&
           code.at(1) >= QLatin1Char('A') && code.at(1) <= QLatin1Char('Z');
}

bool containsWithoutCase(const QStringList &lines, const QString &key)
{
    return RouteFiles::findLine(lines, key) >= 0;
}

void routes(const QStringList &lines)
{
    const std::optional<QString> code = RouteList::freeRouteCode(lines);
    if (code) {
        FUZZ_CHECK(isCode(*code));
        FUZZ_CHECK(!containsWithoutCase(lines, *code));
    }
    const QStringList names = RouteFiles::routeNames(lines);
    QStringList rebuilt;
    if (Fuzz::refuses([&] { rebuilt = RouteList::rebuildRouteLines(names, lines); }))
        return;
    FUZZ_CHECK(rebuilt.size() == names.size() * RouteFiles::kLinesPerRoute);
    for (qsizetype i = 0; i < names.size(); ++i)
        FUZZ_CHECK(
            rebuilt.at(i * RouteFiles::kLinesPerRoute).compare(names.at(i), Qt::CaseInsensitive) ==
            0);
}

void waypoints(const QStringList &lines, const QString &routeCode, int delta)
{
    const QStringList labels = WaypointList::labels(lines);
    FUZZ_CHECK(labels.size() == RouteFiles::waypointCount(lines));
    const std::optional<QString> label = WaypointList::freeWaypointLabel(routeCode, lines);
    if (label)
        FUZZ_CHECK(!containsWithoutCase(lines, *label));

    WaypointList::PanelTexts panel;
    panel.easting = QStringLiteral("512345");
    panel.northing = QStringLiteral("4845678");
    QStringList rebuilt = WaypointList::rebuildWaypointLines(labels, lines, panel);
    FUZZ_CHECK(rebuilt.size() == labels.size() * RouteFiles::kLinesPerWaypoint);
    FUZZ_CHECK(WaypointList::labels(rebuilt).size() == labels.size());
    for (int i = 0; i < RouteFiles::waypointCount(rebuilt); ++i) {
        const qsizetype record = qsizetype(i) * RouteFiles::kLinesPerWaypoint;
        Fuzz::refuses(
            [&] { WaypointList::moveLabel(rebuilt, record, RouteFiles::LabelOffsetX, delta); });
        Fuzz::refuses(
            [&] { WaypointList::moveLabel(rebuilt, record, RouteFiles::LabelOffsetY, -delta); });
    }
}

void marks(const QStringList &lines, const MapTransform &t, quint16 xdens, quint16 ydens)
{
    const RouteStyle style = routeStyle(xdens, ydens);
    QList<RouteMark> marks;
    Fuzz::refuses([&] { routeMarks(t, style, lines, marks); });
    for (const RouteMark &mark : marks) {
        if (mark.kind == RouteMark::Kind::Line)
            continue;
        FUZZ_CHECK(std::abs(mark.a.x()) <= kFarAway && std::abs(mark.a.y()) <= kFarAway);
        FUZZ_CHECK(std::abs(mark.b.x()) <= kFarAway && std::abs(mark.b.y()) <= kFarAway);
    }
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
    const quint16 xdens = input.ConsumeIntegral<quint16>();
    const quint16 ydens = input.ConsumeIntegral<quint16>();
    const int delta = input.ConsumeIntegralInRange(-kLargestDelta, kLargestDelta);
    // Any transform the calibration can give, the absurd ones included.
    MapTransform t;
    for (Coefficients *c : {&t.c, &t.d, &t.e, &t.f}) {
        for (double &k : *c)
            k = input.ConsumeFloatingPointInRange(-1e12, 1e12);
    }
    const std::string routesFile = input.ConsumeRandomLengthString(kLongestRoutesFile);
    const std::string waypointFile = input.ConsumeRemainingBytesAsString();
    const QStringList routeLines =
        LineList::splitLines(QByteArray(routesFile.data(), qsizetype(routesFile.size())));
    const QStringList waypointLines =
        LineList::splitLines(QByteArray(waypointFile.data(), qsizetype(waypointFile.size())));

    routes(routeLines);
    const std::optional<QString> code = RouteList::freeRouteCode(routeLines);
    waypoints(waypointLines, code.value_or(QStringLiteral("AA")), delta);
    marks(waypointLines, t, xdens, ydens);
    return 0;
}
