#pragma once

#include "coordinates.h"
#include "data/gpxfile.h"

#include <QChar>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>

class SpeedTable;
class StringGrid;
struct AppState;

// A waypoint of a map route as the map keeps it: label, UTM position with its
// map's zone, band and datum, and the altitude as typed.
struct MapRoutePoint
{
    QString label;
    qint32 easting = 0;
    qint32 northing = 0;
    QString altitude; // any text; written as an elevation only when it is a number
    int zone = 31;
    QChar letter = QLatin1Char('U');
    QString datum = QStringLiteral("ED50");
};

// GPX files of what the program plans: a route of a map, the open itinerary.
namespace GpxExport {

// The save dialog of both exports.
inline constexpr char kFilter[] = "Fichier GPX|*.gpx";
inline constexpr char kDefaultExtension[] = "gpx";
inline constexpr char kRouteDialogTitle[] = "Exporter la route au format GPX";
inline constexpr char kItineraryDialogTitle[] = "Exporter l'itinéraire au format GPX";

// `name` + ".gpx", with the characters a file name cannot hold turned into
// "_"; "export.gpx" for a name left empty.
QString proposedFileName(const QString &name);

// The waypoints of a route's waypoint lines (ten lines each; a part record at
// the end is not a waypoint). Throws "'%s' n'est pas une valeur entière
// correcte" for an easting, northing or zone that is not an integer.
QList<MapRoutePoint> mapRoutePoints(const QStringList &waypointLines);

// A <rte> named `routeName` with one <rtept> per point in order (<name> the
// label, <ele> the altitude when it is a number), and the points again as
// <wpt>. The points of one grid share the transformation of the box around
// them; the metadata names it. `ballpark`, when given, tells whether it had
// no datum shift to apply. Throws the French message of a point whose zone,
// letter or datum cannot be converted.
GpxDocument mapRouteDocument(const QString &routeName, const QList<MapRoutePoint> &points,
                             bool *ballpark = nullptr);
void writeMapRoute(const QString &path, const QString &routeName,
                   const QList<MapRoutePoint> &points, bool *ballpark = nullptr);

// The datum of each position the project's routes hold, keyed by label and
// position text as route insertion writes them into the stage grid
// ("31T 512345 4845678"). A stage has no datum of its own.
using StageDatums = QHash<QString, QString>;
StageDatums stageDatums(const AppState &state);
QString stageDatumKey(const QString &place, const QString &position);

// A stage's "Position" read as zone, band, easting and northing ("31T
// 512345 4845678", as route insertion writes it), in the datum of the
// project's waypoint it was inserted from, else `datum`; none for a text
// that is no position.
struct StagePosition
{
    Coordinates::Grid grid;
    Coordinates::GridPoint point;
};
std::optional<StagePosition> stagePosition(const QString &place, const QString &position,
                                           const StageDatums &datums, const QString &datum);
// The stage's position in WGS84, converted with the transformation of its own
// neighbourhood (stages may lie far apart), which `used` receives when given.
// Throws "Étape %1 (%2) : " and the reason, for a stage that cannot be
// converted.
Coordinates::LatLon stageToWgs84(int row, const QString &place, const StagePosition &at,
                                 std::optional<Coordinates::Transformation> *used = nullptr);

// The open itinerary: a <rte> named after the catalogue row's title with one
// <rtept> per stage whose position reads as zone, band, easting and northing:
// <name> the place, <ele> the altitude, <desc> the means of travel, <time>
// the catalogue's date at the stage's time of day in `zone` (a time of day
// earlier than the stage before belongs to the next day; a time the clock
// skips has the offset in force after the gap); the stages again as <wpt>.
// Each stage is converted with the transformation of its neighbourhood. A
// stage's datum is that of the project's waypoint it was inserted from, else
// ED50, the datum a calibration starts with. Throws when no stage has a
// position, and the French message of a stage that cannot be converted.
GpxDocument itineraryDocument(const StringGrid &stages, const StringGrid &catalogue,
                              int catalogueRow, const SpeedTable &speeds, const StageDatums &datums,
                              const QTimeZone &zone = QTimeZone::systemTimeZone(),
                              bool *ballpark = nullptr);

} // namespace GpxExport
