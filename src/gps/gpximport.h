#pragma once

#include "data/gpxfile.h"
#include "data/progress.h"
#include "maps/mapconversion.h"

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <limits>
#include <vector>

// What a map needs to place WGS84 positions on its picture: its calibration's
// conversion, UTM grid and the picture's size in pixels.
struct MapFrame
{
    MapTransform transform;
    int zone = 31;
    QChar letter = QLatin1Char('U');
    QString datum = QStringLiteral("ED50");
    int width = 0;
    int height = 0;
};

// One route or track of a GPX file that the user may bring onto the map.
struct GpxChoice
{
    enum Kind { Route, Track, Waypoints };
    Kind kind = Route;
    int index = 0;   // in the document's routes or tracks
    QString caption; // for the list the user picks from
};

// A point placed on the map: what a new waypoint is made of.
struct ImportedPoint
{
    QString name; // the GPX name as a label can hold it, empty when unusable
    qint32 easting = 0;
    qint32 northing = 0;
    QPoint pixel;
    QString altitude; // whole metres, empty when the point has no elevation
};

struct GpxImportResult
{
    QString name; // of the route or track as the file has it, empty when it has none
    QList<ImportedPoint> points;
    int outside = 0;          // points left out: not on the picture, or not in the zone
    double outsideMetres = 0; // length of the path left out with them
    int simplified = 0;       // points on the map left out by the simplification
    int droppedAltitudes = 0; // elevations not read or beyond what the files hold
    bool ballpark = false;    // converted without any datum shift
};

// Routes, tracks and waypoints of a GPX file brought onto a calibrated map.
namespace GpxImport {

// A route holds at most this many waypoints: their labels end in three digits.
constexpr int kMaxWaypoints = 1000;
// A track keeps its shape within about one pixel of the map.
constexpr double kTolerancePixels = 1.0;

// Routes first, then tracks, in the file's order; the file's waypoints as one
// more choice only when it has neither routes nor tracks. Empty routes and
// tracks are not offered. Throws "Le fichier GPX ne contient ni route, ni
// trace, ni point : il n'y a rien à importer." when nothing is left.
QList<GpxChoice> choices(const GpxDocument &document);

// The chosen points converted to the map's zone and datum, with the one
// datum transformation of the map's extent, then to pixels; points off the
// picture are counted and left out. Where a route or track leaves or enters
// the picture, the point where it crosses the edge is kept, so the route
// follows the path up to the edge. Names and altitudes pass the import gate.
// A track, and a route or the waypoints when more than kMaxWaypoints remain,
// is simplified by Douglas-Peucker in pixels, keeping its first and last
// points: at kTolerancePixels, at most kMaxWaypoints. `progress` is told the
// points done; when it answers false, Cancelled is thrown. Throws the French
// message of a map frame whose zone, band or datum cannot be converted.
GpxImportResult importChoice(const GpxDocument &document, const GpxChoice &choice,
                             const MapFrame &frame, const Progress &progress = {});

// The indices of `points` that Douglas-Peucker keeps at `tolerance` (distance
// to the segment between two kept points), in order, first and last
// included, and at most `limit` of them: the segments are split farthest
// point first, so the points kept are those that matter most to the shape.
std::vector<qsizetype> douglasPeucker(const QList<QPointF> &points, double tolerance,
                                      qsizetype limit = std::numeric_limits<qsizetype>::max());

// What the user is told after an import: the points and the length of the
// path left out, the altitudes dropped, the approximate datum change; empty
// when there is nothing to say.
QString reportText(const GpxImportResult &result, int unreadableElevations = 0);
QString outsideText(int count, double metres = 0);
extern const QString kNothingOnMapText;

} // namespace GpxImport
