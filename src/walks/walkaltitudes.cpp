#include "walkaltitudes.h"

#include "data/quorerror.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainchoice.h"
#include "terrain/terrainmodel.h"

#include <algorithm>
#include <cmath>

namespace WalkAltitudes {

namespace {

constexpr double kZoneWidth = 6; // degrees of longitude
constexpr double kHalfTurn = 180;
constexpr double kFullTurn = 360;

// The UTM grid of the walk's first point, in WGS84: the model converts from
// it to its own system like from a map's grid.
Coordinates::Grid gridAt(const WalkPosition &p)
{
    const int zone = std::clamp(int(std::floor((p.longitude + kHalfTurn) / kZoneWidth)) + 1,
                                Coordinates::kFirstZone, Coordinates::kLastZone);
    return {zone, QLatin1Char(p.latitude >= 0 ? 'N' : 'M'), QLatin1String(Coordinates::kWgs84)};
}

// The box around the positions, the longitudes continued across 180°.
Coordinates::Area areaOf(const std::vector<WalkPosition> &at)
{
    const double reference = at.front().longitude;
    Coordinates::Area area{reference, at.front().latitude, reference, at.front().latitude};
    for (const WalkPosition &p : at) {
        double lon = p.longitude;
        lon -= kFullTurn * std::round((lon - reference) / kFullTurn);
        area.west = std::min(area.west, lon);
        area.east = std::max(area.east, lon);
        area.south = std::min(area.south, p.latitude);
        area.north = std::max(area.north, p.latitude);
    }
    return area;
}

} // namespace

AltitudeLookup projectModel(const QString &projectDirectory)
{
    const QString choice = TerrainChoice::read(projectDirectory);
    if (choice.isEmpty())
        return {};
    return [choice](const std::vector<WalkPosition> &at) {
        std::vector<std::optional<double>> out(at.size());
        if (at.empty())
            return out;
        const TerrainModel model = TerrainModel::open(choice);
        const Coordinates::Grid grid = gridAt(at.front());
        const Coordinates::Area area = areaOf(at);
        const Coordinates::Transformation transformation(grid, area);
        std::vector<Coordinates::GridPoint> points;
        std::vector<std::size_t> where;
        for (std::size_t i = 0; i < at.size(); ++i) {
            try {
                points.push_back(transformation.fromWgs84({at[i].latitude, at[i].longitude}));
                where.push_back(i);
            } catch (const QuorError &) {
                // Beyond what the zone's projection reaches: no altitude there.
            }
        }
        const MapTerrain terrain(model, grid, area);
        const std::vector<std::optional<double>> found = terrain.altitudes(points);
        for (std::size_t k = 0; k < where.size(); ++k)
            out[where[k]] = found[k];
        return out;
    };
}

} // namespace WalkAltitudes
