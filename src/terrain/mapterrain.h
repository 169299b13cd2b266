#pragma once

#include "gps/coordinates.h"
#include "terrainmodel.h"
#include "terrainprofile.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

// An elevation model seen from one map: altitudes at the map's positions,
// profiles along its routes, and the legs of a route whose ground climbs
// more than their ends say. For example:
//
//   const TerrainModel model = TerrainModel::open(TerrainChoice::read(folder));
//   const MapTerrain terrain(model, grid, Coordinates::areaOfExtent(grid, c1, c2));
//   terrain.checkCovers(c1, c2); // when the user chooses the model
//   const Terrain::Profile profile = terrain.profile(waypoints);
//
// Cheap to copy, like the model it holds; used from one thread at a time.
//
// A position of the map's grid is converted to each tile's coordinate
// system by GDAL's coordinate transformation, which runs PROJ, with one
// datum operation chosen for the map's area as Coordinates::Transformation
// chooses its own: the candidates `cs2cs --bbox west,south,east,north
// <grid> <tile's system>` considers for that area, and among them the one it
// uses at the area's centre. That operation is then used for every position
// of the map, so altitudes agree with `cs2cs --bbox` wherever it picks that
// operation, and a route never jumps where the areas of two candidates meet.
//
// The altitude at a position is the bilinear interpolation of the four cell
// centres around it, in the finest tile (smallest cells on the ground) that
// holds the position and has a value there; a coarser tile answers where
// the finer one has none. Within half a cell of a tile's edge, the missing
// centres are those of the edge cells. A cell without value among the four
// (one with a weight of zero, the position lying on the line through two
// centres, does not count) leaves the position without altitude in that
// tile.
class MapTerrain
{
public:
    struct Waypoint
    {
        QString name;
        Coordinates::GridPoint position;
        std::optional<double> altitude; // the itinerary's, when it gives one
    };

    struct Leg
    {
        int index = 0; // 0 from the first waypoint to the second
        QString from;
        QString to;
        Terrain::Climb hidden;
        QString text; // Terrain::hiddenClimbText
    };

    // `area` is the map's, usually Coordinates::areaOfExtent of its corners.
    // Throws the French message of a grid that Coordinates::checkGrid refuses.
    MapTerrain(TerrainModel model, const Coordinates::Grid &grid, const Coordinates::Area &area);

    const TerrainModel &model() const { return m_model; }
    const Coordinates::Grid &grid() const { return m_grid; }
    const Coordinates::Area &area() const { return m_area; }

    // What to call when the user chooses a model for a map, with the map's
    // corners: throws Terrain::notCoveringText when no tile reaches into the
    // rectangle, or when those that do have no altitude (found out within
    // Terrain::kDataCheckCells cells read in all; a tile with cells left
    // unread is taken as having some), and Terrain::readFailedText for a
    // file that cannot be read any more. covers() says the same without
    // throwing.
    bool covers(const Coordinates::GridPoint &corner1, const Coordinates::GridPoint &corner2) const;
    void checkCovers(const Coordinates::GridPoint &corner1,
                     const Coordinates::GridPoint &corner2) const;

    // The altitude in metres; none off every tile or where the cells have
    // no value. Throws Terrain::readFailedText for a file that cannot be read
    // any more.
    std::optional<double> altitude(const Coordinates::GridPoint &position) const;
    std::vector<std::optional<double>>
    altitudes(const std::vector<Coordinates::GridPoint> &positions) const;

    // The ground along the line through `route`, sampled every cell of the
    // finest tile it crosses (its cells' shorter side), but at most
    // Terrain::kMaxSamples steps over the whole length, and at each vertex;
    // distances are measured on the map's grid. A route of one point gives
    // one sample, an empty route none.
    Terrain::Profile profile(const QList<Coordinates::GridPoint> &route) const;

    // The legs between consecutive waypoints whose hidden climb or descent
    // exceeds `threshold` (Terrain::deservesAStage), with their message.
    QList<Leg> hiddenClimbs(const QList<Waypoint> &route,
                            double threshold = Terrain::kHiddenClimbThreshold) const;

    // The name of the datum operation used to reach a tile's system, as
    // PROJ gives it; empty when PROJ knows none (the tile then gives no
    // altitude on this map).
    QString operation(const TerrainModel::Tile &tile) const;

private:
    struct Found
    {
        int tile = -1; // the finest tile holding the position, -1 for none
        std::optional<double> altitude;
    };
    // Where each position falls and, when `read`, its altitude.
    std::vector<Found> lookUp(const std::vector<Coordinates::GridPoint> &positions,
                              bool read) const;

    TerrainModel m_model;
    Coordinates::Grid m_grid;
    Coordinates::Area m_area;
};
