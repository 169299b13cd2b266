#pragma once

// The steps from a GPX track to a recorded walk that its files share
// (recordedwalk.cpp, recordedwalkaltitudes.cpp, recordedwalklegs.cpp);
// internal to them.

#include "recordedwalk.h"

#include <QDateTime>

#include <optional>
#include <vector>

namespace RecordedWalks {

constexpr double kMsPerSecond = 1000.0;
constexpr double kMetresPerSecondPerKmh = 1 / 3.6;

inline double seconds(const WalkPoint &a, const WalkPoint &b)
{
    return double(b.ms - a.ms) / kMsPerSecond;
}

// Geodesic lengths between points[from[i]] and points[to[i]].
std::vector<double> lengths(const std::vector<WalkPoint> &points, const std::vector<int> &from,
                            const std::vector<int> &to);

// GPX times are UTC: one written without its zone is read as UTC, never as
// the time of the computer it is read on.
qint64 utcMs(const QDateTime &time);

// The altitude of each point that the track (when its altitudes are the ones
// asked for) or the model gives, counted in the walk's terrainAltitudes when
// it is the model's; none elsewhere.
std::vector<std::optional<double>> rawAltitudes(const GpxPath &track,
                                                const std::vector<WalkPoint> &points,
                                                Altitudes altitudes, const AltitudeLookup &terrain,
                                                RecordedWalk &walk);

// The altitude of each point: recorded, from the model, or interpolated along
// the walk between its neighbours; false when no point has any.
bool fillAltitudes(std::vector<WalkPoint> &points, const std::vector<std::optional<double>> &raw);

// A moving average over kSmoothingSeconds either side of each point.
void smooth(std::vector<WalkPoint> &points);

// Every span of at least kStopSeconds over which the walker moved on by less
// than kStopSpeedKmh is part of a stop; the stop's ends are then brought in
// to the points near where the walker stood.
std::vector<WalkStop> findStops(const std::vector<WalkPoint> &points);

// Whether point i lies in one of the stops, the stop's last point excepted.
bool inStop(const std::vector<WalkStop> &stops, int i);

} // namespace RecordedWalks
