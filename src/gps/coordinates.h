#pragma once

#include <QChar>
#include <QString>

// True latitude and longitude of the map's UTM positions, through PROJ. A map
// knows its points only as zone, band letter, datum label and metres; GPS
// receivers and phone apps want WGS84 degrees. The datum change is the one
// PROJ picks for the area of the point's zone and band, never a fixed shift.
namespace Coordinates {

inline constexpr char kEd50[] = "ED50";
inline constexpr char kWgs84[] = "WGS84";
constexpr int kFirstZone = 1;
constexpr int kLastZone = 60;
constexpr char kFirstBand = 'C';
constexpr char kLastBand = 'X';
// Bands C to M lie south of the equator, N to X north of it.
constexpr char kFirstNorthernBand = 'N';

// The UTM grid of a map: what its calibration says of every point on it.
struct Grid
{
    int zone = 31;
    QChar letter = QLatin1Char('U');
    QString datum = QString::fromLatin1(kEd50);
};

struct LatLon
{
    double latitude = 0;  // degrees north, WGS84
    double longitude = 0; // degrees east, WGS84
};

struct GridPoint
{
    double easting = 0;  // metres
    double northing = 0; // metres
};

// Throws the French message for a zone outside 1 to 60, a letter outside C to
// X (either case is read as a capital), or a datum label other than "ED50"
// and "WGS84".
void checkGrid(const Grid &grid);
bool isSouthern(QChar letter);

// Easting/northing of `grid` to WGS84. `operation`, when given, receives the
// name of the transformation PROJ used for this point.
LatLon toWgs84(const Grid &grid, const GridPoint &point, QString *operation = nullptr);

// WGS84 to easting/northing of `grid`. Throws for a latitude or longitude out
// of range or a point that the zone's projection cannot reach.
GridPoint fromWgs84(const Grid &grid, const LatLon &position, QString *operation = nullptr);

} // namespace Coordinates
