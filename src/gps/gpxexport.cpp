#include "gpxexport.h"

#include "coordinates.h"
#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "editor/stagetimes.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <map>
#include <tuple>

namespace GpxExport {

namespace {

const QString kMetadataPrefix = QStringLiteral("Coordonnées converties en WGS84 par PROJ : ");
const QString kOperationSeparator = QStringLiteral(" ; ");
const QString kNoStagePosition =
    QStringLiteral("Aucune étape de l'itinéraire n'a de position : il n'y a rien à exporter.");
const QString kUnnamedFile = QStringLiteral("export");
const QString kUnnamedItinerary = QStringLiteral("Itinéraire");
const QString kForbiddenInFileName = QStringLiteral("/\\:*?\"<>|");

// Mode names of the means codes, as the "C&aractéristiques" menu has them.
const char *const kModeNames[] = {"Voiture", "Transfert", "Velo", "Marches", "Poses"};
constexpr int kMeansCodeLength = 2;

// "31T 512345 4845678", as route insertion writes a stage's position; the
// zone and the band may stand apart, and any letter is read so that a wrong
// one is refused with its own message rather than ignored.
const QRegularExpression kPositionPattern(
    QStringLiteral("^\\s*(\\d{1,3})\\s*([A-Za-z])\\s+(-?\\d{1,9})\\s+(-?\\d{1,9})\\s*$"));

std::optional<double> numberOf(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Collects the transformations PROJ used, each named once, and whether any
// of them had no datum shift to apply.
class Converter
{
public:
    GpxPoint point(const Coordinates::Transformation &transformation, double easting,
                   double northing)
    {
        return point(transformation, transformation.toWgs84({easting, northing}));
    }

    GpxPoint point(const Coordinates::Transformation &transformation, const Coordinates::LatLon &p)
    {
        const QString operation = transformation.operation();
        if (!m_operations.contains(operation))
            m_operations.append(operation);
        m_ballpark = m_ballpark || transformation.isBallpark();
        GpxPoint out;
        out.latitude = p.latitude;
        out.longitude = p.longitude;
        return out;
    }

    QString description() const
    {
        return m_operations.isEmpty() ? QString()
                                      : kMetadataPrefix + m_operations.join(kOperationSeparator);
    }
    bool ballpark() const { return m_ballpark; }

private:
    QStringList m_operations;
    bool m_ballpark = false;
};

// The points of one map grid of a route share one transformation, chosen for
// the box around them: the route never jumps from one operation to another.
using GridKey = std::tuple<int, bool, QString>;
GridKey gridKey(const MapRoutePoint &m)
{
    return {m.zone, Coordinates::isSouthern(m.letter), m.datum};
}

// Whole hours and minutes of a stage's time of day, on the day `day`, in
// `zone`: the offset is the one in force at that moment; a time the clock
// skips in spring gets the offset in force just after the gap, and a time the
// clock shows twice in autumn is the first of the two.
QDateTime localStageTime(const QDate &day, const QTime &time, const QTimeZone &zone)
{
    // Offsets a day either side: a clock changes at most once in between.
    const QDateTime wall(day, time, Qt::UTC);
    const int before = zone.offsetFromUtc(wall.addDays(-1));
    const int after = zone.offsetFromUtc(wall.addDays(1));
    int offset = after;
    for (const int candidate : {before, after}) {
        if (zone.offsetFromUtc(wall.addSecs(-candidate)) == candidate) {
            offset = candidate;
            break;
        }
    }
    return QDateTime(day, time, Qt::OffsetFromUTC, offset);
}

QString meansText(const QString &code, const SpeedTable &speeds)
{
    if (code.size() != kMeansCodeLength)
        return code;
    const int entry = speedEntryOfCode(code.at(0), code.at(1));
    const int group = SpeedTable::groupOfLetter(code.at(0));
    if (entry < 0 || group < 1)
        return code;
    return QStringLiteral("%1, %2 (%3)")
        .arg(QLatin1String(kModeNames[group - 1]), speeds.label(entry).trimmed(), code);
}

} // namespace

QString proposedFileName(const QString &name)
{
    QString base = name.trimmed();
    for (QChar &c : base) {
        if (kForbiddenInFileName.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    if (base.isEmpty())
        base = kUnnamedFile;
    return base + QLatin1Char('.') + QLatin1String(kDefaultExtension);
}

QList<MapRoutePoint> mapRoutePoints(const QStringList &waypointLines)
{
    using namespace RouteFiles;
    QList<MapRoutePoint> points;
    const int n = waypointCount(waypointLines);
    for (int i = 0; i < n; ++i) {
        MapRoutePoint p;
        p.label = waypointField(waypointLines, i, Label);
        p.easting = parse_integer(waypointField(waypointLines, i, Easting));
        p.northing = parse_integer(waypointField(waypointLines, i, Northing));
        p.altitude = waypointField(waypointLines, i, Altitude);
        p.zone = parse_integer(waypointField(waypointLines, i, Zone));
        const QString letter = waypointField(waypointLines, i, Letter).trimmed();
        p.letter = letter.isEmpty() ? QChar() : letter.at(0);
        p.datum = waypointField(waypointLines, i, Datum);
        points.append(p);
    }
    return points;
}

GpxDocument mapRouteDocument(const QString &routeName, const QList<MapRoutePoint> &points,
                             bool *ballpark)
{
    std::map<GridKey, std::pair<Coordinates::GridPoint, Coordinates::GridPoint>> boxes;
    for (const MapRoutePoint &m : points) {
        Coordinates::checkGrid({m.zone, m.letter, m.datum});
        const Coordinates::GridPoint here{double(m.easting), double(m.northing)};
        auto [box, added] = boxes.try_emplace(gridKey(m), here, here);
        auto &[low, high] = box->second;
        low = {std::min(low.easting, here.easting), std::min(low.northing, here.northing)};
        high = {std::max(high.easting, here.easting), std::max(high.northing, here.northing)};
    }
    std::map<GridKey, Coordinates::Transformation> transformations;
    for (const MapRoutePoint &m : points) {
        const GridKey key = gridKey(m);
        if (transformations.count(key))
            continue;
        const Coordinates::Grid grid{m.zone, m.letter, m.datum};
        const auto &[low, high] = boxes.at(key);
        transformations.emplace(
            key, Coordinates::Transformation(grid, Coordinates::areaOfExtent(grid, low, high)));
    }
    GpxDocument doc;
    doc.name = routeName;
    GpxPath route;
    route.name = routeName;
    Converter converter;
    for (const MapRoutePoint &m : points) {
        GpxPoint p = converter.point(transformations.at(gridKey(m)), m.easting, m.northing);
        p.name = m.label;
        p.elevation = numberOf(m.altitude);
        route.points.append(p);
    }
    doc.routes.append(route);
    // Some receivers and apps show only a file's waypoints.
    doc.waypoints = route.points;
    doc.description = converter.description();
    if (ballpark)
        *ballpark = converter.ballpark();
    return doc;
}

void writeMapRoute(const QString &path, const QString &routeName,
                   const QList<MapRoutePoint> &points, bool *ballpark)
{
    Gpx::write(path, mapRouteDocument(routeName, points, ballpark));
}

QString stageDatumKey(const QString &place, const QString &position)
{
    return place + QLatin1Char('\n') + position;
}

StageDatums stageDatums(const AppState &state)
{
    using namespace RouteFiles;
    StageDatums datums;
    QStringList routes;
    readRoutes(state, routes);
    for (qsizetype r = 0; r + 1 < routes.size(); r += kLinesPerRoute) {
        QStringList lines;
        readWaypoints(state, routes.at(r + 1), lines);
        const int n = waypointCount(lines);
        for (int i = 0; i < n; ++i) {
            // The text route insertion writes into the stage's "Position".
            const QString position = waypointField(lines, i, Zone) +
                                     waypointField(lines, i, Letter) + QLatin1Char(' ') +
                                     waypointField(lines, i, Easting) + QLatin1Char(' ') +
                                     waypointField(lines, i, Northing);
            const QString key = stageDatumKey(waypointField(lines, i, Label), position);
            if (!datums.contains(key))
                datums.insert(key, waypointField(lines, i, Datum));
        }
    }
    return datums;
}

std::optional<StagePosition> stagePosition(const QString &place, const QString &position,
                                           const StageDatums &datums, const QString &datum)
{
    const QRegularExpressionMatch m = kPositionPattern.match(position);
    if (!m.hasMatch())
        return std::nullopt;
    return StagePosition{{m.captured(1).toInt(), m.captured(2).at(0),
                          datums.value(stageDatumKey(place, position), datum)},
                         {m.captured(3).toDouble(), m.captured(4).toDouble()}};
}

Coordinates::LatLon stageToWgs84(int row, const QString &place, const StagePosition &at,
                                 std::optional<Coordinates::Transformation> *used)
{
    try {
        Coordinates::checkGrid(at.grid);
        const Coordinates::Transformation transformation(
            at.grid, Coordinates::areaAround(at.grid, at.point));
        const Coordinates::LatLon wgs84 = transformation.toWgs84(at.point);
        if (used)
            used->emplace(transformation);
        return wgs84;
    } catch (const QuorError &e) {
        throw QuorError(QStringLiteral("Étape %1 (%2) : %3").arg(row).arg(place, e.text()));
    }
}

GpxDocument itineraryDocument(const StringGrid &stages, const StringGrid &catalogue,
                              int catalogueRow, const SpeedTable &speeds, const StageDatums &datums,
                              const QTimeZone &zone, bool *ballpark)
{
    const QString title = catalogue.cell(Catalogue::Title, catalogueRow).trimmed();
    const QString &dateText = catalogue.cell(Catalogue::Date, catalogueRow);
    const QDate date = dateText.isEmpty() ? QDate() : daysToDate(parse_date(dateText));

    GpxDocument doc;
    GpxPath route;
    route.name = title.isEmpty() ? kUnnamedItinerary : title;
    doc.name = route.name;
    // A missing module is no fault of a stage.
    Coordinates::loadModule();
    Converter converter;
    int day = 0;
    qint64 previousMs = -1;
    for (int row = 1; row <= Itinerary::kStages; ++row) {
        const QString &place = stages.cell(Itinerary::Place, row);
        const QString &position = stages.cell(Itinerary::Position, row);
        const std::optional<StagePosition> at =
            stagePosition(place, position, datums, QLatin1String(Coordinates::kEd50));
        if (!at)
            continue;
        std::optional<Coordinates::Transformation> used;
        const Coordinates::LatLon wgs84 = stageToWgs84(row, place, *at, &used);
        GpxPoint p = converter.point(*used, wgs84);
        p.name = place;
        qint32 altitude = 0;
        if (tryParseInteger(stages.cell(Itinerary::Altitude, row), altitude))
            p.elevation = altitude;
        p.description = meansText(stages.cell(Itinerary::Means, row), speeds);
        const QString &timeText = stages.cell(Itinerary::Time, row);
        if (date.isValid() && !timeText.isEmpty()) {
            const qint64 ms =
                qRound64(parse_time_of_day(timeText) * kMillisecondsPerDay) % kMillisecondsPerDay;
            // Past midnight the itinerary goes on into the next day. Times of
            // day are compared as the clock shows them, so a clock change
            // never moves a stage to another day.
            if (ms < previousMs)
                ++day;
            previousMs = ms;
            p.time =
                localStageTime(date.addDays(day), QTime::fromMSecsSinceStartOfDay(int(ms)), zone);
        }
        route.points.append(p);
    }
    if (route.points.isEmpty())
        throw QuorError(kNoStagePosition);
    doc.routes.append(route);
    // Some receivers and apps show only a file's waypoints.
    doc.waypoints = route.points;
    doc.description = converter.description();
    if (ballpark)
        *ballpark = converter.ballpark();
    return doc;
}

} // namespace GpxExport
