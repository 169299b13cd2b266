#pragma once

#include "data/gpxfile.h"

#include <QDate>
#include <QList>
#include <QPointF>
#include <QString>

// A walk recorded along the example's route, "Sentier du lac", as a phone
// records one: a point every few seconds with its time and a jittery
// altitude, and the walker's stops. It lets a new user try learning the
// walking rates and comparing a walk with an itinerary before they have a
// recording of their own.
namespace ExampleProject {

inline const QString kWalkFileName = QStringLiteral("Marche du lac.gpx");

// The walker's rates in metres per hour, timed by the program's own rule: a
// little quicker than the speed table's defaults, so that learning has
// something to find.
constexpr double kWalkClimb = 380;
constexpr double kWalkFlat = 4300;
constexpr double kWalkDescent = 560;
// A point every this many seconds, walking or standing.
constexpr int kWalkStepSeconds = 5;
// The recorded altitudes stray this far either way from the terrain's.
constexpr double kWalkAltitudeNoise = 2;

// The track's name: the route's and the day's, "Sentier du lac, 6 septembre".
QString walkName(const QDate &date);

// The walk along `route` (UTM positions of the map, in order, straight from
// one to the next) and back on `date`, from 07:00 UTC (09:00 in Paris in
// summer, the itinerary's departure), with its stops at the waypoints on the way out; positions in
// WGS84 through the geodesy module, which it loads.
GpxDocument recordedWalk(const QList<QPointF> &route, const QDate &date);

// The same, written as GPX 1.1 to `path`. Throws the module's and the file
// layer's errors.
void writeWalk(const QString &path, const QList<QPointF> &route, const QDate &date);

} // namespace ExampleProject
