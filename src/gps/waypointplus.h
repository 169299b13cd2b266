#pragma once

#include <QString>
#include <QStringList>

// The Waypoint+ text file from which a GPS receiver loads one of its routes.
namespace WaypointPlus {

constexpr int kFirstRouteNumber = 1;
constexpr int kLastRouteNumber = 30;

inline constexpr char kDatumEd50Label[] = "ED50";
inline constexpr char kDatumWgs84Label[] = "WGS84";
inline constexpr char kDatumEd50Line[] =
    "Datum,European 1950,International,-251,-0.14192702,-87,-96,-120";
inline constexpr char kDatumWgs84Line[] = "Datum,WGS84,WGS84,0,0,0,0,0";

// The route number a catalogue row proposes: row 0 gives 1, rows from 29 on give 30.
int routeNumberForCatalogueRow(int catalogueRow);

// The file's lines: the datum line chosen by the exact datum label of the first
// waypoint (none for another label), the route-name line with the number right
// aligned in two characters and the name in capitals, then one route point per
// complete waypoint record.
QStringList lines(int routeNumber, const QString &routeName, const QStringList &waypointLines);

// Writes the lines atomically, CR LF after each, in Windows-1252. Throws
// "Impossible de créer le fichier %s" and leaves the target untouched, also
// when the target is an existing file that cannot be opened for writing.
void write(const QString &path, const QStringList &lines);

} // namespace WaypointPlus
