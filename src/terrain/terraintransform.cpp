#include "terraingdal.h"

#include <cmath>
#include <utility>

using namespace TerrainApi;

namespace TerrainModule {

namespace {

constexpr double kHalfTurn = 180.0; // degrees of longitude
constexpr char kEd50Crs[] = "EPSG:4230";
constexpr char kWgs84Crs[] = "EPSG:4326";

} // namespace

const Transform *Gdal::transform(int system, const Frame &frame, const Area &area)
{
    if (system < 0 || std::size_t(system) >= m_systems.size())
        return nullptr;
    const TransformKey key{system,    frame.zone, frame.southern, frame.ed50,
                           area.west, area.south, area.east,      area.north};
    auto found = m_transforms.find(key);
    if (found == m_transforms.end())
        found = m_transforms.emplace(key, choose(m_systems[system], frame, area)).first;
    return &found->second;
}

// The operation from the map's grid to `system` that `cs2cs --bbox`
// would use at the area's centre: the candidates PROJ keeps for the area
// (installed grids only, the network being off), then the one it picks
// for the centre. OGR is then given that very operation, so that every
// point of the map goes through it and positions never jump where the
// areas of two candidates meet.
Transform Gdal::choose(const System &system, const Frame &frame, const Area &area)
{
    Transform made;
    OGRSpatialReference grid;
    grid.SetFromUserInput(frame.ed50 ? kEd50Crs : kWgs84Crs);
    grid.SetUTM(frame.zone, !frame.southern);
    grid.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference degrees;
    degrees.CopyGeogCSFrom(&grid);
    degrees.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    // The centre in the grid's own datum, by the projection alone.
    std::unique_ptr<OGRCoordinateTransformation> projection(
        OGRCreateCoordinateTransformation(&degrees, &grid));
    double x = (area.west + area.east) / 2;
    double y = (area.south + area.north) / 2;
    if (!projection || !projection->Transform(1, &x, &y))
        return made;

    PJ *source = proj_create(m_context, wktOf(grid).c_str());
    PJ *target = proj_create(m_context, system.wkt.c_str());
    PJ_AREA *bbox = proj_area_create();
    // The map's longitudes run on past 180 across the antimeridian;
    // PROJ's boxes hold [-180, 180], west beyond east for such an area.
    if (area.east - area.west < 2 * kHalfTurn)
        proj_area_set_bbox(bbox, std::remainder(area.west, 2 * kHalfTurn), area.south,
                           std::remainder(area.east, 2 * kHalfTurn), area.north);
    else
        proj_area_set_bbox(bbox, -kHalfTurn, area.south, kHalfTurn, area.north);
    PJ *candidates = source && target
                         ? proj_create_crs_to_crs_from_pj(m_context, source, target, bbox, nullptr)
                         : nullptr;
    proj_area_destroy(bbox);
    PJ *used = nullptr;
    if (candidates) {
        const PJ_COORD out = proj_trans(candidates, PJ_FWD, proj_coord(x, y, 0, 0));
        if (std::isfinite(out.xy.x) && std::isfinite(out.xy.y)) {
            used = proj_trans_get_last_used_operation(candidates);
            // A single candidate is kept as it is, and PROJ never records
            // it as used.
            if (!used)
                std::swap(used, candidates);
        }
    }
    if (used) {
        const char *definition = proj_as_proj_string(m_context, used, PJ_PROJ_5, nullptr);
        if (!definition)
            definition = proj_as_wkt(m_context, used, PJ_WKT2_2019, nullptr);
        OGRCoordinateTransformationOptions options;
        if (definition && options.SetCoordinateOperation(definition, false)) {
            made.ct.reset(OGRCreateCoordinateTransformation(&grid, &system.srs, options));
            made.name = proj_get_name(used) ? proj_get_name(used) : "";
        }
    }
    for (PJ *p : {source, target, candidates, used})
        proj_destroy(p);
    return made;
}

} // namespace TerrainModule
