#pragma once

#include <QtGlobal>

// Distance and bearing of a walking leg between two waypoints, from their raw
// UTM eastings and northings in metres. Zones and datums are not looked at:
// two points are always taken as lying in one plane.
namespace RouteGeometry {

// The leg's length as the stage grid keeps it before rounding: the square root
// taken in extended precision, then stored as an 8-byte double.
double legLength(qint32 e1, qint32 n1, qint32 e2, qint32 n2);

// Whole metres, rounded to the nearest integer with ties to even.
qint64 legDistance(qint32 e1, qint32 n1, qint32 e2, qint32 n2);

// Bearing clockwise from grid north in degrees, in (0, 360]: due north and a
// leg of length 0 both give 360.
double legBearingDegrees(qint32 e1, qint32 n1, qint32 e2, qint32 n2);

// A bearing shown to the nearest multiple of 5 degrees, ties to the even
// multiple of 5 (2.5 gives 0, 7.5 gives 10, 357.5 gives 360).
int roundBearing(double degrees);

// legBearingDegrees rounded by roundBearing: a multiple of 5 from 0 to 360.
int legBearing(qint32 e1, qint32 n1, qint32 e2, qint32 n2);

} // namespace RouteGeometry
