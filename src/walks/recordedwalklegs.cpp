#include "recordedwalksteps.h"

#include <algorithm>
#include <cmath>

namespace RecordedWalks {

namespace {

constexpr double kMetresPerKilometre = 1000.0;
constexpr double kSecondsPerHour = 3600.0;
// Near a stop's middle the walker stood within this distance: the points
// farther at its ends, or still coming nearer, were the walk arriving and
// leaving.
constexpr double kStopRadiusMetres = 5;

// Where the altitude turns by kTurnMetres or more, between first and last.
std::vector<int> turns(const std::vector<WalkPoint> &points, int first, int last)
{
    std::vector<int> out;
    int extreme = first;
    int direction = 0; // 1 rising, -1 falling, 0 not yet known
    for (int i = first + 1; i <= last; ++i) {
        const double a = points[i].altitude;
        const double e = points[extreme].altitude;
        if (direction >= 0 && a > e) {
            extreme = i;
        } else if (direction <= 0 && a < e) {
            extreme = i;
        }
        if (direction == 0) {
            const double rise = a - points[first].altitude;
            if (std::abs(rise) >= kTurnMetres) {
                direction = rise > 0 ? 1 : -1;
                extreme = i;
            }
        } else if (direction * (e - a) >= kTurnMetres) {
            out.push_back(extreme);
            direction = -direction;
            extreme = i;
        }
    }
    return out;
}

WalkLeg makeLeg(const std::vector<WalkPoint> &points, int first, int last)
{
    WalkLeg leg;
    leg.first = first;
    leg.last = last;
    leg.metres = points[last].distance - points[first].distance;
    leg.height = points[last].altitude - points[first].altitude;
    leg.seconds = seconds(points[first], points[last]);
    const double hours = leg.seconds / kSecondsPerHour;
    leg.tooFast = leg.metres > kFastestWalkKmh * kMetresPerKilometre * hours ||
                  leg.height > kFastestClimbMetresPerHour * hours ||
                  -leg.height > kFastestDescentMetresPerHour * hours;
    return leg;
}

// Legs of one stretch of walking without stop or gap.
void addLegs(const std::vector<WalkPoint> &points, int first, int last, std::vector<WalkLeg> &out)
{
    std::vector<int> cuts{first};
    for (const int t : turns(points, first, last)) {
        if (t > cuts.back())
            cuts.push_back(t);
    }
    if (last > cuts.back())
        cuts.push_back(last);
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
        const int u = cuts[c];
        const int v = cuts[c + 1];
        const double length = points[v].distance - points[u].distance;
        const int pieces = std::max(1, int(std::ceil(length / kLegMetres)));
        int start = u;
        for (int k = 1; k <= pieces; ++k) {
            int end = v;
            if (k < pieces) {
                const double mark = points[u].distance + length * k / pieces;
                const auto at =
                    std::lower_bound(points.begin() + start, points.begin() + v, mark,
                                     [](const WalkPoint &p, double d) { return p.distance < d; });
                end = int(at - points.begin());
            }
            if (end <= start)
                continue;
            const WalkLeg leg = makeLeg(points, start, end);
            if (leg.seconds >= kShortestLegSeconds)
                out.push_back(leg);
            start = end;
        }
    }
}

} // namespace

std::vector<WalkStop> findStops(const std::vector<WalkPoint> &points)
{
    const qint64 window = qint64(kStopSeconds * kMsPerSecond);
    std::vector<int> from;
    std::vector<int> to;
    std::size_t j = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        j = std::max(j, i + 1);
        while (j < points.size() && points[j].ms - points[i].ms < window)
            ++j;
        if (j == points.size())
            break;
        from.push_back(int(i));
        to.push_back(int(j));
    }
    const std::vector<double> moved = lengths(points, from, to);
    const double stillSpeed = kStopSpeedKmh * kMetresPerSecondPerKmh;
    // Spans as [first, last], merged where they overlap.
    std::vector<std::pair<int, int>> spans;
    for (std::size_t k = 0; k < from.size(); ++k) {
        if (moved[k] >= stillSpeed * seconds(points[from[k]], points[to[k]]))
            continue;
        if (!spans.empty() && from[k] <= spans.back().second)
            spans.back().second = std::max(spans.back().second, to[k]);
        else
            spans.emplace_back(from[k], to[k]);
    }
    std::vector<WalkStop> stops;
    for (auto [first, last] : spans) {
        const qint64 middle = (points[first].ms + points[last].ms) / 2;
        int anchor = first;
        while (anchor < last && points[anchor + 1].ms <= middle)
            ++anchor;
        std::vector<int> here;
        std::vector<int> all;
        for (int i = first; i <= last; ++i) {
            here.push_back(anchor);
            all.push_back(i);
        }
        const std::vector<double> off = lengths(points, here, all);
        // Out of the radius, then while still drawing nearer (or going away)
        // faster than a stop: a slow climb to the stop moves little a point.
        const auto offAt = [&](int i) { return off[std::size_t(i - all.front())]; };
        while (first < anchor &&
               (offAt(first) > kStopRadiusMetres ||
                offAt(first) >
                    offAt(first + 1) + stillSpeed * seconds(points[first], points[first + 1])))
            ++first;
        while (
            last > anchor &&
            (offAt(last) > kStopRadiusMetres ||
             offAt(last) > offAt(last - 1) + stillSpeed * seconds(points[last - 1], points[last])))
            --last;
        WalkStop stop{first, last, points[first].ms, points[last].ms};
        if (stop.seconds() >= kStopSeconds)
            stops.push_back(stop);
    }
    return stops;
}

bool inStop(const std::vector<WalkStop> &stops, int i)
{
    const auto s = std::upper_bound(stops.begin(), stops.end(), i,
                                    [](int at, const WalkStop &stop) { return at < stop.first; });
    return s != stops.begin() && i < std::prev(s)->last;
}

std::vector<WalkLeg> legs(const RecordedWalk &walk)
{
    std::vector<WalkLeg> out;
    const std::vector<WalkPoint> &points = walk.points;
    int start = 0;
    std::size_t s = 0;
    for (int i = 0; i + 1 < int(points.size()); ++i) {
        if (s < walk.stops.size() && walk.stops[s].first == i) {
            addLegs(points, start, i, out);
            start = walk.stops[s].last;
            i = start - 1;
            ++s;
            continue;
        }
        if (seconds(points[i], points[i + 1]) > kGapSeconds) {
            addLegs(points, start, i, out);
            start = i + 1;
        }
    }
    if (!points.empty())
        addLegs(points, start, int(points.size()) - 1, out);
    return out;
}

} // namespace RecordedWalks
