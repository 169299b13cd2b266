#include "coordinates.h"

#include "data/moduleloader.h"
#include "data/quorerror.h"
#include "geodesyapi.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Coordinates {

const QString kBallparkText =
    QStringLiteral("Aucune transformation connue ne relie ED50 à WGS84 dans cette région : les "
                   "positions ont été converties sans changement de système géodésique et peuvent "
                   "être décalées de plusieurs centaines de mètres.");

namespace {

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
constexpr double kZoneWidth = 6.0; // degrees of longitude of a UTM zone
constexpr double kDegreesToRadians = M_PI / 180.0;

// A lone position's neighbourhood is centred on the node of a grid of
// hundredths of a degree nearest to it, so that the points of a track share
// a few neighbourhoods (and their transformations) instead of making one
// each; its edges fall on the same grid, which `cs2cs --bbox` reads back
// exactly. Half its height is one step (1.1 km), half its width as many steps
// as make at least as much on the ground.
constexpr double kStepsPerDegree = 100.0;
constexpr double kHalfHeightSteps = 1.0;

QChar capital(QChar letter)
{
    return letter.toUpper();
}

bool isEd50(const QString &datum)
{
    return datum == QLatin1String(kEd50);
}

QString gridText(const Grid &grid)
{
    return QString::number(grid.zone) + capital(grid.letter);
}

QuorError unconvertible(const Grid &grid, const GridPoint &point)
{
    return QuorError(QStringLiteral("Le point %1 %2 de la zone %3 ne peut pas être converti en "
                                    "latitude et longitude.")
                         .arg(point.easting, 0, 'f', 0)
                         .arg(point.northing, 0, 'f', 0)
                         .arg(gridText(grid)));
}

QuorError unplaceable(const Grid &grid, const LatLon &position)
{
    return QuorError(QStringLiteral("Le point de latitude %1 et de longitude %2 ne peut pas être "
                                    "placé dans la zone %3.")
                         .arg(position.latitude, 0, 'f', 6)
                         .arg(position.longitude, 0, 'f', 6)
                         .arg(gridText(grid)));
}

GeodesyApi::Frame frameOf(const Grid &grid)
{
    return {grid.zone, isSouthern(grid.letter), isEd50(grid.datum)};
}

QuorError noConversion(const Grid &grid)
{
    return QuorError(QStringLiteral("PROJ ne sait pas convertir les coordonnées de la zone %1 (%2) "
                                    "en latitude et longitude WGS84.")
                         .arg(gridText(grid), grid.datum));
}

// The geodesy module, loaded by the first conversion of the run.
const GeodesyApi::Functions &geodesy()
{
    static const GeodesyApi::Functions *functions = nullptr;
    if (!functions) {
        const auto entry = reinterpret_cast<GeodesyApi::EntryPoint>(ModuleLoader::entryPoint(
            QLatin1String(GeodesyApi::kModuleName), GeodesyApi::kEntryPoint));
        const GeodesyApi::Functions *found = entry();
        if (!found || found->version != GeodesyApi::kVersion)
            throw QuorError(QStringLiteral("Le module de géodésie de Quor n'est pas de la même "
                                           "version que le programme : réinstallez Quor."));
        functions = found;
    }
    return *functions;
}

// Longitude and latitude of a grid point in the grid's own datum.
LatLon projected(const Grid &grid, const GridPoint &point)
{
    double longitude = 0;
    double latitude = 0;
    switch (
        geodesy().project(frameOf(grid), point.easting, point.northing, &longitude, &latitude)) {
    case GeodesyApi::Done:
        return {latitude, longitude};
    case GeodesyApi::NoConversion:
        throw noConversion(grid);
    case GeodesyApi::PointOutOfReach:
        break;
    }
    throw unconvertible(grid, point);
}

} // namespace

void loadModule()
{
    geodesy();
}

std::vector<double> geodesicLengths(const std::vector<LatLon> &positions)
{
    if (positions.size() < 2)
        return {};
    std::vector<double> lonLat;
    lonLat.reserve(2 * positions.size());
    for (const LatLon &p : positions) {
        lonLat.push_back(p.longitude);
        lonLat.push_back(p.latitude);
    }
    std::vector<double> metres(positions.size() - 1);
    geodesy().geodesics(lonLat.data(), static_cast<long long>(positions.size()), metres.data());
    return metres;
}

bool isSouthern(QChar letter)
{
    return capital(letter).unicode() < QLatin1Char(kFirstNorthernBand).unicode();
}

void checkGrid(const Grid &grid)
{
    if (grid.zone < kFirstZone || grid.zone > kLastZone)
        throw QuorError(
            QStringLiteral("La zone UTM %1 est incorrecte : elle doit aller de %2 à %3.")
                .arg(grid.zone)
                .arg(kFirstZone)
                .arg(kLastZone));
    const QChar letter = capital(grid.letter);
    if (letter < QLatin1Char(kFirstBand) || letter > QLatin1Char(kLastBand))
        throw QuorError(QStringLiteral("La lettre de bande « %1 » est incorrecte : elle doit aller "
                                       "de %2 à %3.")
                            .arg(grid.letter)
                            .arg(QLatin1Char(kFirstBand))
                            .arg(QLatin1Char(kLastBand)));
    if (!isEd50(grid.datum) && grid.datum != QLatin1String(kWgs84))
        throw QuorError(QStringLiteral("Le système géodésique « %1 » est inconnu : seuls %2 et %3 "
                                       "sont reconnus.")
                            .arg(grid.datum, QLatin1String(kEd50), QLatin1String(kWgs84)));
}

