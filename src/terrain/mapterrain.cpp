#include "mapterrain.h"

#include "data/quorerror.h"
#include "terrainapi.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

using Coordinates::GridPoint;

// Points probed along a route to find the tiles it crosses, and so the step
// of its profile.
constexpr int kProbes = 1000;
// Points on each side of a map's rectangle converted to find the tiles that
// reach into it.
constexpr int kEdgePoints = 32;
// Just under one: a leg of 20 000 steps measured as 20 000.000000000004.
constexpr double kRoundingSlack = 1 - 1e-12;
// Cell centres lie half a cell from the corner of their cell.
constexpr double kCentre = 0.5;

TerrainApi::Frame frameOf(const Coordinates::Grid &grid)
{
    return {grid.zone, Coordinates::isSouthern(grid.letter),
            grid.datum == QLatin1String(Coordinates::kEd50)};
}

TerrainApi::Area areaOf(const Coordinates::Area &area)
{
    return {area.west, area.south, area.east, area.north};
}

// Positions of the map in one coordinate system of the tiles.
struct InSystem
{
    std::vector<double> x;
    std::vector<double> y;
    std::vector<unsigned char> ok;
    bool converted = true; // false: PROJ has no operation to the system at all
};

std::map<int, InSystem> inSystems(const std::vector<TerrainModel::Tile> &tiles,
                                  const std::vector<GridPoint> &positions,
                                  const Coordinates::Grid &grid, const Coordinates::Area &area)
{
    std::map<int, InSystem> out;
    for (const TerrainModel::Tile &tile : tiles) {
        if (out.count(tile.system))
            continue;
        InSystem &s = out[tile.system];
        const int n = int(positions.size());
        s.ok.assign(n, 0);
        for (const GridPoint &p : positions) {
            s.x.push_back(p.easting);
            s.y.push_back(p.northing);
        }
        if (n > 0 &&
            Terrain::module().toSystem(tile.system, frameOf(grid), areaOf(area), n, s.x.data(),
                                       s.y.data(), s.ok.data()) != TerrainApi::Done) {
            s.ok.assign(n, 0);
            s.converted = false;
        }
    }
    return out;
}

// The fractional column and row of a position of the tile's system.
QPointF cellOf(const TerrainModel::Tile &tile, double x, double y)
{
    const double *t = tile.toCells;
    return {t[0] + t[1] * x + t[2] * y, t[3] + t[4] * x + t[5] * y};
}

bool holds(const TerrainModel::Tile &tile, const QPointF &cell)
{
    return cell.x() >= 0 && cell.x() <= tile.width && cell.y() >= 0 && cell.y() <= tile.height;
}

// Bilinear interpolation between the centres of the four cells around
// `cell`, those beyond the edges replaced by the edge cells.
std::optional<double> interpolate(const TerrainModel::Tile &tile, const QPointF &cell)
{
    const double u = cell.x() - kCentre;
    const double v = cell.y() - kCentre;
    const double left = std::floor(u);
    const double top = std::floor(v);
    const double fx = u - left;
    const double fy = v - top;
    const int c0 = std::clamp(int(left), 0, tile.width - 1);
    const int c1 = std::clamp(int(left) + 1, 0, tile.width - 1);
    const int r0 = std::clamp(int(top), 0, tile.height - 1);
    const int r1 = std::clamp(int(top) + 1, 0, tile.height - 1);
    const int columns = c1 - c0 + 1;
    double z[4] = {};
    if (Terrain::module().read(tile.raster, c0, r0, columns, r1 - r0 + 1, z) != TerrainApi::Done)
        throw QuorError(Terrain::readFailedText(tile.path));
    // The cells come row after row: the lower row starts one row on.
    const int lowerRow = (r1 - r0) * columns;
    const double corners[4] = {z[0], z[c1 - c0], z[lowerRow], z[lowerRow + c1 - c0]};
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        if (weights[i] == 0)
            continue;
        if (std::isnan(corners[i]))
            return std::nullopt;
        sum += weights[i] * corners[i];
    }
    return sum;
}

