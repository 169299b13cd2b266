#pragma once

#include "editor/elevationprofile.h"
#include "gps/coordinates.h"
#include "terrain/mapterrain.h"

#include <QString>
#include <QStringList>

#include <optional>

struct AppState;
struct MapTransform;
class QSize;

// The open project's elevation model as a window uses it: the project's
// choice, opened the first time an altitude is asked for, and kept until
// forget(). The map window forgets it whenever it is activated again, so a
// model chosen from the main window is seen at once.
class TerrainSource
{
public:
    explicit TerrainSource(const AppState &state) : m_state(state) {}

    void forget();

    // Whether the open project has chosen a model; its choice is read once
    // until forget().
    bool hasModel();

    // The model seen from positions of `grid` in `area`; none when the
    // project has no model. A model that cannot be opened or read is reported
    // once: the call with `report` throws its French message, later calls
    // answer none until forget().
    const MapTerrain *terrain(const Coordinates::Grid &grid, const Coordinates::Area &area,
                              bool report);

    // The altitude in whole metres, as a waypoint file holds it; none off
    // the model, where it has no value, or without a model.
    std::optional<QString> altitude(const Coordinates::Grid &grid, const Coordinates::Area &area,
                                    double easting, double northing, bool report);

    // The grid and area of a calibrated map of `picture` pixels: none for
    // an uncalibrated map or a grid that cannot be converted.
    static std::optional<std::pair<Coordinates::Grid, Coordinates::Area>>
    mapFrame(const QString &zone, const QString &letter, const QString &datum,
             const MapTransform &transform, const QSize &picture);

    // The messages of the legs among the first `count` waypoints of a
    // waypoint file whose ground climbs or descends more than their ends say,
    // on the project's elevation model; none when the project has no model.
    // The waypoints of the first one's grid are taken, in the area of their
    // box. Throws the French message of a model that cannot be used.
    static QStringList hiddenClimbs(const AppState &state, const QStringList &waypointLines,
                                    int count);

    // The true profile of route `name` on `terrain`: the ground along its
    // waypoints of the terrain's grid, sampled at the model's resolution,
    // each waypoint marked at its distance with its label, at the ground's
    // altitude (its own where the model has none), and the climb and descent
    // along the ground.
    static std::pair<QList<ProfilePoint>, ProfileHeader>
    routeProfile(const MapTerrain &terrain, const QString &name, const QStringList &waypointLines);

private:
    const MapTerrain *failed(const QString &text, bool report);

    const AppState &m_state;
    bool m_choiceRead = false;
    QString m_choice;
    bool m_opened = false;
    std::optional<TerrainModel> m_model;
    QString m_error;
    bool m_reported = false;
    std::optional<MapTerrain> m_terrain;
};

namespace Terrain {
// Whole metres of an altitude, within what a waypoint file holds.
QString altitudeText(double metres);
} // namespace Terrain
