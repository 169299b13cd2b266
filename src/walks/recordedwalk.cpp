#include "recordedwalk.h"

#include "data/quorerror.h"
#include "gps/coordinates.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace RecordedWalks {

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kMetresPerKilometre = 1000.0;
constexpr qint64 kMinutesPerHour = 60;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kMetresPerSecondPerKmh = 1 / 3.6;
// Near a stop's middle the walker stood within this distance: the points
// farther at its ends, or still coming nearer, were the walk arriving and
// leaving.
constexpr double kStopRadiusMetres = 5;
// The points done between two words to the progress.
constexpr int kProgressStep = 1 << 12;

QString quoted(const QString &name)
{
    return QStringLiteral("« %1 »").arg(name);
}

double seconds(const WalkPoint &a, const WalkPoint &b)
{
    return double(b.ms - a.ms) / kMsPerSecond;
}

// Geodesic lengths between points[from[i]] and points[to[i]].
std::vector<double> lengths(const std::vector<WalkPoint> &points, const std::vector<int> &from,
                            const std::vector<int> &to)
{
    std::vector<Coordinates::LatLon> pairs;
    pairs.reserve(2 * from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        pairs.push_back({points[from[i]].latitude, points[from[i]].longitude});
        pairs.push_back({points[to[i]].latitude, points[to[i]].longitude});
    }
    const std::vector<double> all = Coordinates::geodesicLengths(pairs);
    std::vector<double> out(from.size());
    for (std::size_t i = 0; i < from.size(); ++i)
        out[i] = all[2 * i];
    return out;
}

// GPX times are UTC: one written without its zone is read as UTC, never as
// the time of the computer it is read on.
qint64 utcMs(const QDateTime &time)
{
    if (time.timeZone().id() == QTimeZone::systemTimeZoneId())
        return QDateTime(time.date(), time.time(), QTimeZone::utc()).toMSecsSinceEpoch();
    return time.toMSecsSinceEpoch();
}

// The timed points in order; duplicated times dropped, and the track cut
// where its times go backwards.
std::vector<WalkPoint> timedPoints(const GpxPath &track, RecordedWalk &walk,
                                   const Progress &progress)
{
    std::vector<WalkPoint> points;
    points.reserve(std::size_t(track.points.size()));
    qsizetype done = 0;
    for (const GpxPoint &p : track.points) {
        if (++done % kProgressStep == 0 && progress && !progress(done, 2 * track.points.size()))
            throw Cancelled{};
        if (!p.time.isValid()) {
            ++walk.untimed;
            continue;
        }
        WalkPoint w;
        w.latitude = p.latitude;
        w.longitude = p.longitude;
        w.ms = utcMs(p.time);
        if (!points.empty() && w.ms < points.back().ms) {
            walk.afterBackwardTime = int(track.points.size() - done + 1);
            break;
        }
        if (!points.empty() && w.ms == points.back().ms) {
            ++walk.sameTime;
            continue;
        }
        points.push_back(w);
    }
    return points;
}

// The lengths between consecutive points, measured in pieces so that the
// progress hears of them: the second half of the work on a long track.
std::vector<double> consecutiveLengths(const std::vector<WalkPoint> &points,
                                       const Progress &progress = {})
{
    std::vector<double> out;
    out.reserve(points.size());
    const qint64 total = qint64(points.size());
    for (std::size_t first = 0; first + 1 < points.size(); first += kProgressStep) {
        const std::size_t end = std::min(points.size(), first + kProgressStep + 1);
        std::vector<Coordinates::LatLon> positions;
        positions.reserve(end - first);
        for (std::size_t i = first; i < end; ++i)
            positions.push_back({points[i].latitude, points[i].longitude});
        const std::vector<double> piece = Coordinates::geodesicLengths(positions);
        out.insert(out.end(), piece.begin(), piece.end());
        if (progress && !progress(total + qint64(end), 2 * total))
            throw Cancelled{};
    }
    return out;
}

// A lone point far off both its neighbours, which lie close together, is a
// jump of the receiver, not a walk there and back at a run.
// Returns the lengths between the consecutive points kept.
std::vector<double> dropJumps(std::vector<WalkPoint> &points, RecordedWalk &walk,
                              const Progress &progress)
{
    std::vector<double> step = consecutiveLengths(points, progress);
    const double jumpSpeed = kJumpSpeedKmh * kMetresPerSecondPerKmh;
    std::vector<int> candidates;
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        const double in = step[i - 1];
        const double out = step[i];
        if (in > kJumpMetres && out > kJumpMetres &&
            in > jumpSpeed * seconds(points[i - 1], points[i]) &&
            out > jumpSpeed * seconds(points[i], points[i + 1]))
            candidates.push_back(int(i));
    }
    if (candidates.empty())
        return step;
    std::vector<int> before;
    std::vector<int> after;
    for (const int i : candidates) {
        before.push_back(i - 1);
        after.push_back(i + 1);
    }
    const std::vector<double> across = lengths(points, before, after);
    std::vector<bool> drop(points.size(), false);
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const int i = candidates[k];
        if (across[k] < (step[i - 1] + step[i]) / 4)
            drop[i] = true;
    }
    std::vector<WalkPoint> kept;
    kept.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (drop[i])
            ++walk.jumps;
        else
            kept.push_back(points[i]);
    }
    points.swap(kept);
    return walk.jumps > 0 ? consecutiveLengths(points) : step;
}

bool isEarthly(double metres)
{
    return std::isfinite(metres) && metres >= kLowestAltitude && metres <= kHighestAltitude;
}

