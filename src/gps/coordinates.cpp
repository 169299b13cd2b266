#include "coordinates.h"

#include "data/quorerror.h"

#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <map>
#include <tuple>

namespace Coordinates {

namespace {

// The real latitude bands; I and O are not bands of the grid, but a map may be
// labelled with them, and then only the hemisphere is known.
constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVWX";
constexpr double kSouthernmostBand = -80.0;
constexpr double kBandHeight = 8.0;
constexpr double kNorthernmostLatitude = 84.0;
constexpr double kZoneWidth = 6.0;
constexpr double kWesternmostLongitude = -180.0;
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

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

struct Area
{
    double west, south, east, north;
};

// The zone's six degrees of longitude and the band's eight of latitude: PROJ
// ranks the datum transformations by how well they cover this area.
Area areaOf(const Grid &grid)
{
    const double west = kWesternmostLongitude + kZoneWidth * (grid.zone - kFirstZone);
    const char letter = capital(grid.letter).toLatin1();
    const char *band = std::char_traits<char>::find(kBands, sizeof kBands - 1, letter);
    double south = 0;
    double north = kNorthernmostLatitude;
    if (band) {
        south = kSouthernmostBand + kBandHeight * double(band - kBands);
        north = letter == kLastBand ? kNorthernmostLatitude : south + kBandHeight;
    } else if (isSouthern(grid.letter)) {
        south = kSouthernmostBand;
        north = 0;
    }
    return {west, south, west + kZoneWidth, north};
}

// The program's one PROJ context and the transformations it made, one per
// zone, band and datum: building one searches PROJ's database, which takes
// far longer than converting the thousands of points of a track. All of it is
// released when the program ends.
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

    PJ *transformation(const Grid &grid)
    {
        const auto key =
            std::make_tuple(grid.zone, capital(grid.letter).unicode(), isEd50(grid.datum));
        auto found = m_transformations.find(key);
        if (found != m_transformations.end())
            return found->second;
        PJ *made = create(grid);
        if (!made)
            throw QuorError(QStringLiteral("PROJ ne sait pas convertir les coordonnées de la "
                                           "zone %1 (%2) en latitude et longitude WGS84.")
                                .arg(gridText(grid), grid.datum));
        m_transformations.emplace(key, made);
        return made;
    }

    // The operation `p` used for its last point, kept for the rest of the run.
    PJ *lastOperation(PJ *p)
    {
        PJ *used = proj_trans_get_last_used_operation(p);
        if (!used)
            return p;
        const QString name = QString::fromUtf8(proj_get_name(used));
        auto found = m_operations.find(name);
        if (found != m_operations.end()) {
            proj_destroy(used);
            return found->second;
        }
        m_operations.emplace(name, used);
        return used;
    }

private:
    Proj() : m_context(proj_context_create()) {}
    ~Proj()
    {
        for (auto &entry : m_transformations)
            proj_destroy(entry.second);
        for (auto &entry : m_operations)
            proj_destroy(entry.second);
        proj_context_destroy(m_context);
    }

    PJ *create(const Grid &grid)
    {
        PJ *base = proj_create(m_context, isEd50(grid.datum) ? kEd50Crs : kWgs84Crs);
        PJ *conversion = proj_create_conversion_utm(m_context, grid.zone, !isSouthern(grid.letter));
        PJ *axes = proj_create_cartesian_2D_cs(m_context, PJ_CART2D_EASTING_NORTHING, nullptr, 0);
        PJ *projected = nullptr;
        if (base && conversion && axes) {
            const QByteArray name =
                QStringLiteral("%1 / UTM %2").arg(grid.datum, gridText(grid)).toUtf8();
            projected =
                proj_create_projected_crs(m_context, name.constData(), base, conversion, axes);
        }
        PJ *wgs84 = proj_create(m_context, kWgs84Crs);
        PJ *raw = nullptr;
        if (projected && wgs84) {
            const Area a = areaOf(grid);
            PJ_AREA *area = proj_area_create();
            proj_area_set_bbox(area, a.west, a.south, a.east, a.north);
            raw = proj_create_crs_to_crs_from_pj(m_context, projected, wgs84, area, nullptr);
            proj_area_destroy(area);
        }
        // Longitude first, then latitude, whatever order EPSG gives the axes.
        PJ *normalized = raw ? proj_normalize_for_visualization(m_context, raw) : nullptr;
        for (PJ *p : {base, conversion, axes, projected, wgs84, raw})
            proj_destroy(p);
        return normalized;
    }

    PJ_CONTEXT *m_context;
    std::map<std::tuple<int, char16_t, bool>, PJ *> m_transformations;
    std::map<QString, PJ *> m_operations;
};

PJ_COORD convert(PJ *p, PJ_DIRECTION direction, double x, double y)
{
    proj_errno_reset(p);
    return proj_trans(p, direction, proj_coord(x, y, 0, 0));
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

LatLon toWgs84(const Grid &grid, const GridPoint &point, QString *operation)
{
    checkGrid(grid);
    Proj &proj = Proj::instance();
    PJ *p = proj.transformation(grid);
    const PJ_COORD out = convert(p, PJ_FWD, point.easting, point.northing);
    if (proj_errno(p) != 0 || !std::isfinite(out.xy.x) || !std::isfinite(out.xy.y))
        throw QuorError(QStringLiteral("Le point %1 %2 de la zone %3 ne peut pas être converti en "
                                       "latitude et longitude.")
                            .arg(point.easting, 0, 'f', 0)
                            .arg(point.northing, 0, 'f', 0)
                            .arg(gridText(grid)));
    if (operation)
        *operation = QString::fromUtf8(proj_get_name(proj.lastOperation(p)));
    return {out.xy.y, out.xy.x};
}

GridPoint fromWgs84(const Grid &grid, const LatLon &position, QString *operation)
{
    checkGrid(grid);
    const auto cannot = [&] {
        return QuorError(QStringLiteral("Le point de latitude %1 et de longitude %2 ne peut pas "
                                        "être placé dans la zone %3.")
                             .arg(position.latitude, 0, 'f', 6)
                             .arg(position.longitude, 0, 'f', 6)
                             .arg(gridText(grid)));
    };
    if (!(std::abs(position.latitude) <= kMaxLatitude) ||
        !(std::abs(position.longitude) <= kMaxLongitude))
        throw cannot();
    Proj &proj = Proj::instance();
    PJ *p = proj.transformation(grid);
    // PROJ picks the datum change of each direction on its own, by the point's
    // bounding boxes, and near Toulouse the two choices differ by two metres.
    // A position read back from GPX must land where the map's point came from,
    // so the way back is the inverse of what the way out would use here.
    PJ_COORD out = convert(p, PJ_INV, position.longitude, position.latitude);
    if (proj_errno(p) != 0 || !std::isfinite(out.xy.x) || !std::isfinite(out.xy.y))
        throw cannot();
    convert(p, PJ_FWD, out.xy.x, out.xy.y);
    PJ *used = proj_errno(p) == 0 ? proj.lastOperation(p) : p;
    if (used != p) {
        out = convert(used, PJ_INV, position.longitude, position.latitude);
        if (proj_errno(used) != 0 || !std::isfinite(out.xy.x) || !std::isfinite(out.xy.y))
            throw cannot();
    }
    if (operation)
        *operation = QString::fromUtf8(proj_get_name(used));
    return {out.xy.x, out.xy.y};
}

} // namespace Coordinates
