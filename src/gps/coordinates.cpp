#include "coordinates.h"

#include "data/quorerror.h"

#include <proj.h>
#include <proj_experimental.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace Coordinates {

const QString kBallparkText =
    QStringLiteral("Aucune transformation connue ne relie ED50 à WGS84 dans cette région : les "
                   "positions ont été converties sans changement de système géodésique et peuvent "
                   "être décalées de plusieurs centaines de mètres.");

namespace {

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
constexpr double kDegreesToRadians = M_PI / 180.0;

// A lone position's neighbourhood is centred on the node of a grid of
// hundredths of a degree nearest to it, so that the points of a track share
// a few neighbourhoods (and their transformations) instead of making one
// each; its edges fall on the same grid, which `cs2cs --bbox` reads back
// exactly. Half its height is one step (1.1 km), half its width as many steps
// as make at least as much on the ground.
constexpr double kStepsPerDegree = 100.0;
constexpr double kHalfHeightSteps = 1.0;

constexpr char kEd50Crs[] = "EPSG:4230";
constexpr char kWgs84Crs[] = "EPSG:4326";

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

bool isFinite(const PJ_COORD &c)
{
    return std::isfinite(c.xy.x) && std::isfinite(c.xy.y);
}

PJ_COORD convert(PJ *p, PJ_DIRECTION direction, double x, double y)
{
    proj_errno_reset(p);
    return proj_trans(p, direction, proj_coord(x, y, 0, 0));
}

// Only the zone and the hemisphere of a grid make its projection; the band
// letter within a hemisphere changes nothing.
using FrameKey = std::tuple<int, bool, bool>;

FrameKey frameKey(const Grid &grid)
{
    return {grid.zone, isSouthern(grid.letter), isEd50(grid.datum)};
}

// The datum transformation chosen for one area, as the transformations that
// use it see it.
struct Chosen
{
    PJ *operation = nullptr;
    QString name;
    bool ballpark = false;
};

// The program's one PROJ context, the grids' coordinate systems and the
// transformations chosen for each area: choosing one searches PROJ's database
// for a few milliseconds, far longer than converting the thousands of points
// of a track. All of it is released when the program ends.
class Proj
{
public:
    static Proj &instance()
    {
        static Proj proj;
        return proj;
    }

    Proj(const Proj &) = delete;
    Proj &operator=(const Proj &) = delete;

    // Easting/northing of the grid to longitude/latitude in the grid's own
    // datum, and back: the projection alone.
    PJ *projection(const Grid &grid)
    {
        const std::lock_guard lock(m_mutex);
        return frame(grid).projection;
    }

    const Chosen *chosen(const Grid &grid, const Area &area)
    {
        const std::lock_guard lock(m_mutex);
        const auto key =
            std::make_tuple(frameKey(grid), area.west, area.south, area.east, area.north);
        auto found = m_chosen.find(key);
        if (found != m_chosen.end())
            return found->second;
        const Chosen *made = choose(grid, area);
        if (!made)
            throw QuorError(QStringLiteral("PROJ ne sait pas convertir les coordonnées de la "
                                           "zone %1 (%2) en latitude et longitude WGS84.")
                                .arg(gridText(grid), grid.datum));
        m_chosen.emplace(key, made);
        return made;
    }

private:
    struct Frame
    {
        PJ *crs = nullptr;
        PJ *projection = nullptr;
    };

    Proj() : m_context(proj_context_create())
    {
        // Whatever PROJ_NETWORK or proj.ini say: a grid fetched on one machine
        // and not on another would give two answers for one map, and without
        // a connection the first conversion would fail.
        proj_context_set_enable_network(m_context, 0);
        m_wgs84 = proj_create(m_context, kWgs84Crs);
    }

    ~Proj()
    {
        for (auto &entry : m_frames) {
            proj_destroy(entry.second.crs);
            proj_destroy(entry.second.projection);
        }
        for (auto &entry : m_operations)
            proj_destroy(entry.second.operation);
        proj_destroy(m_wgs84);
        proj_context_destroy(m_context);
    }

    Frame &frame(const Grid &grid)
    {
        const FrameKey key = frameKey(grid);
        auto found = m_frames.find(key);
        if (found != m_frames.end())
            return found->second;
        Frame made;
        PJ *base = proj_create(m_context, isEd50(grid.datum) ? kEd50Crs : kWgs84Crs);
        PJ *conversion = proj_create_conversion_utm(m_context, grid.zone, !isSouthern(grid.letter));
        PJ *axes = proj_create_cartesian_2D_cs(m_context, PJ_CART2D_EASTING_NORTHING, nullptr, 0);
        if (base && conversion && axes) {
            const QByteArray name = QStringLiteral("%1 / UTM %2%3")
                                        .arg(grid.datum)
                                        .arg(grid.zone)
                                        .arg(isSouthern(grid.letter) ? 'S' : 'N')
                                        .toUtf8();
            made.crs =
                proj_create_projected_crs(m_context, name.constData(), base, conversion, axes);
        }
        PJ *raw = made.crs && base
                      ? proj_create_crs_to_crs_from_pj(m_context, made.crs, base, nullptr, nullptr)
                      : nullptr;
        // Longitude first, then latitude, whatever order EPSG gives the axes.
        made.projection = raw ? proj_normalize_for_visualization(m_context, raw) : nullptr;
        for (PJ *p : {base, conversion, axes, raw})
            proj_destroy(p);
        if (!made.crs || !made.projection) {
            proj_destroy(made.crs);
            proj_destroy(made.projection);
            throw QuorError(QStringLiteral("PROJ ne sait pas convertir les coordonnées de la "
                                           "zone %1 (%2) en latitude et longitude WGS84.")
                                .arg(gridText(grid), grid.datum));
        }
        return m_frames.emplace(key, made).first->second;
    }