Area areaAround(const LatLon &position)
{
    const double latitude = std::isfinite(position.latitude)
                                ? std::clamp(position.latitude, -kMaxLatitude, kMaxLatitude)
                                : 0.0;
    const double longitude = std::isfinite(position.longitude)
                                 ? std::clamp(position.longitude, -kMaxLongitude, kMaxLongitude)
                                 : 0.0;
    // Edges computed from whole steps, so that they are the very numbers a
    // reader of "43.61" gets.
    const double row = std::round(latitude * kStepsPerDegree);
    const double column = std::round(longitude * kStepsPerDegree);
    const double shrink = std::cos(row / kStepsPerDegree * kDegreesToRadians);
    const double halfWidth =
        std::min(std::ceil(kHalfHeightSteps / shrink), 2 * kMaxLongitude * kStepsPerDegree);
    Area area;
    area.south = std::max((row - kHalfHeightSteps) / kStepsPerDegree, -kMaxLatitude);
    area.north = std::min((row + kHalfHeightSteps) / kStepsPerDegree, kMaxLatitude);
    area.west = std::max((column - halfWidth) / kStepsPerDegree, -kMaxLongitude);
    area.east = std::min((column + halfWidth) / kStepsPerDegree, kMaxLongitude);
    return area;
}

Area areaAround(const Grid &grid, const GridPoint &point)
{
    checkGrid(grid);
    return areaAround(projected(grid, point));
}

Area areaOfExtent(const Grid &grid, const GridPoint &corner1, const GridPoint &corner2)
{
    checkGrid(grid);
    // Longitudes are taken around the zone's central meridian, so that a map
    // across the 180th meridian is the few degrees it covers, not the whole
    // world between its two edges.
    const double centralMeridian = grid.zone * kZoneWidth - kMaxLongitude - kZoneWidth / 2;
    // A UTM rectangle's edges are curves in degrees: their middles can reach
    // beyond the corners.
    Area area{std::numeric_limits<double>::infinity(), kMaxLatitude,
              -std::numeric_limits<double>::infinity(), -kMaxLatitude};
    for (const double e :
         {corner1.easting, (corner1.easting + corner2.easting) / 2, corner2.easting}) {
        for (const double n :
             {corner1.northing, (corner1.northing + corner2.northing) / 2, corner2.northing}) {
            const LatLon p = projected(grid, {e, n});
            const double longitude =
                centralMeridian + std::remainder(p.longitude - centralMeridian, 2 * kMaxLongitude);
            area.west = std::min(area.west, longitude);
            area.east = std::max(area.east, longitude);
            area.south = std::min(area.south, p.latitude);
            area.north = std::max(area.north, p.latitude);
        }
    }
    return area;
}

Transformation::Transformation(const Grid &grid, const Area &area) : m_grid(grid)
{
    checkGrid(grid);
    const GeodesyApi::Functions &g = geodesy();
    const GeodesyApi::Operation *chosen =
        g.choose(frameOf(grid), area.west, area.south, area.east, area.north);
    if (!chosen)
        throw noConversion(grid);
    m_operation = chosen;
    m_name = QString::fromUtf8(g.name(chosen));
    m_definition = QByteArray(g.definition(chosen));
    m_ballpark = g.ballpark(chosen);
}

LatLon Transformation::toWgs84(const GridPoint &point) const
{
    double longitude = 0;
    double latitude = 0;
    if (geodesy().forward(m_operation, point.easting, point.northing, &longitude, &latitude) !=
        GeodesyApi::Done)
        throw unconvertible(m_grid, point);
    return {latitude, longitude};
}

GridPoint Transformation::fromWgs84(const LatLon &position) const
{
    if (!(std::abs(position.latitude) <= kMaxLatitude) ||
        !(std::abs(position.longitude) <= kMaxLongitude))
        throw unplaceable(m_grid, position);
    GridPoint p;
    if (geodesy().inverse(m_operation, position.longitude, position.latitude, &p.easting,
                          &p.northing) != GeodesyApi::Done)
        throw unplaceable(m_grid, position);
    return p;
}

QString Transformation::operation() const
{
    return m_name;
}

QByteArray Transformation::definition() const
{
    return m_definition;
}

bool Transformation::isBallpark() const
{
    return m_ballpark;
}

LatLon toWgs84(const Grid &grid, const GridPoint &point, QString *operation)
{
    const Transformation transformation(grid, areaAround(grid, point));
    const LatLon p = transformation.toWgs84(point);
    if (operation)
        *operation = transformation.operation();
    return p;
}

GridPoint fromWgs84(const Grid &grid, const LatLon &position, QString *operation)
{
    checkGrid(grid);
    if (!(std::abs(position.latitude) <= kMaxLatitude) ||
        !(std::abs(position.longitude) <= kMaxLongitude))
        throw unplaceable(grid, position);
    const Transformation transformation(grid, areaAround(position));
    const GridPoint p = transformation.fromWgs84(position);
    if (operation)
        *operation = transformation.operation();
    return p;
}

} // namespace Coordinates
