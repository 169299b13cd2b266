#include "recordedwalk.h"

#include "data/quorerror.h"
#include "gps/coordinates.h"
#include "recordedwalksteps.h"

#include <QDateTime>

#include <algorithm>

namespace RecordedWalks {

namespace {

constexpr qint64 kMinutesPerHour = 60;
constexpr double kSecondsPerMinute = 60.0;
// The points done between two words to the progress.
constexpr int kProgressStep = 1 << 12;

QString quoted(const QString &name)
{
    return QStringLiteral("« %1 »").arg(name);
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

} // namespace

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

qint64 utcMs(const QDateTime &time)
{
    if (time.timeZone().id() == QTimeZone::systemTimeZoneId())
        return QDateTime(time.date(), time.time(), QTimeZone::utc()).toMSecsSinceEpoch();
    return time.toMSecsSinceEpoch();
}

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
