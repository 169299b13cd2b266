#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class StringGrid;

// Turns a route's waypoints into stages of the stage grid, from its current
// row on: one stage per waypoint, each with the walking leg to the next one.
namespace RouteInsertion {

inline constexpr char kWalkingMeans[] = "M ";

// Enables (true) or disables (false) the stage grid's view for user input.
using GridEnabler = std::function<void(bool enabled)>;

struct Result
{
    int stagesWritten = 0;
    // Waypoints not inserted because the stage written last was the grid's
    // last stage row.
    int waypointsLeftOut = 0;
};

// The texts one waypoint puts into columns 0 to 5 of its stage. Bearing and
// distance need the next waypoint's position; throws "'%s' n'est pas une
// valeur entière correcte" when an easting or northing is not an integer.
struct StageTexts
{
    QString place, means, orientation, position, altitude, distance;
};
StageTexts stageTexts(const QStringList &waypointLines, int waypoint);

// Inserts every waypoint of `waypointLines` as a stage, pushing the rows below
// down. Each cell is written right after moving the grid's current cell onto
// it, so the grid's select handler (the time computation) runs as it would
// for a user's move. The grid view is disabled for the duration and enabled
// again however the insertion ends.
//
// A stage is written only once all its texts are known, so a bad number stops
// the insertion before the stage that needs it and never leaves a half-written
// row; the stages written before stay. After a stage has been written on the
// last row the grid is full: the insertion stops there, the current row stays
// on that last row and the waypoints still to come are counted in the result.
Result insert_route(StringGrid &stages, const QStringList &waypointLines,
                    const GridEnabler &enableGrid = {});

// The message telling how many waypoints a full grid left out.
QString waypointsLeftOutText(int count);

} // namespace RouteInsertion
