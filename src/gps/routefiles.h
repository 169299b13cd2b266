#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct AppState;

// The project's routes file and a route's waypoint file, as the route dialog
// reads them: text files of lines, 2 lines per route and 10 per waypoint.
namespace RouteFiles {

inline constexpr char kRoutesFileName[] = "Quorr.qud";
inline constexpr char kWaypointFilePrefix[] = "Quorr.";
constexpr int kLinesPerRoute = 2;
constexpr int kLinesPerWaypoint = 10;

// The lines of one waypoint record.
enum WaypointLine {
    Label = 0,
    Easting = 1,
    Northing = 2,
    Altitude = 3,
    MapName = 4,
    Zone = 5,
    Letter = 6,
    Datum = 7,
    LabelOffsetX = 8,
    LabelOffsetY = 9
};

QString routesPath(const AppState &state);
QString waypointPath(const AppState &state, const QString &routeCode);

// False when the file cannot be opened; `lines` is then empty.
bool readRoutes(const AppState &state, QStringList &lines);
bool readWaypoints(const AppState &state, const QString &routeCode, QStringList &lines);

// The route names: the first line of every complete pair.
QStringList routeNames(const QStringList &routeLines);

// Index of the first line equal to `key` without regard to case, or -1.
qsizetype findLine(const QStringList &lines, const QString &key);

// The code on the line after the first line equal to `name`; nothing when the
// name is not there or has no line after it.
std::optional<QString> routeCode(const QStringList &routeLines, const QString &name);

// Complete waypoint records only: a trailing part record is not a waypoint.
int waypointCount(const QStringList &waypointLines);
const QString &waypointField(const QStringList &waypointLines, int waypoint, WaypointLine line);

} // namespace RouteFiles
