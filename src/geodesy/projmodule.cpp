// The geodesy module: PROJ behind the narrow interface of gps/geodesyapi.h.
// Loaded by the program the first time a command converts a position.

#include "gps/geodesyapi.h"

#include <geodesic.h>
#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>

using namespace GeodesyApi;

struct GeodesyApi::Operation
{
    PJ *pj = nullptr;
    std::string name;
    std::string definition;
    bool ballpark = false;
};

namespace {

constexpr char kEd50Crs[] = "EPSG:4230";
constexpr char kWgs84Crs[] = "EPSG:4326";
constexpr double kHalfTurn = 180.0; // degrees of longitude

using FrameKey = std::tuple<int, bool, bool>;

FrameKey keyOf(const Frame &frame)
{
    return {frame.zone, frame.southern, frame.ed50};
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

// The module's one PROJ context, the grids' coordinate systems and the
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
    // datum, and back: the projection alone. Null when PROJ cannot make it.
    PJ *projection(const Frame &frame)
    {
        const std::lock_guard lock(m_mutex);
        return grid(frame).projection;
    }

    const Operation *chosen(const Frame &frame, double west, double south, double east,
                            double north)
    {
        const std::lock_guard lock(m_mutex);
        const auto key = std::make_tuple(keyOf(frame), west, south, east, north);
        auto found = m_chosen.find(key);
        if (found != m_chosen.end())
            return found->second;
        const Operation *made = choose(frame, west, south, east, north);
        if (made)
            m_chosen.emplace(key, made);
        return made;
    }

private:
    struct Grid
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
        for (auto &entry : m_grids) {
            proj_destroy(entry.second.crs);
            proj_destroy(entry.second.projection);
        }
        for (auto &entry : m_operations)
            proj_destroy(entry.second.pj);
        proj_destroy(m_wgs84);
        proj_context_destroy(m_context);
    }

    Grid &grid(const Frame &frame)
    {
        const FrameKey key = keyOf(frame);
        auto found = m_grids.find(key);
        if (found != m_grids.end())
            return found->second;
        Grid made;
        PJ *base = proj_create(m_context, frame.ed50 ? kEd50Crs : kWgs84Crs);
        PJ *conversion = proj_create_conversion_utm(m_context, frame.zone, !frame.southern);
        PJ *axes = proj_create_cartesian_2D_cs(m_context, PJ_CART2D_EASTING_NORTHING, nullptr, 0);
        if (base && conversion && axes) {
            const std::string name = std::string(frame.ed50 ? "ED50" : "WGS84") + " / UTM " +
                                     std::to_string(frame.zone) + (frame.southern ? "S" : "N");
            made.crs = proj_create_projected_crs(m_context, name.c_str(), base, conversion, axes);
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
            made = Grid();
        }
        return m_grids.emplace(key, made).first->second;
    }

    // The operation `cs2cs --bbox` uses at the area's centre, by PROJ's own
    // choice: the candidates proj_create_crs_to_crs_from_pj keeps for the area
    // (installed grids only, the network being off), then the one proj_trans
    // picks for that point. Asking which it picked clones it, so it is asked
    // once here rather than for every point.
    const Operation *choose(const Frame &frame, double west, double south, double east,
                            double north)
    {
        const Grid &g = grid(frame);
        if (!g.crs)
            return nullptr;
        PJ_AREA *bbox = proj_area_create();
        // PROJ's boxes hold longitudes of [-180, 180], west beyond east for
        // one across the 180th meridian.
        if (east - west < 2 * kHalfTurn)
            proj_area_set_bbox(bbox, std::remainder(west, 2 * kHalfTurn), south,
                               std::remainder(east, 2 * kHalfTurn), north);
        else
            proj_area_set_bbox(bbox, -kHalfTurn, south, kHalfTurn, north);
        PJ *candidates = proj_create_crs_to_crs_from_pj(m_context, g.crs, m_wgs84, bbox, nullptr);
        proj_area_destroy(bbox);
        if (!candidates)
            return nullptr;
        const PJ_COORD centre =
            convert(g.projection, PJ_INV, (west + east) / 2, (south + north) / 2);
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
        const std::string name = proj_get_name(normalized);
        const auto key = std::make_pair(keyOf(frame), name);
        auto found = m_operations.find(key);
        if (found != m_operations.end()) {
            proj_destroy(normalized);
            return &found->second;
        }
        Operation made;
        made.pj = normalized;
        made.name = name;
        made.ballpark = proj_coordoperation_has_ballpark_transformation(m_context, normalized);
        const char *definition = proj_as_proj_string(m_context, normalized, PJ_PROJ_5, nullptr);
        made.definition = definition ? definition : "";
        return &m_operations.emplace(key, made).first->second;
    }

    std::mutex m_mutex;
    PJ_CONTEXT *m_context;
    PJ *m_wgs84 = nullptr;
    std::map<FrameKey, Grid> m_grids;
    std::map<std::pair<FrameKey, std::string>, Operation> m_operations;
    std::map<std::tuple<FrameKey, double, double, double, double>, const Operation *> m_chosen;
};

Status run(PJ *p, PJ_DIRECTION direction, double x, double y, double *outX, double *outY)
{
    const PJ_COORD out = convert(p, direction, x, y);
    if (proj_errno(p) != 0 || !isFinite(out))
        return PointOutOfReach;
    *outX = out.xy.x;
    *outY = out.xy.y;
    return Done;
}

Status project(Frame frame, double easting, double northing, double *longitude, double *latitude)
{
    PJ *p = Proj::instance().projection(frame);
    if (!p)
        return NoConversion;
    return run(p, PJ_FWD, easting, northing, longitude, latitude);
}

const Operation *choose(Frame frame, double west, double south, double east, double north)
{
    return Proj::instance().chosen(frame, west, south, east, north);
}

const char *name(const Operation *operation)
{
    return operation->name.c_str();
}

bool ballpark(const Operation *operation)
{
    return operation->ballpark;
}

Status forward(const Operation *operation, double easting, double northing, double *longitude,
               double *latitude)
{
    return run(operation->pj, PJ_FWD, easting, northing, longitude, latitude);
}

Status inverse(const Operation *operation, double longitude, double latitude, double *easting,
               double *northing)
{
    return run(operation->pj, PJ_INV, longitude, latitude, easting, northing);
}

const char *definition(const Operation *operation)
{
    return operation->definition.c_str();
}

void geodesics(const double *lonLat, long long count, double *metres)
{
    // WGS84's semi-major axis and flattening, as PROJ's own ellipsoid table
    // gives them.
    static const geod_geodesic wgs84 = [] {
        geod_geodesic g;
        geod_init(&g, 6378137.0, 1 / 298.257223563);
        return g;
    }();
    for (long long i = 0; i + 1 < count; ++i) {
        const double *a = lonLat + 2 * i;
        geod_inverse(&wgs84, a[1], a[0], a[3], a[2], &metres[i], nullptr, nullptr);
    }
}

const Functions kFunctions{kVersion, project, choose,     name,     ballpark,
                           forward,  inverse, definition, geodesics};

} // namespace

extern "C" __attribute__((visibility("default"))) const Functions *quor_geodesy_functions()
{
    return &kFunctions;
}
