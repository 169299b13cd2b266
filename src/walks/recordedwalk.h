#pragma once

#include "data/gpxfile.h"
#include "data/progress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <functional>
#include <optional>
#include <vector>

// A walk as a phone or a watch recorded it: a GPX track whose points carry
// times. What it says of the walker (how fast they climb, walk on the flat,
// descend, and how long they stop) is what the speed table guesses.
struct WalkPoint
{
    double latitude = 0;  // degrees, WGS84
    double longitude = 0; // degrees, WGS84
    qint64 ms = 0;        // UTC, milliseconds since 1970
    double distance = 0;  // metres walked from the first point, on the ellipsoid
    double altitude = 0;  // metres, smoothed; see hasAltitudes
};

// A time the walker stayed where they were: points first..last.
struct WalkStop
{
    int first = 0;
    int last = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
    double seconds() const { return double(endMs - startMs) / 1000.0; }
};

// A stretch of walking between two points, the way a walker writes a stage:
// it mostly climbs or mostly descends, and it holds no stop.
struct WalkLeg
{
    int first = 0;
    int last = 0;
    double metres = 0;  // along the track
    double height = 0;  // altitude at the end less at the start
    double seconds = 0; // walking time
    // Faster than anyone walks (a car, a run, a train): left out of learning.
    bool tooFast = false;
};

struct RecordedWalk
{
    QString name;
    std::vector<WalkPoint> points;
    std::vector<WalkStop> stops;
    bool hasAltitudes = false;
    // What the reading left out or changed, each said in the notices.
    int untimed = 0;           // points without a time, left out
    int afterBackwardTime = 0; // points cut off where the times go backwards
    int sameTime = 0;          // points with the time of the point before
    int jumps = 0;             // lone points far off both neighbours
    int terrainAltitudes = 0;  // altitudes taken from the elevation model
    int gaps = 0;              // signal lost while the walker moved on

    double walkedMetres() const { return points.empty() ? 0 : points.back().distance; }
    // The French sentences that tell the user what was left out or changed;
    // the altitudes' only when they matter.
    QStringList notices(bool altitudesMatter = true) const;
};

// Where altitudes come from when the track has none, or when the user
// prefers the model's: one answer a position, none off the model.
struct WalkPosition
{
    double latitude = 0;
    double longitude = 0;
};
using AltitudeLookup =
    std::function<std::vector<std::optional<double>>(const std::vector<WalkPosition> &)>;

namespace RecordedWalks {

// A stop: slower than this over at least kStopSeconds.
constexpr double kStopSpeedKmh = 0.5;
constexpr double kStopSeconds = 120;
// Recorded altitudes jitter by a few metres: a climb counts only once the
// altitude has moved this far from the last turn.
constexpr double kHysteresisMetres = 5;
// Altitudes are first averaged over this many seconds either side.
constexpr double kSmoothingSeconds = 20;
// A leg turns where the altitude turns by this much, and is cut in equal
// pieces of at most kLegMetres.
constexpr double kTurnMetres = 20;
constexpr double kLegMetres = 1000;
// A leg shorter than this says little and is left out.
constexpr double kShortestLegSeconds = 60;
// Signal lost for longer than this while the walker moved on: the legs stop
// there and go on after it.
constexpr double kGapSeconds = 300;
// A lone point this far off both neighbours, reached faster than this, is a
// jump of the receiver.
constexpr double kJumpMetres = 200;
constexpr double kJumpSpeedKmh = 30;
// No walker goes faster than this on the flat, nor climbs or descends faster.
constexpr double kFastestWalkKmh = 8;
constexpr double kFastestClimbMetresPerHour = 1500;
constexpr double kFastestDescentMetresPerHour = 3000;
// Altitudes outside this range are not the Earth's.
constexpr double kLowestAltitude = -450;
constexpr double kHighestAltitude = 8900;

enum class Altitudes {
    Recorded,         // the track's, the model's only where it has none
    FromTerrainModel, // the model's everywhere it has one
};

// Every track of `document` that has points, as a walk; where the times go
// backwards a track is cut. A track without times is left out, its French
// message added to `skipped`, unless no track is left: then that message is
// thrown. `terrain` may be empty. `progress` hears of the points done;
// answering false throws Cancelled.
QList<RecordedWalk> fromDocument(const GpxDocument &document, const QString &fileName,
                                 Altitudes altitudes, const AltitudeLookup &terrain,
                                 const Progress &progress = {}, QStringList *skipped = nullptr);

// One track; throws the French message of a track without usable times.
RecordedWalk fromTrack(const GpxPath &track, const QString &trackName, Altitudes altitudes,
                       const AltitudeLookup &terrain, const Progress &progress = {});

// The legs of a walk, in order, with the stops and the gaps left out.
std::vector<WalkLeg> legs(const RecordedWalk &walk);

// The climb and descent summed with the hysteresis, in metres.
struct Climbs
{
    double climb = 0;
    double descent = 0;
};
Climbs climbs(const RecordedWalk &walk, int first, int last);

// The time of `ms` as the clock of `zone` showed it, HH:MM, as the itinerary's
// GPX export reads its times (the system's zone; Europe/Paris in France).
QString localTimeText(qint64 ms, const QTimeZone &zone);
QString durationText(double seconds); // "1 h 05", "12 min"

} // namespace RecordedWalks
