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

// Collects the transformations PROJ used, each named once.
class Converter
{
public:
    GpxPoint point(const Coordinates::Grid &grid, double easting, double northing)
    {
        QString operation;
        const Coordinates::LatLon p = Coordinates::toWgs84(grid, {easting, northing}, &operation);
        if (!m_operations.contains(operation))
            m_operations.append(operation);
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

private:
    QStringList m_operations;
};

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

GpxDocument mapRouteDocument(const QString &routeName, const QList<MapRoutePoint> &points)
{
    GpxDocument doc;
    doc.name = routeName;
    GpxPath route;
    route.name = routeName;
    Converter converter;
    for (const MapRoutePoint &m : points) {
        GpxPoint p = converter.point({m.zone, m.letter, m.datum}, m.easting, m.northing);
        p.name = m.label;
        p.elevation = numberOf(m.altitude);
        route.points.append(p);
    }
    doc.routes.append(route);
    // Some receivers and apps show only a file's waypoints.
    doc.waypoints = route.points;
    doc.description = converter.description();
    return doc;
}

void writeMapRoute(const QString &path, const QString &routeName,
                   const QList<MapRoutePoint> &points)
{
    Gpx::write(path, mapRouteDocument(routeName, points));
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

GpxDocument itineraryDocument(const StringGrid &stages, const StringGrid &catalogue,
                              int catalogueRow, const SpeedTable &speeds, const StageDatums &datums)
{
    const QString title = catalogue.cell(Catalogue::Title, catalogueRow).trimmed();
    const QString dateText = catalogue.cell(Catalogue::Date, catalogueRow);
    const QDate date = dateText.isEmpty() ? QDate() : daysToDate(parse_date(dateText));

    GpxDocument doc;
    GpxPath route;
    route.name = title.isEmpty() ? kUnnamedItinerary : title;
    doc.name = route.name;
    Converter converter;
    QDateTime previous;
    for (int row = 1; row <= Itinerary::kStages; ++row) {
        const QString place = stages.cell(Itinerary::Place, row);
        const QString position = stages.cell(Itinerary::Position, row);
        const QRegularExpressionMatch m = kPositionPattern.match(position);
        if (!m.hasMatch())
            continue;
        const Coordinates::Grid grid{
            m.captured(1).toInt(), m.captured(2).at(0),
            datums.value(stageDatumKey(place, position), QLatin1String(Coordinates::kEd50))};
        GpxPoint p;
        try {
            p = converter.point(grid, m.captured(3).toDouble(), m.captured(4).toDouble());
        } catch (const QuorError &e) {
            throw QuorError(QStringLiteral("Étape %1 (%2) : %3").arg(row).arg(place, e.text()));
        }
        p.name = place;
        qint32 altitude = 0;
        if (tryParseInteger(stages.cell(Itinerary::Altitude, row), altitude))
            p.elevation = altitude;
        p.description = meansText(stages.cell(Itinerary::Means, row), speeds);
        const QString timeText = stages.cell(Itinerary::Time, row);
        if (date.isValid() && !timeText.isEmpty()) {
            const qint64 ms = qRound64(parse_time_of_day(timeText) * kMillisecondsPerDay);
            QDateTime t(date, QTime::fromMSecsSinceStartOfDay(int(ms % kMillisecondsPerDay)));
            // Past midnight the itinerary goes on into the next day.
            while (previous.isValid() && t < previous)
                t = t.addDays(1);
            previous = t;
            p.time = t.toOffsetFromUtc(t.offsetFromUtc());
        }
        route.points.append(p);
    }
    if (route.points.isEmpty())
        throw QuorError(kNoStagePosition);
    doc.routes.append(route);
    // Some receivers and apps show only a file's waypoints.
    doc.waypoints = route.points;
    doc.description = converter.description();
    return doc;
}

} // namespace GpxExport
