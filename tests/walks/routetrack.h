#pragma once

#include "data/gpxfile.h"
#include "gps/coordinates.h"
#include "gps/gpstestutil.h"

#include <QDateTime>
#include <QTimeZone>

// A route walked out to a lake and back, and the track a receiver recorded
// of it: what the comparison of an itinerary with a walk is tried on.
namespace RouteTrack {

using GpsTest::Waypoint;

inline const Coordinates::Grid kGrid{31, QLatin1Char('T'), QStringLiteral("ED50")};
constexpr qint64 kSixUtc = 1783922400000; // 2026-07-13 06:00 UTC, 08:00 in Paris
constexpr qint64 kStep = 10'000;          // a point every ten seconds

// Out to the lake and back the same way: B and D are the same place.
inline const QList<Waypoint> kOutAndBack = {{"AA000", "370000", "4735000", "900"},
                                            {"AA001", "371000", "4735500", "1000"},
                                            {"AA002", "372000", "4736500", "1200"},
                                            {"AA003", "371000", "4735500", "1000"},
                                            {"AA004", "370000", "4735000", "900"}};
// When the walker reached each waypoint, in seconds after 06:00 UTC; five
// minutes at the lake.
inline const qint64 kArrivals[] = {0, 1040, 2450, 3910, 5140};
constexpr qint64 kLakeStop = 300;

// The route's track, written straight from its waypoints: a point at each
// arrival, and every ten seconds in between.
inline GpxPath trackOf(const QList<Waypoint> &route, const qint64 *arrivals, int stopAt = 2)
{
    GpxPath track;
    auto add = [&](const Coordinates::LatLon &at, qint64 ms) {
        GpxPoint p;
        p.latitude = at.latitude;
        p.longitude = at.longitude;
        p.time = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        track.points.append(p);
    };
    QList<Coordinates::LatLon> at;
    for (const Waypoint &w : route)
        at.append(Coordinates::toWgs84(kGrid, {w.easting.toDouble(), w.northing.toDouble()}));
    qint64 lateBy = 0;
    for (int i = 0; i < route.size(); ++i) {
        const qint64 arrival = kSixUtc + arrivals[i] * 1000;
        add(at[i], arrival);
        if (i == stopAt) {
            for (qint64 t = kStep; t <= kLakeStop * 1000; t += kStep)
                add(at[i], arrival + t);
            lateBy = kLakeStop * 1000;
        }
        if (i + 1 == route.size())
            break;
        const qint64 leave = arrival + (i == stopAt ? lateBy : 0);
        const qint64 next = kSixUtc + arrivals[i + 1] * 1000;
        for (qint64 t = leave + kStep; t < next; t += kStep) {
            const double f = double(t - leave) / double(next - leave);
            add({at[i].latitude + f * (at[i + 1].latitude - at[i].latitude),
                 at[i].longitude + f * (at[i + 1].longitude - at[i].longitude)},
                t);
        }
    }
    track.name = QStringLiteral("Lac");
    return track;
}

} // namespace RouteTrack
