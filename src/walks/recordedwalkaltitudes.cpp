#include "recordedwalksteps.h"

#include <algorithm>
#include <cmath>

namespace RecordedWalks {

namespace {

bool isEarthly(double metres)
{
    return std::isfinite(metres) && metres >= kLowestAltitude && metres <= kHighestAltitude;
}

} // namespace

bool fillAltitudes(std::vector<WalkPoint> &points, const std::vector<std::optional<double>> &raw)
{
    std::vector<std::size_t> known;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (raw[i])
            known.push_back(i);
    }
    if (known.empty())
        return false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto next = std::lower_bound(known.begin(), known.end(), i);
        if (next != known.end() && *next == i) {
            points[i].altitude = *raw[i];
        } else if (next == known.begin()) {
            points[i].altitude = *raw[*next];
        } else if (next == known.end()) {
            points[i].altitude = *raw[known.back()];
        } else {
            const std::size_t a = *(next - 1);
            const std::size_t b = *next;
            const double span = points[b].distance - points[a].distance;
            const double t = span > 0 ? (points[i].distance - points[a].distance) / span : 0.5;
            points[i].altitude = *raw[a] + t * (*raw[b] - *raw[a]);
        }
    }
    return true;
}

std::vector<std::optional<double>> rawAltitudes(const GpxPath &track,
                                                const std::vector<WalkPoint> &points,
                                                Altitudes altitudes, const AltitudeLookup &terrain,
                                                RecordedWalk &walk)
{
    // The points kept are the track's timed ones, in order: match them up by
    // their times, which are now strictly increasing.
    std::vector<std::optional<double>> raw(points.size());
    if (altitudes == Altitudes::Recorded) {
        std::size_t k = 0;
        for (const GpxPoint &p : track.points) {
            if (k == points.size())
                break;
            if (!p.time.isValid() || utcMs(p.time) != points[k].ms ||
                p.latitude != points[k].latitude || p.longitude != points[k].longitude)
                continue;
            if (p.elevation && isEarthly(*p.elevation))
                raw[k] = *p.elevation;
            ++k;
        }
    }
    if (!terrain)
        return raw;
    std::vector<WalkPosition> missing;
    std::vector<std::size_t> where;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!raw[i]) {
            missing.push_back({points[i].latitude, points[i].longitude});
            where.push_back(i);
        }
    }
    if (missing.empty())
        return raw;
    const std::vector<std::optional<double>> found = terrain(missing);
    for (std::size_t k = 0; k < where.size() && k < found.size(); ++k) {
        if (found[k] && isEarthly(*found[k])) {
            raw[where[k]] = found[k];
            ++walk.terrainAltitudes;
        }
    }
    return raw;
}

void smooth(std::vector<WalkPoint> &points)
{
    const qint64 half = qint64(kSmoothingSeconds * kMsPerSecond);
    std::vector<double> sums(points.size() + 1, 0.0);
    for (std::size_t i = 0; i < points.size(); ++i)
        sums[i + 1] = sums[i] + points[i].altitude;
    std::vector<double> smoothed(points.size());
    std::size_t low = 0;
    std::size_t high = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (points[low].ms < points[i].ms - half)
            ++low;
        while (high + 1 < points.size() && points[high + 1].ms <= points[i].ms + half)
            ++high;
        smoothed[i] = (sums[high + 1] - sums[low]) / double(high + 1 - low);
    }
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i].altitude = smoothed[i];
}

Climbs climbs(const RecordedWalk &walk, int first, int last)
{
    Climbs out;
    if (first >= last)
        return out;
    double reference = walk.points[first].altitude;
    for (int i = first + 1; i <= last; ++i) {
        const double delta = walk.points[i].altitude - reference;
        if (delta >= kHysteresisMetres) {
            out.climb += delta;
            reference = walk.points[i].altitude;
        } else if (-delta >= kHysteresisMetres) {
            out.descent -= delta;
            reference = walk.points[i].altitude;
        }
    }
    return out;
}

} // namespace RecordedWalks