// The altitude of each point: recorded, from the model, or interpolated along
// the walk between its neighbours; false when no point has any.
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

// A moving average over kSmoothingSeconds either side of each point.
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

// Every span of at least kStopSeconds over which the walker moved on by less
// than kStopSpeedKmh is part of a stop; the stop's ends are then brought in
// to the points near where the walker stood.
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
} // namespace RecordedWalks

QStringList RecordedWalk::notices(bool altitudesMatter) const
{
    QStringList out;
    const QString track = RecordedWalks::quoted(name);
    if (untimed > 0)
        out << QStringLiteral("%1 : %2 points sans heure ont été laissés de côté.")
                   .arg(track)
                   .arg(untimed);
    if (afterBackwardTime > 0)
        out << QStringLiteral("%1 : les heures reculent ; la trace est coupée là et ses %2 "
                              "derniers points sont laissés de côté.")
                   .arg(track)
                   .arg(afterBackwardTime);
    if (sameTime > 0)
        out << QStringLiteral("%1 : %2 points avaient l'heure du point précédent et ont été "
                              "laissés de côté.")
                   .arg(track)
                   .arg(sameTime);
    if (jumps > 0)
        out << QStringLiteral("%1 : %2 points isolés, loin de leurs voisins (sauts du GPS), ont "
                              "été laissés de côté.")
                   .arg(track)
                   .arg(jumps);
    if (gaps > 0)
        out << QStringLiteral("%1 : le signal a manqué %2 fois pendant la marche ; ces moments "
                              "ne comptent pas.")
                   .arg(track)
                   .arg(gaps);
    if (!altitudesMatter)
        return out;
    if (terrainAltitudes > 0)
        out << QStringLiteral("%1 : %2 altitudes viennent du modèle de terrain.")
                   .arg(track)
                   .arg(terrainAltitudes);
    if (!hasAltitudes)
        out << QStringLiteral("%1 : aucune altitude, ni dans la trace ni dans le modèle de "
                              "terrain ; la marche compte comme plate.")
                   .arg(track);
    return out;
}

namespace RecordedWalks {

RecordedWalk fromTrack(const GpxPath &track, const QString &trackName, Altitudes altitudes,
                       const AltitudeLookup &terrain, const Progress &progress)
{
    RecordedWalk walk;
    walk.name = trackName;
    std::vector<WalkPoint> points = timedPoints(track, walk, progress);
    if (points.size() < 2) {
        throw QuorError(
            walk.untimed > 0
                ? QStringLiteral("La trace %1 n'a pas d'heures à ses points : elle ne dit pas à "
                                 "quelle allure vous avez marché.")
                      .arg(quoted(trackName))
                : QStringLiteral("La trace %1 a moins de deux points avec une heure.")
                      .arg(quoted(trackName)));
    }
    const std::vector<double> step = dropJumps(points, walk, progress);
    for (std::size_t i = 1; i < points.size(); ++i)
        points[i].distance = points[i - 1].distance + step[i - 1];
    walk.hasAltitudes =
        fillAltitudes(points, rawAltitudes(track, points, altitudes, terrain, walk));
    smooth(points);
    walk.stops = findStops(points);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        if (seconds(points[i], points[i + 1]) > kGapSeconds && !inStop(walk.stops, int(i)))
            ++walk.gaps;
    }
    walk.points = std::move(points);
    return walk;
}

QList<RecordedWalk> fromDocument(const GpxDocument &document, const QString &fileName,
                                 Altitudes altitudes, const AltitudeLookup &terrain,
                                 const Progress &progress, QStringList *skipped)
{
    QList<RecordedWalk> walks;
    QList<const GpxPath *> tracks;
    for (const GpxPath &track : document.tracks) {
        if (!track.points.isEmpty())
            tracks.append(&track);
    }
    if (tracks.isEmpty())
        throw QuorError(QStringLiteral("Le fichier %1 ne contient aucune trace : il faut "
                                       "l'enregistrement d'une marche, avec l'heure de ses points.")
                            .arg(quoted(fileName)));
    for (qsizetype t = 0; t < tracks.size(); ++t) {
        const GpxPath &track = *tracks.at(t);
        QString name = track.name.trimmed();
        if (name.isEmpty())
            name = tracks.size() == 1 ? fileName
                                      : QStringLiteral("%1, trace %2").arg(fileName).arg(t + 1);
        try {
            walks.append(fromTrack(track, name, altitudes, terrain, progress));
        } catch (const QuorError &e) {
            // A planned route saved as a track beside the walk, say.
            if (tracks.size() == 1 || (t + 1 == tracks.size() && walks.isEmpty()))
                throw;
            if (skipped)
                skipped->append(e.text());
        }
    }
    return walks;
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

QString localTimeText(qint64 ms, const QTimeZone &zone)
{
    return QDateTime::fromMSecsSinceEpoch(ms, zone).toString(QStringLiteral("HH:mm"));
}

QString durationText(double seconds)
{
    const qint64 minutes = qRound64(seconds / kSecondsPerMinute);
    const qint64 sign = minutes < 0 ? -1 : 1;
    const qint64 whole = sign * minutes;
    const QString prefix = sign < 0 ? QStringLiteral("-") : QString();
    if (whole < kMinutesPerHour)
        return prefix + QStringLiteral("%1 min").arg(whole);
    return prefix + QStringLiteral("%1 h %2")
                        .arg(whole / kMinutesPerHour)
                        .arg(whole % kMinutesPerHour, 2, 10, QLatin1Char('0'));
}

} // namespace RecordedWalks