double length(const GridPoint &a, const GridPoint &b)
{
    return std::hypot(b.easting - a.easting, b.northing - a.northing);
}

GridPoint between(const GridPoint &a, const GridPoint &b, double share)
{
    return {a.easting + (b.easting - a.easting) * share,
            a.northing + (b.northing - a.northing) * share};
}

} // namespace

MapTerrain::MapTerrain(TerrainModel model, const Coordinates::Grid &grid,
                       const Coordinates::Area &area)
    : m_model(std::move(model)), m_grid(grid), m_area(area)
{
    Coordinates::checkGrid(grid);
}

std::vector<MapTerrain::Found> MapTerrain::lookUp(const std::vector<GridPoint> &positions,
                                                  bool read) const
{
    const std::vector<TerrainModel::Tile> &tiles = m_model.tiles();
    const std::map<int, InSystem> systems = inSystems(tiles, positions, m_grid, m_area);
    std::vector<const InSystem *> tileSystems;
    tileSystems.reserve(tiles.size());
    for (const TerrainModel::Tile &tile : tiles)
        tileSystems.push_back(&systems.at(tile.system));
    std::vector<Found> found(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            const InSystem &s = *tileSystems[t];
            if (!s.ok[i])
                continue;
            const QPointF cell = cellOf(tiles[t], s.x[i], s.y[i]);
            if (!holds(tiles[t], cell))
                continue;
            if (found[i].tile < 0)
                found[i].tile = int(t);
            if (!read)
                break;
            found[i].altitude = interpolate(tiles[t], cell);
            if (found[i].altitude)
                break;
        }
    }
    return found;
}

std::optional<double> MapTerrain::altitude(const GridPoint &position) const
{
    return lookUp({position}, true).front().altitude;
}

std::vector<std::optional<double>>
MapTerrain::altitudes(const std::vector<GridPoint> &positions) const
{
    std::vector<std::optional<double>> out;
    out.reserve(positions.size());
    for (const Found &f : lookUp(positions, true))
        out.push_back(f.altitude);
    return out;
}

bool MapTerrain::covers(const GridPoint &corner1, const GridPoint &corner2) const
{
    try {
        checkCovers(corner1, corner2);
    } catch (const QuorError &) {
        return false;
    }
    return true;
}

void MapTerrain::checkCovers(const GridPoint &corner1, const GridPoint &corner2) const
{
    // The rectangle's outline in each system: its box there holds the image
    // of the whole rectangle.
    std::vector<GridPoint> outline;
    const GridPoint corners[5] = {corner1,
                                  {corner2.easting, corner1.northing},
                                  corner2,
                                  {corner1.easting, corner2.northing},
                                  corner1};
    for (int side = 0; side < 4; ++side) {
        for (int k = 0; k < kEdgePoints; ++k)
            outline.push_back(between(corners[side], corners[side + 1], double(k) / kEdgePoints));
    }
    const std::vector<TerrainModel::Tile> &tiles = m_model.tiles();
    const std::map<int, InSystem> systems = inSystems(tiles, outline, m_grid, m_area);
    std::vector<std::size_t> reaching;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const InSystem &s = systems.at(tiles[t].system);
        double low[2] = {std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::infinity()};
        double high[2] = {-low[0], -low[1]};
        for (std::size_t i = 0; i < outline.size(); ++i) {
            if (!s.ok[i])
                continue;
            const QPointF cell = cellOf(tiles[t], s.x[i], s.y[i]);
            low[0] = std::min(low[0], cell.x());
            high[0] = std::max(high[0], cell.x());
            low[1] = std::min(low[1], cell.y());
            high[1] = std::max(high[1], cell.y());
        }
        // Compared in cells, where the tile is the box [0, width] x [0, height].
        if (low[0] <= tiles[t].width && high[0] >= 0 && low[1] <= tiles[t].height && high[1] >= 0)
            reaching.push_back(t);
    }
    // Share the reading between the tiles; one with cells left unread is
    // taken as having altitudes.
    for (const std::size_t t : reaching) {
        if (m_model.mayHaveData(t, Terrain::kDataCheckCells / qsizetype(reaching.size())))
            return;
    }
    // A model whose system no operation reaches may lie right under the map:
    // "does not cover" would send the walker looking for another region.
    const bool noneConverted = std::none_of(systems.begin(), systems.end(),
                                            [](const auto &s) { return s.second.converted; });
    throw QuorError(noneConverted ? Terrain::noConversionText(m_model.path())
                                  : Terrain::notCoveringText(m_model.path()));
}

