#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <vector>

// True latitude and longitude of the map's UTM positions, through PROJ. A map
// knows its points only as zone, band letter, datum label and metres; GPS
// receivers and phone apps want WGS84 degrees. The datum change is the one
// PROJ picks for the small area being converted, never a fixed shift.
namespace GeodesyApi {
struct Operation;
}

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

// Loads the geodesy module, which every conversion below needs, unless it is
// loaded already; throws the French message of a module missing or broken.
void loadModule();

// Throws the French message for a zone outside 1 to 60, a letter outside C to
// X (either case is read as a capital), or a datum label other than "ED50"
// and "WGS84".
void checkGrid(const Grid &grid);
bool isSouthern(QChar letter);

// A box of WGS84 degrees: the small area a datum transformation is chosen
// for. The operation `cs2cs --bbox` would use at its centre is the one used
// for every point converted with it. West is below east: the longitudes of
// an area across the 180th meridian run on beyond 180 (or below -180), and
// are brought back into [-180, 180] only for PROJ's own boxes.
struct Area
{
    double west = 0;
    double south = 0;
    double east = 0;
    double north = 0;
};

// The neighbourhood of one position (a square of about two kilometres, centred
// on the nearest hundredth of a degree so that nearby points share it): what
// a lone point of an itinerary or of a GPX file is converted with.
Area areaAround(const LatLon &position);
Area areaAround(const Grid &grid, const GridPoint &point);
// The box holding the positions between `corner1` and `corner2` of `grid`
// (a calibrated map's extent), in the grid's own datum, which for choosing an
// operation is as good as WGS84.
Area areaOfExtent(const Grid &grid, const GridPoint &corner1, const GridPoint &corner2);

// One datum transformation between a grid and WGS84, chosen once for an area
// and used for every point and in both directions, so that positions on one
// map never jump and a position read back lands where it came from. PROJ
// never reaches the network: grids that are not installed are not used.
// Cheap to copy; the PROJ objects are kept for the rest of the run.
class Transformation
{
public:
    // Throws the French message of a grid that checkGrid refuses, or of an
    // area for which PROJ has no operation.
    Transformation(const Grid &grid, const Area &area);

    // Throws "Le point %1 %2 de la zone %3 ne peut pas être converti en
    // latitude et longitude." for a point the operation cannot convert.
    LatLon toWgs84(const GridPoint &point) const;
    // Throws "Le point de latitude %1 et de longitude %2 ne peut pas être
    // placé dans la zone %3." for a position out of range or out of reach.
    GridPoint fromWgs84(const LatLon &position) const;

    // The operation's name, as the GPX metadata gives it.
    QString operation() const;
    // The operation as a PROJ pipeline from easting/northing to longitude/
    // latitude in degrees, for GDAL's warper; empty when PROJ cannot write
    // it as one.
    QByteArray definition() const;
    // True when PROJ knows no datum shift for this area and converts without
    // one (its "ballpark" operation: off by up to a few hundred metres).
    bool isBallpark() const;

private:
    Grid m_grid;
    const GeodesyApi::Operation *m_operation = nullptr; // owned by the geodesy module
    QString m_name;
    QByteArray m_definition;
    bool m_ballpark = false;
};

// The lengths in metres of the geodesics on the WGS84 ellipsoid between
// consecutive positions (one fewer than the positions), through PROJ: what a
// recorded walk covered, never a flat-earth estimate.
std::vector<double> geodesicLengths(const std::vector<LatLon> &positions);

// The message given once after an export or import that used a ballpark
// operation.
extern const QString kBallparkText;

// Easting/northing of `grid` to WGS84, with the transformation of the
// point's neighbourhood. `operation`, when given, receives its name.
LatLon toWgs84(const Grid &grid, const GridPoint &point, QString *operation = nullptr);

// WGS84 to easting/northing of `grid`, with the transformation of the
// position's neighbourhood. Throws for a latitude or longitude out of range or
// a point that the zone's projection cannot reach.
GridPoint fromWgs84(const Grid &grid, const LatLon &position, QString *operation = nullptr);

} // namespace Coordinates