    // The operation `cs2cs --bbox` uses at the area's centre, by PROJ's own
    // choice: the candidates proj_create_crs_to_crs_from_pj keeps for the area
    // (installed grids only, the network being off), then the one proj_trans
    // picks for that point. Asking which it picked clones it, so it is asked
    // once here rather than for every point.
    const Chosen *choose(const Grid &grid, const Area &area)
    {
        const Frame &f = frame(grid);
        PJ_AREA *bbox = proj_area_create();
        proj_area_set_bbox(bbox, area.west, area.south, area.east, area.north);
        PJ *candidates = proj_create_crs_to_crs_from_pj(m_context, f.crs, m_wgs84, bbox, nullptr);
        proj_area_destroy(bbox);
        if (!candidates)
            return nullptr;
        const PJ_COORD centre = convert(f.projection, PJ_INV, (area.west + area.east) / 2,
                                        (area.south + area.north) / 2);
        const bool converted =
            isFinite(centre) && isFinite(convert(candidates, PJ_FWD, centre.xy.x, centre.xy.y));
        PJ *used = converted ? proj_trans_get_last_used_operation(candidates) : nullptr;
        // A single candidate is kept as it is, and PROJ never records it as used.
        if (!used && converted)
            std::swap(used, candidates);
        proj_destroy(candidates);
        if (!used)
            return nullptr;
        PJ *normalized = proj_normalize_for_visualization(m_context, used);
        proj_destroy(used);
        if (!normalized)
            return nullptr;
        // Many areas share an operation: keep one copy of each.
        const QString name = QString::fromUtf8(proj_get_name(normalized));
        const auto key = std::make_pair(frameKey(grid), name);
        auto found = m_operations.find(key);
        if (found != m_operations.end()) {
            proj_destroy(normalized);
            return &found->second;
        }
        Chosen made;
        made.operation = normalized;
        made.name = name;
        made.ballpark = proj_coordoperation_has_ballpark_transformation(m_context, normalized);
        return &m_operations.emplace(key, made).first->second;
    }

    std::mutex m_mutex;
    PJ_CONTEXT *m_context;
    PJ *m_wgs84 = nullptr;
    std::map<FrameKey, Frame> m_frames;
    std::map<std::pair<FrameKey, QString>, Chosen> m_operations;
    std::map<std::tuple<FrameKey, double, double, double, double>, const Chosen *> m_chosen;
};

// Longitude and latitude of a grid point in the grid's own datum.
LatLon projected(const Grid &grid, const GridPoint &point)
{
    PJ *p = Proj::instance().projection(grid);
    const PJ_COORD out = convert(p, PJ_FWD, point.easting, point.northing);
    if (proj_errno(p) != 0 || !isFinite(out))
        throw unconvertible(grid, point);
    return {out.xy.y, out.xy.x};
}

} // namespace

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
    // A UTM rectangle's edges are curves in degrees: their middles can reach
    // beyond the corners.
    Area area{kMaxLongitude, kMaxLatitude, -kMaxLongitude, -kMaxLatitude};
    for (const double e :
         {corner1.easting, (corner1.easting + corner2.easting) / 2, corner2.easting}) {
        for (const double n :
             {corner1.northing, (corner1.northing + corner2.northing) / 2, corner2.northing}) {
            const LatLon p = projected(grid, {e, n});
            area.west = std::min(area.west, p.longitude);
            area.east = std::max(area.east, p.longitude);
            area.south = std::min(area.south, p.latitude);
            area.north = std::max(area.north, p.latitude);
        }
    }
    return area;
}

Transformation::Transformation(const Grid &grid, const Area &area) : m_grid(grid)
{
    checkGrid(grid);
    const Chosen *chosen = Proj::instance().chosen(grid, area);
    m_operation = chosen->operation;
    m_name = chosen->name;
    m_ballpark = chosen->ballpark;
}

LatLon Transformation::toWgs84(const GridPoint &point) const
{
    PJ *p = static_cast<PJ *>(m_operation);
    const PJ_COORD out = convert(p, PJ_FWD, point.easting, point.northing);
    if (proj_errno(p) != 0 || !isFinite(out))
        throw unconvertible(m_grid, point);
    return {out.xy.y, out.xy.x};
}

GridPoint Transformation::fromWgs84(const LatLon &position) const
{
    if (!(std::abs(position.latitude) <= kMaxLatitude) ||
        !(std::abs(position.longitude) <= kMaxLongitude))
        throw unplaceable(m_grid, position);
    PJ *p = static_cast<PJ *>(m_operation);
    const PJ_COORD out = convert(p, PJ_INV, position.longitude, position.latitude);
    if (proj_errno(p) != 0 || !isFinite(out))
        throw unplaceable(m_grid, position);
    return {out.xy.x, out.xy.y};
}

QString Transformation::operation() const
{
    return m_name;
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