Terrain::Profile MapTerrain::profile(const QList<GridPoint> &route) const
{
    Terrain::Profile profile;
    if (route.isEmpty())
        return profile;
    // Distances from the first point at each point; a leg that is no length
    // (two equal points, or numbers that are no positions) adds none.
    std::vector<double> at{0};
    for (qsizetype i = 1; i < route.size(); ++i) {
        const double leg = length(route[i - 1], route[i]);
        at.push_back(at.back() + (leg > 0 && std::isfinite(leg) ? leg : 0));
    }
    const double total = at.back();

    // The finest tile along the route gives the step.
    std::vector<GridPoint> probes(route.begin(), route.end());
    for (int k = 1, i = 1; k < kProbes && total > 0; ++k) {
        const double distance = total * k / kProbes;
        while (at[i] < distance)
            ++i;
        probes.push_back(
            between(route[i - 1], route[i], (distance - at[i - 1]) / (at[i] - at[i - 1])));
    }
    double finest = std::numeric_limits<double>::infinity();
    for (const Found &f : lookUp(probes, false)) {
        if (f.tile >= 0) {
            const TerrainModel::Tile &tile = m_model.tiles()[f.tile];
            finest = std::min({finest, tile.cellWidth, tile.cellHeight});
        }
    }
    const double step = std::max(finest, total / Terrain::kMaxSamples);

    std::vector<GridPoint> positions{route.front()};
    std::vector<double> distances{0};
    for (qsizetype i = 1; i < route.size(); ++i) {
        const double leg = at[i] - at[i - 1];
        if (leg == 0)
            continue;
        // With no tile along the route, the vertices alone. The slack keeps
        // a leg of exactly n steps from getting one more for a rounding.
        const int steps =
            std::isfinite(step) ? std::max(1, int(std::ceil(leg / step * kRoundingSlack))) : 1;
        for (int k = 1; k <= steps; ++k) {
            positions.push_back(between(route[i - 1], route[i], double(k) / steps));
            distances.push_back(at[i - 1] + leg * k / steps);
        }
        profile.step = std::max(profile.step, leg / steps);
    }
    const std::vector<Found> found = lookUp(positions, true);
    for (std::size_t i = 0; i < found.size(); ++i)
        profile.samples.push_back({distances[i], found[i].altitude});
    profile.total = Terrain::climbOf(profile.samples);
    return profile;
}

QList<MapTerrain::Leg> MapTerrain::hiddenClimbs(const QList<Waypoint> &route,
                                                double threshold) const
{
    QList<Leg> legs;
    for (qsizetype i = 1; i < route.size(); ++i) {
        const Waypoint &a = route[i - 1];
        const Waypoint &b = route[i];
        const Terrain::Climb hidden =
            Terrain::hiddenClimb(profile({a.position, b.position}), a.altitude, b.altitude);
        if (Terrain::deservesAStage(hidden, threshold))
            legs.push_back({int(i - 1), a.name, b.name, hidden,
                            Terrain::hiddenClimbText(a.name, b.name, hidden)});
    }
    return legs;
}

QString MapTerrain::operation(const TerrainModel::Tile &tile) const
{
    const char *name = Terrain::module().operation(tile.system, frameOf(m_grid), areaOf(m_area));
    return name ? QString::fromUtf8(name) : QString();
}
